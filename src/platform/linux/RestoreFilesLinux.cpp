#include "platform/RestoreFiles.h"

#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "platform/linux/FileCopyLinux.h"
#include "platform/linux/FolderBelow.h"
#include "platform/linux/StatStamp.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr size_t compareBytes = 1024 * 1024;
// A folder being filled is its owner's alone; it takes its backup's bits once its files are in.
constexpr mode_t newFolderMode = S_IRWXU;

void setError(int* error, int value) {
    if (error)
        *error = value;
}

struct timespec timespecOf(qint64 ns) {
    struct timespec t {};
    t.tv_sec = time_t(ns / nsPerSecond);
    t.tv_nsec = long(ns % nsPerSecond);
    return t;
}

bool readFully(int fd, char* data, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return true;
}

CopyResult failure(int err) {
    return {classifyCopyErrno(err), err};
}

} // namespace

KeptCopyFile::~KeptCopyFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

KeptCopyFile::KeptCopyFile(KeptCopyFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_linkName(std::move(other.m_linkName)),
      m_linkText(std::move(other.m_linkText)), m_link(other.m_link), m_stamp(other.m_stamp),
      m_mode(other.m_mode), m_accessedNs(other.m_accessedNs) {}

KeptCopyFile& KeptCopyFile::operator=(KeptCopyFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_linkName = std::move(other.m_linkName);
        m_linkText = std::move(other.m_linkText);
        m_link = other.m_link;
        m_stamp = other.m_stamp;
        m_mode = other.m_mode;
        m_accessedNs = other.m_accessedNs;
    }
    return *this;
}

KeptCopyFile KeptCopyFile::open(const QString& base, const QStringList& relative, int* error) {
    KeptCopyFile copy;
    if (relative.isEmpty()) {
        setError(error, EINVAL);
        return copy;
    }
    UniqueFd folder(openFolderBelow(base, relative.mid(0, relative.size() - 1)));
    const QByteArray name = Paths::toNative(relative.last());
    if (folder.get() < 0 || !isPlainName(name)) {
        setError(error, folder.get() < 0 ? errno : EINVAL);
        return copy;
    }
    struct stat st {};
    UniqueFd fd(::openat(folder.get(), name.constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0 && errno == ELOOP) {
        // A link kept as a link: its text is what is restored.
        if (::fstatat(folder.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode)) {
            setError(error, ELOOP);
            return copy;
        }
        QByteArray text(qsizetype(st.st_size) + 1, '\0');
        const ssize_t n =
            ::readlinkat(folder.get(), name.constData(), text.data(), size_t(text.size()));
        if (n < 0) {
            setError(error, errno);
            return copy;
        }
        copy.m_linkText = text.left(n);
        copy.m_linkName = name;
        copy.m_link = true;
        copy.m_fd = folder.release();
    } else {
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
            setError(error, errno);
            return copy;
        }
        if (!S_ISREG(st.st_mode)) {
            setError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
            return copy;
        }
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
            setError(error, errno);
            return copy;
        }
        copy.m_fd = fd.release();
    }
    copy.m_stamp = stampOfEntry(st).value_or(FileStamp{});
    copy.m_mode = unsigned(st.st_mode & 07777);
    copy.m_accessedNs = nanosecondsOf(st.st_atim);
    setError(error, 0);
    return copy;
}

std::optional<unsigned> KeptCopyFile::folderMode(const QString& base, const QStringList& relative) {
    const UniqueFd folder(openFolderBelow(base, relative));
    struct stat st {};
    if (folder.get() < 0 || ::fstat(folder.get(), &st) != 0)
        return std::nullopt;
    return unsigned(st.st_mode & 07777);
}

