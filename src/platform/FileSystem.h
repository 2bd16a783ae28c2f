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
};

// How a copy ended. Busy (70: denied, in use) and DiskFull (61) are told apart from the rest.
enum class CopyError { None, Busy, DiskFull, Other };

struct CopyResult {
    CopyError error = CopyError::None;
    int errnoValue = 0;
    bool ok() const { return error == CopyError::None; }
};

// Classifies an errno from a copy as the program's copy errors.
CopyError classifyCopyErrno(int err);

// A regular file's size and last-modified time at the file system's full resolution: two saves
// within one second are two stamps.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    bool operator==(const FileStamp&) const = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // --- exists tests and listings (symbolic links to folders are not folders to a listing)
    virtual bool FileExists(const QString& path) const;
    virtual bool FolderExists(const QString& path) const;
    // Full paths of the regular files / sub-folders directly in `folder`, in listing order.
    // Sub-folders never include symbolic links, so a recursive walk cannot loop or escape.
    virtual QStringList files(const QString& folder) const;
    virtual QStringList subFolders(const QString& folder) const;
    virtual std::optional<QDateTime> lastModified(const QString& path) const;
    virtual std::optional<FileAttributes> attributes(const QString& path) const;
    // Empty unless `path` is a regular file (or a link to one); never opens it, so a FIFO or a
    // device cannot block the caller.
    virtual std::optional<FileStamp> stamp(const QString& path) const;
    // The stamps of the entries `names` of `folder`, in their order: the same as stamp() of each,
    // but the folder is looked up once (a catch-up looks at every file of a source tree).
    virtual std::vector<std::optional<FileStamp>> stampsIn(const QString& folder,
                                                           const QStringList& names) const;
    // The step, in nanoseconds, in which the file system holding `path` keeps last-modified
    // times: 1 where it keeps them exactly, 2 s on FAT and exFAT. A copy's time may differ from
    // its source's by less than this.
    virtual qint64 modifiedTimeStepNs(const QString& path) const;
    // Sets the permission bits; "normal" adds owner write permission.
    virtual bool setMode(const QString& path, unsigned mode);
    virtual bool setNormal(const QString& path);

    // --- folders
    virtual bool CreateFolder(const QString& path);
    // Deletes a folder with all its contents, read-only ones included.
    virtual bool DeleteFolder(const QString& path);
    virtual bool deleteFile(const QString& path);

    // Renames a file or folder in place, never replacing what already has the new name. The
    // reason for a failure is in `error` (EEXIST when the new name is taken, EXDEV across
    // mounts: a rename is never carried out as a copy and a delete).
    virtual bool renameNoReplace(const QString& from, const QString& to, int* error = nullptr);

    // --- copy: `source` onto the file `target` (replaced when present), keeping the source's
    // permission bits and last-modified time. The data goes to a hidden temporary file beside
    // `target` that is renamed over it only when complete; on failure the old target stays
    // and no temporary file is left. `between` runs after each chunk (the engine lets the event
    // loop run there); it may be empty.
    virtual CopyResult copyFile(const QString& source, const QString& target,
                                const std::function<void()>& between = {});

    // --- drives (mount points)
    // The mount point holding `path` ("/" at least for an absolute path).
    virtual QString GetDriveName(const QString& path) const;
    virtual bool DriveExists(const QString& drive) const;
    // statvfs on the mount point succeeds; network mounts are probed with a time limit.
    virtual bool DriveIsReady(const QString& drive) const;
    // The label; "UUID=<uuid>" for an unlabeled file system; empty when it has neither.
    virtual QString VolumeName(const QString& drive) const;
    // "//server/share/..." or a path on a network file system.
    virtual bool IsNetworkPath(const QString& path) const;
};

// Hidden files and folders are those whose name begins with ".".
inline bool isHiddenName(const QString& name) {
    return name.startsWith(QLatin1Char('.'));
}

// Prefix of Quillmot's own temporary files in destination folders; never scanned, never copied.
inline const QString OwnTempPrefix = QStringLiteral(".quillmot-");
