#pragma once
// What the backups of one association hold: every kept copy of a source file across the
// association's destinations, the backed-up tree (the union over the destinations, files gone
// from the source included), and which copy a restore takes. It only reads: the destinations are
// looked at by the BackupLayout, the rules the copy engine places copies by.
//
// Everything is read from a BackupSet, a plain value taken on the window's thread, so that the
// looks at the disks (which a hung network disk can hold up) run on any other thread.

#include "engine/BackupLayout.h"
#include "engine/BackupOwners.h"
#include "model/Records.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class FileSystem;
class SourceKeeper;
class colBackups;
class colDestinations;

// One association and its destinations as they stood when a look was asked for.
struct BackupSet {
    clsBackup association; // without its link to the shared destination collection
    std::vector<clsDestination> destinations;
    QString prevSaveName;                // the usable base name of the version folders
    QStringList everyDestination;        // of every association: no restore writes into one
    BackupOwners::Ownership owners = {}; // for the copies that keep a source before a restore
    // Who makes those copies; none: the restore's own thread.
    std::shared_ptr<SourceKeeper> keeper;

    BackupLayout layout() const;
    QString sourceRoot() const { return association.SourcePath; }

    static BackupSet of(const clsBackup& association, const colBackups& backups,
                        const colDestinations& destinations, const QString& prevSaveName);
};

// One copy of one source file in one destination.
struct KeptCopy {
    QString destination; // the destination folder as the user gave it
    QString volume;      // the volume its disk carries
    int version = 0;     // 0: the current copy; k: the k-th newest previous version
    QString path;        // where it lies, as the local file system reaches it
    QString base;        // the destination folder as the local file system reaches it
    FileStamp stamp;
    bool link = false;         // a symbolic link kept as a link
    bool equalsSource = false; // the source now has its size and time

    // From `base` down to the copy, one component each.
    QStringList relative() const;
};

// A destination whose disk is not there (not mounted, another disk in its place, not ready).
struct UnpluggedDestination {
    QString destination;
    QString volume; // the volume name its disk must carry
    // "plug in VOLUME to see its copies"
    QString text() const;
};

// What is at a source path now.
enum class SourceState { File, Missing, Folder, Other };

// Every copy of one source file.
struct FileCopies {
    QString sourcePath;
    SourceState source = SourceState::Missing;
    std::vector<KeptCopy> copies; // by destination, each current copy first, then its versions
    std::vector<UnpluggedDestination> unplugged;
};

// One backed-up file of a tree.
struct BackedUpFile {
    QString sourcePath;
    std::vector<KeptCopy> copies;
    bool inSource = true; // false: "not in the source any more"
};

struct BackedUpTree {
    QString folder;                  // the source folder it stands for
    std::vector<BackedUpFile> files; // sorted by source path
    std::vector<UnpluggedDestination> unplugged;
};

// Which copy a restore takes: the newest (by modification time), or the newest no newer than
// `asOfNs`, or the version number `version`; from the destination or volume `from`, or from
// whichever destination has the best one.
struct CopyChoice {
    std::optional<qint64> asOfNs;
    std::optional<int> version;
    QString from;
};

namespace RestoreCatalog {

// The copies of `sourceFile`, a file of the set's association.
FileCopies copiesOf(FileSystem& fso, const BackupSet& set, const QString& sourceFile);
// Every file backed up below `folder` (the association's own folder when empty; the one file of
// a file association).
BackedUpTree treeOf(FileSystem& fso, const BackupSet& set, const QString& folder = {});
// The copy that `choice` takes out of `copies`; null when none fits.
const KeptCopy* choose(const std::vector<KeptCopy>& copies, const CopyChoice& choice);
// True when `copy` holds the same bytes as the source file now (read on request only).
bool sameContent(const KeptCopy& copy, const QString& sourcePath);
// True when `path` is one of the destinations or lies inside one, by the paths as the kernel
// resolves them.
bool insideBackup(const FileSystem& fso, const BackupSet& set, const QString& path);

} // namespace RestoreCatalog
