// The watch timer's tick, driven directly and through the event loop.

#include "engine/CatchUp.h"

#include "EngineFixture.h"

#include <QTest>

namespace {

class TimerTickTest : public ScanFixture {
protected:
    qint32 handle = 0;
    void SetUp() override {
        ScanFixture::SetUp();
        addAssociation(docs, true);
        handle = watchDocs();
    }
    // A change to docs that the watch has already seen.
    void change(const QString& name) {
        writeAt("docs/" + name, 0);
        ASSERT_TRUE(awaitSignal(handle));
    }
};

TEST_F(TimerTickTest, AQuietTickDropsClosedWatchesLeavesDisabledOnesUnpolledAndReArms) {
    constexpr qint32 untouched = 77;
    state->detectFolders->Add("/closed", 0, untouched, {}, "/closed");
    state->detectFolders->Add("/disabled", -1, untouched, {}, "/disabled");
    state->detectFolders->Add("/closed2", 0, untouched, {}, "/closed2");
    engine->TimerProc();
    ASSERT_EQ(state->detectFolders->Count(), 2) << "closed watches are dropped";
    EXPECT_NE(record(docs)->Result, untouched);
    EXPECT_NE(record(docs)->Result, 0);
    EXPECT_EQ(record("/disabled")->Result, untouched) << "never polled";
    EXPECT_EQ(record("/disabled")->DetectionDate, detectionNow());
    EXPECT_FALSE(engine->ScanActivity);
    EXPECT_TRUE(engine->timerArmed());
}

TEST_F(TimerTickTest, ASignalledTickCopiesAndTheDetectionDateMovesOnceTheFolderIsQuiet) {
    engine->TimerProc();
    change("a.txt");
    const QString next = DateTimeText::format(clock.now().addSecs(1));
    engine->TimerProc();
    EXPECT_EQ(copiedNames(), QStringList{"a.txt"});
    EXPECT_EQ(record(docs)->DetectionDate, next);
    EXPECT_TRUE(engine->ScanActivity);
    EXPECT_EQ(state->detectedFiles->Count(), 0);
    clock.current = clock.current.addSecs(30);
    engine->TimerProc();
    EXPECT_EQ(record(docs)->DetectionDate, next);
    engine->TimerProc();
    EXPECT_EQ(record(docs)->DetectionDate, detectionNow());
    EXPECT_FALSE(engine->ScanActivity);
}

TEST_F(TimerTickTest, EveryTickRecordsTheWindowAndGoesOnWhenItIsGone) {
    ui.geometry = QRect(150, 300, 9330, 5300);
    engine->TimerProc();
    const auto& g = state->geometry;
    EXPECT_EQ(QList<int>({g.Left, g.Top, g.Width, g.Height}), QList({150, 300, 9330, 5300}));
    // A 4K-wide window (3840 px = 57,600 twips) is beyond 16 bits and kept whole.
    ui.geometry = QRect(-40000, 0, 57600, 32400);
    engine->TimerProc();
    EXPECT_EQ(QList<int>({g.Left, g.Width, g.Height}), QList({-40000, 57600, 32400}));
    ui.failGeometry = true;
    EXPECT_NO_THROW(engine->TimerProc());
    EXPECT_TRUE(engine->timerArmed());
}

// The user confirms the pause question while the pass yields before its second file; a change
// while paused is then dropped and the watch re-armed.
TEST_F(TimerTickTest, AStopConfirmedDuringAPassEndsItTheSameTickReArmsAndPausedChangesAreDropped) {
    engine->TimerProc();
    writeAt("docs/a.txt", 0);
    writeAt("docs/b.txt", 0);
    change("c.txt");
    ui.onProcessEvents = [&] {
        if (ui.processEventsCalls == 2)
            state->StopScanRequested = state->Paused = true;
    };
    engine->TimerProc();
    EXPECT_EQ(copies.size(), 1u);
    EXPECT_FALSE(state->Scanning);
    EXPECT_FALSE(state->StopScanRequested);
    EXPECT_TRUE(engine->timerArmed());

    change("d.txt");
    engine->TimerProc();
    EXPECT_FALSE(state->watches->wait(handle, 0));
    state->Paused = false;
    engine->TimerProc();
    EXPECT_EQ(copies.size(), 1u) << "the change while paused is not scanned";
}

// A program saving into many watched folders at once: one pause lets every writer finish, not
// one pause per folder with the window frozen meanwhile.
TEST_F(TimerTickTest, FoldersChangedTogetherShareOnePauseForTheirWriters) {
    QList<qint32> handles{handle};
    for (int i = 1; i < 5; ++i) {
        const QString other = folder(QString("other%1").arg(i));
        addAssociation(other, true);
        engine->CreateDetectFolder(other, false);
        handles << record(other)->AutoBackup;
    }
    writeAt("docs/a.txt", 0);
    for (int i = 1; i < 5; ++i)
        writeAt(QString("other%1/b.txt").arg(i), 0);
    for (const qint32 each : handles)
        ASSERT_TRUE(awaitSignal(each));
    const qint64 sleptBefore = clock.sleptMs;
    engine->TimerProc();
    EXPECT_EQ(copiedNames(), QStringList({"a.txt", "b.txt", "b.txt", "b.txt", "b.txt"}));
    EXPECT_LT(clock.sleptMs - sleptBefore, 2 * timing.topFolderSettleMs);

    // A change read after that pause began gets a pause of its own.
    copies.clear();
    change("c.txt");
    const qint64 sleptBeforeLater = clock.sleptMs;
    engine->TimerProc();
    EXPECT_EQ(copiedNames(), QStringList{"c.txt"});
    EXPECT_GE(clock.sleptMs - sleptBeforeLater, timing.topFolderSettleMs);
}

// A catch-up over many files whose slice would outlast the user's patience.
class LongCatchUpTickTest : public TimerTickTest {
protected:
    void SetUp() override {
        timing.catchUpSliceMs = 60 * 1000;
        TimerTickTest::SetUp();
    }
};

// The save lands while the catch-up walks; it is served by the next tick, and its copy waits for
// one settle only, not for the rest of the catch-up.
TEST_F(LongCatchUpTickTest, ASaveDuringACatchUpIsServedByTheNextTick) {
    for (int i = 0; i < 60; ++i)
        writeAt(QString("docs/old%1.txt").arg(i), -3600);
    ASSERT_TRUE(awaitSignal(handle));
    engine->TimerProc(); // the watch's own pass over the new files
    copies.clear();
    state->destinations->Add(home.path() + "/backup", docs, volumeOf(home.path()));
    engine->catchUp().requestAll();

    const int yieldsBefore = ui.processEventsCalls;
    ui.onProcessEvents = [&] {
        if (ui.processEventsCalls == yieldsBefore + 3)
            write("docs/saved.txt", "the user's save");
    };
    engine->TimerProc();
    ui.onProcessEvents = nullptr;
    bool catchUpLeft = false;
    qint64 sleptBeforeCopy = 0;
    const qint64 sleptBefore = clock.sleptMs;
    duringCopy = [&] {
        catchUpLeft = engine->catchUp().pending();
        sleptBeforeCopy = clock.sleptMs - sleptBefore;
    };
    engine->TimerProc();
    ASSERT_EQ(copiedNames(), QStringList{"saved.txt"});
    EXPECT_TRUE(catchUpLeft) << "the save waited for the whole catch-up";
    EXPECT_LE(sleptBeforeCopy, timing.topFolderSettleMs + timing.yieldPauseMs);
    EXPECT_FALSE(engine->catchUp().pending()) << "the catch-up goes on once the save is served";
}

// A pause confirmed while a pass ended on its own (or on a failure) leaves a stop request with
// no pass running; that is still no exit, and the timer must go on for the unpause.
TEST_F(TimerTickTest, OnlyAnExitStopsTheTimerAndItGetsExactlyOneMoreTick) {
    state->Paused = state->StopScanRequested = true;
    state->Scanning = false;
    engine->TimerProc();
    EXPECT_FALSE(state->TimerStopped);
    EXPECT_FALSE(state->StopScanRequested);
    EXPECT_TRUE(engine->timerArmed());
    state->Paused = false;

    engine->StartWatchTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.ticks >= 3; }, 5000));
    state->Paused = state->StopScanRequested = state->ExitRequested = true;
    state->Scanning = false;
    const int before = ui.ticks;

    ASSERT_TRUE(QTest::qWaitFor([&] { return state->TimerStopped; }, 5000));
    QTest::qWait(10 * timing.tickMs);
    EXPECT_EQ(ui.ticks, before + 1);
    EXPECT_FALSE(engine->timerArmed());
}

} // namespace
