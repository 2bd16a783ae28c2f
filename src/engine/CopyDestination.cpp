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

// What group and others may do in every folder above `folder` (the owner's bits all set): a
// folder they cannot enter hides all below it, one they cannot list hides the names.
unsigned grantedAbove(const FileSystem& fso, const QString& folder) {
    unsigned granted = permissionBits;
    for (QString above = Paths::parent(folder); !above.isEmpty(); above = Paths::parent(above))
        if (const auto attributes = fso.attributes(above))
            granted &= attributes->mode | ownerAccess;
    return granted;
}

// The folder an association's mirror starts from: the source folder, or a file's folder.
QString topFolderOf(const QString& sourceRoot, bool folderAssociation, const QString& fileFolder) {
    return folderAssociation ? Paths::withoutTrailingSeparator(sourceRoot) : fileFolder;
}

} // namespace

namespace CopyDestination {

Mirror mirrorOf(const QString& destPath, const QString& sourceRoot, bool folderAssociation,
                const QString& fileFolder) {
    const QString top = topFolderOf(sourceRoot, folderAssociation, fileFolder);
    Mirror m;
    m.destPath = destPath;
    m.names << mirrorName(top);
    m.sourceFolders << top;
    QString below = top;
    for (const QString& piece : Paths::componentsBelow(fileFolder, top)) {
        m.names << piece;
        below = Paths::join(below, piece);
        m.sourceFolders << below;
    }
    QString relative = Paths::separator() + m.names.join(Paths::separator());
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
    return fso.sameEntry(Paths::join(destDir, Paths::fileName(filePath)), filePath) ||
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

FolderAccess folderAccess(const FileSystem& fso, const Mirror& mirror, int levelsAbove) {
    const qsizetype count = mirror.sourceFolders.size();
    if (count == 0)
        return {};
    const qsizetype index = levelsAbove < count ? count - 1 - levelsAbove : 0;
    const QString& source = mirror.sourceFolders[index];
    const auto attributes = fso.attributes(source);
    if (!attributes)
        return {};
    unsigned mode = (attributes->mode & permissionBits) | ownerAccess;
    if (index == 0)
        mode &= grantedAbove(fso, source);
    return {mode, attributes->group};
}

bool followSourceFolder(FileSystem& fso, const QString& destPath, const QString& sourceRoot,
                        bool folderAssociation, const QString& sourceFolder) {
    const QString top = topFolderOf(sourceRoot, folderAssociation, Paths::parent(sourceRoot));
    const QString folder = Paths::isSameOrBelow(sourceFolder, top) ? sourceFolder : top;
    const Mirror mirror = mirrorOf(destPath, sourceRoot, folderAssociation, folder);
    DestinationFolder at = DestinationFolder::openChosen(fso.localPathOf(destPath));
    for (const QString& name : mirror.names) {
        DestinationFolder next;
        if (!at.isOpen() || at.enter(name, next) != DestinationFolder::Refusal::None)
            return false;
        at = std::move(next);
    }
    at.bringTo(folderAccess(fso, mirror, 0));
    return true;
}

} // namespace CopyDestination
