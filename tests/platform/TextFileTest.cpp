#include "platform/TextFile.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using TextFile::decodeLines;
using TextFile::encodeLines;

TEST(TextFileDecode, AcceptsCrLfAndLfAndAFinalLineWithoutEnd) {
    EXPECT_EQ(decodeLines("a\r\nb\nc"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(decodeLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(decodeLines("\n"), QStringList({""}));
    EXPECT_TRUE(decodeLines("").isEmpty());
    EXPECT_EQ(decodeLines("\xEF\xBB\xBFopts\r\n"), QStringList({"opts"}));
}

TEST(TextFileDecode, KeepsNulAndReadsBrokenUtf8AsLatin1) {
    const QStringList lines = decodeLines(QByteArray("a\0b\r\ncaf\xC3\xA9\r\ncaf\xE9\r\n", 16));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString::fromUtf16(u"a\0b", 3));
    EXPECT_EQ(lines[1], QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(lines[2], QString::fromUtf8("caf\xC3\xA9"));
    // A volume list is names separated by NUL, two in a row for an unlabeled drive.
    const QString volumes = QString::fromUtf16(u"DATA\0\0USB", 9);
    EXPECT_EQ(decodeLines(encodeLines({volumes, "1"})), QStringList({volumes, "1"}));
}

TEST(TextFileDecode, AMultiMegabyteLineIsOneLine) {
    const QByteArray huge(6 * 1024 * 1024, 'x');
    const QStringList lines = decodeLines(huge + "\r\nend\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), huge.size());
    EXPECT_EQ(lines[1], "end");
}

TEST(TextFileEncode, WritesUtf8WithCrLfAfterEveryLine) {
    EXPECT_EQ(encodeLines({"a", QString::fromUtf8("\xC3\xBC"), ""}),
              QByteArray("a\r\n\xC3\xBC\r\n\r\n"));
    EXPECT_EQ(encodeLines({}), QByteArray());
    // A leading byte-order mark is dropped on reading, so a value that begins with one still
    // reads back whole, and a file written by an editor with a mark reads without it.
    const QStringList odd{QString(QChar(0xFEFF)) + "x", "y"};
    EXPECT_EQ(decodeLines(encodeLines(odd)), odd);
    EXPECT_EQ(decodeLines("\xEF\xBB\xBFpath\r\n"), QStringList{"path"});
}

TEST(TextFileWrite, ReplacesTheFileCreatesItsFolderAndLeavesNoTwin) {
    TempHome home;
    const QString path = home.path() + "/new/folder/opts";
    ASSERT_TRUE(TextFile::writeAtomically(path, encodeLines({"old"})));
    ASSERT_TRUE(TextFile::writeAtomically(path, encodeLines({"new", "lines"})));
    EXPECT_EQ(TextFile::readLines(path), QStringList({"new", "lines"}));
    EXPECT_FALSE(QFile::exists(path + "TEMP"));
    EXPECT_FALSE(TextFile::readLines(home.path() + "/missing").has_value());
    EXPECT_FALSE(TextFile::readLines(home.path()).has_value());
}

TEST(TextFileWrite, FolderThatCannotBeMadeFails) {
    TempHome home;
    const QString blocker = home.writeFile("plainfile", "x");
    EXPECT_FALSE(TextFile::writeAtomically(blocker + "/sub/opts", "data"));
    EXPECT_EQ(readWholeFile(blocker), "x");
}

// Root ignores permission bits, so only a read-only mount can refuse the write here.
TEST(TextFileWrite, RefusedWriteKeepsTheOldFileWhole) {
    TempHome home;
    const QString folder = home.makeFolder("appdata");
    home.writeFile("appdata/usrdatab", "old content\r\n");
    QString reason;
    auto mount = ScratchMount::readOnlyBind(folder, &reason);
    if (!mount)
        GTEST_SKIP() << qPrintable(reason);
    const QString path = mount->mountPoint() + "/usrdatab";
    EXPECT_FALSE(TextFile::writeAtomically(path, "new content\r\n"));
    EXPECT_EQ(readWholeFile(path), "old content\r\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"usrdatab"}));
}
