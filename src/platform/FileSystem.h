#pragma once
// The file-system service object (`fso`): every file, folder and drive operation of the program.
// The methods are defined per platform (linux/FileSystemLinux.cpp). They are virtual so that
// tests can make a real operation fail on demand (a busy source file) by overriding one of them.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

struct FileAttributes {
    bool hidden = false;   // name starts with "."
    bool readOnly = false; // no write permission for the owner
    unsigned mode = 0;     // permission bits (07777)
    unsigned group = 0;    // the group the bits for the group apply to
};

// How a copy ended. A file really in use (Busy) is worth retrying; a denied permission is not,
// and neither is a full disk. Cancelled: the `between` step asked to stop, or a termination
// signal interrupted a blocked call. SourceChanged: the source was written to, or replaced,
// while it was read, so the data read may be a moment in the middle of a write; nothing was
// kept, and the file is worth copying again once its writer is done.
enum class CopyError { None, Busy, Denied, DiskFull, Cancelled, SourceChanged, Other };

struct CopyResult {
    CopyError error = CopyError::None;
    int errnoValue = 0;
    bool ok() const { return error == CopyError::None; }
};

// Classifies an errno from a copy as the program's copy errors.
CopyError classifyCopyErrno(int err);

// The steps between the units file times come in.
inline constexpr qint64 nsPerMs = 1000 * 1000;
inline constexpr qint64 nsPerSecond = 1000 * nsPerMs;

// A regular file's size and last-modified time at the file system's full resolution: two saves
// within one second are two stamps. A symbolic link has a stamp of its own (the length of its
// target text and the time it was made), marked as a link: it is backed up as a link.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    bool link = false;
    bool operator==(const FileStamp&) const = default;
};

class DestinationFolder;

// A copy whose data is complete (written, with its permission bits and times, and flushed) in a
// hidden temporary file beside its target, but not yet in place. Dropped without a commit, the
// temporary file goes.
class StagedCopy {
public:
    StagedCopy() = default;
    ~StagedCopy();
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;

    bool pending() const { return !m_temp.isEmpty(); }
    // Removes the temporary file now.
    void discard();
    // Makes this copy one of a batch (FileSystem::flushBatch): its data, and later its rename,
    // are flushed together with the others' instead of on their own.
    void joinBatch() { m_batched = true; }

private:
    friend class FileSystem;
    int m_folder = -1;   // the folder of target and temporary file, held open here
    QByteArray m_temp;   // the temporary file's name in that folder
    QByteArray m_target; // the name it replaces on commit
    int m_lock = -1;     // held open and locked, so no sweep for stale files takes it meanwhile
    bool m_batched = false;
    bool m_committed = false; // in place, the folder held until the batch's renames are flushed
};

enum class LinkResult { Linked, Unsupported, Failed };

// One entry of a folder as it is itself: a symbolic link is a link, whatever it points to.
struct FolderEntry {
    enum class Kind { File, Folder, Link, Other };
    QString name;
    Kind kind = Kind::Other;
    FileStamp stamp; // its size and last-modified time (a link's own)
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // --- exists tests and listings (symbolic links to folders are not folders to a listing)
    virtual bool FileExists(const QString& path) const;
    virtual bool FolderExists(const QString& path) const;
    // Full paths of the regular files / sub-folders directly in `folder`, in listing order.
    // Symbolic links count as files, whatever they point to: they are backed up as links. So
    // sub-folders never include one, and a recursive walk cannot loop or escape.
    virtual QStringList files(const QString& folder) const;
    virtual QStringList subFolders(const QString& folder) const;
    virtual std::optional<QDateTime> lastModified(const QString& path) const;
    virtual std::optional<FileAttributes> attributes(const QString& path) const;
    // Empty unless `path` is a regular file or a symbolic link (stamped as itself, never
    // followed); never opens it, so a FIFO or a device cannot block the caller.
    virtual std::optional<FileStamp> stamp(const QString& path) const;
    // The stamps of the entries `names` of `folder`, in their order: the same as stamp() of each,
    // but the folder is looked up once (a catch-up looks at every file of a source tree).
    virtual std::vector<std::optional<FileStamp>> stampsIn(const QString& folder,
                                                           const QStringList& names) const;
    // The stamps of the copies `names` in `folder`, a folder at or below the destination folder
    // `destination`, reached from there without following a link that another user may have put
    // on the way (every entry empty then).
    virtual std::vector<std::optional<FileStamp>>
    copyStampsIn(const QString& destination, const QString& folder, const QStringList& names) const;
    // The step, in nanoseconds, in which the file system holding `path` keeps last-modified
    // times: 1 where it keeps them exactly, 2 s on FAT and exFAT. A copy's time may differ from
    // its source's by less than this.
    virtual qint64 modifiedTimeStepNs(const QString& path) const;
    // The file system holding `path` (its device number), so that a walk can stay on one.
    virtual std::optional<quint64> deviceOf(const QString& path) const;

