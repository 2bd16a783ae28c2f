#include "engine/CopyDestination.h"

#include "model/Records.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {

// The name a mount point mirrors under when it has no last component.
const QString rootMountName = QStringLiteral("root");

// Owner access that a folder Quillmot makes always keeps, and the bits it may take from others.
constexpr unsigned ownerAccess = 0700;
constexpr unsigned permissionBits = 0777;

// A folder's own name in a mirrored path; a mount point's is its last component too.
QString mirrorName(const QString& folder) {
    return Paths::isRoot(folder) ? rootMountName : Paths::fileName(folder);
}

// The components of `folder` below `top`, in order; empty when `folder` is not below it.
QStringList componentsBelow(const QString& folder, const QString& top) {
    if (!Paths::isSameOrBelow(folder, top))
        return {};
    const QStringList all = Paths::split(Paths::withoutTrailingSeparator(folder));
    const QStringList above = Paths::split(Paths::withoutTrailingSeparator(top));
    QStringList below = all.mid(Paths::isRoot(top) ? 1 : above.size());
    below.removeAll(QString());
    return below;
}

} // namespace

namespace CopyDestination {

Mirror mirrorOf(const QString& destPath, const QString& sourceRoot, bool folderAssociation,
                const QString& fileFolder) {
    const QString top =
        folderAssociation ? Paths::withoutTrailingSeparator(sourceRoot) : fileFolder;
    Mirror m;
    QStringList pieces{mirrorName(top)};
    m.sourceFolders << top;
    QString below = top;
    for (const QString& piece : componentsBelow(fileFolder, top)) {
        pieces << piece;
        below = Paths::join(below, piece);
        m.sourceFolders << below;
    }
    QString relative = Paths::separator() + pieces.join(Paths::separator());
    if (destPath.endsWith(Paths::separator()))
        relative.remove(0, 1);
    m.destDir = destPath + relative;
    return m;
}

// The mirrored layout is a rule of the paths alone; the file system is not asked.
QString mirroredFolder(const FileSystem&, const QString& destPath, const QString& sourceRoot,
                       bool folderAssociation, const QString& filePath) {
    return mirrorOf(destPath, sourceRoot, folderAssociation, Paths::parent(filePath)).destDir;
}

QString mirroredFolderOf(const FileSystem&, const QString& destPath, const QString& sourceRoot,
                         bool folderAssociation, const QString& fileFolder) {
    return mirrorOf(destPath, sourceRoot, folderAssociation, fileFolder).destDir;
}

bool wouldLoop(const FileSystem& fso, const clsBackup& association, const QString& destDir,
               const QString& filePath) {
    return fso.sameFile(Paths::join(destDir, Paths::fileName(filePath)), filePath) ||
           insideRecursiveSource(fso, association, destDir);
}

bool insideRecursiveSource(const FileSystem& fso, const clsBackup& association,
                           const QString& destDir) {
    if (!association.Folder || !association.Recursive)
        return false;
    const QString source = association.SourcePath;
    const QString resolved = fso.resolvedPath(destDir);
    if (Paths::isSameOrBelow(resolved, fso.resolvedPath(source)))
        return true;
    // The same folder can be reached under another path that no resolving shows (a bind mount).
    for (QString folder = resolved; !folder.isEmpty(); folder = Paths::parent(folder))
        if (fso.sameFile(folder, source))
            return true;
    return false;
}

unsigned folderMode(const FileSystem& fso, const Mirror& mirror, int levelsAbove) {
    const qsizetype count = mirror.sourceFolders.size();
    if (count == 0)
        return ownerAccess;
    const qsizetype index = levelsAbove < count ? count - 1 - levelsAbove : 0;
    const auto attributes = fso.attributes(mirror.sourceFolders[index]);
    return ((attributes ? attributes->mode : 0) & permissionBits) | ownerAccess;
}

} // namespace CopyDestination
