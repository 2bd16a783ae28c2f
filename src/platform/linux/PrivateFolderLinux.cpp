#include "platform/PrivateFolder.h"

#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFolder {

namespace {

constexpr mode_t groupAndOthers = S_IRWXG | S_IRWXO;
// The configuration folder is shallow; a deeper tree below it is not the program's.
constexpr int deepestLevel = 8;

bool isFolder(const QString& path) {
    struct stat st {};
    return ::stat(Paths::toNative(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Takes group and other access from the open folder or file `fd` when this user owns it.
void restrict(int fd, const struct stat& st, const QString& path) {
    if (st.st_uid != ::geteuid() || (st.st_mode & groupAndOthers) == 0)
        return;
    if (::fchmod(fd, st.st_mode & 07777 & ~groupAndOthers) != 0)
        qCWarning(lcPlatform) << "Cannot make" << Paths::displayName(path)
                              << "private:" << std::strerror(errno);
}

void tightenBelow(int folderFd, const QString& folderPath, int level) {
    DIR* dir = ::fdopendir(::dup(folderFd));
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const QString path = Paths::join(folderPath, Paths::fromNative(name));
        // Only folders and plain files are opened: a device or a pipe is not the program's, and
        // opening one may have effects of its own.
        struct stat st {};
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
            continue;
        const UniqueFd fd(::openat(folderFd, name.constData(),
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode))
            restrict(fd.get(), st, path);
        if (S_ISDIR(st.st_mode)) {
            restrict(fd.get(), st, path);
            if (level < deepestLevel)
                tightenBelow(fd.get(), path, level + 1);
        }
    }
    ::closedir(dir);
}

} // namespace

bool make(const QString& path) {
    if (isFolder(path))
        return true;
    const QString parent = Paths::parent(path);
    if (!parent.isEmpty() && !make(parent))
        return false;
    if (::mkdir(Paths::toNative(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return false;
    return isFolder(path);
}

void tighten(const QString& folder) {
    // The folder the user's configuration names may itself be a link they made.
    const UniqueFd fd(
        ::open(Paths::toNative(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return;
    // Closed first, so that nobody else can reach what is tightened below it meanwhile.
    restrict(fd.get(), st, folder);
    tightenBelow(fd.get(), folder, 1);
}

} // namespace PrivateFolder
