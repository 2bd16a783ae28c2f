#include "platform/DurableFile.h"

#include "platform/Paths.h"
#include "platform/linux/FolderSync.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DurableFile {

namespace {

bool writeAll(int fd, const QByteArray& content) {
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString reason(const char* step, const QString& path, int err) {
    return QStringLiteral("%1 %2: %3")
        .arg(QString::fromLatin1(step), Paths::displayName(path),
             QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

QString replace(const QString& path, const QString& twin, const QByteArray& content) {
    const QByteArray twinName = Paths::toNative(twin);
    // A twin left by a crash goes: the new one is a file of its own, made private from the start.
    ::unlink(twinName.constData());
    UniqueFd fd(
        ::open(twinName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (fd.get() < 0)
        return reason("Cannot create", twin, errno);
    QString error;
    if (!writeAll(fd.get(), content))
        error = reason("Cannot write", twin, errno);
    else if (::fsync(fd.get()) != 0)
        error = reason("Cannot flush", twin, errno);
    else if (fd.close() != 0)
        error = reason("Cannot close", twin, errno);
    if (!error.isEmpty()) {
        ::unlink(twinName.constData());
        return error;
    }
    return renameOver(twin, path);
}

QString renameOver(const QString& twin, const QString& path) {
    const QByteArray twinName = Paths::toNative(twin);
    if (::rename(twinName.constData(), Paths::toNative(path).constData()) != 0) {
        const QString error = reason("Cannot replace", path, errno);
        ::unlink(twinName.constData());
        return error;
    }
    // The new file is in place; a failed folder sync only weakens durability after a crash.
    syncFolderOf(path);
    return {};
}

} // namespace DurableFile

void syncFolderOf(const QString& path) {
    QString folder = Paths::parent(path);
    if (folder.isEmpty())
        folder = QStringLiteral(".");
    const UniqueFd fd(
        ::open(Paths::toNative(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}
