#pragma once
// Where a changed file goes inside one destination: the destination folder mirrors the source's
// layout, and a destination inside a recursively backed-up source would feed itself forever.

#include <QString>

class FileSystem;
class clsBackup;

namespace CopyDestination {

// The folder that receives `filePath` under the destination folder `destPath`:
// - a file lying directly in a mount point goes under that mount point's last component
//   ("root" for "/");
// - a file of a folder association goes under the source folder's name followed by its own
//   folder below `sourceRoot` (a source that is a mount point has no name of its own);
// - a file association's file goes under the name of its folder.
QString mirroredFolder(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                       bool folderAssociation, const QString& filePath);
// The same for every file lying directly in the source folder `fileFolder`.
QString mirroredFolderOf(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                         bool folderAssociation, const QString& fileFolder);

// True when `destDir` lies in (or is) the source folder of a recursive folder association.
bool insideRecursiveSource(const clsBackup& association, const QString& destDir);

} // namespace CopyDestination
