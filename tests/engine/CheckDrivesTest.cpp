#include "EngineFixture.h"

#include "support/Mounts.h"

#include <QHash>
#include <QSet>
#include <QUuid>

namespace {

// Drives that cannot be made to vanish, stall or sit on another computer on demand: folders
// that act as mount points, one of them a network share.
class FakeDrives : public FileSystem {
public:
    QStringList mounts;
    QString network;
    QSet<QString> missing, notReady;
    QHash<QString, QString> volumes;

    QString GetDriveName(const QString& path) const override {
        for (const QString& m : mounts)
            if (path == m || path.startsWith(m + "/"))
                return m;
        return FileSystem::GetDriveName(path);
    }
    bool DriveExists(const QString& d) const override {
        return !missing.contains(d) && (mounts.contains(d) || FileSystem::DriveExists(d));
    }
    bool DriveIsReady(const QString& d) const override {
        return !notReady.contains(d) && (mounts.contains(d) || FileSystem::DriveIsReady(d));
    }
    QString VolumeName(const QString& d) const override {
        return volumes.value(d, FileSystem::VolumeName(d));
    }
    bool IsNetworkPath(const QString& path) const override { return GetDriveName(path) == network; }
};

class CheckDrivesTest : public CopyFixture {
protected:
    FakeDrives* drives = own(new FakeDrives);
    QString file, src, dst, share;

