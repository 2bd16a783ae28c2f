#include "engine/DriveChecks.h"

#include "model/VolumeList.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QStringList>

namespace {

// Makes each missing folder down to `folder`, outermost first. A level that cannot be made does
// not stop the deeper ones, so a folder that appears meanwhile is still used; the destination
// has failed all the same.
bool createMissingFolders(FileSystem& fso, const QString& folder,
                          const DriveChecks::FolderModes& modes) {
    QStringList pieces = Paths::split(folder);
    pieces.removeAll(QString());
    bool allMade = true;
    QString running = Paths::separator();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        running = Paths::join(running, pieces[i]);
        const int levelsAbove = int(pieces.size() - 1 - i);
        if (!fso.FolderExists(running) && !fso.createFolderWithMode(running, modes(levelsAbove)))
            allMade = false;
    }
    return allMade;
}

// `drive` must be there and ready, else `missing` or `notReady`; `volumeName` then receives its
// name.
CheckFailure checkDriveReady(const FileSystem& fso, const QString& drive, CheckFailure missing,
                             CheckFailure notReady, QString& volumeName) {
    if (!fso.DriveExists(drive))
        return missing;
    if (!fso.DriveIsReady(drive))
        return notReady;
    volumeName = fso.VolumeName(drive);
    return CheckFailure::None;
}

CheckFailure checkNetworkDestination(FileSystem& fso, const QString& destDir,
                                     const QString& localDir, const QString& expectedVolume,
                                     QString& volumeName, const DriveChecks::FolderModes* modes) {
    const QString drive = fso.GetDriveName(destDir);
    if (const CheckFailure f = checkDriveReady(fso, drive, CheckFailure::RemoteDestMissing,
                                               CheckFailure::RemoteDestNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    // A share's name is compared exactly: another share that differs only in case is another
    // share.
    if (volumeName != expectedVolume)
        return CheckFailure::DestVolumeMismatch;
    // The share itself is where its mount point is here; a share written "//server/share" would
    // be looked up as the local folder "/server/share".
    if (!fso.FolderExists(drive))
        return CheckFailure::DestShareMissing;
    if (modes && !createMissingFolders(fso, localDir, *modes))
        return CheckFailure::CantCreateFolders;
    return CheckFailure::None;
}

CheckFailure checkLocalDestination(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName,
                                   const DriveChecks::FolderModes* modes) {
    if (const CheckFailure f =
            checkDriveReady(fso, fso.GetDriveName(destDir), CheckFailure::DestDriveMissing,
                            CheckFailure::DestDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (volumeName.compare(expectedVolume, Qt::CaseInsensitive) != 0)
        return CheckFailure::DestVolumeMismatch;
    if (modes && !createMissingFolders(fso, destDir, *modes))
        return CheckFailure::CantCreateFolders;
    return CheckFailure::None;
}

} // namespace

namespace DriveChecks {

CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName) {
    if (const CheckFailure f =
            checkDriveReady(fso, fso.GetDriveName(filePath), CheckFailure::SourceDriveMissing,
                            CheckFailure::SourceDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (!VolumeList::accepts(acceptedVolumes, volumeName))
        return CheckFailure::SourceVolumeMismatch;
    return CheckFailure::None;
}

CheckFailure checkDestination(FileSystem& fso, const QString& destDir, const QString& localDir,
                              const QString& expectedVolume, QString& volumeName,
                              const FolderModes& modes) {
    return fso.IsNetworkPath(destDir)
               ? checkNetworkDestination(fso, destDir, localDir, expectedVolume, volumeName, &modes)
               : checkLocalDestination(fso, localDir, expectedVolume, volumeName, &modes);
}

CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    const QString localDir = fso.localPathOf(destDir);
    return fso.IsNetworkPath(destDir)
               ? checkNetworkDestination(fso, destDir, localDir, expectedVolume, volumeName,
                                         nullptr)
               : checkLocalDestination(fso, localDir, expectedVolume, volumeName, nullptr);
}

} // namespace DriveChecks
