#include "engine/CopyDestination.h"

#include "model/Records.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QStringList>

namespace {

// The name a file lying directly in this mount point mirrors under.
const QString RootMountName = QStringLiteral("root");

bool isMountPoint(const FileSystem& fso, const QString& folder) {
    return Paths::samePath(fso.GetDriveName(folder), Paths::withoutTrailingSeparator(folder));
}

QString mountName(const QString& mountPoint) {
    return Paths::isRoot(mountPoint) ? RootMountName : Paths::fileName(mountPoint);
}

// True when `path` is `folder` or lies somewhere below it, compared component by component so
// that "/a/Docs2" is not taken to be inside "/a/Docs".
bool isSameOrBelow(const QString& path, const QString& folder) {
    if (Paths::isRoot(folder))
        return Paths::startsWith(path, folder);
    const QString f = Paths::withoutTrailingSeparator(folder);
    const QString p = Paths::withoutTrailingSeparator(path);
    return Paths::samePath(p, f) || Paths::startsWith(p, f + Paths::separator());
}

// The components of `folder` below `top`, in order; empty when `folder` is not below it.
QStringList componentsBelow(const QString& folder, const QString& top) {
    if (!isSameOrBelow(folder, top))
        return {};
    const QStringList all = Paths::split(Paths::withoutTrailingSeparator(folder));
    const QStringList above = Paths::split(Paths::withoutTrailingSeparator(top));
    QStringList below = all.mid(Paths::isRoot(top) ? 1 : above.size());
    below.removeAll(QString());
    return below;
}

} // namespace

namespace CopyDestination {

QString mirroredFolder(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                       bool folderAssociation, const QString& filePath) {
    return mirroredFolderOf(fso, destPath, sourceRoot, folderAssociation, Paths::parent(filePath));
}

QString mirroredFolderOf(const FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                         bool folderAssociation, const QString& fileFolder) {
    QStringList pieces;
    if (isMountPoint(fso, fileFolder)) {
        pieces << mountName(fileFolder);
    } else if (folderAssociation) {
        if (!isMountPoint(fso, sourceRoot))
            pieces << Paths::fileName(Paths::withoutTrailingSeparator(sourceRoot));
        pieces << componentsBelow(fileFolder, sourceRoot);
    } else {
        pieces << Paths::fileName(fileFolder);
    }
    QString relative = Paths::separator() + pieces.join(Paths::separator());
    if (destPath.endsWith(Paths::separator()))
        relative.remove(0, 1);
    return destPath + relative;
}

bool insideRecursiveSource(const clsBackup& association, const QString& destDir) {
    return association.Folder && association.Recursive &&
           isSameOrBelow(destDir, association.SourcePath);
}

} // namespace CopyDestination