    void SetUp() override {
        CopyFixture::SetUp();
        src = home.path() + "/srcdrive";
        dst = home.path() + "/dstdrive";
        share = home.path() + "/share";
        drives->mounts = {src, dst, share};
        drives->network = share;
        drives->volumes = {{src, "Src"}, {dst, "Dst"}, {share, "Share"}};
        file = write("srcdrive/Docs/a.txt", "a");
        addAssociation(file, false);
        folder("dstdrive");
    }
    QString copyTo(const QString& destPath, const QString& volume) {
        addDestination(file, destPath, volume);
        copy(file, file);
        state->destinations->Remove(1);
        return logged().last();
    }
};

const QChar Nul(0);

TEST_F(CheckDrivesTest, SourceMustExistOnAReadyDriveWithAnAcceptedName) {
    state->backups->Item(1)->Volume = QString("x") + Nul + "SRC";
    EXPECT_EQ(copyTo(dst, "Dst"), "Success: Copy saved");
    drives->volumes[src] = "";
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source volume name mismatch");
    state->backups->Item(1)->Volume = QString("x") + Nul + Nul;
    EXPECT_EQ(copyTo(dst, "Dst"), "Success: Copy saved");
    drives->notReady << src;
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source drive not ready");
    drives->missing << src;
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source drive no longer exists");
    QFile::remove(file);
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source file no longer exists");
    EXPECT_EQ(state->recent->Item(state->recent->Count())->DestPath, dst);
}

TEST_F(CheckDrivesTest, LocalDestinationIsCheckedBeforeAnyFolderIsMade) {
    EXPECT_EQ(copyTo(dst + "/a/b", "Other"), "Error: Destination volume name mismatch");
    drives->notReady << dst;
    EXPECT_EQ(copyTo(dst + "/a/b", "Dst"), "Error: Destination drive not ready");
    drives->missing << dst;
    EXPECT_EQ(copyTo(dst + "/a/b", "Dst"), "Error: Destination drive no longer exists");
    EXPECT_TRUE(QDir(dst).isEmpty());
    drives->notReady.clear();
    drives->missing.clear();
    EXPECT_EQ(copyTo(dst + "/a/b", "dST"), "Success: Copy saved");
    EXPECT_TRUE(QFileInfo::exists(dst + "/a/b/Docs/a.txt"));

    // A file where a folder must be made stays, and the failure is told once.
    write("dstdrive/file", "in the way");
    EXPECT_EQ(copyTo(dst + "/file/deeper", "Dst"), "Error: Can't create destination folders");
    EXPECT_EQ(logged().size(), 5);
    EXPECT_EQ(readWholeFile(dst + "/file"), "in the way");
    EXPECT_EQ(ui.animations.back(), UserInterface::Animation::Shake);
}

TEST_F(CheckDrivesTest, NetworkDestinationComparesItsNameExactlyBeforeTheShare) {
    EXPECT_EQ(copyTo(share + "/x", "Share"), "Error: Destination network share does not exist");
    EXPECT_EQ(copyTo(share + "/x", "share"), "Error: Destination volume name mismatch");
    drives->notReady << share;
    EXPECT_EQ(copyTo(share + "/x", "Share"), "Error: Remove destination drive is not ready");
    EXPECT_EQ(notified().last(), "Error: Remote destination drive is not ready");
    drives->missing << share;
    EXPECT_EQ(copyTo(share + "/x", "Share"), "Error: Remote destination drive does not exist");
    drives->notReady.clear();
    drives->missing.clear();
    folder("share");
    EXPECT_EQ(copyTo(share + "/x/y", "Share"), "Success: Copy saved");
    EXPECT_EQ(notified().last(), "Copy saved");
    EXPECT_TRUE(QFileInfo::exists(share + "/x/y/Docs/a.txt"));
}

// Destination drives that are real mounts.
using CheckMountsTest = OneFileFixture;

TEST_F(CheckMountsTest, ASymbolicLinkLeadsTheVolumeCheckToTheDiskItPointsTo) {
    const auto disk = ScratchMount::ext4("QmBackup", 8);
    SKIP_UNLESS_MOUNTED(disk);
    const QString link = home.path() + "/backup";
    ASSERT_TRUE(QFile::link(disk->mountPoint(), link));
    addDestination(file, link + "/d1", volumeOf(home.path()));
    addDestination(file, link + "/d2", "QmBackup");
    copy(file, file);

    EXPECT_EQ(logged(),
              QStringList({"Error: Destination volume name mismatch", "Success: Copy saved"}));
    EXPECT_TRUE(state->recent->Item(1)->DestVolume.endsWith("(the drive holds QmBackup)"));
    EXPECT_FALSE(QFileInfo::exists(disk->mountPoint() + "/d1"));
    EXPECT_TRUE(QFileInfo::exists(disk->mountPoint() + "/d2/Docs/a.txt"));
}

// A tmpfs whose mount source names a share stands in for the mounted share; the share's name is
// this run's own, so that a mount an earlier, killed run left behind cannot answer for it.
TEST_F(CheckMountsTest, AShareWrittenWithTwoSlashesIsWrittenAtItsMountPoint) {
    const QString name = "backups" + QUuid::createUuid().toString(QUuid::Id128);
    const auto share = ScratchMount::tmpfs(1024, "//qmserver/" + name);
    SKIP_UNLESS_MOUNTED(share);
    addDestination(file, "//QMSERVER/" + name + "/ann", "");
    copy(file, file);
    EXPECT_EQ(logged(), QStringList{"Success: Copy saved"});
    EXPECT_EQ(state->recent->Item(1)->DestPath, "//QMSERVER/" + name + "/ann/Docs");
    EXPECT_EQ(readWholeFile(share->mountPoint() + "/ann/Docs/a.txt"), "a");

    ASSERT_TRUE(share->unmount());
    copy(file, file);
    EXPECT_EQ(logged().last(), "Error: Remote destination drive does not exist");
    EXPECT_TRUE(QDir(share->mountPoint()).isEmpty());
}

TEST(CopyMessages, FailedCopyTellsWhatBecameOfThePreviousVersion) {
    Options options;
    options.setDefaults();
    const CopyOutcome stored{true, true, false, "Error: Disk is full"};
    const ResultChoice both = chooseCopyResult(stored, {true, true}, options);
    EXPECT_EQ(both.logText, "Error: Disk is full... Previous version stored");
    EXPECT_EQ(both.notifyText, both.logText);
    EXPECT_TRUE(both.success && both.error);
    EXPECT_EQ(chooseCopyResult(stored, {true, false}, options).notifyText,
              "Previous version stored");

    const CopyOutcome unstored{true, false, true, "Error occurred in copy"};
    EXPECT_EQ(chooseCopyResult(unstored, {true, true}, options).notifyText,
              "Error occurred in copy... Error: Previous version store unsuccessful");
    EXPECT_FALSE(chooseCopyResult(unstored, {true, false}, options).notifyText);
    options.ErrorCopyFailed = false;
    EXPECT_EQ(chooseCopyResult(unstored, {false, true}, options).notifyText,
              "Error: Previous version store unsuccessful");
}

} // namespace