    // --- folders
    virtual bool CreateFolder(const QString& path);
    // Makes one folder with exactly the permission bits `mode` (whatever the umask), never wider
    // on the way there.
    virtual bool createFolderWithMode(const QString& path, unsigned mode);
    // True when a new file can be made in `folder` (one of Quillmot's own temporary files is
    // made there with exclusive creation, and removed).
    virtual bool canCreateFileIn(const QString& folder) const;

    // Renames a file or folder in place, never replacing what already has the new name. The
    // reason for a failure is in `error` (EEXIST when the new name is taken, EXDEV across
    // mounts: a rename is never carried out as a copy and a delete).
    virtual bool renameNoReplace(const QString& from, const QString& to, int* error = nullptr);

    // --- copy: `source` onto the file `target` (replaced when present), keeping the source's
    // permission bits, group where it can, and last-modified time. The data goes to a hidden
    // temporary file beside `target` that is renamed over it only when complete; on failure the
    // old target stays and no temporary file is left. A symbolic link is copied as a link: its
    // target text, never followed. `between` runs after each chunk (the engine lets the event
    // loop run there); it may be empty.
    virtual CopyResult copyFile(const QString& source, const QString& target,
                                const std::function<void()>& between = {});
    // The first half of copyFile, into the file `name` of `folder`: the data goes into `staged`,
    // the target is not touched. The source is opened without following a symbolic link and
    // without blocking, and must be a regular file or a link; holes of a sparse file stay holes.
    // A source that changed while it was read fails with SourceChanged. `between` runs after
    // each chunk; returning false stops the copy (Cancelled).
    virtual CopyResult stageCopy(const QString& source, const DestinationFolder& folder,
                                 const QString& name, StagedCopy& staged,
                                 const std::function<bool()>& between = {});
    // The second half: renames the temporary file over the target.
    virtual CopyResult commitCopy(StagedCopy& staged);
    // Makes a batch of copies into one disk durable together. Called before the commits, it
    // makes the copies' data durable: each copy's data is written and waited for (a copy whose
    // write failed is discarded, and its result says why), then, for a batch of many, one flush
    // of the disk serves them all, where a flush of each file would cost the disk a flush of its
    // cache each; a small batch, or a disk whose flush fails, is flushed file by file. Called
    // after the commits, it makes the renames durable the same way and lets the copies go.
    virtual std::vector<CopyResult> flushBatch(const std::vector<StagedCopy*>& batch);
    // Makes the data written to the open file `fd` durable (fsync): 0, or -1 with errno set.
    // Tests make it fail, as a failing disk does.
    virtual int flushFile(int fd) const;
    // Makes everything written to the file system that holds `fd` durable (syncfs): 0, or -1
    // with errno set. It also waits for what other programs wrote there.
    virtual int flushDisk(int fd) const;

    // --- identity
    // The path with every symbolic link, ".", ".." and doubled separator resolved as the kernel
    // resolves them; a part that does not exist yet is taken as the folders that would be made.
    virtual QString resolvedPath(const QString& path) const;
    // True when both paths exist and are the same file or folder (device and inode).
    virtual bool sameFile(const QString& a, const QString& b) const;
    // The same for the entries themselves: a symbolic link is not the file it points to.
    virtual bool sameEntry(const QString& a, const QString& b) const;

    // --- drives (mount points)
    // The mount point holding `path` ("/" at least for an absolute path), found from its resolved
    // path, so that a symbolic link leads to the disk it points to.
    virtual QString GetDriveName(const QString& path) const;
    virtual bool DriveExists(const QString& drive) const;
    // statvfs on the mount point succeeds; network mounts are probed with a time limit.
    virtual bool DriveIsReady(const QString& drive) const;
    // The label; "UUID=<uuid>" for an unlabeled file system; empty when it has neither.
    virtual QString VolumeName(const QString& drive) const;
    // "//server/share/..." or a path on a network file system.
    virtual bool IsNetworkPath(const QString& path) const;
    // A path written "//server/share/rest" as the mount point of that share followed by the rest;
    // any other path, or a share that is not mounted here, unchanged.
    virtual QString localPathOf(const QString& path) const;

    // --- below a destination folder, where no link Quillmot did not make is ever followed:
    // `relative` names the folders below `base` one component at a time, each entered only when
    // it is a real folder. `base` itself is the folder the user chose and may be reached through
    // links.
    // The entries of that folder, "." and ".." left out; nullopt when it cannot be reached so.
    virtual std::optional<std::vector<FolderEntry>> entriesBelow(const QString& base,
                                                                 const QStringList& relative) const;
    // The entry that the last component of `relative` names; nullopt when there is none there.
    virtual std::optional<FolderEntry> entryBelow(const QString& base,
                                                  const QStringList& relative) const;
};

// Hidden files and folders are those whose name begins with ".".
inline bool isHiddenName(const QString& name) {
    return name.startsWith(QLatin1Char('.'));
}
// The same for a name as the system gave it.
inline bool isHiddenName(const char* nativeName) {
    return nativeName[0] == '.';
}
