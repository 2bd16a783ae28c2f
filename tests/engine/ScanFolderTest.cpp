// The walk of one folder association's source.

#include "ScanFixture.h"

namespace {

class ScanFolderTest : public ScanFixture {
protected:
    void scan(bool recursive) {
        copies.clear();
        state->DetectedFiles->Clear();
        engine->ScanFolder(docs, 1, docs, detectionNow(), recursive);
    }
};

TEST_F(ScanFolderTest, HiddenFilesNeedCopyHiddenAndOwnTemporaryFilesAreNeverCopied) {
    const auto association = associate(docs, true);
    writeAt("docs/.hidden", 0);
    writeAt("docs/plain", 0);
    writeAt("docs/" + OwnTempPrefix + "partial", 0);
    scan(false);
    EXPECT_EQ(copiedNames(), QStringList{"plain"});

    association->CopyHidden = true;
    scan(false);
    EXPECT_EQ(copiedNames(), (QStringList{".hidden", "plain"}));
}

TEST_F(ScanFolderTest, SubFoldersAreWalkedOnlyWhenRecursiveAndLinksToFoldersNever) {
    associate(docs, true, true);
    writeAt("docs/top.txt", 0);
    writeAt("docs/sub/deeper/deep.txt", 0);
    writeAt("outside/linked.txt", 0);
    ASSERT_TRUE(QFile::link(home.path() + "/outside", docs + "/link"));

    scan(false);
    EXPECT_EQ(copiedNames(), QStringList{"top.txt"});
    scan(true);
    EXPECT_EQ(copiedNames(), (QStringList{"deep.txt", "top.txt"}));
}

TEST_F(ScanFolderTest, ItPausesBeforeTheTopFolderAndAfterEveryFifteenFilesCountedAcrossScans) {
    associate(docs, true, true);
    for (int i = 0; i < 20; ++i)
        home.writeFile(QStringLiteral("docs/f%1").arg(i), "x");
    home.writeFile("docs/sub/notTop", "x");
    scan(true);
    EXPECT_EQ(clock.sleptMs, timing.topFolderSettleMs + timing.yieldPauseMs);
    EXPECT_EQ(engine->YieldCounter, 6);

    clock.sleptMs = 0;
    const QString other = home.makeFolder("other");
    for (int i = 0; i < 9; ++i)
        home.writeFile(QStringLiteral("other/f%1").arg(i), "x");
    engine->ScanFolder(other, 1, other, detectionNow(), false);
    EXPECT_EQ(clock.sleptMs, timing.topFolderSettleMs + timing.yieldPauseMs);
}

TEST_F(ScanFolderTest, AStopRequestedWhileYieldingEndsTheWalkBeforeTheNextFile) {
    associate(docs, true, true);
    writeAt("docs/a", 0);
    writeAt("docs/b", 0);
    writeAt("docs/sub/c", 0);
    ui.onProcessEvents = [&] {
        if (ui.processEventsCalls == 2)
            state->StopScanRequested = true;
    };
    scan(true);
    EXPECT_EQ(copies.size(), 1u);
}

TEST_F(ScanFolderTest, AFailureEndsOnlyTheWalkOfTheFolderWhereItHappened) {
    associate(docs, true, true);
    writeAt("docs/one/a", 0);
    writeAt("docs/two/b", 0);
    duringCopy = [&] {
        if (copies.size() == 1)
            throw std::runtime_error("copy failed unexpectedly");
    };
    EXPECT_NO_THROW(scan(true));
    EXPECT_EQ(copies.size(), 2u);
}

} // namespace
