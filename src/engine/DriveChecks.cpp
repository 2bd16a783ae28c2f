#include "engine/DriveChecks.h"

#include "model/VolumeList.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QStringList>

namespace {

// "//server/share/rest" splits into "", "", server, share, rest...: the share is the first
// four pieces.
constexpr int SharePieces = 4;

bool isShareForm(const QStringList& pieces) {
    return pieces.size() >= SharePieces && pieces[0].isEmpty() && pieces[1].isEmpty() &&
           !pieces[2].isEmpty();
}

// Makes each missing folder from `base` down to `destDir`. A level that cannot be made does not
// stop the deeper ones, so a folder that appears meanwhile is still used; the destination has
// failed all the same.
bool createFoldersBelow(FileSystem& fso, const QString& base, const QStringList& pieces,
                        int firstPiece) {
    bool allMade = true;
    QString running = base;
    for (int i = firstPiece; i < pieces.size(); ++i) {
        if (pieces[i].isEmpty())
            continue;
        running = Paths::join(running, pieces[i]);
        if (!fso.FolderExists(running) && !fso.CreateFolder(running))
            allMade = false;
    }
    return allMade;
}

CheckFailure checkNetworkDestination(FileSystem& fso, const QString& destDir,
                                     const QString& expectedVolume, QString& volumeName,
                                     bool makeFolders) {
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

    const QStringList pieces = Paths::split(destDir);
    const bool shareForm = isShareForm(pieces);
    const QString share = shareForm ? pieces.mid(0, SharePieces).join(Paths::separator()) : drive;
    if (!fso.FolderExists(share))
        return CheckFailure::DestShareMissing;
    const int firstBelow = shareForm ? SharePieces : int(Paths::split(drive).size());
    if (makeFolders && !createFoldersBelow(fso, share, pieces, firstBelow))
        return CheckFailure::CantCreateFolders;
    return CheckFailure::None;
}

CheckFailure checkLocalDestination(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName,
                                   bool makeFolders) {
    const QString drive = fso.GetDriveName(destDir);
    if (!fso.DriveExists(drive))
        return CheckFailure::DestDriveMissing;
    if (!fso.DriveIsReady(drive))
        return CheckFailure::DestDriveNotReady;
    volumeName = fso.VolumeName(drive);
    if (volumeName.compare(expectedVolume, Qt::CaseInsensitive) != 0)
        return CheckFailure::DestVolumeMismatch;

    const QStringList pieces = Paths::split(destDir);
    const QString root = pieces[0] + Paths::separator();
    if (makeFolders && !createFoldersBelow(fso, root, pieces, 1))
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

CheckFailure checkDestination(FileSystem& fso, const QString& destDir,
                              const QString& expectedVolume, QString& volumeName) {
    return fso.IsNetworkPath(destDir)
               ? checkNetworkDestination(fso, destDir, expectedVolume, volumeName, true)
               : checkLocalDestination(fso, destDir, expectedVolume, volumeName, true);
}

CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    return fso.IsNetworkPath(destDir)
               ? checkNetworkDestination(fso, destDir, expectedVolume, volumeName, false)
               : checkLocalDestination(fso, destDir, expectedVolume, volumeName, false);
}

} // namespace DriveChecks
