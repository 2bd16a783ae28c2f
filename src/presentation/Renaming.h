#pragma once
// Renaming from the tree: a backed-up file or folder on disk, or a drive's volume name, with
// every association, destination and volume list that names it following along, so that no
// association breaks. Works on the model, the disk, the watches and the store files; the tree
// follows through `treeFollows`.

#include <QString>
#include <functional>

class AppState;
class Engine;
class colBackups;
class colDestinations;

namespace Renaming {

// The new name as the rename uses it: trimmed, then without leading and trailing dots.
QString cleanedName(const QString& typed);

// The old name's extension: "." and the text after the last ".", or empty.
QString extensionOf(const QString& name);

// Every volume list entry equal to `currentName` (ignoring case) becomes `newName`, the others
// stay; every entry is upper-cased, as the lists keep them. Destinations on `drive` that were tied
// to `oldName` are tied to `newName`.
void followVolumeRename(colBackups& backups, colDestinations& destinations, const QString& drive,
                        const QString& currentName, const QString& oldName, const QString& newName);

} // namespace Renaming

struct RenameOutcome {
    enum class Kind { Renamed, Unchanged, Gone, NameTaken, Failed };
    Kind kind = Kind::Unchanged;
    QString newPath;
    QString reason; // why the move failed, for Failed
};

class ItemRenamer {
public:
    ItemRenamer(AppState& state, Engine& engine);

    // Renames the file or folder `oldPath` to `newName` in its folder. Every association at or
    // below it and every destination path and owner there move along, and the store files are
    // rewritten. The watches are stopped around the move and run again in every outcome.
    RenameOutcome RenameFileOrFolder(const QString& oldPath, const QString& newName);

    // Told after the model moved from `oldPath` to `newPath`, for the tree's nodes and images.
    std::function<void(const QString& oldPath, const QString& newPath)> treeFollows;

private:
    void stopAllWatches();
    void startAllWatches();
    void moveDestinations(const QString& oldPath, const QString& newPath);
    void moveAssociations(const QString& oldPath, const QString& newPath);

    AppState& m_state;
    Engine& m_engine;
};
