#include "platform/FileSystem.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

QStringList names(const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths)
        out << QFileInfo(p).fileName();
    out.sort();
    return out;
}

QByteArray patterned(qsizetype size) {
    QByteArray data(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4096) & 0xff);
    return data;
}

} // namespace

// A recursive scan must neither loop nor leave the source through a link to a folder.
TEST(FileSystem, ListingsSkipLinksToFolders) {
    TempHome home;
    const QString root = home.makeFolder("src");
    home.writeFile("src/a.txt", "a");
    home.writeFile("src/.hidden", "h");
    home.makeFolder("src/sub");
    QFile::link(home.makeFolder("outside"), root + "/to-outside");
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

TEST(FileSystem, AttributesTellHiddenAndReadOnly) {
    TempHome home;
    FileSystem fso;
    const QString file = home.writeFile(".profile", "x");
    ASSERT_TRUE(fso.setMode(file, 0440));
    auto a = fso.attributes(file);
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->hidden && a->readOnly);
    EXPECT_EQ(a->mode, 0440u);
    ASSERT_TRUE(fso.setNormal(file));
    EXPECT_EQ(fso.attributes(file)->mode, 0640u);
    EXPECT_FALSE(fso.attributes(file)->readOnly);
    EXPECT_FALSE(fso.attributes(home.writeFile("visible", "x"))->hidden);
    EXPECT_FALSE(fso.attributes(home.path() + "/missing").has_value());
}

TEST(FileSystemFolders, CreateMakesOneLevelOnly) {
    TempHome home;
    FileSystem fso;
    const QString top = home.path() + "/top";
    EXPECT_FALSE(fso.CreateFolder(top + "/a/b"));
    ASSERT_TRUE(fso.CreateFolder(top));
    EXPECT_FALSE(fso.CreateFolder(top));
    EXPECT_TRUE(fso.CreateFolder(top + "/a"));
}

TEST(FileSystemFolders, DeleteTakesReadOnlyContentsButNoOtherMount) {
    TempHome home;
    FileSystem fso;
    const QString top = home.makeFolder("top");
    ASSERT_TRUE(fso.CreateFolder(top + "/locked"));
    fso.setMode(home.writeFile("top/locked/file", "x"), 0444);
    fso.setMode(top + "/locked", 0555);

    const QString keep = home.writeFile("keep/precious", "keep me");
    QFile::link(home.path() + "/keep", top + "/link-to-keep");
    EXPECT_TRUE(fso.DeleteFolder(top));
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_EQ(readWholeFile(keep), "keep me");
    EXPECT_FALSE(fso.DeleteFolder(top));
    EXPECT_FALSE(fso.deleteFile(home.path() + "/keep"));
    EXPECT_TRUE(fso.deleteFile(keep));

    auto mount = ScratchMount::tmpfs(256);
    if (!mount)
        GTEST_SKIP() << ScratchMount::refusal();
    QFile f(mount->mountPoint() + "/data");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("other disk") == 10);
    f.close();
    EXPECT_FALSE(fso.DeleteFolder(QFileInfo(mount->mountPoint()).path()));
    EXPECT_EQ(readWholeFile(f.fileName()), "other disk");
}

TEST(FileCopy, KeepsContentPermissionsAndTheNanosecondTimeOverAReadOnlyCopy) {
    TempHome home;
    // Over two chunks, so the copy yields in between.
    const QByteArray data = patterned(17 * 1024 * 1024 + 123);
    const QString source = home.writeFile("src/big.bin", data);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0640), 0);
    const struct timespec times[2] = {{1700000000, 123456789}, {1700000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
    const QString target = home.writeFile("dest/big.bin", "older copy");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);

    FileSystem fso;
    int yields = 0;
    const CopyResult result = fso.copyFile(source, target, [&] { ++yields; });
    ASSERT_TRUE(result.ok()) << result.errnoValue;
    EXPECT_GE(yields, 2);
    EXPECT_TRUE(readWholeFile(target) == data);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"big.bin"});

    ASSERT_TRUE(fso.copyFile(home.writeFile("empty", ""), target).ok());
    EXPECT_TRUE(readWholeFile(target).isEmpty());
}

TEST(FileCopy, AFailedCopyLeavesTheOldTargetAndNoTemporaryFile) {
    TempHome home;
    const QString target = home.writeFile("dest/file", "old");
    FileSystem fso;
    const CopyResult missing = fso.copyFile(home.path() + "/no-such-file", target);
    EXPECT_EQ(missing.error, CopyError::Other);
    EXPECT_EQ(missing.errnoValue, ENOENT);
    const QString big = home.writeFile("big", patterned(9 * 1024 * 1024));
    EXPECT_FALSE(fso.copyFile(big, target, [] { throw std::runtime_error("window closed"); }).ok());
    EXPECT_EQ(readWholeFile(target), "old");
    EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"file"});
}

// A file replaced by a link to a private file, or by a device, is not copied through it.
TEST(CopyFile, TakesOnlyTheRegularFileAtThePathItself) {
    TempHome home;
    const QString target = home.writeFile("dest/file", "old");
    const QString link = home.path() + "/link";
    ASSERT_TRUE(QFile::link(home.writeFile("private", "secret"), link));
    FileSystem fso;
    for (const QString& source : {link, QString("/dev/zero"), home.path()}) {
        StagedCopy staged;
        const CopyResult result = fso.stageCopy(source, target, staged);
        EXPECT_EQ(result.error, CopyError::Other) << source.toStdString();
        EXPECT_FALSE(staged.pending());
    }
    EXPECT_EQ(readWholeFile(target), "old");
    EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"file"});
}

TEST(FileSystemIdentity, ResolvedPathsFollowLinksAndDotsIntoFoldersStillToBeMade) {
    TempHome home;
    const QString real = home.makeFolder("real/deep");
    ASSERT_TRUE(QFile::link(real, home.path() + "/link"));
    FileSystem fso;
    const QString top = fso.resolvedPath(home.path());
    EXPECT_EQ(fso.resolvedPath(home.path() + "/link"), top + "/real/deep");
    EXPECT_EQ(fso.resolvedPath(home.path() + "/link/../x/./y"), top + "/real/x/y");
    EXPECT_EQ(fso.resolvedPath(home.path() + "//link/new/../other"), top + "/real/deep/other");
    EXPECT_TRUE(fso.sameFile(home.path() + "/link", real));
    EXPECT_FALSE(fso.sameFile(home.path() + "/link", home.path() + "/real"));
    EXPECT_FALSE(fso.sameFile(home.path() + "/missing", home.path() + "/missing"));
}
