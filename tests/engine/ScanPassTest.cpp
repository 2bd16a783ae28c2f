// One scan pass over a signalled folder: which associations it serves, and its drains.

#include "ScanFixture.h"

namespace {

class ScanPassTest : public ScanFixture {
protected:
    QString detection;
    void SetUp() override {
        ScanFixture::SetUp();
        detection = detectionNow();
    }
    void pass(qint32 handle = 0) { engine->ScanPass(docs, detection, handle); }
};

TEST_F(ScanPassTest, ServesEnabledFileAssociationsDirectlyInTheFolderAndTheFolderItself) {
    const QString both = writeAt("docs/both.txt", 0);
    associate(both, false);
    associate(writeAt("docs/.hidden", 0), false); // hidden matters to folder associations only
    associate(writeAt("docs/sub/nested.txt", 0), false);
    associate(docs, true);
    writeAt("docs/plain.txt", 0);
    associate(home.makeFolder("docs/sub"), true, true); // a folder below is not this pass's

    pass();
    // both.txt goes to the destinations of each association that holds it.
    EXPECT_EQ(copiedNames(), (QStringList{".hidden", "both.txt", "both.txt", "plain.txt"}));
    EXPECT_EQ(copies[0].sourceRoot, both);
    EXPECT_EQ(copies[0].assocIndex, 1);
    EXPECT_EQ(copies.back().sourceRoot, docs);
    EXPECT_EQ(copies.back().assocIndex, 4);
    EXPECT_EQ(ui.runningTexts, (QStringList{"Scanning... ", "Waiting... "}));
    EXPECT_FALSE(state->Scanning);
}

TEST_F(ScanPassTest, DisabledAssociationsAreNeverScanned) {
    associate(writeAt("docs/a.txt", 0), false, false, false);
    associate(docs, true, false, false);
    pass();
    EXPECT_TRUE(copies.empty());
}

TEST_F(ScanPassTest, AStopLeavesAtOnceWithScanningStillSet) {
    associate(docs, true);
    writeAt("docs/a.txt", 0);
    ui.onProcessEvents = [&] { state->StopScanRequested = true; };
    pass();
    EXPECT_TRUE(copies.empty());
    EXPECT_EQ(ui.runningTexts, QStringList{"Scanning... "});
    EXPECT_TRUE(state->Scanning);
}

TEST_F(ScanPassTest, TheNewDetectionDateIsTheNewestQualifyingTimePlusOneSecond) {
    // File associations are served first, so the newer time is met before the older one.
    associate(writeAt("docs/newer.txt", 5), false);
    associate(docs, true);
    writeAt("docs/older.txt", 0);
    const QString expected = DateTimeText::format(clock.now().addSecs(6));
    pass();
    EXPECT_EQ(engine->NewDetectionDate, expected);
}

TEST_F(ScanPassTest, TheSameVersionMetAgainByADrainIsCopiedOnce) {
    associate(docs, true);
    writeAt("docs/a.txt", 0);
    const QString other = writeAt("docs/old.txt", -3600);
    const qint32 handle = watchDocs();
    duringCopy = [&] { setModified(other, -3600); }; // makes the watch signal again
    pass(handle);
    EXPECT_EQ(copiedNames(), QStringList{"a.txt"});
    EXPECT_EQ(clock.sleptMs, 2 * timing.topFolderSettleMs) << "the drain scanned again";
}

TEST_F(ScanPassTest, AFileChangedWhileTheFolderIsScannedIsCopiedAgainByTheDrain) {
    associate(docs, true);
    const QString file = writeAt("docs/a.txt", 0);
    const qint32 handle = watchDocs();
    duringCopy = [&] {
        if (copies.size() == 1)
            setModified(file, 5);
    };
    pass(handle);
    EXPECT_EQ(copies.size(), 2u);
}

TEST_F(ScanPassTest, AFileWrittenWithoutPauseIsFollowedWithoutNestingPassesWithoutEnd) {
    const QString file = writeAt("docs/a.txt", 0);
    associate(file, false);
    const qint32 handle = watchDocs();
    constexpr size_t versions = 200;
    duringCopy = [&] {
        if (copies.size() < versions)
            setModified(file, qint64(copies.size()));
    };
    pass(handle);
    EXPECT_EQ(copies.size(), versions);
    // Every pass, nested or not, says "Scanning... " at its start and "Waiting... " at its end.
    int depth = 0, deepest = 0;
    for (const QString& text : ui.runningTexts)
        deepest = std::max(deepest, depth += text == "Scanning... " ? 1 : -1);
    EXPECT_EQ(depth, 0);
    EXPECT_LT(deepest, int(versions) / 2);
}

TEST_F(ScanPassTest, ACopyUsesTheAssociationsPositionAfterOthersWereRemovedMeanwhile) {
    associate(home.makeFolder("elsewhere"), true);
    associate(docs, true);
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
