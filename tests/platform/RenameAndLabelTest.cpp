#include "platform/FileSystem.h"
#include "platform/VolumeLabels.h"

#include "support/Mounts.h"
#include "support/QtApp.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(RenameInPlace, NeverReplacesWhatHasTheNewNameMovesFilesAndFoldersButNoMountPoint) {
    TempHome home;
    FileSystem fso;
    const QString report = home.writeFile("docs/report.txt", "mine");
    const QString taken = home.writeFile("docs/summary.txt", "someone else's");
    int error = 0;
    EXPECT_FALSE(fso.renameNoReplace(report, taken, &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(readWholeFile(taken), "someone else's");
    EXPECT_EQ(readWholeFile(report), "mine");

    EXPECT_TRUE(fso.renameNoReplace(report, home.path() + "/docs/final.txt"));
    EXPECT_EQ(readWholeFile(home.path() + "/docs/final.txt"), "mine");
    EXPECT_TRUE(fso.renameNoReplace(home.path() + "/docs", home.path() + "/work"));
    EXPECT_TRUE(QFile::exists(home.path() + "/work/summary.txt"));
    EXPECT_FALSE(fso.renameNoReplace(home.path() + "/gone", home.path() + "/here", &error));
    EXPECT_EQ(error, ENOENT);

    // A folder that is a mount point is reported, not copied.
    const QString inside = home.writeFile("data/file.txt", "x");
    auto bind = ScratchMount::readOnlyBind(QFileInfo(inside).path());
    SKIP_UNLESS_MOUNTED(bind);
    error = 0;
    const QString renamed = QFileInfo(bind->mountPoint()).path() + "/renamed";
    EXPECT_FALSE(fso.renameNoReplace(bind->mountPoint(), renamed, &error));
    EXPECT_NE(error, 0);
    EXPECT_FALSE(QFileInfo::exists(renamed));
    EXPECT_TRUE(QFileInfo::exists(bind->mountPoint() + "/file.txt"));
}

TEST(VolumeLabelRules, ANameTheFileSystemCannotTakeIsRefusedWithTheReason) {
    using VolumeLabels::refusal;
    EXPECT_TRUE(refusal("vfat", "BACKUP 2026").isEmpty());
    EXPECT_TRUE(refusal("vfat", "TWELVE CHARS").contains("at most 11"));
    EXPECT_TRUE(refusal("vfat", "A/B").contains("cannot contain"));
    EXPECT_TRUE(refusal("vfat", QString::fromUtf8("CAFÉ")).contains("plain letters"));
    EXPECT_TRUE(refusal("ext4", "Sixteen bytes ok").isEmpty());
    EXPECT_TRUE(refusal("ext4", QString::fromUtf8("Fünfzehn Zeichen")).contains("at most 16"));
    EXPECT_TRUE(refusal("exfat", QString::fromUtf8("Fünfzehn Zeiche")).isEmpty());
    EXPECT_TRUE(refusal("ext4", QString("Two\nlines")).contains("line breaks"));
    EXPECT_TRUE(refusal("ext4", QString("Nul") + QChar(0) + "x").contains("control"));
    EXPECT_TRUE(refusal("tmpfs", "Anything").contains("cannot carry a volume name"));
    EXPECT_TRUE(refusal("cifs", "Anything").contains("cannot carry a volume name"));
}

// The names a file system refuses are checked above; an ext4 drive renamed, and a refusal shown,
// are the rename dialog's tests.
TEST(VolumeLabelWriting, AFatDriveTakesItsNewName) {
    const auto disk = ScratchMount::vfat("OLDNAME", 16);
    SKIP_UNLESS_MOUNTED(disk);
    ensureCoreApp();
    EXPECT_EQ(VolumeLabels::write(disk->mountPoint(), "ARCHIVE"), QString());
    EXPECT_EQ(FileSystem().VolumeName(disk->mountPoint()), "ARCHIVE");
}
