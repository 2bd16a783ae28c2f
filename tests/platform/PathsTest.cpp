#include "platform/Paths.h"
#include "platform/TextFile.h"

#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

using namespace Paths;

TEST(Paths, ComponentsClimbToTheRootAndStop) {
    EXPECT_TRUE(isRoot("/"));
    EXPECT_FALSE(isRoot("/a"));
    EXPECT_EQ(withoutTrailingSeparator("/"), "/");
    EXPECT_EQ(withoutTrailingSeparator("/a/"), "/a");
    EXPECT_EQ(withoutTrailingSeparator("/a"), "/a");
    EXPECT_EQ(parent("/a/b"), "/a");
    EXPECT_EQ(parent("/a/b/"), "/a");
    EXPECT_EQ(parent("/a"), "/");
    EXPECT_EQ(parent("/"), "");
    EXPECT_EQ(parent("plain"), "");
    EXPECT_EQ(fileName("/a/b.txt"), "b.txt");
    EXPECT_EQ(fileName("/a/b/"), "b");
    EXPECT_EQ(fileName("/"), "");
    EXPECT_EQ(split("//server/share"), QStringList({"", "", "server", "share"}));
    EXPECT_EQ(separatorCount("/a/b/"), 3);
}

TEST(Paths, JoinPutsOneSeparatorBetween) {
    EXPECT_EQ(join("/", "a"), "/a");
    EXPECT_EQ(join("/a", "b/c"), "/a/b/c");
    EXPECT_EQ(join("/a/", "/b"), "/a/b");
    EXPECT_EQ(join("/a", ""), "/a");
    EXPECT_EQ(join("/", ""), "/");
}

TEST(Paths, DirectlyInMeansOneWholeComponentBelow) {
    for (const auto& [path, folder] :
         {std::pair{"/a", "/"}, {"/a/b", "/a"}, {"/a/b", "/a/"}, {"/a/b/", "/a"}})
        EXPECT_TRUE(isDirectlyIn(path, folder)) << path << " in " << folder;
    // "/ab/c": the same separator count and a text prefix, but a different folder.
    for (const auto& [path, folder] :
         {std::pair{"/a/b/c", "/a"}, {"/a", "/a"}, {"/ab", "/a"}, {"/ab/c", "/a"}, {"/", "/"}})
        EXPECT_FALSE(isDirectlyIn(path, folder)) << path << " in " << folder;
}

TEST(Paths, ComparisonsKeepTheCase) {
    EXPECT_FALSE(samePath("/Docs", "/docs"));
    EXPECT_TRUE(samePath("/Docs/a", "/Docs/a"));
    EXPECT_FALSE(startsWith("/Docs/a", "/docs"));
    EXPECT_TRUE(startsWith("/Docs/a", "/Docs"));
}

