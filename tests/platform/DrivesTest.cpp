#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/linux/VolumeLabelLinux.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

// blkid's own answer, as a check on the name read through the program's sources.
QString blkidValue(const QString& mountPoint, const char* tag) {
    const auto mount = MountTable::current().find(mountPoint);
    if (!mount)
        return {};
    QProcess p;
    p.start("blkid", {"-s", tag, "-o", "value", mount->source});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// An image file with a fresh file system; empty when the tool is missing or fails.
QString makeImage(const TempHome& home, const QString& tool, const QStringList& options) {
    const QString exe = QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"});
    const QString image = home.path() + "/" + tool + ".img";
    QFile f(image);
    if (exe.isEmpty() || !f.open(QIODevice::WriteOnly) || !f.resize(16 * 1024 * 1024))
        return {};
    f.close();
    QProcess p;
    p.start(exe, options + QStringList{image});
    return p.waitForFinished(60000) && p.exitCode() == 0 ? image : QString();
}

} // namespace

TEST(DriveNames, ALabelledExt4DriveIsNamedByItsLabel) {
    QString reason;
    auto disk = ScratchMount::ext4("Quill Data", 16, &reason);
    if (!disk)
        GTEST_SKIP() << qPrintable(reason);
    FileSystem fso;
    const QString mp = disk->mountPoint();
    EXPECT_EQ(fso.GetDriveName(mp + "/not/yet/there.txt"), mp);
    EXPECT_EQ(fso.GetDriveName(mp + "/"), mp);
    EXPECT_TRUE(fso.DriveExists(mp));
    EXPECT_TRUE(fso.DriveIsReady(mp));
    EXPECT_EQ(fso.VolumeName(mp), "Quill Data");
    EXPECT_FALSE(fso.IsNetworkPath(mp + "/x"));
}

TEST(DriveNames, AnUnlabeledDriveIsNamedByItsUuid) {
    QString reason;
    auto disk = ScratchMount::ext4("", 16, &reason);
    if (!disk)
        GTEST_SKIP() << qPrintable(reason);
    FileSystem fso;
    const QString uuid = blkidValue(disk->mountPoint(), "UUID");
    ASSERT_FALSE(uuid.isEmpty());
    EXPECT_EQ(fso.VolumeName(disk->mountPoint()), "UUID=" + uuid);
}

TEST(DriveNames, AVfatDriveIsNamedByItsLabelOrVolumeId) {
    QString reason;
    auto labelled = ScratchMount::vfat("QMBACKUP", 8, &reason);
    if (!labelled)
        GTEST_SKIP() << qPrintable(reason);
    FileSystem fso;
    EXPECT_EQ(fso.VolumeName(labelled->mountPoint()), "QMBACKUP");
    auto bare = ScratchMount::vfat("", 8, &reason);
    ASSERT_TRUE(bare) << qPrintable(reason);
    const QString id = blkidValue(bare->mountPoint(), "UUID");
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(fso.VolumeName(bare->mountPoint()), "UUID=" + id);
}

TEST(DriveNames, AMemoryFileSystemHasNoName) {
    QString reason;
    auto disk = ScratchMount::tmpfs(64, &reason);
    if (!disk)
        GTEST_SKIP() << qPrintable(reason);
    FileSystem fso;
    EXPECT_TRUE(fso.DriveExists(disk->mountPoint()));
    EXPECT_EQ(fso.VolumeName(disk->mountPoint()), "");
}

// The point of volume names: an unplugged disk's folder falls back to the disk beneath it,
// which must not pass for the backup disk.
TEST(DriveNames, AnUnmountedDriveIsGoneAndItsPathsFallToTheParent) {
    QString reason;
    auto disk = ScratchMount::ext4("QmGone", 16, &reason);
    if (!disk)
        GTEST_SKIP() << qPrintable(reason);
    FileSystem fso;
    const QString mp = disk->mountPoint();
    const QString inside = mp + "/Backups/Docs";
    ASSERT_TRUE(disk->unmount());
    EXPECT_FALSE(fso.DriveExists(mp));
    EXPECT_TRUE(QFileInfo(mp).isDir());
    const QString fallback = fso.GetDriveName(inside);
    EXPECT_NE(fallback, mp);
    EXPECT_EQ(fallback, MountTable::current().mountOf(QFileInfo(mp).path())->mountPoint);
    EXPECT_NE(fso.VolumeName(fallback), "QmGone");

    ASSERT_TRUE(disk->remount());
    EXPECT_TRUE(fso.DriveExists(mp));
    EXPECT_EQ(fso.VolumeName(fso.GetDriveName(inside)), "QmGone");
}

TEST(DriveNames, TheRootHoldsEverythingElse) {
    FileSystem fso;
    EXPECT_EQ(fso.GetDriveName("/"), "/");
    EXPECT_TRUE(fso.DriveExists("/"));
    EXPECT_TRUE(fso.DriveIsReady("/"));
    EXPECT_FALSE(fso.DriveExists(""));
    EXPECT_FALSE(fso.DriveIsReady("/no/such/mount"));
}

TEST(DriveNames, ShareTextsAreNetworkDrivesThatDoNotExistUnmounted) {
    FileSystem fso;
    EXPECT_TRUE(fso.IsNetworkPath("//server/share/folder"));
    EXPECT_FALSE(fso.IsNetworkPath("/"));
    EXPECT_EQ(fso.GetDriveName("//server/share/folder/file"), "//server/share");
    EXPECT_FALSE(fso.DriveExists("//server/share"));
}

// The probe is the source that names a FAT disk (no label ioctl there), and it reads images too,
// so it is checked here even where the kernel cannot mount FAT.
TEST(DriveProbe, ReadsLabelsAndUuidsStraightFromTheDisk) {
    TempHome home;
    const QString fat = makeImage(home, "mkfs.vfat", {"-n", "QMFAT"});
    const QString ext = makeImage(home, "mkfs.ext4", {"-q", "-F"});
    if (fat.isEmpty() || ext.isEmpty())
        GTEST_SKIP() << "mkfs.vfat and mkfs.ext4 are needed";
    const FileSystemIds fatIds = probeFileSystemIds(fat);
    EXPECT_EQ(fatIds.label, "QMFAT");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{4}-[0-9A-F]{4}$").match(fatIds.uuid).hasMatch())
        << qPrintable(fatIds.uuid);
    const FileSystemIds extIds = probeFileSystemIds(ext);
    EXPECT_EQ(extIds.label, "");
    EXPECT_EQ(extIds.uuid.size(), 36);
    EXPECT_TRUE(probeFileSystemIds(home.path() + "/missing").uuid.isEmpty());
}

TEST(ScratchMounts, LeaveNoMountNoLoopDeviceAndNoFolder) {
    QString reason;
    QString scratch;
    {
        auto disk = ScratchMount::ext4("QmTidy", 16, &reason);
        if (!disk)
            GTEST_SKIP() << qPrintable(reason);
        scratch = QFileInfo(disk->mountPoint()).path();
        QDir(disk->mountPoint()).mkdir("left-behind");
    }
    EXPECT_FALSE(MountTable::current().isMountPoint(scratch + "/mnt"));
    EXPECT_FALSE(QFileInfo::exists(scratch));
    QProcess losetup;
    losetup.start("losetup", {"-j", scratch + "/image"});
    losetup.waitForFinished(10000);
    EXPECT_TRUE(losetup.readAllStandardOutput().trimmed().isEmpty());
}
