#include "platform/MountTable.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

namespace {

QByteArray line(const char* id, const char* device, const char* mountPoint, const char* type,
                const char* source, const char* options = "rw,relatime") {
    return QByteArray(id) + " 1 " + device + " / " + mountPoint + " " + options + " shared:1 - " +
           type + " " + source + " rw\n";
}

QString mountPointOf(const MountTable& table, const QString& path) {
    const auto m = table.mountOf(path);
    return m ? m->mountPoint : QStringLiteral("<none>");
}

} // namespace

TEST(MountTableParse, ReadsTheFieldsAndSkipsMalformedLines) {
    const MountTable table = MountTable::parse(
        "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "garbage line\n"
        "23 22 8:17 /backups /media/ann/Usb ro,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "24 22 0:51 / /mnt/share rw - cifs //nas/music rw,vers=3.0\n"
        "25 22 x:y / /bad rw - ext4 /dev/x rw\n"
        "26 22 0:52 / /no/dash rw ext4 /dev/x rw\n");
    ASSERT_EQ(table.entries().size(), 3);
    const MountEntry& usb = table.entries()[1];
    EXPECT_EQ(usb.mountPoint, "/media/ann/Usb");
    EXPECT_EQ(usb.root, "/backups");
    EXPECT_EQ(usb.fsType, "vfat");
    EXPECT_EQ(usb.source, "/dev/sdb1");
    EXPECT_EQ(usb.deviceId, quint64(makedev(8, 17)));
    EXPECT_TRUE(usb.readOnly);
    EXPECT_FALSE(table.entries()[0].readOnly);
    EXPECT_EQ(table.entries()[2].source, "//nas/music");
}

TEST(MountTableParse, UnescapesOctalCharactersInNames) {
    const MountTable table = MountTable::parse(
        line("30", "8:2", "/media/My\\040Disk", "ext4", "/dev/sdc1") +
        line("31", "8:3", "/mnt/tab\\011new\\012back\\134slash", "ext4", "/dev/sdc2") +
        line("32", "8:4", "/mnt/Caf\\303\\251", "ext4", "/dev/sdc3"));
    ASSERT_EQ(table.entries().size(), 3);
    EXPECT_EQ(table.entries()[0].mountPoint, "/media/My Disk");
    EXPECT_EQ(table.entries()[1].mountPoint, "/mnt/tab\tnew\nback\\slash");
    EXPECT_EQ(table.entries()[2].mountPoint, QString::fromUtf8("/mnt/Caf\xC3\xA9"));
    EXPECT_TRUE(table.isMountPoint("/media/My Disk"));
}

TEST(MountTableMountOf, LongestWholeComponentPrefixWins) {
    const MountTable table = MountTable::parse(line("1", "8:1", "/", "ext4", "/dev/sda1") +
                                               line("2", "8:2", "/mnt/ab", "ext4", "/dev/sdb") +
                                               line("3", "8:3", "/mnt/a", "ext4", "/dev/sdc"));
    EXPECT_EQ(mountPointOf(table, "/mnt/a/x"), "/mnt/a");
    EXPECT_EQ(mountPointOf(table, "/mnt/a"), "/mnt/a");
    EXPECT_EQ(mountPointOf(table, "/mnt/a/"), "/mnt/a");
    EXPECT_EQ(mountPointOf(table, "/mnt/ab/x"), "/mnt/ab");
    EXPECT_EQ(mountPointOf(table, "/mnt/abc"), "/");
    EXPECT_EQ(mountPointOf(table, "/"), "/");
    EXPECT_EQ(mountPointOf(table, "relative/path"), "<none>");
}

TEST(MountTableMountOf, TheLastMountOnOnePlaceIsOnTop) {
    const MountTable table = MountTable::parse(line("1", "8:1", "/", "ext4", "/dev/sda1") +
                                               line("2", "8:2", "/mnt/usb", "ext4", "/dev/sdb") +
                                               line("3", "0:40", "/mnt/usb", "tmpfs", "tmpfs"));
    EXPECT_EQ(table.mountOf("/mnt/usb/f")->fsType, "tmpfs");
    EXPECT_EQ(table.find("/mnt/usb/")->fsType, "tmpfs");
    EXPECT_FALSE(table.find("/mnt").has_value());
}

TEST(MountTableCurrent, RootHoldsEveryPathAndProcIsItsOwnMount) {
    const MountTable table = MountTable::current();
    ASSERT_TRUE(table.find("/").has_value());
    EXPECT_EQ(table.mountOf("/no/such/folder")->mountPoint, "/");
    const auto proc = table.mountOf("/proc/self/status");
    ASSERT_TRUE(proc.has_value());
    EXPECT_EQ(proc->mountPoint, "/proc");
    EXPECT_EQ(proc->fsType, "proc");
}

TEST(NetworkFsType, SharesAreNetworkLocalDisksAreNot) {
    for (const char* type : {"cifs", "smb3", "nfs", "nfs4", "fuse.sshfs", "fuse.gvfsd-fuse", "9p"})
        EXPECT_TRUE(isNetworkFsType(type)) << type;
    for (const char* type : {"ext4", "vfat", "tmpfs", "fuseblk", "btrfs"})
        EXPECT_FALSE(isNetworkFsType(type)) << type;
}
