// The change test, the walk of one folder association's source, and one scan pass over a
// signalled folder: which associations it serves, and its drains.

#include "EngineFixture.h"

#include "engine/ScanChange.h"
#include "support/Mounts.h"
#include "support/Warnings.h"

#include <QTest>
#include <sys/stat.h>

using Running = UserInterface::RunningState;

namespace {

TEST(ChangeTestRule, OneSecondBeforeCountsWithinTheHourAndTheNextHourIsTheLast) {
    const QDate day(2026, 3, 14);
    const ChangeTest test(DateTimeText::format(QDateTime(day, QTime(11, 0, 0))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(10, 59, 59))));
    EXPECT_TRUE(test.qualifies(QDateTime(day, QTime(12, 59, 59, 999))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(13, 0, 0))));
    EXPECT_FALSE(ChangeTest(DateTimeText::never).qualifies(QDateTime(day, QTime(11, 0, 0))));
}

class ScanFolderTest : public ScanFixture {
protected:
    QString detection; // for passes: the date when the test began
    void SetUp() override {
        ScanFixture::SetUp();
        detection = detectionNow();
    }
    // Without a watch, the pass looks at every file's time, as after lost events.
    void pass(qint32 handle = 0) { engine->ScanPass(docs, detection, handle); }
    void scan(bool recursive) {
        copies.clear();
        state->detectedFiles->Clear();
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
    writeAt("docs/" + OwnTemporaryNames::fresh(), 0);
    writeAt("docs/.quillmot-zz9.tmp", 0); // the user's own, named like ours
    scan(false);
    EXPECT_EQ(copiedNames(), (QStringList{"at.txt", "oneBefore.txt"}));
    EXPECT_EQ(engine->NewDetectionDate, DateTimeText::format(clock.now().addSecs(1)));

    association->CopyHidden = true;
    scan(false);
    EXPECT_EQ(copiedNames(),
              (QStringList{".hidden", ".quillmot-zz9.tmp", "at.txt", "oneBefore.txt"}));
}

TEST_F(ScanFolderTest, SubFoldersAreWalkedOnlyWhenRecursiveAndLinksAreFilesNeverEntered) {
    addAssociation(docs, true, true);
    writeAt("docs/top.txt", 0);
    writeAt("docs/sub/deeper/deep.txt", 0);
    writeAt("outside/linked.txt", 0);
    ASSERT_TRUE(QFile::link(home.path() + "/outside", docs + "/link"));
    ASSERT_TRUE(QFile::link(home.path() + "/gone", docs + "/dangling"));
    setModified(docs + "/link", 0);
    setModified(docs + "/dangling", -2);
    scan(false);
    EXPECT_EQ(copiedNames(), (QStringList{"link", "top.txt"}));
    scan(true);
    EXPECT_EQ(copiedNames(), (QStringList{"deep.txt", "link", "top.txt"}));
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

TEST_F(ScanFolderTest, AFailureEndsOnlyTheFolderWhereItHappened) {
    addAssociation(docs, true, true);
    writeAt("docs/one/a", 0);
    writeAt("docs/two/b", 0);
    duringCopy = [&] {
        if (copies.size() == 1)
            throw std::runtime_error("copy failed unexpectedly");
    };
    const WarningsCaught warnings;
    EXPECT_NO_THROW(scan(true));
    EXPECT_EQ(copies.size(), 2u);
    EXPECT_TRUE(warnings.saw("quillmot.engine", "copy failed unexpectedly"));
}

TEST_F(ScanFolderTest, AStopWhileYieldingEndsTheWalk) {
    addAssociation(docs, true, true);
    writeAt("docs/a", 0);
    writeAt("docs/b", 0);
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
    state->detectedFiles->Clear();
    for (const auto& association : *state->backups)
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

// A change to another file during a copy makes the watch signal again: the drain serves it in
// the same pass, whatever its time, and the same version of a file only once.
TEST_F(ScanPassTest, TheDrainServesFilesNamedDuringThePassAndTheSameVersionOnce) {
    addAssociation(docs, true);
    const QString other = writeAt("docs/old.txt", -3600);
    const qint32 handle = watchDocs();
    const QString file = writeAt("docs/a.txt", 0);
    awaitAndRearm(handle);
    duringCopy = [&] {
        if (copies.size() == 1)
            setModified(other, -3600);
    };
    pass(handle);
    EXPECT_EQ(copiedNames(), (QStringList{"a.txt", "old.txt"}));
    EXPECT_EQ(clock.sleptMs, 2 * timing.topFolderSettleMs) << "the drain served again";

    copies.clear();
    state->detectedFiles->Clear();
    setModified(file, 0);
    awaitAndRearm(handle);
    // The second time, the same version is named again and not copied again. (The settle moves
    // the test's clock on, so the time is fixed here.)
    const QDateTime later = clock.now().addSecs(5);
    duringCopy = [&] { setModifiedTo(file, later); };
    pass(handle);
    EXPECT_EQ(copiedNames(), (QStringList{"a.txt", "a.txt"}));
}

TEST_F(ScanPassTest, AFileWrittenWithoutPauseIsFollowedWithoutNestingPassesWithoutEnd) {
    const QString file = writeAt("docs/a.txt", 0);
    addAssociation(file, false);
    const qint32 handle = watchDocs();
    setModified(file, 0);
    awaitAndRearm(handle);
    constexpr size_t versions = 200;
    duringCopy = [&] {
        if (copies.size() < versions)
            setModified(file, qint64(copies.size()));
    };
    pass(handle);
    EXPECT_EQ(copies.size(), versions);
    // Only the outermost pass says "Scanning" and "Waiting": a nested one ends while the pass
    // around it still copies.
    EXPECT_EQ(ui.runningStates, (std::vector{Running::Scanning, Running::Waiting}));
    EXPECT_FALSE(state->Scanning);
}

// A pause confirmed in the deepest pass the drains may nest must still end the whole pass and
// leave the timer running, so that unpausing resumes the backups.
TEST_F(ScanPassTest, APauseAtTheDeepestNestedPassStopsThePassButNotTheEngine) {
    const QString file = writeAt("docs/a.txt", 0);
    addAssociation(file, false);
    const qint32 handle = watchDocs();
    setModified(file, 0);
    ASSERT_TRUE(awaitSignal(handle));
    duringCopy = [&] {
        setModified(file, qint64(copies.size()));
        if (copies.size() == 32)
            state->StopScanRequested = state->Paused = true;
    };
    engine->TimerProc();
    EXPECT_EQ(copies.size(), 32u);
    EXPECT_FALSE(state->TimerStopped);
    EXPECT_TRUE(engine->timerArmed());
    EXPECT_FALSE(state->Scanning || state->StopScanRequested);
    EXPECT_EQ(ui.runningStates, std::vector{Running::Scanning})
        << "no \"Waiting... \" while paused";

    duringCopy = nullptr;
    state->Paused = false;
    setModified(file, 100);
    ASSERT_TRUE(awaitSignal(handle));
    engine->TimerProc();
    EXPECT_EQ(copies.size(), 33u);
}

TEST_F(ScanPassTest, ACopyUsesTheAssociationsPositionAfterOthersWereRemovedMeanwhile) {
    addAssociation(home.makeFolder("elsewhere"), true);
    addAssociation(docs, true);
    writeAt("docs/a.txt", 0);
    ui.onProcessEvents = [&] {
        if (state->backups->Count() == 2)
            state->backups->Remove(1);
    };
    pass();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].assocIndex, 1);
}

// What the watch names is served whatever its time; what it does not name is left alone unless
// events were lost.
class ChangedFilesTest : public ScanFolderTest {
protected:
    qint32 handle = 0;
    void SetUp() override {
        ScanFolderTest::SetUp();
        addAssociation(docs, true, true);
        writeAt("docs/untouched.txt", 0); // before the watch: no event names it
        engine->CreateDetectFolder(docs, true);
        handle = record(docs)->AutoBackup;
    }
};

TEST_F(ChangedFilesTest, ANamedFileWithAnOldTimeIsCopiedAndAnUnnamedOneIsNotTouched) {
    const QString report = write("docs/report.pdf", "kept its time");
    setModifiedTo(report, QDateTime(QDate(2019, 5, 1), QTime(9, 0)));
    writeAt("docs/.hidden", 0);
    ::mkfifo(Paths::toNative(docs + "/pipe").constData(), 0600);
    awaitAndRearm(handle);
    pass(handle);
    EXPECT_EQ(copiedNames(), QStringList{"report.pdf"});
    EXPECT_TRUE(engine->NewDetectionDate.isEmpty()) << "an old time never moves the date back";
}

TEST_F(ChangedFilesTest, ASubFolderMovedInIsWalkedWithAllItsFiles) {
    const QString old = write("elsewhere/album/2019/a.jpg", "a");
    setModifiedTo(old, QDateTime(QDate(2019, 5, 1), QTime(9, 0)));
    write("elsewhere/album/b.jpg", "b");
    write("elsewhere/album/.thumbs/c.jpg", "c");
    ASSERT_TRUE(QDir().rename(home.path() + "/elsewhere/album", docs + "/album"));
    awaitAndRearm(handle);
    pass(handle);
    EXPECT_EQ(copiedNames(), (QStringList{"a.jpg", "b.jpg"}));
    EXPECT_EQ(clock.sleptMs, timing.topFolderSettleMs);
}

TEST_F(ChangedFilesTest, LostEventsFallBackToAWalkThatTestsTheTimes) {
    state->watches->setMaxPendingPaths(5);
    engine->CreateDetectFolder(docs, true);
    handle = record(docs)->AutoBackup;
    for (int i = 0; i < 10; ++i)
        writeAt(QStringLiteral("docs/new%1.txt").arg(i), 0);
    writeAt("docs/old.txt", -3600);
    // The writes are over, so their events are all queued: the first read takes every one.
    awaitAndRearm(handle);
    pass(handle);
    EXPECT_EQ(copies.size(), 11u) << "untouched.txt has the test's time too";
    EXPECT_FALSE(copiedNames().contains("old.txt"));
}

// Two saves within one second are two versions; the last of them must reach the copy.
TEST_F(ChangedFilesTest, SavesWithinOneSecondAreEachServed) {
    const QString file = write("docs/a.txt", "first");
    const QDateTime second = clock.now();
    setModifiedTo(file, second.addMSecs(100));
    awaitAndRearm(handle);
    pass(handle);
    write("docs/a.txt", "second!");
    setModifiedTo(file, second.addMSecs(250));
    awaitAndRearm(handle);
    pass(handle);
    EXPECT_EQ(copiedNames(), (QStringList{"a.txt", "a.txt"}));
}

TEST_F(ChangedFilesTest, HiddenFoldersAreNeitherWatchedNorWalkedUnlessHiddenFilesAreWanted) {
    writeAt("docs/.cache/old", 0);
    writeAt("docs/.cache/deep/new", 0);
    pass();
    EXPECT_EQ(copiedNames(), QStringList{"untouched.txt"});

    copies.clear();
    state->detectedFiles->Clear();
    state->backups->Item(1)->CopyHidden = true;
    engine->CreateDetectFolder(docs, true);
    handle = record(docs)->AutoBackup;
    writeAt("docs/.cache/deep/new", 0);
    awaitAndRearm(handle);
    pass(handle);
    EXPECT_EQ(copiedNames(), QStringList{"new"});
}

TEST_F(ChangedFilesTest, AWalkStaysOnTheSourcesFileSystem) {
    auto mount = ScratchMount::tmpfs(256);
    if (!mount)
        GTEST_SKIP() << ScratchMount::refusal();
    const QString scratch = Paths::parent(mount->mountPoint());
    state->backups->Clear();
    addAssociation(scratch, true, true);
    QFile inMount(mount->mountPoint() + "/other-disk.txt");
    ASSERT_TRUE(inMount.open(QIODevice::WriteOnly));
    inMount.close();
    QFile here(scratch + "/here.txt");
    ASSERT_TRUE(here.open(QIODevice::WriteOnly));
    here.close();
    setModified(scratch + "/here.txt", 0);
    setModified(mount->mountPoint() + "/other-disk.txt", 0);
    engine->ScanFolder(scratch, 1, scratch, detection, true);
    EXPECT_EQ(copiedNames(), QStringList{"here.txt"});
}

} // namespace
