#pragma once
// Reading a kept copy out of a backup and writing it into a folder the user chose. On both sides
// every folder below the one named by its path is entered relative to the open folder above it,
// never through a symbolic link: a link put into a backup cannot make a restore read a file
// outside it, and a link in the target cannot carry a restored file out of the chosen folder.
// A restore only reads the backup: nothing here writes, renames or removes anything there.
//
// Plain values and descriptors of their own: any thread may use them.

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A kept copy, open for reading.
class KeptCopyFile {
public:
    KeptCopyFile() = default;
    ~KeptCopyFile();
    KeptCopyFile(KeptCopyFile&& other) noexcept;
    KeptCopyFile& operator=(KeptCopyFile&& other) noexcept;
    KeptCopyFile(const KeptCopyFile&) = delete;
    KeptCopyFile& operator=(const KeptCopyFile&) = delete;

    // Opens `relative` (the folders, then the copy) below the destination folder `base`. The copy
    // is a regular file, or a link kept as a link (its text is read, never followed). `error`
    // receives the errno of a failure: ENOENT when it is gone, ELOOP for a link on the way.
    static KeptCopyFile open(const QString& base, const QStringList& relative,
                             int* error = nullptr);

    bool isOpen() const { return m_fd >= 0; }
    bool isLink() const { return m_link; }
    FileStamp stamp() const { return m_stamp; }
    unsigned mode() const { return m_mode; }

    // The permission bits of the folder `relative` below `base`, reached without following links.
    static std::optional<unsigned> folderMode(const QString& base, const QStringList& relative);

    // True when the regular file at `path` holds the same bytes.
    bool sameContentAs(const QString& path) const;

private:
    friend class RestoreTarget;
    int m_fd = -1;         // the copy itself, or for a link the folder holding it
    QByteArray m_linkName; // a link's name in that folder
    QByteArray m_linkText;
    bool m_link = false;
    FileStamp m_stamp;
    unsigned m_mode = 0;
    qint64 m_accessedNs = 0;
};

// A folder that receives restored files, held open.
class RestoreTarget {
public:
    // Why a folder below the chosen one was not entered; nothing was changed.
    enum class Refusal { None, Link, NotFolder, Failed };
    enum class Entry { None, File, Folder, Link, Other };

    RestoreTarget() = default;
    ~RestoreTarget();
    RestoreTarget(RestoreTarget&& other) noexcept;
    RestoreTarget& operator=(RestoreTarget&& other) noexcept;
    RestoreTarget(const RestoreTarget&) = delete;
    RestoreTarget& operator=(const RestoreTarget&) = delete;

    // The folder the user chose, by its path (it may itself be reached through links).
    static RestoreTarget openChosen(const QString& path, int* error = nullptr);
    bool isOpen() const { return m_fd >= 0; }

    // The folder `name` here, made when missing (for its owner alone until its files are in, when
    // the restore gives it its bits; `made` says whether it was).
    Refusal enterOrMake(const QString& name, RestoreTarget& into, int* error = nullptr,
                        bool* made = nullptr) const;
    // What stands at `name` here, looked at without following it.
    Entry entryAt(const QString& name) const;
    // True when the folder holds nothing.
    bool isEmpty() const;
    // Gives this folder the permission bits `mode` (best effort).
    void setMode(unsigned mode) const;
    // Takes every write permission from the file `name` here (best effort).
    void makeReadOnly(const QString& name) const;

    // Writes `copy` as `name` here: its data goes to a hidden temporary file, is flushed to the
    // disk with the copy's permission bits and times, and is renamed to `name` only when whole;
    // without `replace` only where nothing has that name (EEXIST otherwise). On any failure
    // nothing is left under either name and what was at `name` stays. `between` runs after each
    // chunk; false stops (Cancelled).
    CopyResult write(const KeptCopyFile& copy, const QString& name, bool replace,
                     const std::function<bool()>& between = {}) const;
    // The two halves of a write, for many files made durable at once: `stage` writes the whole
    // copy under a hidden temporary name (`temp`), with its bits and times, flushed only with
    // `flush`; `place` renames it to `name` (as write() does, and removes it on failure), which
    // must come after the data is durable (flushDisk()) so that a crash never leaves a name on a
    // file whose data is not. `discard` removes a staged file.
    CopyResult stage(const KeptCopyFile& copy, QByteArray& temp, bool flush,
                     const std::function<bool()>& between = {}) const;
    CopyResult place(const QByteArray& temp, const QString& name, bool replace) const;
    void discard(const QByteArray& temp) const;
    // Makes everything written to this folder's disk durable: 0, or the errno of a failure.
    int flushDisk() const;

private:
    explicit RestoreTarget(int fd) : m_fd(fd) {}
    int m_fd = -1;
};
