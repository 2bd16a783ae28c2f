#pragma once
// Where a changed file goes inside one destination: the destination folder mirrors the source's
// layout, and a destination inside a recursively backed-up source would feed itself forever.

#include "platform/DestinationFolder.h"

#include <QString>
#include <QStringList>

class FileSystem;
class clsBackup;

namespace CopyDestination {

struct Mirror {
    QString destPath; // the destination folder the user chose
    QString destDir;  // the folder below it that receives the file
    // The names of the mirrored levels from destPath down to destDir, and the source folder
    // behind each, outermost first: a folder made there takes that folder's access.
    QStringList names;
    QStringList sourceFolders;
};

// The folder that receives the files lying directly in the source folder `fileFolder`, under the
// destination folder `destPath`: the name of the source folder (of the file's own folder for a
// file association), then the file's folders below it. The name of a mount point is its last
// component, "root" for "/". So every file of an association lands by one rule, whatever is
// mounted inside the source.
Mirror mirrorOf(const QString& destPath, const QString& sourceRoot, bool folderAssociation,
                const QString& fileFolder);
// The same for the file `filePath`, and its folder alone.
QString mirroredFolder(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                       bool folderAssociation, const QString& filePath);
QString mirroredFolderOf(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                         bool folderAssociation, const QString& fileFolder);

// True when `destDir` lies in (or is) the source folder of a recursive folder association.
// Paths are compared as the kernel resolves them, and folders by device and inode, so no
// spelling, symbolic link or bind mount gets past.
bool insideRecursiveSource(const FileSystem& fso, const clsBackup& association,
                           const QString& destDir);
// True when copying `filePath` into `destDir` would feed the source: the copy would replace the
// source file itself (the entry, not what a link points to), or `destDir` lies inside a
// recursive source.
bool wouldLoop(const FileSystem& fso, const clsBackup& association, const QString& destDir,
               const QString& filePath);

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
bool followSourceFolder(FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                        bool folderAssociation, const QString& sourceFolder);

} // namespace CopyDestination
