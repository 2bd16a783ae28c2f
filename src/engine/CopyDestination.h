#pragma once
// Rules of one destination folder of a copy: a destination inside a recursively backed-up source
// would feed itself forever, and the folders made for a copy are never more open than their
// sources. Where the copy goes is the BackupLayout's.

#include "engine/BackupLayout.h"
#include "platform/DestinationFolder.h"

#include <QString>
#include <QStringList>

class FileSystem;
class clsBackup;

namespace CopyDestination {

// The mirrored levels of one copy's folder, as the layout places it.
using Mirror = Placement;

// True when `destDir` lies in (or is) the source folder of a recursive folder association.
// Paths are compared as the kernel resolves them, and folders by device and inode, so no
// spelling, symbolic link or bind mount gets past.
bool insideRecursiveSource(const FileSystem& fso, const clsBackup& association,
                           const QString& destDir);

// The access of a folder made or kept `levelsAbove` levels above the destination folder (0: the
// destination folder itself): the permission bits and group of the source folder it mirrors;
// levels of the destination path itself take the outermost one's. Owner access is always added:
// Quillmot writes there. The outermost mirrored folder gives group and others no more than every
// folder above the source grants them, so a folder inside a private home is private in the
// backup as well.
FolderAccess folderAccess(const FileSystem& fso, const Mirror& mirror, int levelsAbove);

// Brings the mirror of the source folder `sourceFolder` in the destination `destPath` to that
// folder's access as it is now (its permission bits or group changed); a folder above the
// association's top folder changes what the top mirror may give. Nothing is made, and a link or
// another user's folder on the way is left alone. True when a mirror was there to follow.
bool followSourceFolder(FileSystem& fso, const BackupLayout& layout, const QString& destPath,
                        const QString& sourceFolder);

} // namespace CopyDestination
