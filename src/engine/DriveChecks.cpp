#include "engine/DriveChecks.h"

#include "model/VolumeList.h"
#include "platform/DestinationFolder.h"
#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"

#include <QStringList>

namespace {

// Makes each missing folder down to `folder`, outermost first. A level that cannot be made does
// not stop the deeper ones, so a folder that appears meanwhile is still used; the destination
// has failed all the same.
bool createMissingFolders(FileSystem& fso, const QString& folder, unsigned mode) {
    QStringList pieces = Paths::split(folder);
    pieces.removeAll(QString());
    bool allMade = true;
    QString running = Paths::separator();
    for (const QString& piece : pieces) {
        running = Paths::join(running, piece);
        if (!fso.FolderExists(running) && !fso.createFolderWithMode(running, mode))
            allMade = false;
    }
    return allMade;
}

CheckFailure refusalFailure(DestinationFolder::Refusal refusal) {
    switch (refusal) {
    case DestinationFolder::Refusal::None:
        return CheckFailure::None;
    case DestinationFolder::Refusal::Link:
        return CheckFailure::LinkInDestination;
    case DestinationFolder::Refusal::OtherOwner:
        return CheckFailure::OtherUsersFolder;
    case DestinationFolder::Refusal::NotFolder:
    case DestinationFolder::Refusal::Failed:
        break;
    }
    return CheckFailure::CantCreateFolders;
}

// The destination folder the user chose, made where missing and opened by its path: it is the
// user's to name, links included.
const OpenedFolders::Level* openChosen(FileSystem& fso, OpenedFolders& opened,
                                       const CopyDestination::Mirror& mirror) {
    const QString chosen = fso.localPathOf(mirror.destPath);
    if (const OpenedFolders::Level* level = opened.reuse(chosen))
        return level;
    const FolderAccess access =
        CopyDestination::folderAccess(fso, mirror, int(mirror.names.size()));
    OpenedFolders::Level level;
    level.whole = createMissingFolders(fso, chosen, access.mode);
    auto folder = std::make_shared<DestinationFolder>(DestinationFolder::openChosen(chosen));
    if (!folder->isOpen())
        return nullptr;
    level.folder = std::move(folder);
    opened.keep(chosen, std::move(level));
    return opened.reuse(chosen);
}

// The folders down to the mirrored destination folder, made where missing and opened into
// `folder`. Below the folder the user chose every folder is entered from the one above, so
// that nothing another user put on the way can send the copy elsewhere.
CheckFailure makeFolders(FileSystem& fso, OpenedFolders& opened,
                         const CopyDestination::Mirror& mirror,
                         std::shared_ptr<const DestinationFolder>& folder) {
    const OpenedFolders::Level* chosen = openChosen(fso, opened, mirror);
    if (!chosen)
        return CheckFailure::CantCreateFolders;
    const bool chosenMade = chosen->whole;
    std::shared_ptr<const DestinationFolder> at = chosen->folder;
    QString path = fso.localPathOf(mirror.destPath);
    for (qsizetype i = 0; i < mirror.names.size(); ++i) {
        const QString& name = mirror.names[i];
        path = Paths::join(path, name);
        if (const OpenedFolders::Level* level = opened.reuse(path); level && level->parent == at) {
            at = level->folder;
            continue;
        }
        const FolderAccess wanted =
            CopyDestination::folderAccess(fso, mirror, int(mirror.names.size() - 1 - i));
        auto next = std::make_shared<DestinationFolder>();
        bool made = false;
        if (const CheckFailure f = refusalFailure(at->enterOrMake(name, wanted, *next, &made));
            f != CheckFailure::None)
            return f;
        // A source folder made private since the last copy makes its mirror private now.
        if (!made)
            next->bringTo(wanted);
        opened.keep(path, {next, at, name});
        at = std::move(next);
    }
    folder = std::move(at);
    return chosenMade ? CheckFailure::None : CheckFailure::CantCreateFolders;
}

// `drive` must be there and ready, else `missing` or `notReady`; `volumeName` then receives its
// name.
CheckFailure checkDriveReady(DriveAnswers& drives, const QString& drive, CheckFailure missing,
                             CheckFailure notReady, QString& volumeName) {
    if (!drives.exists(drive))
        return missing;
    if (!drives.ready(drive))
        return notReady;
    volumeName = drives.volumeName(drive);
    return CheckFailure::None;
}

CheckFailure checkNetworkDestination(DriveAnswers& drives, const QString& destDir,
                                     const QString& expectedVolume, QString& volumeName) {
    const QString drive = drives.driveOf(destDir);
    if (const CheckFailure f = checkDriveReady(drives, drive, CheckFailure::RemoteDestMissing,
                                               CheckFailure::RemoteDestNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    // A share's name is compared exactly: another share that differs only in case is another
    // share.
    if (volumeName != expectedVolume)
        return CheckFailure::DestVolumeMismatch;
    // The share itself is where its mount point is here; a share written "//server/share" would
    // be looked up as the local folder "/server/share".
    if (!drives.folderExists(drive))
        return CheckFailure::DestShareMissing;
    return CheckFailure::None;
}

CheckFailure checkLocalDestination(DriveAnswers& drives, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    if (const CheckFailure f =
            checkDriveReady(drives, drives.driveOf(destDir), CheckFailure::DestDriveMissing,
                            CheckFailure::DestDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (volumeName.compare(expectedVolume, Qt::CaseInsensitive) != 0)
        return CheckFailure::DestVolumeMismatch;
    return CheckFailure::None;
}

} // namespace

bool DriveAnswers::forgetOnMountChange() {
    if (!m_remember)
        return false;
    const quint64 mounts = MountTable::current().generation();
    if (mounts == m_mounts)
        return false;
    m_mounts = mounts;
    for (QHash<QString, QString>* answers : {&m_driveOf, &m_fileDrives, &m_volumes, &m_resolved})
        answers->clear();
    for (QHash<QString, bool>* answers : {&m_exists, &m_ready, &m_network, &m_folders})
        answers->clear();
    return true;
}

template <class T, class Ask>
T DriveAnswers::remembered(QHash<QString, T>& answers, const QString& key, const Ask& ask) {
    if (!m_remember)
        return ask();
    if (const auto it = answers.constFind(key); it != answers.constEnd())
        return *it;
    T answer = ask();
    answers.insert(key, answer);
    return answer;
}

QString DriveAnswers::driveOf(const QString& path) {
    return remembered(m_driveOf, path, [&] { return m_fso.GetDriveName(path); });
}

// Only a file mounted over another file sits on another drive than its folder's other files;
// the folder is what is looked up once.
QString DriveAnswers::driveOfFile(const QString& filePath) {
    return remembered(m_fileDrives, Paths::parent(filePath),
                      [&] { return m_fso.GetDriveName(filePath); });
}

bool DriveAnswers::exists(const QString& drive) {
    return remembered(m_exists, drive, [&] { return m_fso.DriveExists(drive); });
}

bool DriveAnswers::ready(const QString& drive) {
    return remembered(m_ready, drive, [&] { return m_fso.DriveIsReady(drive); });
}

QString DriveAnswers::volumeName(const QString& drive) {
    return remembered(m_volumes, drive, [&] { return m_fso.VolumeName(drive); });
}

bool DriveAnswers::isNetworkPath(const QString& path) {
    return remembered(m_network, path, [&] { return m_fso.IsNetworkPath(path); });
}

bool DriveAnswers::folderExists(const QString& path) {
    return remembered(m_folders, path, [&] { return m_fso.FolderExists(path); });
}

QString DriveAnswers::resolvedPath(const QString& path) {
    return remembered(m_resolved, path, [&] { return m_fso.resolvedPath(path); });
}

const OpenedFolders::Level* OpenedFolders::reuse(const QString& path) const {
    const auto it = m_levels.constFind(path);
    if (it == m_levels.constEnd())
        return nullptr;
    if (it->parent && !it->parent->holds(it->name, *it->folder))
        return nullptr;
    return &*it;
}

namespace DriveChecks {

CheckFailure checkSource(DriveAnswers& drives, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName) {
    const std::optional<FileStamp> entry = drives.fso().stamp(filePath);
    const QString drive = entry && entry->link ? drives.driveOf(Paths::parent(filePath))
                                               : drives.driveOfFile(filePath);
    if (const CheckFailure f = checkDriveReady(drives, drive, CheckFailure::SourceDriveMissing,
                                               CheckFailure::SourceDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (!VolumeList::accepts(acceptedVolumes, volumeName))
        return CheckFailure::SourceVolumeMismatch;
    return CheckFailure::None;
}

CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName) {
    DriveAnswers drives(fso);
    return checkSource(drives, filePath, acceptedVolumes, volumeName);
}

CheckFailure checkDestination(FileSystem& fso, DriveAnswers& drives, OpenedFolders& opened,
                              const CopyDestination::Mirror& mirror, const QString& expectedVolume,
                              QString& volumeName,
                              std::shared_ptr<const DestinationFolder>& folder) {
    if (const CheckFailure f =
            checkDestinationDrive(drives, mirror.destDir, expectedVolume, volumeName);
        f != CheckFailure::None)
        return f;
    return makeFolders(fso, opened, mirror, folder);
}

CheckFailure checkDestinationDrive(DriveAnswers& drives, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    return drives.isNetworkPath(destDir)
               ? checkNetworkDestination(drives, destDir, expectedVolume, volumeName)
               : checkLocalDestination(drives, drives.fso().localPathOf(destDir), expectedVolume,
                                       volumeName);
}

CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    DriveAnswers drives(fso);
    return checkDestinationDrive(drives, destDir, expectedVolume, volumeName);
}

} // namespace DriveChecks
