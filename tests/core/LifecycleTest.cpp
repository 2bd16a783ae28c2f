// The life cycle without a window: hidden start, pause and its question, the stored pause state,
// and the exit hand-shake with the engine's timer.

#include "core/Lifecycle.h"
#include "engine/CatchUp.h"
#include "engine/DestinationWorkers.h"
#include "model/VolumeList.h"
#include "platform/Paths.h"
#include "support/GuiApp.h"
#include "support/LifecycleOverHome.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using Running = UserInterface::RunningState;

namespace {

using LifecycleFixture = LifecycleOverHome<SystemClock, ensureGuiApp>;

} // namespace

TEST(HiddenStart, NowinAnywhereInAnyCase) {
    EXPECT_TRUE(Lifecycle::wantsHiddenStart({"quillmot", "--x", "NoWin"}));
    EXPECT_TRUE(Lifecycle::wantsHiddenStart({"quillmot", "startNOWINnow"}));
    EXPECT_FALSE(Lifecycle::wantsHiddenStart({"quillmot", "now", "win"}));
    // The program's own path is not part of the command line's words.
    EXPECT_FALSE(Lifecycle::wantsHiddenStart({"/opt/nowin/quillmot"}));
}

TEST_F(LifecycleFixture, StoredPauseStateDecidesTheStart) {
    lifecycle.restorePauseState(); // no pprefs
    EXPECT_FALSE(state.Paused);
    EXPECT_EQ(ui.lastRunningState(), Running::Waiting);
    EXPECT_TRUE(ui.logged.empty());
    home.writeAppData("pprefs", "1\r\n");
    lifecycle.restorePauseState();
    EXPECT_TRUE(state.Paused);
    EXPECT_EQ(ui.lastRunningState(), Running::Paused);
    EXPECT_EQ(ui.pausedLooks, std::vector({false, true}));
    // Said once in the activity log, where a start without the window is seen too.
    ASSERT_EQ(ui.logged.size(), 1u);
    EXPECT_TRUE(ui.logged[0].Message.startsWith("Quillmot is paused"));
}

TEST_F(LifecycleFixture, PauseWhileScanningAsksFirst) {
    state.Scanning = true;
    messages.answers = {MessageBoxes::Answer::No, MessageBoxes::Answer::Yes};
    lifecycle.Pause();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text,
              "Quillmot is in the process of scanning for updated files. Stop this scanning now?");
    EXPECT_EQ(messages.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    EXPECT_FALSE(state.Paused || state.StopScanRequested);
    EXPECT_TRUE(ui.runningStates.empty());

    lifecycle.Pause();
    EXPECT_TRUE(state.Paused);
    EXPECT_EQ(ui.lastRunningState(), Running::Paused);
    lifecycle.togglePause();
    EXPECT_FALSE(state.Paused);
    EXPECT_EQ(ui.lastRunningState(), Running::Waiting);
}

TEST_F(LifecycleFixture, UnpauseCatchesUpWhatWasSavedDuringThePause) {
    const QString docs = home.makeFolder("docs");
    const QString backup = home.path() + "/backup";
    const QString name = state.fso->VolumeName(state.fso->GetDriveName(docs));
    clsBackup association = newAssociation(docs, true, VolumeList::encode({name}, name.isEmpty()),
                                           "Never", state.destinations);
    association.Recursive = true;
    association.NotifyOnError = false;
    association.NotifyOnSuccess = false;
    association.Versions = 0;
    state.backups->Add(std::move(association), Paths::PathKey(docs));
    state.destinations->Add(backup, docs, name);
    lifecycle.Pause();
    home.writeFile("docs/during-pause.txt", "saved while paused");
    engine.catchUp().requestAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.workers().busy(); }, 5000));
    EXPECT_FALSE(QFile::exists(backup + "/docs/during-pause.txt")) << "copied while paused";

    lifecycle.Unpause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.busy(); }, 5000));
    EXPECT_EQ(readWholeFile(backup + "/docs/during-pause.txt"), "saved while paused");
}

TEST_F(LifecycleFixture, AnExitWhileADialogHasPausedLeavesTheNextStartRunning) {
    lifecycle.restorePauseState(); // no pprefs: running
    lifecycle.Pause();             // a dialog opens (log-out comes while it is up)
    lifecycle.requestExit();
    EXPECT_EQ(readWholeFile(home.appDataFolder() + "/pprefs"), QByteArray("0\r\n"));
}

// An unpause during the exit would start new copies and keep the exit from ever ending.
TEST_F(LifecycleFixture, ExitWaitsForTheEngineThenUnloadsAndNothingUnpausesIt) {
    lifecycle.togglePause();
    lifecycle.startWatching();
    QSignalSpy unload(&lifecycle, &Lifecycle::readyToUnload);
    lifecycle.requestExit();

    // The stored state is the user's, from before the exit set Paused.
    EXPECT_EQ(readWholeFile(home.appDataFolder() + "/pprefs"), QByteArray("1\r\n"));
    EXPECT_EQ(ui.lastRunningState(), Running::Exiting);
    EXPECT_FALSE(ui.pauseCommandEnabled);
    EXPECT_TRUE(state.ExitRequested && state.StopScanRequested && state.Paused);
    EXPECT_EQ(unload.count(), 0);
    lifecycle.togglePause();
    lifecycle.Unpause();
    lifecycle.Pause();
    EXPECT_TRUE(state.Paused);
    EXPECT_EQ(ui.lastRunningState(), Running::Exiting);
    EXPECT_EQ(ui.pausedLooks, std::vector({true}));

    ASSERT_TRUE(QTest::qWaitFor([&] { return unload.count() > 0; }, 2000));
    EXPECT_TRUE(state.TimerStopped);
    lifecycle.requestExit(); // a second exit command changes nothing
    EXPECT_EQ(unload.count(), 1);
}
