#pragma once
// The checks that keep a copy on the disks the user meant: the source file must still sit on a
// present, ready drive carrying one of the accepted volume names, and the destination must be
// the present, ready drive or network share with the expected volume name. The destination
// check also makes the missing destination folders, one level at a time.
//
// A batch of copies into one disk asks the same questions for every file: which drive holds
// this folder, is that drive there, what is its name. The answers cost a walk of the path
// through the kernel and a reading of the mount table each, so a batch keeps them (DriveAnswers)
// together with the mirrored folders it opened (OpenedFolders), and lets them go when the mount
// table changes.

#include "engine/CopyDestination.h"
#include "engine/ResultMessages.h"

#include <QHash>
#include <QString>
#include <memory>
#include <utility>

class DestinationFolder;
class FileSystem;

// What the checks ask about drives, answered by the file system. Made with `remember`, it keeps
// each answer until the mount table changes: for the copies of one batch, started afresh for
// each batch, so that a disk swapped between two batches is looked at again.
class DriveAnswers {
public:
    explicit DriveAnswers(const FileSystem& fso, bool remember = false)
        : m_fso(fso), m_remember(remember) {}

    const FileSystem& fso() const { return m_fso; }
    // Forgets every answer when a file system was mounted or unmounted since they were given;
    // true when it did.
    bool forgetOnMountChange();

    QString driveOf(const QString& path);
    // The drive of the regular file `filePath`: the drive of the files of its folder.
    QString driveOfFile(const QString& filePath);
    bool exists(const QString& drive);
    bool ready(const QString& drive);
    QString volumeName(const QString& drive);
    bool isNetworkPath(const QString& path);
    bool folderExists(const QString& path);
    QString resolvedPath(const QString& path);

private:
    template <class T, class Ask>
    T remembered(QHash<QString, T>& answers, const QString& key, const Ask& ask);

    const FileSystem& m_fso;
    const bool m_remember;
    quint64 m_mounts = 0; // the mount table's generation the answers were given in
    QHash<QString, QString> m_driveOf, m_fileDrives, m_volumes, m_resolved;
    QHash<QString, bool> m_exists, m_ready, m_network, m_folders;
};

// The mirrored folders that the copies of one batch entered or made, held open for the next
// copies into them. One is used again only while it still stands where it was entered: a
// folder moved away or replaced by a link meanwhile is entered anew, and refused like any other.
class OpenedFolders {
public:
    struct Level {
        std::shared_ptr<const DestinationFolder> folder;
        std::shared_ptr<const DestinationFolder> parent; // null for the folder the user chose
        QString name;                                    // its name in `parent`
        bool whole = true; // the chosen folder: every missing folder down to it was made
    };
    // The level at `path`, if it was opened and still stands where it was entered.
    const Level* reuse(const QString& path) const;
    void keep(const QString& path, Level level) { m_levels.insert(path, std::move(level)); }
    void clear() { m_levels.clear(); }

private:
    QHash<QString, Level> m_levels;
};

namespace DriveChecks {

// Checks the drive holding `filePath` against the NUL-separated accepted names
// `acceptedVolumes`; `volumeName` receives the name read from the drive. A symbolic link is
// checked where it lies, not where it points: it is backed up as itself.
CheckFailure checkSource(DriveAnswers& drives, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName);
CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName);

// Checks the drive or share of the mirrored folder `mirror.destDir` against `expectedVolume`
// (exactly on a network share, ignoring case on a local drive) and then makes every missing
// folder down to it, as the local file system reaches it (a share written "//server/share/..."
// at its mount point), and opens it into `folder`. The destination folder the user chose is
// made and opened by its path; the mirrored folders below it one at a time from the folder above,
// never through a link, and only this user's own (LinkInDestination, OtherUsersFolder). A
// mirrored folder that was there already is brought to its source folder's access.
// `volumeName` receives the name read from the drive. The folders opened are kept in `opened`.
CheckFailure checkDestination(FileSystem& fso, DriveAnswers& drives, OpenedFolders& opened,
                              const CopyDestination::Mirror& mirror, const QString& expectedVolume,
                              QString& volumeName,
                              std::shared_ptr<const DestinationFolder>& folder);

// The checks of checkDestination without making a folder: could a copy reach it now?
CheckFailure checkDestinationDrive(DriveAnswers& drives, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName);
CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName);

} // namespace DriveChecks
