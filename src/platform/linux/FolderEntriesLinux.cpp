// Looks below a destination folder that never follow a symbolic link: each folder is entered
// relative to the descriptor of the one above it, with O_NOFOLLOW, so a link put in place of a
// mirrored folder (by a program, or by someone who shares the disk) leads nowhere.

#include "platform/FileSystem.h"

#include "platform/Paths.h"
#include "platform/linux/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A component that names one entry of its folder, and nothing else.
bool isPlainName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/');
}

// A descriptor of base/relative..., entered one real folder at a time; -1 when that fails.
int openBelow(const QString& base, const QStringList& relative) {
    int fd = ::open(Paths::toNative(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const QString& component : relative) {
        if (fd < 0)
            break;
        const UniqueFd above(fd);
        const QByteArray name = Paths::toNative(component);
        fd = isPlainName(name) ? ::openat(above.get(), name.constData(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                               : -1;
    }
    return fd;
}

std::optional<FolderEntry> entryAt(int dirFd, const char* name) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    FolderEntry entry;
    entry.name = Paths::fromNative(name);
    if (S_ISREG(st.st_mode))
        entry.kind = FolderEntry::Kind::File;
    else if (S_ISDIR(st.st_mode))
        entry.kind = FolderEntry::Kind::Folder;
    else if (S_ISLNK(st.st_mode))
        entry.kind = FolderEntry::Kind::Link;
    entry.stamp = {qint64(st.st_size),
                   qint64(st.st_mtim.tv_sec) * nsPerSecond + st.st_mtim.tv_nsec};
    return entry;
}

} // namespace

std::optional<std::vector<FolderEntry>>
FileSystem::entriesBelow(const QString& base, const QStringList& relative) const {
    UniqueFd fd(openBelow(base, relative));
    if (fd.get() < 0)
        return std::nullopt;
    DIR* dir = ::fdopendir(fd.get());
    if (!dir)
        return std::nullopt;
    fd.release(); // the listing owns it now
    std::vector<FolderEntry> entries;
    while (const dirent* d = ::readdir(dir)) {
        if (qstrcmp(d->d_name, ".") == 0 || qstrcmp(d->d_name, "..") == 0)
            continue;
        // An entry that went between the listing and the look is simply not there.
        if (auto entry = entryAt(::dirfd(dir), d->d_name))
            entries.push_back(std::move(*entry));
    }
    ::closedir(dir);
    return entries;
}

std::optional<FolderEntry> FileSystem::entryBelow(const QString& base,
                                                  const QStringList& relative) const {
    if (relative.isEmpty())
        return std::nullopt;
    const UniqueFd fd(openBelow(base, relative.mid(0, relative.size() - 1)));
    const QByteArray name = Paths::toNative(relative.last());
    if (fd.get() < 0 || !isPlainName(name))
        return std::nullopt;
    return entryAt(fd.get(), name.constData());
}
