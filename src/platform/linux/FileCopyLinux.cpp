#include "platform/linux/FileCopyLinux.h"
#include "platform/Log.h"

#include "platform/Interruption.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "platform/linux/PathAt.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
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
// The unit of st_blocks.
constexpr off_t blockBytes = 512;

CopyResult failure(int err) {
    return {classifyCopyErrno(err), err};
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

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Copies from the current offsets of both files, the kernel doing the work where it can.
class ChunkCopier {
public:
    ChunkCopier(int in, int out, off_t expectedSize) : m_in(in), m_out(out), m_size(expectedSize) {}

    // Copies up to `limit` bytes: the bytes copied, 0 at the end of the file, -1 (errno).
    ssize_t next(size_t limit) {
        if (m_kernelCopy) {
            const ssize_t n = restartingUnlessTerminated(
                [&] { return ::copy_file_range(m_in, nullptr, m_out, nullptr, limit, 0); });
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
        return readWrite(limit);
    }

private:
    ssize_t readWrite(size_t limit) {
        if (m_buffer.empty())
            m_buffer.resize(bufferBytes);
        size_t total = 0;
        while (total < limit) {
            const size_t want = std::min(m_buffer.size(), limit - total);
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

// Hands a chunk to the disk at once, while the next one is read, so that the fsync at the end
// waits for the last chunks only instead of the whole file; that fsync still makes the copy
// durable. It only starts the writing, so a failure here is seen there.
void startWriteback(int fd, off_t offset, off_t length) {
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

class DataCopy {
public:
    // `batched`: a file of one chunk is written out with the rest of its batch, in one go, where
    // handing each to the disk alone makes as many small writes as there are files.
    DataCopy(int in, int out, const struct stat& source, const std::function<bool()>& between,
             bool batched)
        : m_in(in), m_out(out), m_source(source), m_between(between),
          m_copier(in, out, source.st_size),
          m_writeEachChunk(!batched || source.st_size > off_t(chunkBytes)) {}

    // The data of the source into the copy: the whole file front to back, or, for a file with
    // holes, each run of data at its own offset with the holes left unwritten, so that a large
    // sparse file (a disk image) takes no more room in the backup than at its source. 0, or -1
    // with errno set.
    int run() {
        if (m_source.st_blocks * blockBytes >= m_source.st_size)
            return copyRun(0, std::nullopt);
        off_t position = 0;
        for (;;) {
            const off_t data = ::lseek(m_in, position, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // no data after `position`: the rest is a hole
            // A file system that cannot tell where its holes are is copied whole.
            if (data < 0 && position == 0 && errno == EINVAL)
                return copyRun(0, std::nullopt);
            if (data < 0)
                return -1;
            const off_t hole = ::lseek(m_in, data, SEEK_HOLE);
            if (hole < 0 || ::lseek(m_in, data, SEEK_SET) < 0 || ::lseek(m_out, data, SEEK_SET) < 0)
                return -1;
            if (copyRun(data, hole) != 0)
                return -1;
            position = hole;
        }
        // A hole at the end holds no data to write: the size alone makes it.
        return ::ftruncate(m_out, m_source.st_size);
    }

private:
    // Copies from `start` to `end` (to the end of the file when unset), chunk by chunk.
    int copyRun(off_t start, std::optional<off_t> end) {
        off_t at = start;
        for (;;) {
            const size_t want =
                end ? size_t(std::min<off_t>(off_t(chunkBytes), *end - at)) : chunkBytes;
            if (want == 0)
                return 0;
            const ssize_t n = m_copier.next(want);
            if (n <= 0)
                return int(n);
            if (m_writeEachChunk)
                startWriteback(m_out, at, n);
            at += n;
            if (m_between && !m_between()) {
                errno = ECANCELED;
                return -1;
            }
        }
    }

    int m_in, m_out;
    const struct stat& m_source;
    const std::function<bool()>& m_between;
    ChunkCopier m_copier;
    bool m_writeEachChunk;
};

// True when the file open as `in` changed while it was read (its size, last-modified time or
// change time moved), or is no longer the file at its name (another was saved over it): then
// what was read may be a moment in the middle of a write.
bool changedWhileRead(int in, const struct stat& before, const PathAt& source) {
    struct stat now {
    }, named{};
    if (::fstat(in, &now) != 0 || now.st_size != before.st_size ||
        !sameTime(now.st_mtim, before.st_mtim) || !sameTime(now.st_ctim, before.st_ctim))
        return true;
    return ::fstatat(source.dir(), source.name(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
           !sameInode(now, named);
}

// The copy is as readable as its source and no more: the source's permission bits, for the
// source's group. Where the copy cannot take that group (the user is not in it), its own group
// gets nothing. Some file systems (FAT) keep only a read-only flag; a refused chmod must not lose
// the copy, but a read-only source should still give a read-only copy where that can be said.
void copyAccess(int out, const struct stat& source) {
    mode_t mode = source.st_mode & 07777;
    struct stat st {};
    if (::fstat(out, &st) == 0 && st.st_gid != source.st_gid &&
        (::fchown(out, uid_t(-1), source.st_gid) != 0 || ::fstat(out, &st) != 0 ||
         st.st_gid != source.st_gid))
        mode &= ~mode_t(S_IRWXG | S_ISGID);
    if (::fchmod(out, mode) == 0 || (mode & S_IWUSR))
        return;
    if (::fstat(out, &st) == 0)
        ::fchmod(out, st.st_mode & 07777 & ~mode_t(0222));
}

} // namespace

// A sweep for stale files may open the new file before the lock is taken; it then holds the lock
// and removes the file, so a name is only kept once the lock is ours and the name still leads to
// the file.
int createLockedTemporary(int folder, QByteArray& tempName) {
    for (int attempt = 0; attempt < tempNameAttempts; ++attempt) {
        const QByteArray name = Paths::toNative(OwnTemporaryNames::fresh());
        UniqueFd fd(restartingUnlessTerminated([&] {
            return ::openat(folder, name.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        }));
        if (fd.get() < 0 && errno == EEXIST)
            continue;
        if (fd.get() < 0)
            return -1;
        struct stat mine {
        }, named{};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &mine) != 0 ||
            ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameInode(mine, named))
            continue;
        tempName = name;
        return fd.release();
    }
    errno = EEXIST;
    return -1;
}

int copyFileData(int in, int out, const struct stat& source, const std::function<bool()>& between,
                 bool batched) {
    return DataCopy(in, out, source, between, batched).run();
}

namespace {

// Opens the source as it is: a symbolic link in its place is not followed (ELOOP), and a named
// pipe or device does not block the open; only a regular file is read.
int openSource(const PathAt& source, struct stat& st) {
    UniqueFd in(restartingUnlessTerminated([&] {
        return ::openat(source.dir(), source.name(),
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

// The target text of the link at `source`, read without following it.
std::optional<QByteArray> linkText(const PathAt& source, off_t expectedLength) {
    QByteArray text(qsizetype(std::max<off_t>(expectedLength, 1)) + 1, '\0');
    for (;;) {
        const ssize_t n =
            ::readlinkat(source.dir(), source.name(), text.data(), size_t(text.size()));
        if (n < 0)
            return std::nullopt;
        if (n < text.size()) {
            text.truncate(n);
            return text;
        }
        text.resize(text.size() * 2); // a link that grew: another was put in its place
    }
}

// A symbolic link is backed up as a link: its target text, never what it points to, with the
// link's own time. No lock is held (a link cannot be locked): its temporary name lives only
// until the commit that follows.
CopyResult stageLink(const PathAt& source, int folder, QByteArray& tempName) {
    struct stat before {
    }, after{};
    if (::fstatat(source.dir(), source.name(), &before, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(errno);
    if (!S_ISLNK(before.st_mode))
        return failure(ELOOP); // too many links on the way to it
    const std::optional<QByteArray> text = linkText(source, before.st_size);
    if (!text)
        return failure(errno);
    if (::fstatat(source.dir(), source.name(), &after, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameInode(before, after) || !sameTime(before.st_ctim, after.st_ctim))
        return {CopyError::SourceChanged, 0};
    for (int attempt = 0; attempt < tempNameAttempts; ++attempt) {
        const QByteArray name = Paths::toNative(OwnTemporaryNames::fresh());
        if (::symlinkat(text->constData(), folder, name.constData()) != 0) {
            if (errno == EEXIST)
                continue;
            return failure(errno);
        }
        tempName = name;
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ::utimensat(folder, name.constData(), times, AT_SYMLINK_NOFOLLOW);
        return {};
    }
    return failure(EEXIST);
}

CopyResult stageOrFail(const QString& source, int folder, QByteArray& tempName, int& lock,
                       const std::function<bool()>& between, const std::function<int(int)>& flush,
                       bool batched) {
    const PathAt at(Paths::toNative(source));
    if (!at.ok())
        return failure(errno);
    struct stat st {};
    UniqueFd in(openSource(at, st));
    if (in.get() < 0)
        return errno == ELOOP ? stageLink(at, folder, tempName) : failure(errno);

    UniqueFd out(createLockedTemporary(folder, tempName));
    if (out.get() < 0)
        return failure(errno);
    // The whole file is read once, front to back: a larger read-ahead serves that best.
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (copyFileData(in.get(), out.get(), st, between, batched) != 0)
        return failure(errno);
    if (changedWhileRead(in.get(), st, at))
        return {CopyError::SourceChanged, 0};
    copyAccess(out.get(), st);
    // After the last write, or the write would stamp its own time. Best effort like the bits.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    // A full disk may only show here, when delayed allocation finally needs the blocks.
    if (restartingUnlessTerminated([&] { return flush(out.get()); }) != 0)
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

CopyResult stageCopyData(const QString& source, int folder, QByteArray& tempName, int& lock,
                         const std::function<bool()>& between, const std::function<int(int)>& flush,
                         bool batched) {
    try {
        return stageOrFail(source, folder, tempName, lock, between, flush, batched);
    } catch (...) {
        // The caller discards the temporary file; it sees a failed copy.
        qCWarning(lcPlatform) << "Copy of" << Paths::displayName(source)
                              << "cut short:" << currentExceptionText();
        return {CopyError::Other, 0};
    }
}

CopyResult commitStagedCopy(int folder, const QByteArray& tempName, const QByteArray& target,
                            bool flushFolder) {
    if (::renameat(folder, tempName.constData(), folder, target.constData()) != 0)
        return failure(errno);
    // Best effort: the new copy is in place; a failed sync only weakens it after a crash.
    if (flushFolder)
        ::fsync(folder);
    return {};
}
