#pragma once
// Where a changed file goes inside one destination: the destination folder mirrors the source's
// layout, and a destination inside a recursively backed-up source would feed itself forever.

#include <QString>
#include <QStringList>

class FileSystem;
class clsBackup;

namespace CopyDestination {

struct Mirror {
    QString destDir; // the folder that receives the file
    // The source folder behind each mirrored level of destDir, outermost first: a folder made
    // there takes that folder's permission bits.
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
// source file itself, or `destDir` lies inside a recursive source.
bool wouldLoop(const FileSystem& fso, const clsBackup& association, const QString& destDir,
               const QString& filePath);

// The permission bits for a folder made `levelsAbove` levels above the destination folder (0:
// the destination folder itself), from the mirrored source folder; levels of the destination
// path itself take the outermost one's. Owner access is always added: Quillmot writes there.
unsigned folderMode(const FileSystem& fso, const Mirror& mirror, int levelsAbove);

} // namespace CopyDestination
