#include "platform/linux/FileCopyLinux.h"
#include "platform/Log.h"

#include "platform/Interruption.h"
#include "platform/Paths.h"
#include "platform/linux/FolderSync.h"
#include "platform/linux/UniqueFd.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Big enough that a kernel-side copy runs at full speed, small enough that the event loop gets a
// turn several times a second on a slow USB disk.
constexpr size_t chunkBytes = 8 * 1024 * 1024;
constexpr size_t bufferBytes = 1024 * 1024;
constexpr int tempNameAttempts = 16;
const QString tempSuffix = QStringLiteral(".tmp");

CopyResult failure(int err) {
    return {classifyCopyErrno(err), err};
}

QByteArray native(const QString& path) {
    return Paths::toNative(path);
}

// Runs a system call again after a signal, unless a termination signal asked everything to end:
// then the call fails with EINTR and the copy with it.
template <class Call> auto restartingUnlessTerminated(Call call) {
    for (;;) {
        const auto result = call();
        if (result < 0 && errno == EINTR && !Interruption::requested())
            continue;
        return result;
    }
}

bool copyRangeUnsupported(int err) {
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = restartingUnlessTerminated([&] { return ::write(fd, data, size); });
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

class ChunkCopier {
public:
    ChunkCopier(int in, int out, off_t expectedSize) : m_in(in), m_out(out), m_size(expectedSize) {}

    // Copies up to one chunk from the current offsets: bytes copied, 0 at the end, -1 (errno).
    ssize_t next() {
        if (m_kernelCopy) {
            const ssize_t n = restartingUnlessTerminated(
                [this] { return ::copy_file_range(m_in, nullptr, m_out, nullptr, chunkBytes, 0); });
            // Some file systems claim an empty file on the first call; read to be sure.
            const bool emptyClaim = n == 0 && m_copied == 0 && m_size > 0;
            if (n > 0 || (n == 0 && !emptyClaim)) {
                m_copied += n;
                return n;
            }
            if (n < 0 && !copyRangeUnsupported(errno))
                return -1;
            m_kernelCopy = false; // the offsets moved with the bytes done, so read on from there
        }
        return readWrite();
    }

private:
    ssize_t readWrite() {
        if (m_buffer.empty())
            m_buffer.resize(bufferBytes);
        size_t total = 0;
        while (total < chunkBytes) {
            const size_t want = std::min(m_buffer.size(), chunkBytes - total);
            const ssize_t n =
                restartingUnlessTerminated([&] { return ::read(m_in, m_buffer.data(), want); });
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            if (!writeAll(m_out, m_buffer.data(), size_t(n)))
                return -1;
            total += size_t(n);
        }
        m_copied += off_t(total);
        return ssize_t(total);
    }

    int m_in, m_out;
    off_t m_size;
    off_t m_copied = 0;
    bool m_kernelCopy = true;
    std::vector<char> m_buffer;
};

// Some file systems (FAT) keep only a read-only flag; a refused chmod must not lose the copy,
// but a read-only source should still give a read-only copy where that can be said.
void copyPermissions(int out, mode_t sourceMode) {
    if (::fchmod(out, sourceMode & 07777) == 0 || (sourceMode & S_IWUSR))
        return;
    struct stat st {};
    if (::fstat(out, &st) == 0)
        ::fchmod(out, st.st_mode & 07777 & ~mode_t(0222));
}

// Hands a chunk to the disk at once, while the next one is read, so that the fsync at the end
// waits for the last chunks only instead of the whole file; that fsync still makes the copy
// durable. It only starts the writing, so a failure here is seen there.
void startWriteback(int fd, off_t offset, off_t length) {
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A temporary file of ours is named ".quillmot-", base-36 digits, ".tmp".
bool isOwnTempName(const QByteArray& name) {
    static const QByteArray prefix = ownTempPrefix.toUtf8();
    static const QByteArray suffix = tempSuffix.toUtf8();
    if (!name.startsWith(prefix) || !name.endsWith(suffix) ||
        name.size() <= prefix.size() + suffix.size())
        return false;
    const QByteArray digits = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Creates a fresh temporary file in `folder` and locks it for as long as it is open. A sweep for
// stale files may open the new file before the lock is taken; it then holds the lock and removes
// the file, so a name is only kept once the lock is ours and the name still leads to the file.
int createTemp(const QString& folder, QByteArray& tempPath) {
    for (int attempt = 0; attempt < tempNameAttempts; ++attempt) {
        const QString name = ownTempPrefix +
                             QString::number(QRandomGenerator::global()->generate64(), 36) +
                             tempSuffix;
        const QByteArray path = native(Paths::join(folder, name));
        UniqueFd fd(restartingUnlessTerminated([&] {
            return ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        }));
        if (fd.get() < 0 && errno == EEXIST)
            continue;
        if (fd.get() < 0)
            return -1;
        struct stat mine {
        }, named{};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &mine) != 0 ||
            ::lstat(path.constData(), &named) != 0 || !sameInode(mine, named))
            continue;
        tempPath = path;
        return fd.release();
    }
    errno = EEXIST;
    return -1;
}

// Opens the source as it is: a symbolic link put in its place is not followed, and a named pipe
// or device does not block the open; only a regular file is copied.
int openSource(const QString& source, struct stat& st) {
    UniqueFd in(restartingUnlessTerminated([&] {
        return ::open(native(source).constData(),
                      O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    }));
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int flags = ::fcntl(in.get(), F_GETFL);
    if (flags < 0 || ::fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return -1;
    return in.release();
}

CopyResult stageOrFail(const QString& source, const QString& target, QByteArray& tempPath,
                       int& lock, const std::function<bool()>& between) {
    struct stat st {};
    UniqueFd in(openSource(source, st));
    if (in.get() < 0)
        return failure(errno);

    QString folder = Paths::parent(target);
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    UniqueFd out(createTemp(folder, tempPath));
    if (out.get() < 0)
        return failure(errno);

    // The whole file is read once, front to back: a larger read-ahead serves that best.
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    ChunkCopier copier(in.get(), out.get(), st.st_size);
    off_t written = 0;
    for (;;) {
        const ssize_t n = copier.next();
        if (n < 0)
            return failure(errno);
        if (n == 0)
            break;
        startWriteback(out.get(), written, n);
        written += n;
        if (between && !between())
            return failure(ECANCELED);
    }
    copyPermissions(out.get(), st.st_mode);
    // After the last write, or the write would stamp its own time. Best effort like the bits.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    // A full disk may only show here, when delayed allocation finally needs the blocks.
    if (restartingUnlessTerminated([&] { return ::fsync(out.get()); }) != 0)
        return failure(errno);
    // The lock lives on in a second descriptor of the same open file; closing the first still
    // reports an error that a network file system gives only at close.
    lock = ::fcntl(out.get(), F_DUPFD_CLOEXEC, 0);
    if (lock < 0)
        return failure(errno);
    if (out.close() != 0)
        return failure(errno);
    return {};
}

} // namespace

CopyError classifyCopyErrno(int err) {
    switch (err) {
    case 0:
        return CopyError::None;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: // a lease or lock held by another program
        return CopyError::Busy;
    case EACCES:
    case EPERM:
        return CopyError::Denied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return CopyError::DiskFull;
    case ECANCELED:
    case EINTR:
        return CopyError::Cancelled;
    default:
        return CopyError::Other;
    }
}

CopyResult stageCopyData(const QString& source, const QString& target, QByteArray& tempPath,
                         int& lock, const std::function<bool()>& between) {
    try {
        return stageOrFail(source, target, tempPath, lock, between);
    } catch (...) {
        // The caller discards the temporary file; it sees a failed copy.
        qCWarning(lcPlatform) << "Copy of" << Paths::displayName(source)
                              << "cut short:" << currentExceptionText();
        return {CopyError::Other, 0};
    }
}

CopyResult commitStagedCopy(const QByteArray& tempPath, const QByteArray& target) {
    if (::rename(tempPath.constData(), target.constData()) != 0)
        return failure(errno);
    syncFolderOf(Paths::fromNative(target));
    return {};
}

int removeStaleTemps(const QString& folder) {
    const int dirFd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    std::vector<QByteArray> candidates;
    while (const dirent* entry = ::readdir(dir))
        if (isOwnTempName(entry->d_name))
            candidates.emplace_back(entry->d_name);
    int removed = 0;
    for (const QByteArray& name : candidates) {
        const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
        // Read-write where allowed: a network file system emulates the lock with a byte-range
        // lock, which wants a writable descriptor.
        int fd = ::openat(dirFd, name.constData(), O_RDWR | flags);
        if (fd < 0)
            fd = ::openat(dirFd, name.constData(), O_RDONLY | flags);
        UniqueFd file(fd);
        struct stat held {
        }, named{};
        // Only a file of this user's that no running copy holds: another user's copies, and a
        // copy still writing, keep theirs.
        if (file.get() < 0 || ::fstat(file.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
            held.st_uid != ::geteuid() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::fstatat(dirFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameInode(held, named) && ::unlinkat(dirFd, name.constData(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}
