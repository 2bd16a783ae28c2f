#pragma once
// A folder in a destination, held open. The folder the user chose is opened once by its path (it
// may itself be a link the user made); every folder below it is entered, made, renamed and
// removed relative to an open folder, one component at a time, never through a symbolic link.
// So another user who can write into a shared destination (a disk anyone may write, a family
// share) cannot turn a copy or a version rotation into a write, a move or a read somewhere of
// their choosing, not even by swapping a folder for a link between two steps: what is open stays
// the folder that was checked.
//
// Plain values in and out and no shared state: each thread works on folders of its own.

#include "platform/FileSystem.h"

#include <QString>
#include <optional>

// The access a folder Quillmot makes or keeps gives: its permission bits, and the group they
// apply to (the source folder's). A folder that cannot take that group gives its own none.
struct FolderAccess {
    unsigned mode = 0700;
    std::optional<unsigned> group;
    bool operator==(const FolderAccess&) const = default;
};

class DestinationFolder {
public:
    // Why a folder below the destination was not entered; nothing was changed.
    enum class Refusal {
        None,
        Link,       // a symbolic link stands where the folder belongs
        OtherOwner, // the folder belongs to another user
        NotFolder,  // a file or something else stands there
        Failed,     // the system refused (no such folder, no permission, disk gone)
    };

    DestinationFolder() = default;
    ~DestinationFolder();
    DestinationFolder(DestinationFolder&& other) noexcept;
    DestinationFolder& operator=(DestinationFolder&& other) noexcept;
    DestinationFolder(const DestinationFolder&) = delete;
    DestinationFolder& operator=(const DestinationFolder&) = delete;

    // The folder the user chose, by its path; closed when it cannot be opened.
    static DestinationFolder openChosen(const QString& path);
    bool isOpen() const { return m_fd >= 0; }

    // The folder `name` in this one, made first when missing with exactly `access` (whatever the
    // umask). `made` tells whether it was made here. Only a folder of this user's is entered,
    // on a disk that keeps owners: on one that shows every file as the mount's (FAT, a
    // Windows share), the owner tells nothing.
    Refusal enterOrMake(const QString& name, const FolderAccess& access, DestinationFolder& into,
                        bool* made = nullptr) const;
    // The same without making it: Failed when it is missing.
    Refusal enter(const QString& name, DestinationFolder& into) const;

    // True while `name` here is still the open folder `folder`: not moved away, and not
    // replaced by a link or by another folder.
    bool holds(const QString& name, const DestinationFolder& folder) const;

    // This folder's own access now; empty when it cannot be read.
    std::optional<FolderAccess> access() const;
    // Brings this folder to `access` where it differs. Best effort: a file system that keeps no
    // permission bits (FAT) keeps none.
    void bringTo(const FolderAccess& access) const;

    // The file or symbolic link `name` in this folder (a link stamped as the link itself,
    // never followed); empty when nothing or something else stands there.
    std::optional<FileStamp> stamp(const QString& name) const;
    // True when `name` here and `otherName` in `other` are one file (two names of it).
    bool sameEntry(const QString& name, const DestinationFolder& other,
                   const QString& otherName) const;
    // Renames the entry `name` here to `toName` in `to`, replacing a file there.
    bool rename(const QString& name, const DestinationFolder& to, const QString& toName) const;
    // Gives the entry `name` the second name `toName` in `to`, replacing a file there;
    // Unsupported where the file system has no hard links.
    LinkResult link(const QString& name, const DestinationFolder& to, const QString& toName) const;

    // Removes Quillmot's own temporary files here that no copy holds any more (left by a copy
    // that was killed), this user's only; the number removed.
    int removeStaleTemporaries() const;
    // The same in this folder and every folder below it that is this user's, on the same disk.
    int removeStaleTemporariesBelow() const;
    // The same for the one temporary file `name` here.
    bool removeTemporary(const QString& name) const;

    // The open folder, for the platform's own operations (the staged copy).
    int descriptor() const { return m_fd; }

private:
    struct Identity {
        quint64 device = 0;
        quint64 inode = 0;
    };
    DestinationFolder(int fd, bool ownersKept, std::optional<Identity> identity = std::nullopt)
        : m_fd(fd), m_ownersKept(ownersKept), m_identity(identity) {}
    int m_fd = -1;
    bool m_ownersKept = true; // the file system keeps each file's own owner
    // The open folder's disk and inode, as read when it was entered: they never change while it
    // is open, so holds() looks only at the name.
    std::optional<Identity> m_identity;
};
