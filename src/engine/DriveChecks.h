#pragma once
// The checks that keep a copy on the disks the user meant: the source file must still sit on a
// present, ready drive carrying one of the accepted volume names, and the destination must be
// the present, ready drive or network share with the expected volume name. The destination
// check also makes the missing destination folders, one level at a time.

#include "engine/ResultMessages.h"

#include <QString>
#include <functional>

class FileSystem;

namespace DriveChecks {

// Checks the drive holding `filePath` against the NUL-separated accepted names
// `acceptedVolumes`; `volumeName` receives the name read from the drive.
CheckFailure checkSource(const FileSystem& fso, const QString& filePath,
                         const QString& acceptedVolumes, QString& volumeName);

// The permission bits of a folder made `levelsAbove` levels above the destination folder.
using FolderModes = std::function<unsigned(int levelsAbove)>;

// Checks the drive or share of `destDir` against `expectedVolume` (exactly on a network share,
// ignoring case on a local drive) and then makes every missing folder down to it, through
// `localDir`, the same folder as the local file system reaches it (a share written
// "//server/share/..." at its mount point). `volumeName` receives the name read from the drive.
CheckFailure checkDestination(FileSystem& fso, const QString& destDir, const QString& localDir,
                              const QString& expectedVolume, QString& volumeName,
                              const FolderModes& modes);

// The checks of checkDestination without making a folder: could a copy reach it now?
CheckFailure checkDestinationDrive(FileSystem& fso, const QString& destDir,
                                   const QString& expectedVolume, QString& volumeName);

} // namespace DriveChecks
