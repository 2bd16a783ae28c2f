// The change test, the walk of one folder association's source, and one scan pass over a
// signalled folder: which associations it serves, and its drains.

#include "EngineFixture.h"

#include "engine/ScanChange.h"

using Running = UserInterface::RunningState;

namespace {

TEST(ChangeTestRule, OneSecondBeforeCountsWithinTheHourAndTheNextHourIsTheLast) {
    const QDate day(2026, 3, 14);
    const ChangeTest test(DateTimeText::format(QDateTime(day, QTime(11, 0, 0))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(10, 59, 59))));
    EXPECT_TRUE(test.qualifies(QDateTime(day, QTime(12, 59, 59, 999))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(13, 0, 0))));
    EXPECT_FALSE(ChangeTest(DateTimeText::Never).qualifies(QDateTime(day, QTime(11, 0, 0))));
}

class ScanFolderTest : public ScanFixture {
protected:
    QString detection; // for passes: the date when the test began
    void SetUp() override {
        ScanFixture::SetUp();
        detection = detectionNow();
    }
    void pass(qint32 handle = 0) { engine->ScanPass(docs, detection, handle); }
    void scan(bool recursive) {
        copies.clear();
        state->DetectedFiles->Clear();
        engine->ScanFolder(docs, 1, docs, detectionNow(), recursive);
    }
};

TEST_F(ScanFolderTest, ChangedFilesQualifyHiddenOnesNeedCopyHiddenAndOwnTemporaryOnesNever) {
    const auto association = addAssociation(docs, true);
    writeAt("docs/at.txt", 0);
    writeAt("docs/oneBefore.txt", -1);
    writeAt("docs/twoBefore.txt", -2);
    writeAt("docs/twoHoursAfter.txt", 2 * 60 * 60);
    writeAt("docs/.hidden", 0);
    writeAt("docs/" + OwnTempPrefix + "partial", 0);
    scan(false);
    EXPECT_EQ(copiedNames(), (QStringList{"at.txt", "oneBefore.txt"}));
    EXPECT_EQ(engine->NewDetectionDate, DateTimeText::format(clock.now().addSecs(1)));

    association->CopyHidden = true;
    scan(false);
    EXPECT_EQ(copiedNames(), (QStringList{".hidden", "at.txt", "oneBefore.txt"}));
}

TEST_F(ScanFolderTest, SubFoldersAreWalkedOnlyWhenRecursiveAndLinksToFoldersNever) {
    addAssociation(docs, true, true);
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
    addAssociation(docs, true, true);
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

TEST_F(ScanFolderTest, AStopWhileYieldingEndsTheWalkAndAFailureOnlyTheFolderWhereItHappened) {
    addAssociation(docs, true, true);
    writeAt("docs/one/a", 0);
    writeAt("docs/two/b", 0);
    duringCopy = [&] {
        if (copies.size() == 1)
            throw std::runtime_error("copy failed unexpectedly");
    };
    EXPECT_NO_THROW(scan(true));
    EXPECT_EQ(copies.size(), 2u);

    duringCopy = nullptr;
    writeAt("docs/a", 0);
    writeAt("docs/b", 0);
    ui.processEventsCalls = 0;
    ui.onProcessEvents = [&] {
        if (ui.processEventsCalls == 2)
            state->StopScanRequested = true;
    };
    scan(false);
    EXPECT_EQ(copies.size(), 1u);
}

using ScanPassTest = ScanFolderTest;

// File associations are served first, so the newer time is met before the older one.
TEST_F(ScanPassTest, ServesEnabledFileAssociationsDirectlyInTheFolderThenTheFolderItself) {
    const QString both = writeAt("docs/both.txt", 5);
    addAssociation(both, false);
    addAssociation(writeAt("docs/.hidden", 0), false); // hidden matters to folder associations only
    addAssociation(writeAt("docs/sub/nested.txt", 0), false);
    addAssociation(docs, true);
    writeAt("docs/plain.txt", 0);
    addAssociation(home.makeFolder("docs/sub"), true, true); // a folder below is not this pass's

    pass();
    // both.txt goes to the destinations of each association that holds it.
    EXPECT_EQ(copiedNames(), (QStringList{".hidden", "both.txt", "both.txt", "plain.txt"}));
    EXPECT_EQ(copies[0].sourceRoot, both);
    EXPECT_EQ(copies[0].assocIndex, 1);
    EXPECT_EQ(copies.back().sourceRoot, docs);
    EXPECT_EQ(copies.back().assocIndex, 4);
    EXPECT_EQ(engine->NewDetectionDate, DateTimeText::format(clock.now().addSecs(6)));
    EXPECT_EQ(ui.runningStates, (std::vector{Running::Scanning, Running::Waiting}));
    EXPECT_FALSE(state->Scanning);

    copies.clear();
    state->DetectedFiles->Clear();
    for (const auto& association : *state->Backups)
        association->Enabled = false;
    pass();
    EXPECT_TRUE(copies.empty()) << "disabled associations are never scanned";
}

TEST_F(ScanPassTest, AStopLeavesAtOnceWithScanningStillSet) {
    addAssociation(docs, true);
    writeAt("docs/a.txt", 0);
    ui.onProcessEvents = [&] { state->StopScanRequested = true; };
    pass();
    EXPECT_TRUE(copies.empty());
    EXPECT_EQ(ui.runningStates, std::vector{Running::Scanning});
    EXPECT_TRUE(state->Scanning);
}

TEST_F(ScanPassTest, TheDrainCopiesAFileChangedDuringThePassAgainButTheSameVersionOnce) {
    addAssociation(docs, true);
    const QString file = writeAt("docs/a.txt", 0);
    const QString other = writeAt("docs/old.txt", -3600);
    const qint32 handle = watchDocs();
    duringCopy = [&] { setModified(other, -3600); }; // makes the watch signal again
    pass(handle);
    EXPECT_EQ(copiedNames(), QStringList{"a.txt"});
    EXPECT_EQ(clock.sleptMs, 2 * timing.topFolderSettleMs) << "the drain scanned again";

    copies.clear();
    state->DetectedFiles->Clear();
    duringCopy = [&] {
        if (copies.size() == 1)
            setModified(file, 5);
    };
    pass(handle);
    EXPECT_EQ(copiedNames(), (QStringList{"a.txt", "a.txt"}));
}

TEST_F(ScanPassTest, AFileWrittenWithoutPauseIsFollowedWithoutNestingPassesWithoutEnd) {
    const QString file = writeAt("docs/a.txt", 0);
    addAssociation(file, false);
    const qint32 handle = watchDocs();
    constexpr size_t versions = 200;
    duringCopy = [&] {
        if (copies.size() < versions)
            setModified(file, qint64(copies.size()));
    };
    pass(handle);
    EXPECT_EQ(copies.size(), versions);
    // Every pass, nested or not, says "Scanning" at its start and "Waiting" at its end.
    int depth = 0, deepest = 0;
    for (const Running said : ui.runningStates)
        deepest = std::max(deepest, depth += said == Running::Scanning ? 1 : -1);
    EXPECT_EQ(depth, 0);
    EXPECT_LT(deepest, int(versions) / 2);
}

TEST_F(ScanPassTest, ACopyUsesTheAssociationsPositionAfterOthersWereRemovedMeanwhile) {
    addAssociation(home.makeFolder("elsewhere"), true);
    addAssociation(docs, true);
    writeAt("docs/a.txt", 0);
    ui.onProcessEvents = [&] {
        if (state->Backups->Count() == 2)
            state->Backups->Remove(1);
    };
    pass();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].assocIndex, 1);
}

} // namespace
