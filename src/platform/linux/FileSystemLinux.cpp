#include "platform/FileSystem.h"
#include "platform/Log.h"

#include "platform/DestinationFolder.h"
#include "platform/MountTable.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "platform/linux/FileCopyLinux.h"
#include "platform/linux/PathAt.h"
#include "platform/linux/StatStamp.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/VolumeLabelLinux.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// A hard-mounted share whose server is gone can block statvfs for minutes.
constexpr auto networkProbeLimit = std::chrono::seconds(2);
// A batch of copies this big is made durable by one flush of the whole disk instead of one
// flush of each file.
constexpr size_t diskFlushCopies = 16;

QByteArray native(const QString& path) {
    return Paths::toNative(path);
}

// `flags` 0 follows a link at the path's end; AT_SYMLINK_NOFOLLOW describes the link itself.
std::optional<struct stat> statOf(const QString& path, int flags = 0) {
    const PathAt at(native(path));
    struct stat st {};
    if (!at.ok() || ::fstatat(at.dir(), at.name(), &st, flags) != 0)
        return std::nullopt;
    return st;
}

// Opens a folder to read its entries, however long its path.
UniqueFd openFolder(const QString& folder) {
    const PathAt at(native(folder));
    return UniqueFd(at.ok() ? ::openat(at.dir(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                            : -1);
}

enum class EntryKind { File, Folder, Other };

// What a listing sees: a symbolic link, whatever it points to, is a file to back up as a link,
// never a folder to enter.
EntryKind kindOf(int dirFd, const char* name, unsigned char type) {
    if (type == DT_REG || type == DT_LNK)
        return EntryKind::File;
    if (type == DT_DIR)
        return EntryKind::Folder;
    if (type != DT_UNKNOWN)
        return EntryKind::Other;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

QStringList list(const QString& folder, EntryKind wanted) {
    QStringList out;
    UniqueFd fd = openFolder(folder);
    DIR* dir = fd.get() >= 0 ? ::fdopendir(fd.get()) : nullptr;
    if (!dir)
        return out;
    fd.release(); // the listing owns it now
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

// The first four pieces of "//server/share/rest...".
QString sharePart(const QString& path) {
    return Paths::split(path).mid(0, 4).join(Paths::separator());
}

struct ShareMount {
    QString mountPoint;
    QString rest; // the part of the path below the mounted share, with its leading separator
};

// The mount that holds a path written "//server/share/...": the mount whose source is the
// longest whole-component prefix of the path (a share, or a folder of one, mounted here).
// Server and share names ignore case, as the servers do.
std::optional<ShareMount> shareMountOf(const QString& path) {
    std::optional<ShareMount> best;
    qsizetype bestLength = 0;
    const MountTable table = MountTable::current();
    for (const MountEntry& e : table.entries()) {
        const QString form = networkFormOfSource(e.source);
        if (form.size() <= bestLength || !path.startsWith(form, Qt::CaseInsensitive))
            continue;
        if (path.size() == form.size() || path[form.size()] == Paths::separator()) {
            best = ShareMount{e.mountPoint, path.mid(form.size())};
            bestLength = form.size();
        }
    }
    return best;
}

// The drive of a path written "//server/share/...": the mount point of that share when it is
// mounted here, else the share text itself, which then exists as no drive.
QString networkDriveName(const QString& path) {
    const std::optional<ShareMount> mount = shareMountOf(path);
    return mount ? mount->mountPoint : sharePart(path);
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
    const auto st = statOf(path, AT_SYMLINK_NOFOLLOW);
    return st ? stampOfEntry(*st) : std::nullopt;
}

std::vector<std::optional<FileStamp>> FileSystem::stampsIn(const QString& folder,
                                                           const QStringList& names) const {
    std::vector<std::optional<FileStamp>> stamps(size_t(names.size()));
    const UniqueFd dir = openFolder(folder);
    if (dir.get() < 0)
        return stamps;
    for (qsizetype i = 0; i < names.size(); ++i) {
        struct stat st {};
        if (::fstatat(dir.get(), native(names[i]).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            stamps[size_t(i)] = stampOfEntry(st);
    }
    return stamps;
}

std::vector<std::optional<FileStamp>> FileSystem::copyStampsIn(const QString& destination,
                                                               const QString& folder,
                                                               const QStringList& names) const {
    std::vector<std::optional<FileStamp>> stamps(size_t(names.size()));
    const QString root = localPathOf(destination);
    const QString local = localPathOf(folder);
    if (!Paths::isSameOrBelow(local, root))
        return stamps;
    DestinationFolder at = DestinationFolder::openChosen(root);
    for (const QString& piece : Paths::componentsBelow(local, root)) {
        DestinationFolder next;
        if (!at.isOpen() || at.enter(piece, next) != DestinationFolder::Refusal::None)
            return stamps;
        at = std::move(next);
    }
    if (!at.isOpen())
        return stamps;
    for (qsizetype i = 0; i < names.size(); ++i)
        stamps[size_t(i)] = at.stamp(names[i]);
    return stamps;
}

std::optional<quint64> FileSystem::deviceOf(const QString& path) const {
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    return quint64(st->st_dev);
}

qint64 FileSystem::modifiedTimeStepNs(const QString& path) const {
    const std::optional<MountEntry> mount = MountTable::current().mountOf(resolvedPath(path));
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
    a.group = st->st_gid;
    return a;
}

bool FileSystem::CreateFolder(const QString& path) {
    return ::mkdir(native(path).constData(), 0777) == 0;
}

bool FileSystem::createFolderWithMode(const QString& path, unsigned mode) {
    // Made private and then opened up to `mode`, so it is never wider than asked, not even for a
    // moment and not under a permissive umask.
    const QByteArray name = native(path);
    if (::mkdir(name.constData(), S_IRWXU) != 0)
        return false;
    ::chmod(name.constData(), mode & 07777);
    return true;
}

bool FileSystem::canCreateFileIn(const QString& folder) const {
    // A name of our own, made with exclusive creation: the probe can never open, and so never
    // delete, a file that someone else put there.
    const UniqueFd dir = openFolder(folder);
    const QByteArray name = native(OwnTemporaryNames::fresh());
    const UniqueFd probe(
        dir.get() < 0 ? -1
                      : ::openat(dir.get(), name.constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (probe.get() < 0)
        return false;
    ::unlinkat(dir.get(), name.constData(), 0);
    return true;
}

CopyResult FileSystem::copyFile(const QString& source, const QString& target,
                                const std::function<void()>& between) {
    QString folderPath = Paths::parent(target);
    if (folderPath.isEmpty())
        folderPath = QStringLiteral(".");
    const DestinationFolder folder = DestinationFolder::openChosen(folderPath);
    if (!folder.isOpen())
        return {classifyCopyErrno(errno), errno};
    StagedCopy staged;
    const CopyResult data = stageCopy(source, folder, Paths::fileName(target), staged, [&] {
        if (between)
            between();
        return true;
    });
    return data.ok() ? commitCopy(staged) : data;
}

CopyResult FileSystem::stageCopy(const QString& source, const DestinationFolder& folder,
                                 const QString& name, StagedCopy& staged,
                                 const std::function<bool()>& between) {
    staged.discard();
    staged.m_folder = ::fcntl(folder.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (staged.m_folder < 0)
        return {classifyCopyErrno(errno), errno};
    staged.m_target = native(name);
    // A batch's data is flushed by flushBatch(), all at once.
    const CopyResult result = stageCopyData(
        source, staged.m_folder, staged.m_temp, staged.m_lock, between,
        [this, &staged](int fd) { return staged.m_batched ? 0 : flushFile(fd); }, staged.m_batched);
    if (!result.ok())
        staged.discard();
    return result;
}

CopyResult FileSystem::commitCopy(StagedCopy& staged) {
    if (!staged.pending())
        return {CopyError::Other, ENOENT};
    const CopyResult result =
        commitStagedCopy(staged.m_folder, staged.m_temp, staged.m_target, !staged.m_batched);
    if (result.ok()) {
        staged.m_temp.clear(); // in place: nothing left to remove
        staged.m_committed = staged.m_batched;
    }
    if (!staged.m_committed)
        staged.discard();
    return result;
}

std::vector<CopyResult> FileSystem::flushBatch(const std::vector<StagedCopy*>& batch) {
    std::vector<CopyResult> results(batch.size());
    const auto failed = [&](size_t i) {
        results[i] = {classifyCopyErrno(errno), errno};
        batch[i]->discard();
    };
    // The data: for a batch of many, one flush of the whole disk writes all of it out in one go
    // and makes it durable, where a flush of each file would cost the disk a flush of its cache
    // each, whatever the journal's commit already took in: a thousand small copies, a thousand
    // waits for the disk. Each copy's own wait then tells whether its writing failed, so that it
    // fails alone. A small batch flushes its files: the whole disk's flush also waits for what
    // other programs wrote. A disk whose flush fails is flushed file by file, so that each copy
    // hears its own fate.
    std::vector<size_t> written;
    for (size_t i = 0; i < batch.size(); ++i) {
        StagedCopy& staged = *batch[i];
        if (staged.m_committed)
            continue;
        if (!staged.pending())
            results[i] = {CopyError::Other, ENOENT};
        else if (staged.m_lock >= 0)
            written.push_back(i);
    }
    const bool diskFlushed =
        written.size() >= diskFlushCopies && flushDisk(batch[written.front()]->m_lock) == 0;
    if (!diskFlushed)
        for (const size_t i : written)
            ::sync_file_range(batch[i]->m_lock, 0, 0, SYNC_FILE_RANGE_WRITE);
    const unsigned wait = diskFlushed ? SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WAIT_AFTER
                                      : SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                            SYNC_FILE_RANGE_WAIT_AFTER;
    std::erase_if(written, [&](size_t i) {
        if (::sync_file_range(batch[i]->m_lock, 0, 0, wait) == 0)
            return false;
        failed(i);
        return true;
    });
    if (!diskFlushed)
        for (const size_t i : written)
            if (flushFile(batch[i]->m_lock) != 0)
                failed(i);

    // The renames, once the copies are in place: one flush of the disk, or one of each folder.
    std::vector<StagedCopy*> placed;
    for (StagedCopy* staged : batch)
        if (staged->m_committed)
            placed.push_back(staged);
    // Best effort, as after a single commit: the new copies are in place.
    if (placed.size() < diskFlushCopies || flushDisk(placed.front()->m_folder) != 0) {
        std::set<std::pair<dev_t, ino_t>> foldersFlushed;
        for (StagedCopy* staged : placed) {
            struct stat folder {};
            if (::fstat(staged->m_folder, &folder) != 0 ||
                foldersFlushed.emplace(folder.st_dev, folder.st_ino).second)
                ::fsync(staged->m_folder);
        }
    }
    for (StagedCopy* staged : placed) {
        staged->m_committed = false;
        staged->discard();
    }
    return results;
}

int FileSystem::flushFile(int fd) const {
    return ::fsync(fd);
}

int FileSystem::flushDisk(int fd) const {
    return ::syncfs(fd);
}

StagedCopy::~StagedCopy() {
    discard();
}

void StagedCopy::discard() {
    if (!m_temp.isEmpty() && m_folder >= 0)
        ::unlinkat(m_folder, m_temp.constData(), 0);
    m_temp.clear();
    for (int* fd : {&m_lock, &m_folder}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QString FileSystem::resolvedPath(const QString& path) const {
    const QString absolute =
        path.startsWith(Paths::separator()) ? path : Paths::join(QDir::currentPath(), path);
    QStringList head = Paths::split(absolute);
    QStringList missing;
    // The longest leading part that the kernel resolves; the rest are folders still to be made,
    // where ".." only ever climbs back out of one of them.
    for (;;) {
        const QString known = head.size() > 1 ? head.join(Paths::separator()) : QStringLiteral("/");
        if (char* real = ::realpath(native(known).constData(), nullptr)) {
            QString resolved = Paths::fromNative(real);
            ::free(real);
            for (const QString& piece : missing) {
                if (piece == QLatin1String(".."))
                    resolved = Paths::isRoot(resolved) ? resolved : Paths::parent(resolved);
                else if (!piece.isEmpty() && piece != QLatin1String("."))
                    resolved = Paths::join(resolved, piece);
            }
            return resolved;
        }
        if (head.size() <= 1)
            return QDir::cleanPath(absolute);
        missing.prepend(head.takeLast());
    }
}

bool FileSystem::sameFile(const QString& a, const QString& b) const {
    const auto first = statOf(a);
    const auto second = first ? statOf(b) : std::nullopt;
    return second && first->st_dev == second->st_dev && first->st_ino == second->st_ino;
}

bool FileSystem::sameEntry(const QString& a, const QString& b) const {
    const auto first = statOf(a, AT_SYMLINK_NOFOLLOW);
    const auto second = first ? statOf(b, AT_SYMLINK_NOFOLLOW) : std::nullopt;
    return second && first->st_dev == second->st_dev && first->st_ino == second->st_ino;
}

QString FileSystem::GetDriveName(const QString& path) const {
    if (Paths::isNetworkName(path))
        return networkDriveName(path);
    const std::optional<MountEntry> mount = MountTable::current().mountOf(resolvedPath(path));
    return mount ? mount->mountPoint : QStringLiteral("/");
}

bool FileSystem::DriveExists(const QString& drive) const {
    return !drive.isEmpty() && MountTable::current().isMountPoint(drive);
}

bool FileSystem::DriveIsReady(const QString& drive) const {
    if (drive.isEmpty())
        return false;
    const std::optional<MountEntry> mount = MountTable::current().mountOf(resolvedPath(drive));
    const bool remote = mount && (isNetworkFsType(mount->fsType) ||
                                  mount->fsType.startsWith(QStringLiteral("fuse")));
    if (remote)
        return statvfsWithin(native(drive), networkProbeLimit);
    struct statvfs sv {};
    return ::statvfs(native(drive).constData(), &sv) == 0;
}

QString FileSystem::VolumeName(const QString& drive) const {
    if (drive.isEmpty() || Paths::isNetworkName(drive))
        return {};
    const MountTable table = MountTable::current();
    std::optional<MountEntry> mount = table.find(drive);
    if (!mount)
        mount = table.mountOf(resolvedPath(drive));
    return mount ? volumeNameOf(*mount) : QString();
}

bool FileSystem::IsNetworkPath(const QString& path) const {
    if (Paths::isNetworkName(path))
        return true;
    const std::optional<MountEntry> mount = MountTable::current().mountOf(resolvedPath(path));
    return mount && isNetworkFsType(mount->fsType);
}

QString FileSystem::localPathOf(const QString& path) const {
    if (!Paths::isNetworkName(path))
        return path;
    const std::optional<ShareMount> mount = shareMountOf(path);
    return mount ? Paths::join(mount->mountPoint, mount->rest) : path;
}
