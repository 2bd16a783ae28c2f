#include "CopyFixture.h"

#include "support/Mounts.h"

#include <QFile>
#include <QHash>
#include <QSet>

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
    FakeDrives* drives = nullptr;
    QString file, src, dst, share;

    std::unique_ptr<FileSystem> makeFileSystem() override {
        auto fake = std::make_unique<FakeDrives>();
        drives = fake.get();
        return fake;
    }
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
    }
    QString copyTo(const QString& destPath, const QString& volume) {
        addDestination(file, destPath, volume);
        copy(file, file);
        state->Destinations->Remove(1);
        return logged().last();
    }
};

TEST_F(CheckDrivesTest, SourceMustExistOnAReadyDriveWithAnAcceptedName) {
    folder("dstdrive");
    const QChar nul(0);
    state->Backups->Item(1)->Volume = QString("x") + nul + "SRC";
    EXPECT_EQ(copyTo(dst, "Dst"), "Success: Copy saved");
    drives->volumes[src] = "";
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source volume name mismatch");
    state->Backups->Item(1)->Volume = QString("x") + nul + nul;
    EXPECT_EQ(copyTo(dst, "Dst"), "Success: Copy saved");
    drives->notReady << src;
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source drive not ready");
    drives->missing << src;
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source drive no longer exists");
    QFile::remove(file);
    EXPECT_EQ(copyTo(dst, "Dst"), "Error: Source file no longer exists");
    EXPECT_EQ(state->Recent->Item(state->Recent->Count())->DestPath, dst);
}

TEST_F(CheckDrivesTest, LocalDestinationIsCheckedBeforeAnyFolderIsMade) {
    folder("dstdrive");
    EXPECT_EQ(copyTo(dst + "/a/b", "Other"), "Error: Destination volume name mismatch");
    drives->notReady << dst;
    EXPECT_EQ(copyTo(dst + "/a/b", "Dst"), "Error: Destination drive not ready");
    drives->missing << dst;
    EXPECT_EQ(copyTo(dst + "/a/b", "Dst"), "Error: Destination drive no longer exists");
    EXPECT_TRUE(QDir(dst).isEmpty());
    drives->notReady.clear();
    drives->missing.clear();
    EXPECT_EQ(copyTo(dst + "/a/b", "dST"), "Success: Copy saved");
    EXPECT_TRUE(exists(dst + "/a/b/Docs/a.txt"));
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
    EXPECT_TRUE(exists(share + "/x/y/Docs/a.txt"));
}

TEST_F(CheckDrivesTest, FoldersThatCannotBeMadeAreReportedOnce) {
    write("dstdrive/file", "in the way");
    EXPECT_EQ(copyTo(dst + "/file/deeper", "Dst"), "Error: Can't create destination folders");
    EXPECT_EQ(logged().size(), 1);
    EXPECT_EQ(readWholeFile(dst + "/file"), "in the way");
    EXPECT_EQ(ui.animations, std::vector{UserInterface::Animation::Shake});
}

// Real file systems: labelled ext4 images and an unlabeled tmpfs.
using CheckMountsTest = CopyFixture;

TEST_F(CheckMountsTest, LabelledDestinationMatchesOnlyWhileMounted) {
    QString reason;
    const auto disk = ScratchMount::ext4("QmDest", 8, &reason);
    if (!disk)
        GTEST_SKIP() << reason.toStdString();
    const QString file = write("src/Docs/a.txt", "a");
    addAssociation(file, false);
    addDestination(file, disk->mountPoint() + "/backup", "qmdest");
    addDestination(file, disk->mountPoint(), "Other");

    copy(file, file);
    EXPECT_EQ(logged(),
              QStringList({"Success: Copy saved", "Error: Destination volume name mismatch"}));
    EXPECT_EQ(state->Recent->Item(1)->DestVolume, "QmDest");
    EXPECT_TRUE(exists(disk->mountPoint() + "/backup/Docs/a.txt"));

    // Unmounted, the path falls to the file system below, whose name is another.
    ASSERT_TRUE(disk->unmount());
    copy(file, file);
    EXPECT_EQ(logged().mid(2), QStringList(2, "Error: Destination volume name mismatch"));
    EXPECT_TRUE(QDir(disk->mountPoint()).isEmpty());
}

TEST_F(CheckMountsTest, SourceNameIsAcceptedIgnoringCaseAndUnlabeledByTwoNuls) {
    QString reason;
    const auto labelled = ScratchMount::ext4("QmSource", 8, &reason);
    const auto unlabeled = labelled ? ScratchMount::tmpfs(256, &reason) : nullptr;
    if (!unlabeled)
        GTEST_SKIP() << reason.toStdString();
    const QString dst = folder("dst");
    const auto verdict = [&](const QString& mount, const QString& volumes) {
        const QString file = mount + "/f.txt";
        QFile(file).open(QIODevice::WriteOnly);
        addAssociation(file, false)->Volume = volumes;
        addDestination(file, dst);
        copy(file, file);
        state->Backups->Remove(file);
        return logged().last();
    };
    const QChar nul(0);
    const QString labelledAt = labelled->mountPoint(), unlabeledAt = unlabeled->mountPoint();
    EXPECT_EQ(verdict(labelledAt, QString("a") + nul + "qmSOURCE"), "Success: Copy saved");
    EXPECT_EQ(verdict(labelledAt, "QmSourc"), "Error: Source volume name mismatch");
    EXPECT_EQ(verdict(unlabeledAt, QString("a") + nul + nul), "Success: Copy saved");
    EXPECT_EQ(verdict(unlabeledAt, QString("a") + nul + "b"), "Error: Source volume name mismatch");
}

} // namespace
