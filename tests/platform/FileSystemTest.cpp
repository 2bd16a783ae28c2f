#include "platform/FileSystem.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QStringList names(const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths)
        out << QFileInfo(p).fileName();
    out.sort();
    return out;
}

} // namespace

// A recursive scan must neither loop nor leave the source through a link to a folder.
TEST(FileSystemListing, LinksToFoldersAreNeverSubFolders) {
    TempHome home;
    const QString root = home.makeFolder("src");
    const QString outside = home.makeFolder("outside");
    home.writeFile("src/a.txt", "a");
    home.writeFile("src/.hidden", "h");
    home.makeFolder("src/sub");
    QFile::link(outside, root + "/to-outside");
    QFile::link(root, root + "/to-self");
    QFile::link(root + "/a.txt", root + "/to-file");
    QFile::link(root + "/gone", root + "/dangling");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/pipe").constData(), 0600), 0);

    FileSystem fso;
    EXPECT_EQ(names(fso.subFolders(root)), QStringList({"sub"}));
    EXPECT_EQ(names(fso.files(root)), QStringList({".hidden", "a.txt", "to-file"}));
    EXPECT_EQ(fso.files(root).first().left(root.size() + 1), root + "/");
    EXPECT_TRUE(fso.FolderExists(root + "/to-outside"));
    EXPECT_FALSE(fso.FileExists(root + "/pipe"));
    EXPECT_FALSE(fso.FileExists(root + "/sub"));
    EXPECT_TRUE(fso.files(home.path() + "/missing").isEmpty());
}

TEST(FileSystemAttributes, HiddenReadOnlyAndNormal) {
    TempHome home;
    const QString file = home.writeFile(".profile", "x");
    FileSystem fso;
    ASSERT_TRUE(fso.setMode(file, 0440));
    auto a = fso.attributes(file);
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->hidden);
    EXPECT_TRUE(a->readOnly);
    EXPECT_EQ(a->mode, 0440u);
    ASSERT_TRUE(fso.setNormal(file));
    EXPECT_EQ(fso.attributes(file)->mode, 0640u);
    EXPECT_FALSE(fso.attributes(file)->readOnly);
    EXPECT_FALSE(fso.attributes(home.writeFile("visible", "x"))->hidden);
    EXPECT_FALSE(fso.attributes(home.path() + "/missing").has_value());
}

TEST(FileSystemFolders, CreateIsOneLevelAndDeleteTakesReadOnlyContents) {
    TempHome home;
    FileSystem fso;
    const QString top = home.path() + "/top";
    EXPECT_FALSE(fso.CreateFolder(top + "/a/b"));
    ASSERT_TRUE(fso.CreateFolder(top));
    EXPECT_FALSE(fso.CreateFolder(top));
    ASSERT_TRUE(fso.CreateFolder(top + "/locked"));
    home.writeFile("top/locked/file", "x");
    fso.setMode(top + "/locked/file", 0444);
    fso.setMode(top + "/locked", 0555);

    const QString keep = home.writeFile("keep/precious", "keep me");
    QFile::link(home.path() + "/keep", top + "/link-to-keep");
    EXPECT_TRUE(fso.DeleteFolder(top));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_EQ(readWholeFile(keep), "keep me");
    EXPECT_FALSE(fso.DeleteFolder(top));
    EXPECT_FALSE(fso.DeleteFile(home.path() + "/keep"));
    EXPECT_TRUE(fso.DeleteFile(keep));
}

TEST(FileSystemFolders, DeleteNeverEntersAnotherMountedFileSystem) {
    QString reason;
    auto mount = ScratchMount::tmpfs(256, &reason);
    if (!mount)
        GTEST_SKIP() << qPrintable(reason);
    const QString inside = mount->mountPoint() + "/data";
    QFile f(inside);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("other disk");
    f.close();
    FileSystem fso;
    EXPECT_FALSE(fso.DeleteFolder(QFileInfo(mount->mountPoint()).path()));
    EXPECT_EQ(readWholeFile(inside), "other disk");
}
