#include "platform/FileSystem.h"
#include "platform/MountTable.h"
#include "platform/linux/VolumeLabelLinux.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

namespace {

// A tool's standard output, trimmed; nullopt when it fails.
std::optional<QString> run(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"}), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// blkid's own answer, as a check on the name read through the program's sources.
QString blkidUuid(const QString& mountPoint) {
    const auto mount = MountTable::current().find(mountPoint);
    // A low-level probe: the blkid cache may still hold an earlier file system on a reused loop
    // device.
    return run("blkid", {"-p", "-s", "UUID", "-o", "value", mount ? mount->source : ""})
        .value_or("");
}

QByteArray line(const char* device, const char* mountPoint, const char* type = "ext4",
                const char* source = "/dev/sda1") {
    return QByteArray("30 1 ") + device + " / " + mountPoint + " rw,relatime shared:1 - " + type +
           " " + source + " rw\n";
}

} // namespace

// The point of volume names: an unplugged disk's folder falls back to the disk beneath it,
// which must not pass for the backup disk.
TEST(DriveNames, ALabelledDriveIsNamedByItsLabelOnlyWhileMountedAndLeavesNothingBehind) {
    QString scratch;
    {
        auto disk = ScratchMount::ext4("Quill Data", 16);
        SKIP_UNLESS_MOUNTED(disk);
        FileSystem fso;
        const QString mp = disk->mountPoint(), inside = mp + "/Backups/Docs";
        scratch = QFileInfo(mp).path();
        EXPECT_EQ(fso.GetDriveName(inside), mp);
        EXPECT_EQ(fso.GetDriveName(mp + "/"), mp);
        EXPECT_TRUE(fso.DriveExists(mp) && fso.DriveIsReady(mp));
        EXPECT_EQ(fso.VolumeName(mp), "Quill Data");
        EXPECT_FALSE(fso.IsNetworkPath(mp + "/x"));

        ASSERT_TRUE(disk->unmount());
        EXPECT_FALSE(fso.DriveExists(mp));
        EXPECT_TRUE(QFileInfo(mp).isDir());
        const QString fallback = fso.GetDriveName(inside);
        EXPECT_EQ(fallback, MountTable::current().mountOf(scratch)->mountPoint);
        EXPECT_NE(fso.VolumeName(fallback), "Quill Data");
        ASSERT_TRUE(disk->remount());
        EXPECT_TRUE(fso.DriveExists(mp));
        EXPECT_EQ(fso.VolumeName(fso.GetDriveName(inside)), "Quill Data");
        QDir(mp).mkdir("left-behind");
    }
    // The scratch mount takes its mount, its loop device and its folder with it.
    EXPECT_FALSE(MountTable::current().isMountPoint(scratch + "/mnt"));
    EXPECT_FALSE(QFileInfo::exists(scratch));
    EXPECT_EQ(run("losetup", {"-j", scratch + "/image"}), QString());
}

TEST(DriveNames, AnUnlabeledDriveIsNamedByItsUuidAndAMemoryFileSystemHasNoName) {
    auto disk = ScratchMount::ext4("", 16);
    auto memory = disk ? ScratchMount::tmpfs(64) : nullptr;
    SKIP_UNLESS_MOUNTED(memory);
    FileSystem fso;
    const QString uuid = blkidUuid(disk->mountPoint());
    ASSERT_EQ(uuid.size(), 36);
    EXPECT_EQ(fso.VolumeName(disk->mountPoint()), "UUID=" + uuid);
    EXPECT_TRUE(fso.DriveExists(memory->mountPoint()));
    EXPECT_EQ(fso.VolumeName(memory->mountPoint()), "");
}

TEST(DriveNames, AVfatDriveIsNamedByItsLabelOrVolumeId) {
    auto labelled = ScratchMount::vfat("QMBACKUP", 8);
    SKIP_UNLESS_MOUNTED(labelled);
    FileSystem fso;
    EXPECT_EQ(fso.VolumeName(labelled->mountPoint()), "QMBACKUP");
    auto bare = ScratchMount::vfat("", 8);
    ASSERT_TRUE(bare) << ScratchMount::refusal();
    const QString id = blkidUuid(bare->mountPoint());
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(fso.VolumeName(bare->mountPoint()), "UUID=" + id);
}

// The probe is the source that names a FAT disk (no label ioctl there), and it reads images too,
// so it is checked here even where the kernel cannot mount FAT.
TEST(DriveProbe, ReadsLabelsAndUuidsStraightFromTheDisk) {
    TempHome home;
    const QString fat = home.path() + "/fat.img", ext = home.path() + "/ext.img";
    if (!run("mkfs.vfat", {"-n", "QMFAT", "-C", fat, "16384"}) ||
        !run("mkfs.ext4", {"-q", "-F", ext, "16M"}))
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

TEST(MountTable, ParsesUnescapesSkipsMalformedLinesAndTheLongestPrefixOnTopWins) {
    const MountTable table = MountTable::parse(
        "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "garbage line\n"
        "23 22 8:17 /backups /media/ann/Usb ro,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "24 22 0:51 / /mnt/share rw - cifs //nas/music rw,vers=3.0\n"
        "25 22 x:y / /bad rw - ext4 /dev/x rw\n"
        "26 22 0:52 / /no/dash rw ext4 /dev/x rw\n" +
        line("8:2", "/media/My\\040Disk") + line("8:3", "/mnt/tab\\011new\\012back\\134slash") +
        line("8:4", "/mnt/Caf\\303\\251"));
    ASSERT_EQ(table.entries().size(), 6);
    const MountEntry& usb = table.entries()[1];
    EXPECT_EQ(usb.mountPoint, "/media/ann/Usb");
    EXPECT_EQ(usb.root, "/backups");
    EXPECT_EQ(usb.fsType, "vfat");
    EXPECT_EQ(usb.source, "/dev/sdb1");
    EXPECT_EQ(usb.deviceId, quint64(makedev(8, 17)));
    EXPECT_TRUE(usb.readOnly);
    EXPECT_FALSE(table.entries()[0].readOnly);
    EXPECT_EQ(table.entries()[2].source, "//nas/music");
    EXPECT_EQ(table.entries()[3].mountPoint, "/media/My Disk");
    EXPECT_EQ(table.entries()[4].mountPoint, "/mnt/tab\tnew\nback\\slash");
    EXPECT_EQ(table.entries()[5].mountPoint, QString::fromUtf8("/mnt/Caf\xC3\xA9"));
    EXPECT_TRUE(table.isMountPoint("/media/My Disk"));

    const MountTable stacked =
        MountTable::parse(line("8:1", "/") + line("8:2", "/mnt/ab") + line("8:3", "/mnt/a") +
                          line("8:4", "/mnt/usb") + line("0:40", "/mnt/usb", "tmpfs", "tmpfs"));
    const char* cases[][2] = {{"/mnt/a/x", "/mnt/a"},   {"/mnt/a", "/mnt/a"}, {"/mnt/a/", "/mnt/a"},
                              {"/mnt/ab/x", "/mnt/ab"}, {"/mnt/abc", "/"},    {"/", "/"}};
    for (const auto& [path, mountPoint] : cases)
        EXPECT_EQ(stacked.mountOf(path).value_or(MountEntry{}).mountPoint, mountPoint) << path;
    EXPECT_FALSE(stacked.mountOf("relative/path").has_value());
    EXPECT_EQ(stacked.mountOf("/mnt/usb/f")->fsType, "tmpfs");
    EXPECT_EQ(stacked.find("/mnt/usb/")->fsType, "tmpfs");
    EXPECT_FALSE(stacked.find("/mnt").has_value());
}

TEST(MountTableCurrent, RootHoldsEveryPathProcIsItsOwnMountAndSharesAreNetworkDrives) {
    FileSystem fso;
    EXPECT_EQ(fso.GetDriveName("/"), "/");
    EXPECT_TRUE(fso.DriveExists("/") && fso.DriveIsReady("/"));
    EXPECT_FALSE(fso.DriveExists(""));
    EXPECT_FALSE(fso.DriveIsReady("/no/such/mount"));
    EXPECT_TRUE(fso.IsNetworkPath("//server/share/folder"));
    EXPECT_FALSE(fso.IsNetworkPath("/"));
    EXPECT_EQ(fso.GetDriveName("//server/share/folder/file"), "//server/share");
    EXPECT_FALSE(fso.DriveExists("//server/share"));
    const MountTable table = MountTable::current();
    ASSERT_TRUE(table.find("/").has_value());
    EXPECT_EQ(table.mountOf("/no/such/folder")->mountPoint, "/");
    const auto proc = table.mountOf("/proc/self/status");
    ASSERT_TRUE(proc.has_value());
    EXPECT_EQ(proc->mountPoint, "/proc");
    EXPECT_EQ(proc->fsType, "proc");
    for (const char* type : {"cifs", "nfs4", "fuse.sshfs", "9p"})
        EXPECT_TRUE(isNetworkFsType(type)) << type;
    for (const char* type : {"ext4", "vfat", "tmpfs", "fuseblk", "btrfs"})
        EXPECT_FALSE(isNetworkFsType(type)) << type;
}

TEST(MountTable, NetworkFormOfASourceNamesItsComputerOrIsEmpty) {
    EXPECT_EQ(networkFormOfSource("//srv/pub/"), "//srv/pub");
    EXPECT_EQ(networkFormOfSource("nas:/"), "//nas");
    EXPECT_EQ(networkFormOfSource("[fe80::1]:/export"), "//[fe80::1]/export");
    EXPECT_EQ(networkFormOfSource("https://dav.example/files/"), "//dav.example/files");
    for (const char* local : {"/dev/sdb1", "tmpfs", "proc"})
        EXPECT_EQ(networkFormOfSource(local), "") << local;
}
