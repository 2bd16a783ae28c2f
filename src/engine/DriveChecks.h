#pragma once
// The checks that keep a copy on the disks the user meant: the source file must still sit on a
// present, ready drive carrying one of the accepted volume names, and the destination must be
// the present, ready drive or network share with the expected volume name. The destination
// check also makes the missing destination folders, one level at a time.

#include "engine/CopyDestination.h"
#include "engine/ResultMessages.h"

#include <QString>

class DestinationFolder;
class FileSystem;

namespace DriveChecks {

// Checks the drive holding `filePath` against the NUL-separated accepted names
// `acceptedVolumes`; `volumeName` receives the name read from the drive. A symbolic link is
// checked where it lies, not where it points: it is backed up as itself.
CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName);

// Checks the drive or share of the mirrored folder `mirror.destDir` against `expectedVolume`
// (exactly on a network share, ignoring case on a local drive) and then makes every missing
// folder down to it, as the local file system reaches it (a share written "//server/share/..."
// at its mount point), and opens it into `folder`. The destination folder the user chose is
// made and opened by its path; the mirrored folders below it one at a time from the folder above,
// never through a link, and only this user's own (LinkInDestination, OtherUsersFolder). A
// mirrored folder that was there already is brought to its source folder's access.
// `volumeName` receives the name read from the drive.
CheckFailure checkDestination(FileSystem& fso, const CopyDestination::Mirror& mirror,
                              const QString& expectedVolume, QString& volumeName,
                              DestinationFolder& folder);

// The checks of checkDestination without making a folder: could a copy reach it now?
CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName);

} // namespace DriveChecks
