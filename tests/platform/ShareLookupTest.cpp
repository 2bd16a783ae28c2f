#include "platform/ShareLookup.h"

#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QByteArray mountLine(const char* mountPoint, const char* type, const char* source) {
    return QByteArray("40 1 0:50 / ") + mountPoint + " rw,relatime - " + type + " " + source +
           " rw\n";
}

// A fixture tree standing for /etc/samba and /var/lib/samba, read through the override.
class SambaFixture : public ::testing::Test {
protected:
    void SetUp() override { qputenv("QUILLMOT_SHARES_ROOT", home.path().toUtf8()); }
    void TearDown() override { qunsetenv("QUILLMOT_SHARES_ROOT"); }
    void write(const QString& absolute, const QByteArray& text) {
        home.writeFile(absolute.mid(1), text);
    }
    TempHome home;
};

} // namespace

TEST_F(SambaFixture, SharesComeFromSmbConfItsIncludesAndUsershares) {
    write("/etc/samba/smb.conf", "[global]\n"
                                 "   workgroup = HOME\n"
                                 "   usershare path = /srv/us\n"
                                 "   include = /etc/samba/shares.conf\n"
                                 "[homes]\n   path = /home\n"
                                 "; [commented]\n"
                                 "[Data]\n"
                                 "   comment = the data \\\n     disk\n"
                                 "   path = /srv/data/\n"
                                 "   max connections = 4\n"
                                 "[Gone]\n   path = /srv/gone\n   available = no\n"
                                 "[laser]\n   printable = yes\n   path = /var/spool\n"
                                 "[self]\n   include = /etc/samba/smb.conf\n");
    write("/etc/samba/shares.conf", "[Media]\n   Path = /srv/media\n");
    write("/srv/us/photos", "#VERSION 2\npath=/home/ann/Photos\ncomment=\nsharename=Photos\n");
    write("/srv/us/broken", "comment=no path here\n");

    const QList<LocalShare> shares = readLocalShares();
    QStringList seen;
    for (const LocalShare& s : shares)
        seen << s.name + "=" + s.path;
    EXPECT_EQ(seen, QStringList({"Media=/srv/media", "Data=/srv/data", "laser=/var/spool",
                                 "Photos=/home/ann/Photos"}));
}

TEST_F(SambaFixture, AMissingOrUnreadableConfigurationMeansNoShares) {
    EXPECT_TRUE(readLocalShares().isEmpty());
    // A folder where the file should be cannot be read as one.
    QDir().mkpath(home.path() + "/etc/samba/smb.conf");
    EXPECT_TRUE(readLocalShares().isEmpty());
    EXPECT_EQ(GetShareLocalPath("//pc/Data", "pc"), "");
    QDir(home.path() + "/etc/samba/smb.conf").removeRecursively();
    const char garbage[] = "\0[\xff\xfe]\npath\n=\n[x\n";
    write("/etc/samba/smb.conf", QByteArray(garbage, sizeof garbage - 1));
    EXPECT_TRUE(readLocalShares().isEmpty());
}

TEST(ShareLookup, LocalPathsInsideSharesTakeTheSharesNetworkForm) {
    const MountTable mounts = MountTable::parse(mountLine("/", "ext4", "/dev/sda1"));
    const QList<LocalShare> shares = {{"Root", "/", {}, 0, false},
                                      {"Data", "/srv/data", {}, 0, false},
                                      {"Print", "/srv", {}, 0, true}};
    EXPECT_EQ(GetUNCName("/srv/data/x/a.txt", "pc", mounts, shares), "//pc/Data/x/a.txt");
    // The deepest share wins over the root share listed before it.
    EXPECT_EQ(GetUNCName("/srv/data", "pc", mounts, shares), "//pc/Data");
    EXPECT_EQ(GetUNCName("/", "pc", mounts, shares), "//pc/Root");
    EXPECT_EQ(GetUNCName("/home/ann/a.txt", "pc", mounts, shares), "//pc/Root/home/ann/a.txt");
    // "/srv/database" is not inside "/srv/data".
    EXPECT_EQ(GetUNCName("/srv/database", "pc", mounts, {shares[1]}), "/srv/database");
    EXPECT_EQ(GetUNCName("/srv/x", "pc", mounts, {}), "/srv/x");
}

TEST(ShareLookup, PathsOnNetworkMountsTakeTheMountSource) {
    const MountTable mounts = MountTable::parse(
        mountLine("/", "ext4", "/dev/sda1") + mountLine("/mnt/pub", "cifs", "//srv/pub") +
        mountLine("/mnt/nfs", "nfs4", "nas:/export/home") +
        mountLine("/mnt/ssh", "fuse.sshfs", "ann@far:/data") +
        mountLine("/mnt/stick", "vfat", "/dev/sdb1"));
    EXPECT_EQ(GetUNCName("/mnt/pub/Docs/a.txt", "pc", mounts, {}), "//srv/pub/Docs/a.txt");
    EXPECT_EQ(GetUNCName("/mnt/pub", "pc", mounts, {}), "//srv/pub");
    EXPECT_EQ(GetUNCName("/mnt/nfs/ann", "pc", mounts, {}), "//nas/export/home/ann");
    EXPECT_EQ(GetUNCName("/mnt/ssh/x", "pc", mounts, {}), "//far/data/x");
    EXPECT_EQ(GetUNCName("/mnt/stick/x", "pc", mounts, {}), "/mnt/stick/x");
    EXPECT_EQ(GetComputerFromPath("//far/data/x"), "far");
    EXPECT_EQ(GetComputerFromPath("//far"), "far");
    EXPECT_EQ(GetComputerFromPath("/far"), "");
}

TEST(ShareLookup, NetworkPathsOfThisComputerResolveToTheirLocalFolders) {
    const QList<LocalShare> shares = {{"Data", "/srv/data", {}, 0, false},
                                      {"Root", "/", {}, 0, false}};
    EXPECT_EQ(GetShareLocalPath("//PC/data/Backup", "pc", shares), "/srv/data/Backup");
    EXPECT_EQ(GetShareLocalPath("//pc/Data", "pc", shares), "/srv/data");
    EXPECT_EQ(GetShareLocalPath("//pc/Data/", "pc", shares), "/srv/data");
    EXPECT_EQ(GetShareLocalPath("//pc/Root/home", "pc", shares), "/home");
    EXPECT_EQ(GetShareLocalPath("//pc/Root", "pc", shares), "/");
    // Another computer's shares, unknown shares and a computer alone are not found.
    for (const char* path : {"//other/Data/x", "//pc/Nope", "//pc"})
        EXPECT_EQ(GetShareLocalPath(path, "pc", shares), "") << path;
}
