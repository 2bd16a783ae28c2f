// The association tree built from real folders and files: containers and association nodes,
// the icon rule, removal and the purge of images, the view state, and paths a store may hold
// that no file manager would show.

#include "persistence/AssociationStore.h"
#include "platform/AppData.h"
#include "presentation/ProtectionStatus.h"
#include "presentation/TreeFixture.h"
#include "support/Mounts.h"

#include <QSignalSpy>

namespace {

QStringList storedLines() {
    return QString::fromUtf8(readWholeFile(AppData::filePath("usrdatab"))).split("\r\n");
}

} // namespace

TEST_F(TreeFixture, NodesFollowThePathsWithContainersOnTheWaySortedChildrenAndExactLookups) {
    const QString a = folder("A");
    for (const QString name : {"Zeta", "alpha", "Beta"})
        associate(folder("A/" + name), true);
    associate("//server/share/docs", true);
    // Filled a slice at a time, as at start: the view sees no rows until the tree is whole, and
    // then all of them at once.
    QSignalSpy reset(tree.get(), &QAbstractItemModel::modelReset);
    tree->beginFill();
    int slices = 1;
    while (!tree->fillSome(QDeadlineTimer(0))) {
        EXPECT_EQ(tree->rowCount(), 0);
        ++slices;
    }
    EXPECT_EQ(slices, 4);
    EXPECT_EQ(reset.count(), 1);

    ASSERT_NE(node(drive()), nullptr);
    EXPECT_EQ(node(drive())->text, drive());
    EXPECT_EQ(imageOf(drive()), Paths::PathKey(drive())) << "a root container shows its drive";
    EXPECT_EQ(imageOf(a), "*Folder");
    EXPECT_EQ(childTexts(a), QStringList({"alpha", "Beta", "Zeta"}));
    EXPECT_EQ(imageOf(a + "/Beta"), Paths::PathKey(a + "/Beta") + "*Green");
    EXPECT_TRUE(tree->images().contains(Paths::PathKey(a + "/Beta")));
    EXPECT_FALSE(tree->NodeExists("//server/share/docs"));
    EXPECT_EQ(tree->rowCount(), 1) << "a network path makes no root";

    // One trailing separator is ignored by the index search only, and the caller's text stays
    // as it was.
    QString withSeparator = a + "/Beta/";
    EXPECT_EQ(tree->FindTreeIndexFromFullPath(withSeparator), node(a + "/Beta")->index);
    EXPECT_EQ(withSeparator, a + "/Beta/");
    EXPECT_EQ(tree->FindTreeIndexFromFullPath(a + "/Gamma"), -1);
    EXPECT_FALSE(tree->NodeExists(withSeparator));
    EXPECT_TRUE(tree->BackupExists(a + "/Beta"));
    EXPECT_FALSE(tree->BackupExists(withSeparator));
    EXPECT_TRUE(tree->HasChildNodes(a + "/"));
    EXPECT_FALSE(tree->HasChildNodes(a + "/Beta"));

    // A later association on an existing node leaves its image to the adding command.
    const int nodes = tree->nodeCount();
    associate(a, true);
    tree->UpdateTreeLocal();
    EXPECT_EQ(tree->nodeCount(), nodes);
    EXPECT_EQ(imageOf(a), "*Folder");
    EXPECT_TRUE(tree->applyIconRule(a));
    EXPECT_EQ(imageOf(a), Paths::PathKey(a) + "*Green");
}

TEST_F(TreeFixture, TheIconRuleShowsStateAndDisablesAssociationsWhoseSourceIsMissing) {
    const QString gone = missing("Old/letter.odt");
    const QString goneFolder = missing("Old/Photos");
    const QString off = file("Docs/off.txt");
    auto letter = associate(gone, false);
    auto photos = associate(goneFolder, true);
    auto disabled = associate(off, false, false);
    tree->UpdateTreeLocal();

    EXPECT_EQ(imageOf(gone), "*FileYellow");
    EXPECT_EQ(imageOf(goneFolder), "*FolderYellow");
    EXPECT_FALSE(letter->Enabled);
    EXPECT_FALSE(photos->Enabled);
    EXPECT_EQ(imageOf(off), Paths::PathKey(off) + "*Magenta");
    EXPECT_TRUE(tree->images().contains(Paths::PathKey(off) + "*Green"));
    EXPECT_EQ(tree->gintNonIconsLocal, 11);

    // The refresh after a rename applies the rule again but never enables or disables.
    letter->Enabled = true;
    home.writeFile("Old/letter.odt", "back");
    tree->RefreshNodeIcons();
    EXPECT_EQ(imageOf(gone), Paths::PathKey(gone) + "*Green");
    QFile::remove(gone);
    tree->RefreshNodeIcons();
    EXPECT_EQ(imageOf(gone), "*FileYellow");
    EXPECT_TRUE(letter->Enabled);
}

