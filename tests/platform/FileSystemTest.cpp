#include "platform/FileSystem.h"
#include "platform/DestinationFolder.h"

#include "support/FailingFlush.h"
#include "support/FileStat.h"
#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

// A recursive scan must neither loop nor leave the source through a link to a folder: every
// link is a file to back up as a link.
TEST(FileSystem, ListingsTakeLinksForFilesNeverForFolders) {
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
    EXPECT_EQ(names(fso.files(root)),
              QStringList({".hidden", "a.txt", "dangling", "to-file", "to-outside", "to-self"}));
    const std::optional<FileStamp> link = fso.stamp(root + "/dangling");
    ASSERT_TRUE(link.has_value());
    EXPECT_TRUE(link->link);
    EXPECT_EQ(link->size, native(root + "/gone").size());
    EXPECT_EQ(fso.stampsIn(root, {"dangling"}).front(), link);
    EXPECT_FALSE(fso.stamp(root + "/a.txt")->link);
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
    ASSERT_EQ(::chmod(native(file), 0440), 0);
    auto a = fso.attributes(file);
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->hidden && a->readOnly);
    EXPECT_EQ(a->mode, 0440u);
    ASSERT_EQ(::chmod(native(file), 0640), 0);
    EXPECT_FALSE(fso.attributes(file)->readOnly);
    EXPECT_FALSE(fso.attributes(home.writeFile("visible", "x"))->hidden);
    EXPECT_FALSE(fso.attributes(home.path() + "/missing").has_value());
}

TEST(FileCopy, KeepsContentPermissionsAndTheNanosecondTimeOverAReadOnlyCopy) {
    TempHome home;
    // Over two chunks, so the copy yields in between.
    const QByteArray data = patterned(17 * 1024 * 1024 + 123);
    const QString source = home.writeFile("src/big.bin", data);
    ASSERT_EQ(::chmod(native(source), 0640), 0);
    ASSERT_TRUE(setModifiedNs(source, 1700000000 * NsPerSecond + 123456789));
    const QString target = home.writeFile("dest/big.bin", "older copy");
    ASSERT_EQ(::chmod(native(target), 0444), 0);

    FileSystem fso;
    int yields = 0;
    const CopyResult result = fso.copyFile(source, target, [&] { ++yields; });
    ASSERT_TRUE(result.ok()) << result.errnoValue;
    EXPECT_GE(yields, 2);
    EXPECT_TRUE(readWholeFile(target) == data);
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(modifiedNs(target), 1700000000 * NsPerSecond + 123456789);
    EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"big.bin"});

    ASSERT_TRUE(fso.copyFile(home.writeFile("empty", ""), target).ok());
    EXPECT_TRUE(readWholeFile(target).isEmpty());
}

TEST(FileCopy, AFailedCopyLeavesTheOldTargetAndNoTemporaryFile) {
    TempHome home;
    const QString target = home.writeFile("dest/file", "old");
    const QString source = home.writeFile("source", patterned(9 * 1024 * 1024));
    const QString other = home.writeFile("other", "another file");
    const auto append = [&] {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::Append) && f.write("more") == 4);
    };
    const auto touch = [&] { ASSERT_TRUE(setModifiedNs(source, 1600000000 * NsPerSecond)); };
    const auto replace = [&] {
        ASSERT_TRUE(QFile::copy(source, other + ".new") &&
                    ::rename(native(other + ".new"), native(source)) == 0);
    };
    const struct {
        const char* what;
        QString source;
        std::function<void()> between;
        int flushError;
        CopyError error;
    } cases[] = {
        {"missing source", home.path() + "/no-such-file", {}, 0, CopyError::Other},
        {"cut short", source, [] { throw std::runtime_error("window closed"); }, 0,
         CopyError::Other},
        {"flush fails", source, {}, EIO, CopyError::Other},
        {"full at the flush", source, {}, ENOSPC, CopyError::DiskFull},
        // Changed while it was read: what was read may be a moment in the middle of a write.
        {"written to", source, append, 0, CopyError::SourceChanged},
        {"time set", source, touch, 0, CopyError::SourceChanged},
        {"saved over", source, replace, 0, CopyError::SourceChanged},
    };
    FailingFlush fso;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fso.failWith = c.flushError;
        bool once = false;
        const CopyResult result = fso.copyFile(c.source, target, [&] {
            if (c.between && !once) {
                once = true;
                c.between();
            }
        });
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(readWholeFile(target), "old");
        EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"file"});
    }
}

// A link is copied as its target text, never read through; a device or a folder is not copied.
TEST(FileCopy, ALinkIsCopiedAsALinkAndNoOtherKindButAFile) {
    TempHome home;
    const QString target = home.writeFile("dest/file", "old");
    const QString link = home.path() + "/link";
    ASSERT_EQ(::symlink("private/../secret", native(link)), 0);
    const timespec times[2] = {{1600000000, 5}, {1600000000, 5}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(link), times, AT_SYMLINK_NOFOLLOW), 0);
    FileSystem fso;
    for (const QString& source : {QString("/dev/zero"), home.path()}) {
        EXPECT_EQ(fso.copyFile(source, target).error, CopyError::Other) << source.toStdString();
        EXPECT_EQ(readWholeFile(target), "old");
    }
    ASSERT_TRUE(fso.copyFile(link, target).ok());
    EXPECT_EQ(linkText(target), "private/../secret");
    EXPECT_EQ(fso.stamp(target), fso.stamp(link));
    EXPECT_EQ(everything(home.path() + "/dest"), QStringList{"file"});
}

// A disk image of 1 GiB holding 1 MiB of data fits a disk of 64 MiB: its holes stay holes.
TEST(FileCopy, HolesStayHoles) {
    const auto small = ScratchMount::tmpfs(64 * 1024);
    SKIP_UNLESS_MOUNTED(small);
    TempHome home;
    const QString source = home.path() + "/sparse.img";
    const QByteArray data = patterned(1024 * 1024);
    constexpr off_t gib = off_t(1) << 30;
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(gib));
        ASSERT_TRUE(f.seek(gib / 3) && f.write(data) == data.size());
        ASSERT_TRUE(f.seek(gib - 4096) && f.write(data.left(4096)) == 4096);
    }
    FileSystem fso;
    const QString target = small->mountPoint() + "/sparse.img";
    const CopyResult result = fso.copyFile(source, target);
    ASSERT_TRUE(result.ok()) << result.errnoValue;

    const struct stat st = statOf(target);
    EXPECT_EQ(st.st_size, gib);
    EXPECT_LE(st.st_blocks * 512, 2 * data.size());
    QFile copy(target);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.seek(gib / 3) && copy.read(data.size()) == data);
    EXPECT_TRUE(copy.seek(gib - 4096) && copy.read(4096) == data.left(4096));
    EXPECT_TRUE(copy.seek(4096) && copy.read(4096) == QByteArray(4096, '\0'));
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
