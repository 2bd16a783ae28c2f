#include "platform/FileSystem.h"
#include "platform/Log.h"

#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/linux/FileCopyLinux.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/VolumeLabelLinux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace {

// A hard-mounted share whose server is gone can block statvfs for minutes.
constexpr auto NetworkProbeLimit = std::chrono::seconds(2);

QByteArray native(const QString& path) {
    return Paths::toNative(path);
}

std::optional<struct stat> statOf(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

std::optional<FileStamp> stampOf(const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    constexpr qint64 NsPerSecond = 1000 * 1000 * 1000;
    return FileStamp{qint64(st.st_size),
                     qint64(st.st_mtim.tv_sec) * NsPerSecond + st.st_mtim.tv_nsec};
}

enum class EntryKind { File, Folder, Other };

// What a listing sees: a symbolic link counts as the file it points to, never as a folder.
EntryKind kindOf(int dirFd, const char* name, unsigned char type) {
    if (type == DT_REG)
        return EntryKind::File;
    if (type == DT_DIR)
        return EntryKind::Folder;
    if (type != DT_LNK && type != DT_UNKNOWN)
        return EntryKind::Other;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    if (S_ISLNK(st.st_mode) && ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode))
        return EntryKind::File;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

QStringList list(const QString& folder, EntryKind wanted) {
    QStringList out;
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir)
        return out;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (qstrcmp(name, ".") == 0 || qstrcmp(name, "..") == 0)
            continue;
        if (kindOf(::dirfd(dir), name, entry->d_type) == wanted)
            out << Paths::join(folder, Paths::fromNative(name));
    }
    ::closedir(dir);
    return out;
}

// Removes `name` below `parentFd` with everything in it, never following a link and never
// entering another file system mounted inside (which would delete someone else's data).
bool removeTree(int parentFd, const char* name, dev_t device) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(parentFd, name, 0) == 0;
    if (st.st_dev != device)
        return false;
    // A read-only folder keeps its entries, even from their owner; the caller wants them gone.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmodat(parentFd, name, (st.st_mode & 07777) | S_IRWXU, 0);
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    bool ok = true;
    for (const QByteArray& child : names)
        ok = removeTree(::dirfd(dir), child.constData(), device) && ok;
    ::closedir(dir);
    return ok && ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// "//server/share" for a share's mount source ("//server/share" or NFS's "server:/export").
QString networkFormOf(const QString& source) {
    if (source.startsWith(QStringLiteral("//")))
        return Paths::withoutTrailingSeparator(source);
    const qsizetype colon = source.indexOf(QStringLiteral(":/"));
    if (colon > 0)
        return QStringLiteral("//") + source.left(colon) +
               Paths::withoutTrailingSeparator(source.mid(colon + 1));
    return {};
}

// The drive of a path written "//server/share/...": the mount point of that share when it is
// mounted here, else the share text itself, which then exists as no drive.
QString networkDriveName(const QString& path) {
    const QStringList pieces = Paths::split(path);
    const QString share = pieces.mid(0, 4).join(Paths::separator());
    const MountTable table = MountTable::current();
    for (const MountEntry& e : table.entries()) {
        if (isNetworkFsType(e.fsType) &&
            networkFormOf(e.source).compare(share, Qt::CaseInsensitive) == 0)
            return e.mountPoint;
    }
    return share;
}

bool statvfsWithin(const QByteArray& path, std::chrono::milliseconds limit) {
    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool ok = false;
    };
    auto probe = std::make_shared<Probe>();
    try {
        // Detached: a hung probe must not hang the caller; it ends when the kernel gives up.
        std::thread([probe, path] {
            struct statvfs sv {};
            const bool ok = ::statvfs(path.constData(), &sv) == 0;
            std::lock_guard lock(probe->mutex);
            probe->finished = true;
            probe->ok = ok;
            probe->done.notify_all();
        }).detach();
    } catch (...) {
        qCWarning(lcPlatform) << "No thread for the drive probe:" << currentExceptionText();
        return false;
    }
    std::unique_lock lock(probe->mutex);
    probe->done.wait_for(lock, limit, [&] { return probe->finished; });
    return probe->finished && probe->ok;
}

} // namespace

bool FileSystem::FileExists(const QString& path) const {
    const auto st = statOf(path);
    return st && S_ISREG(st->st_mode);
}