TEST_F(TreeFixture, AMountShowsItsLabelAndASourceOnAMountThatHasGoneIsDisabledOnlyWhenMissing) {
    auto usb = ScratchMount::ext4("QMTREE", 8);
    SKIP_UNLESS_MOUNTED(usb);
    const QString mountPoint = usb->mountPoint();
    ASSERT_TRUE(QDir().mkpath(mountPoint + "/Thesis"));
    auto wholeDrive = associate(mountPoint, true);
    auto thesis = associate(mountPoint + "/Thesis", true);
    tree->UpdateTreeLocal();
    ASSERT_TRUE(tree->node(tree->FindTreeIndexFromFullPath(mountPoint))->isRoot());
    EXPECT_EQ(imageOf(mountPoint), Paths::PathKey(mountPoint) + "*Green");
    EXPECT_EQ(imageOf(mountPoint + "/Thesis"), Paths::PathKey(mountPoint + "/Thesis") + "*Green");
    const auto shown = [&] { return tree->indexOf(node(mountPoint)).data().toString(); };
    EXPECT_EQ(shown(), mountPoint + " \u2014 QMTREE") << "which disk is which, at a glance";

    engine->closeAllWatches();
    ASSERT_TRUE(usb->unmount());
    tree->RefreshNodeIcons();
    EXPECT_EQ(imageOf(mountPoint), "*DriveYellow");
    EXPECT_EQ(shown(), mountPoint) << "no disk, no label";
    EXPECT_TRUE(wholeDrive->Enabled);

    // At the next start the empty mount point is a folder of the file system below it, which
    // does not carry the drive's name: the copies refuse that volume, but the association stays
    // enabled for the disk's return. Only a source that is not there is disabled.
    AssociationTree restarted(*state, engine.get());
    restarted.PlaceIcons();
    restarted.UpdateTreeLocal();
    EXPECT_EQ(restarted.nodeAtPath(mountPoint)->imageKey, Paths::PathKey(mountPoint) + "*Green");
    EXPECT_EQ(restarted.nodeAtPath(mountPoint + "/Thesis")->imageKey, "*FolderYellow");
    EXPECT_TRUE(wholeDrive->Enabled);
    EXPECT_FALSE(thesis->Enabled);
}

TEST_F(TreeFixture, RemovingAnAssociationKeepsTheNodesOthersNeed) {
    const QString a = folder("A");
    const QString b = folder("A/B");
    const QString keeper = file("A/B/keep.txt");
    associate(a, true);
    associate(b, true);
    associate(keeper, false);
    tree->UpdateTreeLocal();

    // A still has B below it: the node stays, as a container.
    tree->RemoveLocal(node(a));
    EXPECT_FALSE(state->backups->contains(a));
    EXPECT_EQ(imageOf(a), "*Folder");
    EXPECT_FALSE(storedLines().contains(a));
    EXPECT_TRUE(storedLines().contains(b));

    // B's only child goes alone: its parent is an association.
    tree->RemoveLocal(node(keeper));
    EXPECT_EQ(node(keeper), nullptr);
    EXPECT_EQ(imageOf(b), Paths::PathKey(b) + "*Green");

    // The last association takes its whole empty branch with it, up to the root.
    tree->RemoveLocal(node(b));
    EXPECT_EQ(tree->nodeCount(), 0);
    EXPECT_EQ(tree->images().count(), tree->gintNonIconsLocal);
    EXPECT_EQ(state->backups->Count(), 0);
}

TEST_F(TreeFixture, RemovingAContainerTakesEverythingBelowItAndNothingBeside) {
    const QString one = file("X/A/one.txt"), two = file("X/A/deep/two.txt");
    const QString beside = file("X/AB/three.txt");
    for (const QString& path : {one, two, beside})
        associate(path, false);
    tree->UpdateTreeLocal();

    tree->RemoveLocal(node(Paths::parent(one)));
    EXPECT_EQ(state->backups->Count(), 1);
    EXPECT_TRUE(state->backups->contains(beside));
    EXPECT_EQ(node(Paths::parent(one)), nullptr);
    EXPECT_NE(node(beside), nullptr);
    EXPECT_FALSE(tree->images().contains(Paths::PathKey(one)));
    EXPECT_TRUE(tree->images().contains(Paths::PathKey(beside) + "*Green"));
    EXPECT_EQ(storedLines().first(), beside);
}

