#include "platform/DestinationFolder.h"

#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "platform/linux/PathAt.h"
#include "platform/linux/StatStamp.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr unsigned permissionBits = 0777;
constexpr unsigned groupBits = 0070;
// A folder is made private first and opened up to its access once it is known to be ours, so
// that it is never wider than asked, not even for a moment.
constexpr mode_t privateFolder = S_IRWXU;
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QByteArray native(const QString& name) {
    return Paths::toNative(name);
}

// File systems that show every file as owned by whoever the mount says, whoever made it: FAT,
// exFAT, NTFS and other FUSE disks, Windows shares. Ownership there tells nothing about who made
// a folder, and refusing for it would refuse every folder of such a disk.
constexpr long exfatMagic = 0x2011BAB0;
constexpr long ntfsMagic = 0x5346544e;
constexpr long fuseMagic = 0x65735546;
constexpr long cifsMagic = 0xFF534D42;
constexpr long smb2Magic = 0xFE534D42;

bool keepsOwners(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return true;
    switch (long(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
    case exfatMagic:
    case ntfsMagic:
    case fuseMagic:
    case cifsMagic:
    case smb2Magic:
    case SMB_SUPER_MAGIC:
        return false;
    default:
        return true;
    }
}

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why `name` in `dir` could not be opened as a folder, looked at without following it.
DestinationFolder::Refusal refusalAt(int dir, const char* name) {
    struct stat st {};
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return DestinationFolder::Refusal::Failed;
    if (S_ISLNK(st.st_mode))
        return DestinationFolder::Refusal::Link;
    if (!S_ISDIR(st.st_mode))
        return DestinationFolder::Refusal::NotFolder;
    return DestinationFolder::Refusal::Failed;
}

// Calls `each(dir, name)` for the entries of the open folder `dir` other than "." and "..".
// The names are read first, so that `each` may remove them.
template <class Each> void forEachEntry(int dir, Each each) {
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    DIR* stream = ::fdopendir(listing);
    if (!stream) {
        ::close(listing);
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(stream))
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    ::closedir(stream);
    for (const QByteArray& name : names)
        each(name);
}

// Removes `name` in `dir` when it is a temporary file of this user's that no copy holds.
bool removeWhenStale(int dir, const QByteArray& name) {
    struct stat named {};
    if (::fstatat(dir, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_uid != ::geteuid())
        return false;
    // A link staged for a copy cannot be locked; it lives for two system calls of the copy that
    // serves this folder, so one found here is left over.
    if (S_ISLNK(named.st_mode))
        return ::unlinkat(dir, name.constData(), 0) == 0;
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    // Read-write where allowed: a network file system emulates the lock with a byte-range lock,
    // which wants a writable descriptor.
    int fd = ::openat(dir, name.constData(), O_RDWR | flags);
    if (fd < 0)
        fd = ::openat(dir, name.constData(), O_RDONLY | flags);
    const UniqueFd file(fd);
    struct stat held {};
    // A copy still writing holds its file locked.
    if (file.get() < 0 || ::fstat(file.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
        !sameInode(held, named) || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    // Still the same file under the name: it may have been replaced while it was opened.
    return ::fstatat(dir, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           sameInode(held, named) && ::unlinkat(dir, name.constData(), 0) == 0;
}

int removeStaleIn(int dir) {
    int removed = 0;
    forEachEntry(dir, [&](const QByteArray& name) {
        if (OwnTemporaryNames::matches(name) && removeWhenStale(dir, name))
            ++removed;
    });
    return removed;
}

int removeStaleBelow(int dir, dev_t device) {
    int removed = removeStaleIn(dir);
    forEachEntry(dir, [&](const QByteArray& name) {
        const UniqueFd sub(::openat(dir, name.constData(), folderFlags | O_NONBLOCK));
        struct stat st {};
        if (sub.get() >= 0 && ::fstat(sub.get(), &st) == 0 && st.st_uid == ::geteuid() &&
            st.st_dev == device)
            removed += removeStaleBelow(sub.get(), device);
    });
    return removed;
}

} // namespace

DestinationFolder::~DestinationFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

DestinationFolder::DestinationFolder(DestinationFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_ownersKept(other.m_ownersKept),
      m_identity(other.m_identity) {}

DestinationFolder& DestinationFolder::operator=(DestinationFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_ownersKept = other.m_ownersKept;
        m_identity = other.m_identity;
    }
    return *this;
}

DestinationFolder DestinationFolder::openChosen(const QString& path) {
    const PathAt at(native(path));
    if (!at.ok())
        return {};
    const int fd = ::openat(at.dir(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    return DestinationFolder(fd, fd < 0 || keepsOwners(fd));
}

DestinationFolder::Refusal DestinationFolder::enter(const QString& name,
                                                    DestinationFolder& into) const {
    const QByteArray entry = native(name);
    UniqueFd fd(::openat(m_fd, entry.constData(), folderFlags | O_NONBLOCK));
    if (fd.get() < 0)
        return refusalAt(m_fd, entry.constData());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Refusal::Failed;
    if (m_ownersKept && st.st_uid != ::geteuid())
        return Refusal::OtherOwner;
    into = DestinationFolder(fd.release(), m_ownersKept, Identity{st.st_dev, st.st_ino});
    return Refusal::None;
}

DestinationFolder::Refusal DestinationFolder::enterOrMake(const QString& name,
                                                          const FolderAccess& access,
                                                          DestinationFolder& into,
                                                          bool* made) const {
    // Whatever kept it from being made (it is there, the disk is read-only), entering tells
    // what stands there.
    const bool madeHere = ::mkdirat(m_fd, native(name).constData(), privateFolder) == 0;
    if (made)
        *made = madeHere;
    const Refusal refusal = enter(name, into);
    if (refusal == Refusal::None && madeHere)
        into.bringTo(access);
    return refusal;
}

bool DestinationFolder::holds(const QString& name, const DestinationFolder& folder) const {
    struct stat named {};
    if (::fstatat(m_fd, native(name).constData(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (folder.m_identity)
        return named.st_dev == folder.m_identity->device &&
               named.st_ino == folder.m_identity->inode;
    struct stat open {};
    return ::fstat(folder.m_fd, &open) == 0 && sameInode(named, open);
}

std::optional<FolderAccess> DestinationFolder::access() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return std::nullopt;
    return FolderAccess{unsigned(st.st_mode) & permissionBits, unsigned(st.st_gid)};
}

void DestinationFolder::bringTo(const FolderAccess& wanted) const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return;
    unsigned mode = wanted.mode & permissionBits;
    if (wanted.group && st.st_gid != gid_t(*wanted.group)) {
        // Possible where the user belongs to the source's group; else the group of the folder
        // (the destination's, a shared folder's perhaps) must not see what the source's saw.
        if (::fchown(m_fd, uid_t(-1), gid_t(*wanted.group)) != 0 || ::fstat(m_fd, &st) != 0 ||
            st.st_gid != gid_t(*wanted.group))
            mode &= ~groupBits;
    }
    if ((unsigned(st.st_mode) & 07777) != mode)
        ::fchmod(m_fd, mode);
}

std::optional<FileStamp> DestinationFolder::stamp(const QString& name) const {
    struct stat st {};
    if (::fstatat(m_fd, native(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return stampOfEntry(st);
}

bool DestinationFolder::sameEntry(const QString& name, const DestinationFolder& other,
                                  const QString& otherName) const {
    struct stat a {
    }, b{};
    return ::fstatat(m_fd, native(name).constData(), &a, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstatat(other.m_fd, native(otherName).constData(), &b, AT_SYMLINK_NOFOLLOW) == 0 &&
           sameInode(a, b);
}

bool DestinationFolder::rename(const QString& name, const DestinationFolder& to,
                               const QString& toName) const {
    return ::renameat(m_fd, native(name).constData(), to.m_fd, native(toName).constData()) == 0;
}

LinkResult DestinationFolder::link(const QString& name, const DestinationFolder& to,
                                   const QString& toName) const {
    const QByteArray target = native(toName);
    struct stat st {};
    if (::fstatat(to.m_fd, target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISDIR(st.st_mode) || ::unlinkat(to.m_fd, target.constData(), 0) != 0))
        return LinkResult::Failed;
    // No AT_SYMLINK_FOLLOW: a link is given the second name itself.
    if (::linkat(m_fd, native(name).constData(), to.m_fd, target.constData(), 0) == 0)
        return LinkResult::Linked;
    // FAT has no hard links (EPERM); a file of another user's may not be linked either
    // (protected hard links, EPERM); too many links already (EMLINK).
    return errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK ? LinkResult::Unsupported
                                                                    : LinkResult::Failed;
}

int DestinationFolder::removeStaleTemporaries() const {
    return m_fd >= 0 ? removeStaleIn(m_fd) : 0;
}

bool DestinationFolder::removeTemporary(const QString& name) const {
    return m_fd >= 0 && removeWhenStale(m_fd, native(name));
}

int DestinationFolder::removeStaleTemporariesBelow() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return removeStaleBelow(m_fd, st.st_dev);
}
