// Looks below a destination folder that never follow a symbolic link: each folder is entered
// relative to the descriptor of the one above it, with O_NOFOLLOW, so a link put in place of a
// mirrored folder (by a program, or by someone who shares the disk) leads nowhere.

#include "platform/FileSystem.h"

#include "platform/Paths.h"
#include "platform/linux/FolderBelow.h"
#include "platform/linux/StatStamp.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

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
    entry.stamp = {qint64(st.st_size), nanosecondsOf(st.st_mtim)};
    return entry;
}

} // namespace

std::optional<std::vector<FolderEntry>>
FileSystem::entriesBelow(const QString& base, const QStringList& relative) const {
    UniqueFd fd(openFolderBelow(base, relative));
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
    const UniqueFd fd(openFolderBelow(base, relative.mid(0, relative.size() - 1)));
    const QByteArray name = Paths::toNative(relative.last());
    if (fd.get() < 0 || !isPlainName(name))
        return std::nullopt;
    return entryAt(fd.get(), name.constData());
}