// A name that is not valid UTF-8 reaches the system as the same bytes; only the bytes that are
// not UTF-8 change form. People see them, and controls, escaped.
TEST(NativeNames, AnyBytesComeBackUnchangedAndBrokenOnesAndControlsShowEscaped) {
    const QList<QByteArray> names = {"plain.txt",
                                     "caf\xC3\xA9",
                                     "\xFF\xFE.txt",
                                     "caf\xE9",
                                     "cut\xC3",
                                     "\xC0\xAF overlong",
                                     "\xED\xB2\x80 surrogate",
                                     "\xF4\x90\x80\x80 past",
                                     "\xF0\x9F\x98\x80 ok",
                                     "\xE2\x82",
                                     "\x80\xBF\xFE\xFF"};
    for (const QByteArray& name : names)
        EXPECT_EQ(toNative(fromNative(name)), name) << name.toHex().toStdString();
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random() % 12), '\0');
        for (char& b : bytes)
            b = char(random() % 256);
        ASSERT_EQ(toNative(fromNative(bytes)), bytes) << bytes.toHex().toStdString();
    }
    EXPECT_EQ(fromNative("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
    // A name for people stays on one line, and shows each odd byte and each control.
    const QList<std::pair<QByteArray, QString>> shown = {
        {"/d/\xFF\xFE.txt", "/d/\\xFF\\xFE.txt"},
        {"/d/caf\xE9\xC3\xA9", QString::fromUtf8("/d/caf\\xE9\xC3\xA9")},
        {"a\nSuccess: x", "a\\nSuccess: x"},
        {"t\tr\r", "t\\tr\\r"},
        {"\x1B[2J\x7F\x01", "\\x1B[2J\\x7F\\x01"},
        {"nel\xC2\x85ls\xE2\x80\xA8", "nel\\u0085ls\\u2028"},
        {"\xF0\x9F\x98\x80 \\n", QString::fromUtf8("\xF0\x9F\x98\x80 \\n")}};
    for (const auto& [bytes, text] : shown) {
        EXPECT_EQ(displayName(fromNative(bytes)), text) << bytes.toHex().toStdString();
        EXPECT_EQ(displayName(displayName(fromNative(bytes))), text);
    }
    // Two names that differ only in their broken bytes stay two names.
    EXPECT_NE(fromNative("\xFF.txt"), fromNative("\xFE.txt"));
}

using TextFile::decodeLines;
using TextFile::encodeLines;

TEST(TextFile, DecodesAnyLineEndNulAndBrokenUtf8AndEncodesUtf8WithCrLf) {
    EXPECT_EQ(decodeLines("a\r\nb\nc"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(decodeLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(decodeLines("\n"), QStringList({""}));
    EXPECT_TRUE(decodeLines("").isEmpty());
    // A line that is not UTF-8 (a path written under another encoding) is written back as the
    // same bytes, not re-encoded.
    const QByteArray mixed("a\0b\r\ncaf\xC3\xA9\r\ncaf\xE9\r\n", 16);
    EXPECT_EQ(decodeLines(mixed),
              QStringList({QString::fromUtf16(u"a\0b", 3), QString::fromUtf8("caf\xC3\xA9"),
                           Paths::fromNative("caf\xE9")}));
    EXPECT_EQ(encodeLines(decodeLines(mixed)), mixed + "\r\n");
    const QByteArray huge(6 * 1024 * 1024, 'x');
    const QStringList lines = decodeLines(huge + "\r\nend\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), huge.size());
    EXPECT_EQ(lines[1], "end");

    EXPECT_EQ(encodeLines({"a", QString::fromUtf8("\xC3\xBC"), ""}),
              QByteArray("a\r\n\xC3\xBC\r\n\r\n"));
    EXPECT_EQ(encodeLines({}), QByteArray());
    // A volume list is names separated by NUL, two in a row for an unlabeled drive. A leading
    // byte-order mark is dropped on reading, so a value that begins with one still reads back
    // whole, and a file written by an editor with a mark reads without it.
    const QStringList odd{QString(QChar(0xFEFF)) + "x", QString::fromUtf16(u"DATA\0\0USB", 9)};
    EXPECT_EQ(decodeLines(encodeLines(odd)), odd);
    EXPECT_EQ(decodeLines("\xEF\xBB\xBFpath\r\n"), QStringList{"path"});
}

TEST(TextFileWrite, ReplacesTheFileCreatesItsFolderAndLeavesNoTwinOrFails) {
    TempHome home;
    const QString path = home.path() + "/new/folder/opts";
    ASSERT_TRUE(TextFile::writeAtomically(path, encodeLines({"old"})).ok());
    ASSERT_TRUE(TextFile::writeAtomically(path, encodeLines({"new", "lines"})).ok());
    EXPECT_EQ(TextFile::readLines(path), QStringList({"new", "lines"}));
    EXPECT_FALSE(QFile::exists(path + "TEMP"));
    EXPECT_FALSE(TextFile::readLines(home.path() + "/missing").has_value());
    EXPECT_FALSE(TextFile::readLines(home.path()).has_value());
    const QString blocker = home.writeFile("plainfile", "x");
    // The reason names the folder that could not be made, so a dialog can tell the user.
    const TextFile::WriteResult failed = TextFile::writeAtomically(blocker + "/sub/opts", "data");
    EXPECT_FALSE(failed.ok());
    EXPECT_TRUE(failed.error.contains(blocker + "/sub")) << failed.error.toStdString();
    EXPECT_EQ(readWholeFile(blocker), "x");
    QDir().mkpath(home.path() + "/twin/optsTEMP/blocker");
    const TextFile::WriteResult noTwin = TextFile::writeAtomically(home.path() + "/twin/opts", "");
    EXPECT_TRUE(noTwin.error.contains("optsTEMP")) << noTwin.error.toStdString();
}
