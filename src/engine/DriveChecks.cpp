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

CheckFailure checkNetworkDestination(FileSystem& fso, const QString& destDir,
                                     const QString& localDir, const QString& expectedVolume,
                                     QString& volumeName, const DriveChecks::FolderModes* modes) {
    const QString drive = fso.GetDriveName(destDir);
    if (!fso.DriveExists(drive))
        return CheckFailure::RemoteDestMissing;
    if (!fso.DriveIsReady(drive))
        return CheckFailure::RemoteDestNotReady;
    volumeName = fso.VolumeName(drive);
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
    const QString drive = fso.GetDriveName(destDir);
    if (!fso.DriveExists(drive))
        return CheckFailure::DestDriveMissing;
    if (!fso.DriveIsReady(drive))
        return CheckFailure::DestDriveNotReady;
    volumeName = fso.VolumeName(drive);
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
    const QString drive = fso.GetDriveName(filePath);
    if (!fso.DriveExists(drive))
        return CheckFailure::SourceDriveMissing;
    if (!fso.DriveIsReady(drive))
        return CheckFailure::SourceDriveNotReady;
    volumeName = fso.VolumeName(drive);
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
