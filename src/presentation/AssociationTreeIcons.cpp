// The icon rule of the association tree, the purge of per-path images and the "Volume" panel.

#include "platform/Paths.h"
#include "presentation/AssociationTree.h"
#include "presentation/StatusTexts.h"
#include "state/AppState.h"

#include <QSet>

namespace {

// A source's kind, or none when it is missing. The kind its association expects is looked for
// first: one look for most sources.
std::optional<ImageList::PathKind> kindOf(const FileSystem& fso, const QString& path,
                                          bool folderExpected) {
    using Kind = ImageList::PathKind;
    const Kind expected = folderExpected ? Kind::Folder : Kind::File;
    const Kind other = folderExpected ? Kind::File : Kind::Folder;
    const auto is = [&](Kind k) {
        return k == Kind::Folder ? fso.FolderExists(path) : fso.FileExists(path);
    };
    if (is(expected))
        return expected;
    if (is(other))
        return other;
    return std::nullopt;
}

} // namespace

bool AssociationTree::IconFacts::driveUsable(const QString& drive) {
    auto it = m_usable.constFind(drive);
    if (it == m_usable.cend()) {
        const FileSystem& fso = *m_tree.m_state.fso;
        it = m_usable.insert(drive, fso.DriveExists(drive) && fso.DriveIsReady(drive));
    }
    return it.value();
}

QString AssociationTree::IconFacts::driveOf(const QString& path) {
    const auto known = m_driveOfPath.constFind(path);
    if (known != m_driveOfPath.cend())
        return known.value();
    const QString drive = lookUpDriveOf(path);
    m_driveOfPath.insert(path, drive);
    return drive;
}

QString AssociationTree::IconFacts::lookUpDriveOf(const QString& path) {
    const FileSystem& fso = *m_tree.m_state.fso;
    const QString folder = Paths::parent(Paths::withoutTrailingSeparator(path));
    // Finding a drive resolves the real path, a look-up per folder level; a tree of thousands
    // of associations in a few hundred folders asks once per folder.
    const auto entry = folder.isEmpty() ? std::nullopt : fso.stamp(path);
    if (folder.isEmpty() || fso.DriveExists(path) || (entry && entry->link))
        return fso.GetDriveName(path);
    auto it = m_driveOfFolder.constFind(folder);
    if (it == m_driveOfFolder.cend())
        it = m_driveOfFolder.insert(folder, fso.GetDriveName(folder));
    return it.value();
}

bool AssociationTree::IconFacts::onNetwork(const QString& path) {
    const QString drive = driveOf(path);
    auto it = m_networkDrive.constFind(drive);
    if (it == m_networkDrive.cend())
        it = m_networkDrive.insert(drive, m_tree.IsNetworkPath(drive));
    return it.value();
}

QString AssociationTree::IconFacts::volumeName(const QString& drive) {
    auto it = m_volumes.constFind(drive);
    if (it == m_volumes.cend())
        it = m_volumes.insert(drive, m_tree.m_state.fso->VolumeName(drive));
    return it.value();
}

void AssociationTree::PlaceIcons() {
    m_images.PlaceIcons();
    gintNonIconsLocal = m_images.genericCount();
}

void AssociationTree::EnsurePathIcon(const QString& path) {
    const FileSystem& fso = *m_state.fso;
    ImageList::PathKind kind = ImageList::PathKind::File;
    if (fso.DriveExists(path))
        kind = ImageList::PathKind::Drive;
    else if (fso.FolderExists(path))
        kind = ImageList::PathKind::Folder;
    m_images.EnsurePathIcon(path, kind);
}

void AssociationTree::EnsureStatusIcons(const QString& path) {
    m_images.EnsureStatusIcons(path);
}

QString AssociationTree::imageFor(const TreeNode& n, IconFacts& facts, bool mayDisable) {
    if (const auto association = associationOf(n))
        return associationImage(n, *association, facts, mayDisable);
    if (!n.isRoot())
        return ImageKeys::folder;
    if (!m_state.fso->DriveExists(n.path))
        return ImageKeys::drive;
    m_images.EnsurePathIcon(n.path, ImageList::PathKind::Drive);
    return Paths::PathKey(n.path);
}

