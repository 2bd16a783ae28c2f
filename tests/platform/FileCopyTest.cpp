#include "platform/FileSystem.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

QByteArray patterned(qsizetype size) {
    QByteArray data(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4096) & 0xff);
    return data;
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

void setTimes(const QString& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// Everything in `folder` except the named files, so a left-over temporary file shows.
QStringList strays(const QString& folder, const QStringList& expected) {
    QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                             QDir::NoDotAndDotDot);
    for (const QString& e : expected)
        all.removeAll(e);
    return all;
}

} // namespace

TEST(CopyFile, KeepsContentPermissionsAndTheNanosecondTime) {
    TempHome home;
    // Over two chunks, so the copy yields in between.
    const QByteArray data = patterned(17 * 1024 * 1024 + 123);
    const QString source = home.writeFile("src/big.bin", data);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0640), 0);
    setTimes(source, 1700000000, 123456789);
    const QString target = home.makeFolder("dest") + "/big.bin";
    home.writeFile("dest/big.bin", "older copy");

    FileSystem fso;
    int yields = 0;
    const CopyResult result = fso.CopyFile(source, target, [&] { ++yields; });
    ASSERT_TRUE(result.ok()) << result.errnoValue;
    EXPECT_GE(yields, 2);
    EXPECT_TRUE(readWholeFile(target) == data);
    const struct stat st = statOf(target);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_TRUE(strays(home.path() + "/dest", {"big.bin"}).isEmpty());
}

TEST(CopyFile, ReplacesAReadOnlyCopyAndCopiesAnEmptyFile) {
    TempHome home;
    const QString source = home.writeFile("empty", "");
    const QString target = home.writeFile("out/empty", "previous");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);
    FileSystem fso;
    ASSERT_TRUE(fso.CopyFile(source, target).ok());
    EXPECT_TRUE(readWholeFile(target).isEmpty());
}

TEST(CopyFile, MissingSourceIsAnOtherErrorAndTouchesNothing) {
    TempHome home;
    const QString target = home.writeFile("dest/file", "keep");
    FileSystem fso;
    const CopyResult result = fso.CopyFile(home.path() + "/no-such-file", target);
    EXPECT_EQ(result.error, CopyError::Other);
    EXPECT_EQ(result.errnoValue, ENOENT);
    EXPECT_EQ(readWholeFile(target), "keep");
    EXPECT_TRUE(strays(home.path() + "/dest", {"file"}).isEmpty());
}

TEST(CopyFile, AnInterruptedCopyLeavesTheOldTargetAndNoTemporaryFile) {
    TempHome home;
    const QString source = home.writeFile("src", patterned(9 * 1024 * 1024));
    const QString target = home.writeFile("dest/src", "old");
    FileSystem fso;
    const CopyResult result =
        fso.CopyFile(source, target, [] { throw std::runtime_error("window closed"); });
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(readWholeFile(target), "old");
    EXPECT_TRUE(strays(home.path() + "/dest", {"src"}).isEmpty());
}

TEST(CopyFile, AFullDiskIsDiskFullAndKeepsTheOldCopyWhole) {
    QString reason;
    auto disk = ScratchMount::tmpfs(256, &reason);
    if (!disk)
        GTEST_SKIP() << qPrintable(reason);
    TempHome home;
    const QByteArray old = patterned(40 * 1024);
    const QString target = disk->mountPoint() + "/report.doc";
    FileSystem fso;
    // Across file systems the kernel copy is refused, so this also runs the read/write path.
    ASSERT_TRUE(fso.CopyFile(home.writeFile("small", old), target).ok());
    ASSERT_TRUE(readWholeFile(target) == old);

    const CopyResult result = fso.CopyFile(home.writeFile("big", patterned(1024 * 1024)), target);
    EXPECT_EQ(result.error, CopyError::DiskFull);
    EXPECT_EQ(result.errnoValue, ENOSPC);
    EXPECT_TRUE(readWholeFile(target) == old);
    EXPECT_TRUE(strays(disk->mountPoint(), {"report.doc"}).isEmpty());
}
