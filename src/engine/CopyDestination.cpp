#include "engine/CopyDestination.h"

#include "model/Records.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {

// Owner access that a folder Quillmot makes always keeps, and the bits it may take from others.
constexpr unsigned ownerAccess = 0700;
constexpr unsigned permissionBits = 0777;

// What group and others may do in every folder above `folder` (the owner's bits all set): a
// folder they cannot enter hides all below it, one they cannot list hides the names.
unsigned grantedAbove(const FileSystem& fso, const QString& folder) {
    unsigned granted = permissionBits;
    for (QString above = Paths::parent(folder); !above.isEmpty(); above = Paths::parent(above))
        if (const auto attributes = fso.attributes(above))
            granted &= attributes->mode | ownerAccess;
    return granted;
}

} // namespace

namespace CopyDestination {

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

bool followSourceFolder(FileSystem& fso, const BackupLayout& layout, const QString& destPath,
                        const QString& sourceFolder) {
    const QString top = layout.topSourceFolder();
    const QString folder = Paths::isSameOrBelow(sourceFolder, top) ? sourceFolder : top;
    const Mirror mirror = layout.mirrorOf(destPath, folder);
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