bool KeptCopyFile::sameContentAs(const QString& path) const {
    if (!isOpen())
        return false;
    if (m_link) {
        QByteArray text(m_linkText.size() + 1, '\0');
        const ssize_t n =
            ::readlink(Paths::toNative(path).constData(), text.data(), size_t(text.size()));
        return n == m_linkText.size() && text.left(n) == m_linkText;
    }
    const UniqueFd other(::open(Paths::toNative(path).constData(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (other.get() < 0 || ::fstat(other.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size != m_stamp.size)
        return false;
    std::vector<char> mine(compareBytes), theirs(compareBytes);
    for (off_t at = 0;;) {
        const ssize_t a = ::pread(m_fd, mine.data(), compareBytes, at);
        size_t b = 0;
        if (a < 0 || !readFully(other.get(), theirs.data(), compareBytes, b) || size_t(a) != b)
            return false;
        if (a == 0)
            return true;
        if (std::memcmp(mine.data(), theirs.data(), b) != 0)
            return false;
        at += a;
    }
}

RestoreTarget::~RestoreTarget() {
    if (m_fd >= 0)
        ::close(m_fd);
}

RestoreTarget::RestoreTarget(RestoreTarget&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

RestoreTarget& RestoreTarget::operator=(RestoreTarget&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

RestoreTarget RestoreTarget::openChosen(const QString& path, int* error) {
    const int fd = ::open(Paths::toNative(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    setError(error, fd < 0 ? errno : 0);
    return RestoreTarget(fd);
}

RestoreTarget::Refusal RestoreTarget::enterOrMake(const QString& name, RestoreTarget& into,
                                                  int* error, bool* made) const {
    const QByteArray native = Paths::toNative(name);
    if (made)
        *made = false;
    if (!isPlainName(native)) {
        setError(error, EINVAL);
        return Refusal::Failed;
    }
    if (::mkdirat(m_fd, native.constData(), newFolderMode) == 0) {
        if (made)
            *made = true;
    } else if (errno != EEXIST) {
        setError(error, errno);
        return Refusal::Failed;
    }
    const int fd = ::openat(m_fd, native.constData(), folderFlags);
    if (fd >= 0) {
        into = RestoreTarget(fd);
        setError(error, 0);
        return Refusal::None;
    }
    setError(error, errno);
    switch (entryAt(name)) {
    case Entry::Link:
        return Refusal::Link;
    case Entry::Folder:
    case Entry::None:
        return Refusal::Failed;
    default:
        return Refusal::NotFolder;
    }
}

RestoreTarget::Entry RestoreTarget::entryAt(const QString& name) const {
    struct stat st {};
    if (::fstatat(m_fd, Paths::toNative(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Entry::None;
    if (S_ISREG(st.st_mode))
        return Entry::File;
    if (S_ISDIR(st.st_mode))
        return Entry::Folder;
    if (S_ISLNK(st.st_mode))
        return Entry::Link;
    return Entry::Other;
}

bool RestoreTarget::isEmpty() const {
    const int listing = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    bool empty = true;
    while (const dirent* d = ::readdir(dir))
        if (qstrcmp(d->d_name, ".") != 0 && qstrcmp(d->d_name, "..") != 0) {
            empty = false;
            break;
        }
    ::closedir(dir);
    return empty;
}

void RestoreTarget::setMode(unsigned mode) const {
    ::fchmod(m_fd, mode_t(mode & 07777));
}

int RestoreTarget::flushDisk() const {
    return ::syncfs(m_fd) == 0 ? 0 : errno;
}

void RestoreTarget::makeReadOnly(const QString& name) const {
    struct stat st {};
    const QByteArray native = Paths::toNative(name);
    if (::fstatat(m_fd, native.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
        ::fchmodat(m_fd, native.constData(), st.st_mode & 07555, 0);
}

CopyResult RestoreTarget::stage(const KeptCopyFile& copy, QByteArray& temp, bool flush,
                                const std::function<bool()>& between) const {
    temp.clear();
    if (!copy.isOpen() || !isOpen())
        return failure(EINVAL);
    const struct timespec times[2] = {timespecOf(copy.m_accessedNs),
                                      timespecOf(copy.m_stamp.modifiedNs)};
    if (copy.m_link) {
        const QByteArray name = Paths::toNative(OwnTemporaryNames::fresh());
        if (::symlinkat(copy.m_linkText.constData(), m_fd, name.constData()) != 0)
            return failure(errno);
        ::utimensat(m_fd, name.constData(), times, AT_SYMLINK_NOFOLLOW);
        temp = name;
        return {};
    }
    QByteArray name;
    UniqueFd out(createLockedTemporary(m_fd, name));
    if (out.get() < 0)
        return failure(errno);
    const auto fail = [&](int err) {
        ::unlinkat(m_fd, name.constData(), 0);
        return failure(err);
    };
    struct stat source {};
    if (::fstat(copy.m_fd, &source) != 0 || ::lseek(copy.m_fd, 0, SEEK_SET) != 0 ||
        copyFileData(copy.m_fd, out.get(), source, between) != 0)
        return fail(errno);
    ::fchmod(out.get(), mode_t(copy.m_mode));
    ::futimens(out.get(), times);
    // A full disk may show only now, when delayed allocation needs the blocks.
    if ((flush && ::fsync(out.get()) != 0) || out.close() != 0)
        return fail(errno);
    temp = name;
    return {};
}

CopyResult RestoreTarget::place(const QByteArray& temp, const QString& name, bool replace) const {
    const QByteArray target = Paths::toNative(name);
    if (!isOpen() || !isPlainName(target)) {
        discard(temp);
        return failure(EINVAL);
    }
    int rc = replace
                 ? ::renameat(m_fd, temp.constData(), m_fd, target.constData())
                 : ::renameat2(m_fd, temp.constData(), m_fd, target.constData(), RENAME_NOREPLACE);
    // A file system without the no-replace rename is looked at first instead.
    if (rc != 0 && errno == EINVAL && !replace) {
        rc = entryAt(name) == Entry::None
                 ? ::renameat(m_fd, temp.constData(), m_fd, target.constData())
                 : (errno = EEXIST, -1);
    }
    if (rc != 0) {
        const int err = errno;
        discard(temp);
        return failure(err);
    }
    return {};
}

void RestoreTarget::discard(const QByteArray& temp) const {
    if (!temp.isEmpty())
        ::unlinkat(m_fd, temp.constData(), 0);
}

CopyResult RestoreTarget::write(const KeptCopyFile& copy, const QString& name, bool replace,
                                const std::function<bool()>& between) const {
    if (!isPlainName(Paths::toNative(name)))
        return failure(EINVAL);
    QByteArray temp;
    if (const CopyResult staged = stage(copy, temp, true, between); !staged.ok())
        return staged;
    if (const CopyResult placed = place(temp, name, replace); !placed.ok())
        return placed;
    // Best effort: the file is in place; a failed sync only weakens it after a crash.
    ::fsync(m_fd);
    return {};
}
