#pragma once
// The rules of the rename dialog: what it shows for a node, which characters a new name takes,
// and what OK does with the name typed. The dialog only shows the texts and dispatches here.

#include "presentation/Renaming.h"

#include <QString>

class AppState;
class MessageBoxes;

class RenameFlow {
public:
    static constexpr int driveNameLimit = 32;
    static constexpr int itemNameLimit = 202;
    // A name on Linux takes at most this many bytes.
    static constexpr int nameBytesLimit = 255;

    // `isDrive`: the node is a root of the tree, and the rename is of its volume name.
    RenameFlow(AppState& state, ItemRenamer& renamer, const QString& oldPath, bool isDrive);

    bool isDrive() const { return m_isDrive; }
    QString oldLabel() const;
    QString oldName() const { return m_oldName; }
    int maxLength() const { return m_isDrive ? driveNameLimit : itemNameLimit; }

    // The characters that a file or folder name refuses as typed or pasted; a volume name takes
    // every character here and is checked against its file system on OK.
    static bool refusesCharacter(QChar c, bool isDrive);
    QString withoutRefusedCharacters(const QString& text) const;

    enum class Next { Close, StayOpen };
    struct Result {
        Next next = Next::Close;
        QString boxText; // what the new-name box shows afterwards
    };
    Result ok(const QString& typed);

private:
    Result renameItem(const QString& name, const QString& typed);
    Result renameVolume(const QString& name);
    bool confirmsExtensionChange(const QString& name);

    AppState& m_state;
    ItemRenamer& m_renamer;
    MessageBoxes& m_messages;
    QString m_oldPath;
    bool m_isDrive;
    QString m_oldName;
    QString m_oldExtension;
};