bool FileSystem::FolderExists(const QString& path) const {
    const auto st = statOf(path);
    return st && S_ISDIR(st->st_mode);
}

QStringList FileSystem::files(const QString& folder) const {
    return list(folder, EntryKind::File);
}

QStringList FileSystem::subFolders(const QString& folder) const {
    return list(folder, EntryKind::Folder);
}

std::optional<QDateTime> FileSystem::lastModified(const QString& path) const {
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(st->st_mtim.tv_sec) * 1000 +
                                          st->st_mtim.tv_nsec / 1000000);
}

std::optional<FileStamp> FileSystem::stamp(const QString& path) const {
    const auto st = statOf(path);
    return st ? stampOf(*st) : std::nullopt;
}

std::vector<std::optional<FileStamp>> FileSystem::stampsIn(const QString& folder,
                                                           const QStringList& names) const {
    std::vector<std::optional<FileStamp>> stamps(size_t(names.size()));
    const UniqueFd dir(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return stamps;
    for (qsizetype i = 0; i < names.size(); ++i) {
        struct stat st {};
        if (::fstatat(dir.get(), native(names[i]).constData(), &st, 0) == 0)
            stamps[size_t(i)] = stampOf(st);
    }
    return stamps;
}

qint64 FileSystem::modifiedTimeStepNs(const QString& path) const {
    const std::optional<MountEntry> mount = MountTable::current().mountOf(absoluteClean(path));
    return mount ? ::modifiedTimeStepNs(mount->fsType) : 1;
}

std::optional<FileAttributes> FileSystem::attributes(const QString& path) const {
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    FileAttributes a;
    a.hidden = isHiddenName(Paths::fileName(path));
    a.readOnly = (st->st_mode & S_IWUSR) == 0;
    a.mode = st->st_mode & 07777;
    return a;
}

bool FileSystem::setMode(const QString& path, unsigned mode) {
    return ::chmod(native(path).constData(), mode & 07777) == 0;
}

bool FileSystem::setNormal(const QString& path) {
    const auto st = statOf(path);
    return st && setMode(path, (st->st_mode & 07777) | S_IWUSR);
}

bool FileSystem::CreateFolder(const QString& path) {
    return ::mkdir(native(path).constData(), 0777) == 0;
}

bool FileSystem::DeleteFolder(const QString& path) {
    struct stat st {};
    const QByteArray name = native(path);
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return removeTree(AT_FDCWD, name.constData(), st.st_dev);
}

bool FileSystem::deleteFile(const QString& path) {
    struct stat st {};
    const QByteArray name = native(path);
    if (::lstat(name.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(name.constData()) == 0;
}

CopyResult FileSystem::copyFile(const QString& source, const QString& target,
                                const std::function<void()>& between) {
    return copyFileAtomically(source, target, between);
}

QString FileSystem::GetDriveName(const QString& path) const {
    if (path.startsWith(QStringLiteral("//")))
        return networkDriveName(path);
    const std::optional<MountEntry> mount = MountTable::current().mountOf(absoluteClean(path));
    return mount ? mount->mountPoint : QStringLiteral("/");
}

bool FileSystem::DriveExists(const QString& drive) const {
    return !drive.isEmpty() && MountTable::current().isMountPoint(drive);
}

bool FileSystem::DriveIsReady(const QString& drive) const {
    if (drive.isEmpty())
        return false;
    const std::optional<MountEntry> mount = MountTable::current().mountOf(absoluteClean(drive));
    const bool remote = mount && (isNetworkFsType(mount->fsType) ||
                                  mount->fsType.startsWith(QStringLiteral("fuse")));
    if (remote)
        return statvfsWithin(native(drive), NetworkProbeLimit);
    struct statvfs sv {};
    return ::statvfs(native(drive).constData(), &sv) == 0;
}

QString FileSystem::VolumeName(const QString& drive) const {
    if (drive.isEmpty() || drive.startsWith(QStringLiteral("//")))
        return {};
    const MountTable table = MountTable::current();
    std::optional<MountEntry> mount = table.find(drive);
    if (!mount)
        mount = table.mountOf(absoluteClean(drive));
    return mount ? volumeNameOf(*mount) : QString();
}

bool FileSystem::IsNetworkPath(const QString& path) const {
    if (path.startsWith(QStringLiteral("//")))
        return true;
    const std::optional<MountEntry> mount = MountTable::current().mountOf(absoluteClean(path));
    return mount && isNetworkFsType(mount->fsType);
}