// A source counts as present when it exists on a present, ready drive. Its volume name is the
// copy's to check: a source on another volume than it accepts is refused there, with a message
// the user sees, and must not be disabled and stored so, which would end its backups for good.
QString AssociationTree::associationImage(const TreeNode& n, clsBackup& association,
                                          IconFacts& facts, bool mayDisable) {
    const FileSystem& fso = *m_state.fso;
    ImageList::PathKind kind = ImageList::PathKind::Drive;
    bool present = false;
    const QString drive = n.isRoot() ? n.path : facts.driveOf(n.path);
    if (n.isRoot()) {
        present = facts.driveUsable(drive);
    } else if (const auto found = kindOf(fso, n.path, association.Folder)) {
        kind = *found;
        present = true;
    }
    if (!present) {
        if (mayDisable)
            association.Enabled = false;
        if (n.isRoot())
            return ImageKeys::driveYellow;
        return association.Folder ? ImageKeys::folderYellow : ImageKeys::fileYellow;
    }
    m_images.EnsurePathIcon(n.path, kind);
    m_images.EnsureStatusIcons(n.path);
    return Paths::PathKey(n.path) + (association.Enabled ? ImageKeys::green : ImageKeys::magenta);
}

bool AssociationTree::applyIconRule(const QString& path) {
    TreeNode* n = nodeAtPath(Paths::withoutTrailingSeparator(path));
    if (!n)
        return false;
    IconFacts facts(*this);
    setNodeImage(*n, imageFor(*n, facts, true));
    emit associationsShown();
    return true;
}

void AssociationTree::giveContainerImage(TreeNode& n) {
    if (n.isRoot()) {
        m_images.EnsurePathIcon(n.path, ImageList::PathKind::Drive);
        setNodeImage(n, Paths::PathKey(n.path));
    } else {
        setNodeImage(n, ImageKeys::folder);
    }
}

void AssociationTree::setNodeImage(TreeNode& n, const QString& imageKey) {
    if (n.imageKey == imageKey)
        return;
    n.imageKey = imageKey;
    const QModelIndex at = indexOf(&n);
    emit dataChanged(at, at, {ImageKeyRole});
}

void AssociationTree::RemoveUnusedImages(int intNonIcons) {
    // The keys a node may use: its path's own picture and its two status pictures.
    QSet<QString> used;
    used.reserve(nodeCount() * 3);
    forEachNode([&](const TreeNode& n) {
        used.insert(n.key);
        used.insert(n.key + ImageKeys::green);
        used.insert(n.key + ImageKeys::magenta);
    });
    m_images.removeUnused(intNonIcons, [&](const QString& key) { return used.contains(key); });
}

void AssociationTree::RefreshNodeIcons() {
    m_images.removeAllPathImages();
    IconFacts facts(*this);
    forEachNode([&](TreeNode& n) {
        if (n.isRoot()) {
            m_images.EnsurePathIcon(n.path, ImageList::PathKind::Drive);
            n.imageKey = Paths::PathKey(n.path);
            n.volume = rootVolume(n, facts);
        } else {
            n.imageKey = ImageKeys::folder;
        }
    });
    for (const auto& association : *m_state.backups)
        if (TreeNode* n = nodeAtPath(Paths::withoutTrailingSeparator(association->SourcePath)))
            n->imageKey = associationImage(*n, *association, facts, false);
    announceAllImages();
    emit associationsShown();
}

QString AssociationTree::rootVolume(const TreeNode& root, IconFacts& facts) const {
    // A root whose disk has gone is a folder on the disk below it, whose name is not the root's.
    if (!m_state.fso->DriveExists(root.path) || !facts.driveUsable(root.path))
        return {};
    return facts.volumeName(root.path);
}

// One change notice per row of siblings instead of one per node.
void AssociationTree::announceAllImages() {
    auto announce = [this](const std::vector<std::unique_ptr<TreeNode>>& rows) {
        if (!rows.empty())
            emit dataChanged(indexOf(rows.front().get()), indexOf(rows.back().get()),
                             {ImageKeyRole, Qt::DisplayRole});
    };
    announce(m_roots);
    forEachNode([&](const TreeNode& n) { announce(n.children); });
}

QString AssociationTree::volumePanelText(const TreeNode* n) const {
    if (!n)
        return StatusTexts::volume(notApplicable);
    const FileSystem& fso = *m_state.fso;
    const QString drive = n->isRoot() ? n->path : fso.GetDriveName(n->path);
    if (!fso.DriveExists(drive))
        return StatusTexts::volume(QStringLiteral("<Drive Does Not Exist>"));
    if (!fso.DriveIsReady(drive))
        return StatusTexts::volume(QStringLiteral("<Drive Is Not Ready>"));
    return StatusTexts::volume(fso.VolumeName(drive));
}
