#include "engine/DriveChecks.h"

#include "model/VolumeList.h"
#include "platform/DestinationFolder.h"
#include "platform/FileSystem.h"
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

// The folders down to the mirrored destination folder, made where missing and opened into
// `folder`. The destination folder the user chose is the user's to name, links included; below
// it every folder is entered from the one above, so that nothing another user put on the way
// can send the copy elsewhere.
CheckFailure makeFolders(FileSystem& fso, const CopyDestination::Mirror& mirror,
                         DestinationFolder& folder) {
    const auto access = [&](qsizetype levelsAbove) {
        return CopyDestination::folderAccess(fso, mirror, int(levelsAbove));
    };
    const QString chosen = fso.localPathOf(mirror.destPath);
    const bool chosenMade = createMissingFolders(fso, chosen, access(mirror.names.size()).mode);
    DestinationFolder at = DestinationFolder::openChosen(chosen);
    if (!at.isOpen())
        return CheckFailure::CantCreateFolders;
    for (qsizetype i = 0; i < mirror.names.size(); ++i) {
        const FolderAccess wanted = access(mirror.names.size() - 1 - i);
        DestinationFolder next;
        bool made = false;
        if (const CheckFailure f =
                refusalFailure(at.enterOrMake(mirror.names[i], wanted, next, &made));
            f != CheckFailure::None)
            return f;
        // A source folder made private since the last copy makes its mirror private now.
        if (!made)
            next.bringTo(wanted);
        at = std::move(next);
    }
    folder = std::move(at);
    return chosenMade ? CheckFailure::None : CheckFailure::CantCreateFolders;
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
                                     const QString& expectedVolume, QString& volumeName) {
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
    return CheckFailure::None;
}

CheckFailure checkLocalDestination(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    if (const CheckFailure f =
            checkDriveReady(fso, fso.GetDriveName(destDir), CheckFailure::DestDriveMissing,
                            CheckFailure::DestDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (volumeName.compare(expectedVolume, Qt::CaseInsensitive) != 0)
        return CheckFailure::DestVolumeMismatch;
    return CheckFailure::None;
}

} // namespace

namespace DriveChecks {

CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName) {
    const std::optional<FileStamp> entry = fso.stamp(filePath);
    const QString place = entry && entry->link ? Paths::parent(filePath) : filePath;
    if (const CheckFailure f =
            checkDriveReady(fso, fso.GetDriveName(place), CheckFailure::SourceDriveMissing,
                            CheckFailure::SourceDriveNotReady, volumeName);
        f != CheckFailure::None)
        return f;
    if (!VolumeList::accepts(acceptedVolumes, volumeName))
        return CheckFailure::SourceVolumeMismatch;
    return CheckFailure::None;
}

CheckFailure checkDestination(FileSystem& fso, const CopyDestination::Mirror& mirror,
                              const QString& expectedVolume, QString& volumeName,
                              DestinationFolder& folder) {
    if (const CheckFailure f =
            checkDestinationDrive(fso, mirror.destDir, expectedVolume, volumeName);
        f != CheckFailure::None)
        return f;
    return makeFolders(fso, mirror, folder);
}

CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName) {
    return fso.IsNetworkPath(destDir)
               ? checkNetworkDestination(fso, destDir, expectedVolume, volumeName)
               : checkLocalDestination(fso, fso.localPathOf(destDir), expectedVolume, volumeName);
}

} // namespace DriveChecks
