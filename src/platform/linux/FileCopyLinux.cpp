#include "platform/linux/FileCopyLinux.h"
#include "platform/Log.h"

#include "platform/Paths.h"
#include "platform/linux/UniqueFd.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Big enough that a kernel-side copy runs at full speed, small enough that the event loop gets a
// turn several times a second on a slow USB disk.
constexpr size_t ChunkBytes = 8 * 1024 * 1024;
constexpr size_t BufferBytes = 1024 * 1024;
constexpr int TempNameAttempts = 16;

CopyResult failure(int err) {
    return {classifyCopyErrno(err), err};
}

// Removes the temporary file unless the copy got as far as renaming it.
class TempFile {
public:
    ~TempFile() {
        if (!path.isEmpty())
            ::unlink(path.constData());
    }
    QByteArray path;
};

bool copyRangeUnsupported(int err) {
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
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
            ssize_t n;
            do
                n = ::copy_file_range(m_in, nullptr, m_out, nullptr, ChunkBytes, 0);
            while (n < 0 && errno == EINTR);
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
            m_buffer.resize(BufferBytes);
        size_t total = 0;
        while (total < ChunkBytes) {
            const ssize_t n =
                ::read(m_in, m_buffer.data(), std::min(m_buffer.size(), ChunkBytes - total));
            if (n < 0 && errno == EINTR)
                continue;
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

int createTemp(const QString& folder, TempFile& temp) {
    for (int attempt = 0; attempt < TempNameAttempts; ++attempt) {
        const QString name = OwnTempPrefix +
                             QString::number(QRandomGenerator::global()->generate64(), 36) +
                             QStringLiteral(".tmp");
        const QByteArray path = Paths::toNative(Paths::join(folder, name));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            temp.path = path;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(Paths::toNative(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

CopyResult copyOrFail(const QString& source, const QString& target,
                      const std::function<void()>& between) {
    UniqueFd in(::open(Paths::toNative(source).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (in.get() < 0)
        return failure(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return failure(errno);
    if (!S_ISREG(st.st_mode))
        return failure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);

    QString folder = Paths::parent(target);
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    TempFile temp;
    UniqueFd out(createTemp(folder, temp));
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
        if (between)
            between();
    }
    copyPermissions(out.get(), st.st_mode);
    // After the last write, or the write would stamp its own time. Best effort like the bits.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    // A full disk may only show here, when delayed allocation finally needs the blocks.
    if (::fsync(out.get()) != 0)
        return failure(errno);
    if (out.close() != 0)
        return failure(errno);
    if (::rename(temp.path.constData(), Paths::toNative(target).constData()) != 0)
        return failure(errno);
    temp.path.clear();
    syncFolder(folder);
    return {};
}

} // namespace

CopyError classifyCopyErrno(int err) {
    switch (err) {
    case 0:
        return CopyError::None;
    case EACCES:
    case EPERM:
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        return CopyError::Busy;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return CopyError::DiskFull;
    default:
        return CopyError::Other;
    }
}

CopyResult copyFileAtomically(const QString& source, const QString& target,
                              const std::function<void()>& between) {
    try {
        return copyOrFail(source, target, between);
    } catch (...) {
        // The temporary file went with the unwinding; the caller sees a failed copy.
        qCWarning(lcPlatform) << "Copy of" << Paths::displayName(source)
                              << "cut short:" << currentExceptionText();
        return {CopyError::Other, 0};
    }
}
