#include "platform/Paths.h"

#include <gtest/gtest.h>

using namespace Paths;

TEST(Paths, RootKeepsItsSeparatorOtherFoldersDoNot) {
    EXPECT_TRUE(isRoot("/"));
    EXPECT_FALSE(isRoot("/a"));
    EXPECT_EQ(withoutTrailingSeparator("/"), "/");
    EXPECT_EQ(withoutTrailingSeparator("/a/"), "/a");
    EXPECT_EQ(withoutTrailingSeparator("/a"), "/a");
}

TEST(Paths, ParentAndFileNameClimbToTheRootAndStop) {
    EXPECT_EQ(parent("/a/b"), "/a");
    EXPECT_EQ(parent("/a/b/"), "/a");
    EXPECT_EQ(parent("/a"), "/");
    EXPECT_EQ(parent("/"), "");
    EXPECT_EQ(parent("plain"), "");
    EXPECT_EQ(fileName("/a/b.txt"), "b.txt");
    EXPECT_EQ(fileName("/a/b/"), "b");
    EXPECT_EQ(fileName("/"), "");
}

TEST(Paths, JoinPutsExactlyOneSeparatorBetween) {
    EXPECT_EQ(join("/", "a"), "/a");
    EXPECT_EQ(join("/a", "b/c"), "/a/b/c");
    EXPECT_EQ(join("/a/", "/b"), "/a/b");
    EXPECT_EQ(join("/a", ""), "/a");
    EXPECT_EQ(join("/", ""), "/");
}

TEST(Paths, DirectlyInMeansOneWholeComponentBelow) {
    EXPECT_TRUE(isDirectlyIn("/a", "/"));
    EXPECT_TRUE(isDirectlyIn("/a/b", "/a"));
    EXPECT_TRUE(isDirectlyIn("/a/b", "/a/"));
    EXPECT_TRUE(isDirectlyIn("/a/b/", "/a"));
    EXPECT_FALSE(isDirectlyIn("/a/b/c", "/a"));
    EXPECT_FALSE(isDirectlyIn("/a", "/a"));
    EXPECT_FALSE(isDirectlyIn("/ab", "/a"));
    // Same separator count and a text prefix, but a different folder.
    EXPECT_FALSE(isDirectlyIn("/ab/c", "/a"));
    EXPECT_FALSE(isDirectlyIn("/", "/"));
}

TEST(Paths, KeysCompareExactlyAsTheFileSystemDoes) {
    EXPECT_FALSE(samePath("/Docs", "/docs"));
    EXPECT_TRUE(samePath("/Docs/a", "/Docs/a"));
    EXPECT_FALSE(startsWith("/Docs/a", "/docs"));
    EXPECT_TRUE(startsWith("/Docs/a", "/Docs"));
    EXPECT_EQ(PathKey("/Mixed/Case.TXT"), "/Mixed/Case.TXT");
}

TEST(Paths, SplitIsATextSplit) {
    EXPECT_EQ(split("/a/b"), QStringList({"", "a", "b"}));
    EXPECT_EQ(split("//server/share"), QStringList({"", "", "server", "share"}));
    EXPECT_EQ(separatorCount("/a/b/"), 3);
}