TEST_F(TreeFixture, VisibleNodesRoundTripThroughAFreshTree) {
    const QString deep = file("P/Q/R/file.txt");
    const QString other = folder("P/S");
    associate(deep, false);
    associate(other, true);
    tree->UpdateTreeLocal();
    EXPECT_EQ(tree->visibleNodePaths(), QStringList({drive()})) << "roots only at first";

    tree->revealNodes({deep, missing("nowhere")});
    const QStringList visible = tree->visibleNodePaths();
    EXPECT_TRUE(visible.contains(deep));
    EXPECT_TRUE(visible.contains(other)) << "a sibling on the opened way shows too";

    AssociationTree restarted(*state, engine.get());
    restarted.PlaceIcons();
    restarted.UpdateTreeLocal();
    restarted.revealNodes(visible);
    EXPECT_EQ(restarted.visibleNodePaths(), visible);
    restarted.setAllExpanded(false);
    EXPECT_EQ(restarted.visibleNodePaths(), QStringList({drive()}));
}

TEST_F(TreeFixture, PathsNoFileManagerWouldShowStillShowAndCanBeRemoved) {
    // A name read from the store as Latin-1 (it was not UTF-8), one with a newline, and a path
    // of 4,000 bytes.
    const QString latin1 = missing(QString::fromLatin1("caf\xe9\xff.txt"));
    const QString newline = missing("two\nlines.txt");
    QString longPath = home.path();
    while (longPath.size() < 4000)
        longPath += "/" + QString(99, u'x');
    longPath.truncate(3999);
    longPath += u'z';
    for (const QString& path : {latin1, newline, longPath})
        associate(path, false);
    tree->UpdateTreeLocal();

    for (const QString& path : {latin1, newline, longPath}) {
        SCOPED_TRACE(path.left(80).toStdString());
        ASSERT_NE(node(path), nullptr);
        EXPECT_EQ(imageOf(path), "*FileYellow");
        const QModelIndex shown = tree->indexOf(node(path));
        EXPECT_FALSE(shown.data().toString().contains(u'\n'));
        EXPECT_EQ(tree->parent(shown), tree->indexOf(node(path)->parent));
        tree->RemoveLocal(node(path));
        EXPECT_EQ(node(path), nullptr);
    }
    EXPECT_EQ(state->backups->Count(), 0);
    EXPECT_EQ(tree->rowCount(), 0);
}

// An association without a destination saved without a word and looked healthy.
TEST_F(TreeFixture, AssociationRowsShowTheirStateAndLastBackupBesideThem) {
    const QString saved = file("Docs/saved.txt"), lonely = file("Docs/lonely.txt");
    associate(saved, false);
    associate(lonely, false);
    const QString backup = folder("backup");
    state->destinations->Add(backup, saved, "BACKUP_B");
    ProtectionStatus status(*state);
    tree->UpdateTreeLocal();
    tree->setStatus(&status);
    EXPECT_EQ(tree->columnCount(), 3);
    EXPECT_EQ(tree->headerData(AssociationTree::LastBackupColumn, Qt::Horizontal), "Last backup");
    const auto cell = [&](const QString& path, int column, int role = Qt::DisplayRole) {
        const QModelIndex at = tree->indexOf(node(path));
        return tree->index(at.row(), column, at.parent()).data(role);
    };

    status.copyEnded(saved, saved, backup, true, {});
    clock.current = clock.current.addSecs(120);
    EXPECT_EQ(cell(saved, AssociationTree::StateColumn), "Protected");
    EXPECT_EQ(cell(saved, AssociationTree::LastBackupColumn), "2 min ago");
    EXPECT_EQ(cell(saved, AssociationTree::LastBackupColumn, Qt::ToolTipRole),
              DateTimeText::format(clock.current.addSecs(-120)));
    EXPECT_EQ(cell(saved, AssociationTree::StateColumn, Qt::ToolTipRole),
              "BACKUP_B: ok, last copy 2 min ago");
    EXPECT_EQ(cell(lonely, AssociationTree::StateColumn), "No destination");
    EXPECT_EQ(cell(lonely, AssociationTree::StateColumn, AssociationTree::ImageKeyRole), "*Yellow");
    EXPECT_EQ(cell(lonely, AssociationTree::LastBackupColumn), "Never");
    EXPECT_FALSE(cell(Paths::parent(saved), AssociationTree::StateColumn).isValid())
        << "a container has no state";
}
