// Whether each association is protected, from what the engine reports: every state and the
// moves between them, the trouble a destination is in, what lasting states say once, and the
// texts the tree, the tray and `quillmot status` show.

#include "presentation/ProtectionStatus.h"
#include "core/Lifecycle.h"
#include "engine/Engine.h"
#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "presentation/ProtectionTexts.h"
#include "presentation/StatusCommand.h"
#include "presentation/StatusFeed.h"
#include "state/AppState.h"
#include "support/Mounts.h"
#include "support/QtApp.h"
#include "support/StateOverHome.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

using P = Protection;
using T = Trouble;

class ProtectionStatusTest : public StateOverHome {
protected:
    std::unique_ptr<ProtectionStatus> status;
    std::shared_ptr<clsBackup> association;
    QString file, other, destination;
    bool stillWaiting = true;
    struct Notice {
        QString summary, body;
    };
    std::vector<Notice> notices;

    void SetUp() override {
        ensureCoreApp();
        makeState();
        file = home.writeFile("Docs/a.txt", "a");
        other = home.writeFile("Docs/b.txt", "b");
        destination = home.makeFolder("backup");
        const QString volume = state->fso->VolumeName(state->fso->GetDriveName(file));
        association = state->backups->Add(
            newAssociation(file, false, VolumeList::encode({volume}, volume.isEmpty()),
                           DateTimeText::never, state->destinations),
            Paths::PathKey(file));
        association->Enabled = true;
        startOver();
    }
    // A fresh status over an association with one destination, as at a start.
    void startOver() {
        association->Enabled = true;
        state->Paused = false;
        if (state->destinations->of(file).empty())
            state->destinations->Add(destination, file, "BACKUP_B");
        stillWaiting = true;
        notices.clear();
        status = std::make_unique<ProtectionStatus>(*state);
        status->setWaitingCheck([this](const QString&, const QString&) { return stillWaiting; });
        QObject::connect(status.get(), &ProtectionStatus::lastingState,
                         [this](const QString& summary, const QString& body) {
                             notices.push_back({summary, body});
                         });
        status->associationsChanged();
    }
    AssociationState now() const { return status->stateOf(*association); }
    void copied(const QString& path) { status->copyEnded(file, path, destination, true, {}); }
    void failed(const QString& path, const QString& message) {
        status->copyEnded(file, path, destination, false, message);
    }
    void pause(bool paused) {
        state->Paused = paused;
        status->pausedChanged(paused);
    }
    void later(qint64 secs) { clock.current = clock.current.addSecs(secs); }
};

} // namespace

TEST_F(ProtectionStatusTest, EveryStateFollowsFromTheReportsTheModelAndThePause) {
    struct Step {
        std::function<void()> act;
        Protection protection;
        Trouble trouble = T::None;
        int waiting = 0;
    };
    struct Scenario {
        const char* name;
        std::vector<Step> steps;
    };
    using namespace ResultText;
    const std::vector<Scenario> scenarios = {
        {"a failed copy waits until that same file gets through",
         {{[&] { failed(file, diskFull); }, P::Behind, T::Full, 1},
          {[&] { failed(other, copyError + andPreviousStored); }, P::Behind, T::Failing, 2},
          {[&] { copied(other); }, P::Behind, T::Failing, 1},
          {[&] { copied(file); }, P::Protected}}},
        {"a disk a worker found away is behind with no file waiting, until it is back",
         {{[&] { status->diskChecked(destination, CheckFailure::DestDriveNotReady); }, P::Behind,
           T::NotConnected},
          {[&] { status->diskChecked(destination, CheckFailure::None); }, P::Protected}}},
        {"an unplugged disk's folder falls back to the system disk: not connected",
         {{[&] { failed(file, destVolumeMismatch); }, P::Behind, T::NotConnected, 1},
          {[&] { status->diskChecked(destination, CheckFailure::DestVolumeMismatch); }, P::Behind,
           T::NotConnected, 1},
          // A copy that lands shows the disk is back, whatever an earlier look found.
          {[&] { copied(file); }, P::Protected}}},
        {"a disk that stops answering holds its copies until it moves again",
         {{[&] { status->diskResponding(destination, false); }, P::Behind, T::NotResponding},
          {[&] { status->diskResponding(destination, true); }, P::Protected}}},
        {"a change is pending while the engine has work",
         {{[&] { status->changeNoted(Paths::PathKey(file)); }, P::Pending},
          {[&] { status->engineIdle(); }, P::Protected}}},
        {"copies the engine no longer retries leave the count once it is idle",
         {{[&] { failed(file, cantCreateFolders); }, P::Behind, T::Failing, 1},
          {[&] { stillWaiting = false; }, P::Behind, T::Failing, 1},
          {[&] { status->engineIdle(); }, P::Protected}}},
        {"results about the file alone leave the destination fine; the source's drive does not",
         {{[&] { failed(file, sourceFileMissing); }, P::Protected},
          {[&] { failed(file, sourceVolumeMismatch); }, P::SourceMissing},
          {[&] { copied(file); }, P::Protected}}},
        {"the pause comes before what the destinations show, and goes",
         {{[&] { failed(file, diskFull); }, P::Behind, T::Full, 1},
          {[&] { pause(true); }, P::Paused, T::Full, 1},
          {[&] { pause(false); }, P::Behind, T::Full, 1}}},
        {"the model comes first: missing source, disabled, no destination",
         {{[&] { status->changeNoted(Paths::PathKey(file)); }, P::Pending},
          {[&] { pause(true); }, P::Paused},
          {[&] { state->destinations->Remove(1); }, P::NoDestination},
          {[&] { association->Enabled = false; }, P::Disabled},
          {[&] {
               QFile::remove(file);
               status->associationsChanged();
           },
           P::SourceMissing}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        home.writeFile("Docs/a.txt", "a");
        startOver();
        EXPECT_EQ(now().protection, P::Protected);
        for (size_t i = 0; i < scenario.steps.size(); ++i) {
            SCOPED_TRACE(i);
            const Step& step = scenario.steps[i];
            step.act();
            const AssociationState got = now();
            EXPECT_EQ(got.protection, step.protection);
            if (got.destinations.empty())
                continue;
            EXPECT_EQ(got.destinations[0].trouble, step.trouble);
            EXPECT_EQ(got.destinations[0].filesWaiting, step.waiting);
        }
    }
}

// Which trouble a refusal means is read off the mount table, never off the disk itself.
TEST_F(ProtectionStatusTest, TheMountTableTellsAnotherDiskAndAReadOnlyOneApart) {
    const auto otherDisk = ScratchMount::tmpfs(1024);
    SKIP_UNLESS_MOUNTED(otherDisk);
    const auto readOnly = ScratchMount::readOnlyBind(home.makeFolder("ro"));
    SKIP_UNLESS_MOUNTED(readOnly);
    state->destinations->Remove(1);
    destination = otherDisk->mountPoint() + "/backup";
    startOver();
    status->diskChecked(destination, CheckFailure::DestVolumeMismatch);
    EXPECT_EQ(now().destinations.at(0).trouble, T::OtherDisk);

    state->destinations->Remove(1);
    destination = readOnly->mountPoint();
    startOver();
    status->diskChecked(destination, CheckFailure::None);
    EXPECT_EQ(now().protection, P::Behind);
    EXPECT_EQ(now().destinations.at(0).trouble, T::ReadOnly);
    failed(file, ResultText::copyError);
    EXPECT_EQ(now().destinations.at(0).trouble, T::ReadOnly);
    EXPECT_EQ(now().destinations.at(0).filesWaiting, 1);
}

TEST_F(ProtectionStatusTest, AStateThatLastsIsSaidOncePerTime) {
    // What is so at the first look has lasted since the last run: said at once.
    state->destinations->Remove(1);
    status->refresh();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].summary, "Nothing is backed up");
    EXPECT_EQ(notices[0].body, Paths::displayName(file) + " has no destination.");
    status->refresh();
    EXPECT_EQ(notices.size(), 1u) << "said again";

    startOver();
    status->refresh();
    pause(true);
    later(59 * 60);
    status->refresh();
    EXPECT_TRUE(notices.empty()) << "a pause is said after an hour";
    later(2 * 60);
    status->refresh();
    later(3600);
    status->refresh();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].summary, "Quillmot is paused");
    EXPECT_TRUE(notices[0].body.startsWith("It has been paused for 1 h."))
        << notices[0].body.toStdString();

    startOver();
    pause(true);
    status->pauseRestored();
    status->refresh();
    ASSERT_EQ(notices.size(), 1u) << "a pause brought back from the last run is said at once";
    EXPECT_TRUE(notices[0].body.startsWith("It was paused when it last ended."))
        << notices[0].body.toStdString();

    startOver();
    clock.current = QDateTime(QDate(2026, 3, 14), QTime(10, 20, 30));
    status->refresh();
    failed(file, ResultText::diskFull);
    later(23 * 3600);
    status->refresh();
    EXPECT_TRUE(notices.empty());
    later(3600);
    status->refresh();
    status->refresh();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].summary, "A backup is behind");
    EXPECT_EQ(notices[0].body,
              Paths::displayName(file) + ": BACKUP_B: full since 14 Mar 10:20, 1 file waiting");
}

// Many associations are looked at a slice at a time: what the look finds takes effect at its
// end, for the whole set, and a set changed meanwhile is looked at again.
TEST_F(ProtectionStatusTest, ALookInSlicesSaysWhatLastsForTheWholeSetOnce) {
    state->destinations->Remove(1);
    const auto add = [&](const QString& name) {
        const QString path = home.writeFile("Docs/" + name, "x");
        state->backups
            ->Add(newAssociation(path, false, association->Volume, DateTimeText::never,
                                 state->destinations),
                  Paths::PathKey(path))
            ->Enabled = true;
    };
    add("c.txt");
    ProtectionStatus::Timing oneAtATime;
    oneAtATime.sliceMs = 0;
    status = std::make_unique<ProtectionStatus>(*state, oneAtATime);
    QObject::connect(status.get(), &ProtectionStatus::lastingState,
                     [this](const QString& summary, const QString& body) {
                         notices.push_back({summary, body});
                     });
    QSignalSpy changed(status.get(), &ProtectionStatus::changed);
    status->refreshInSlices();
    EXPECT_EQ(changed.count(), 0) << "a look of three associations took one slice";
    add("d.txt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->tally().noDestination == 3; }, 5000));
    EXPECT_EQ(changed.count(), 1);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].body.count('\n'), 2) << notices[0].body.toStdString();
}

TEST(ProtectionTexts, TimesReadAsPeopleSayThem) {
    const QDateTime now(QDate(2026, 3, 14), QTime(10, 20, 30));
    struct Case {
        qint64 secsBefore;
        const char* ago;
        const char* moment;
    };
    for (const Case& c :
         std::initializer_list<Case>{{20, "just now", "10:20"},
                                     {150, "2 min ago", "10:18"},
                                     {3 * 3600, "3 h ago", "07:20"},
                                     {26 * 3600, "1 day ago", "13 Mar 08:20"},
                                     {400 * 86400, "400 days ago", "7 Feb 2025 10:20"}}) {
        const QDateTime then = now.addSecs(-c.secsBefore);
        EXPECT_EQ(ProtectionTexts::ago(then, now), c.ago);
        EXPECT_EQ(ProtectionTexts::moment(then, now), c.moment);
    }
    EXPECT_EQ(ProtectionTexts::ago({}, now), "Never");
}

TEST_F(ProtectionStatusTest, TheTrayTheTreeAndTheStatusCommandSayTheSame) {
    const QDateTime at = clock.current;
    copied(file);
    later(120);
    status->refresh();
    std::vector<AssociationState> states = status->all();
    EXPECT_EQ(ProtectionTexts::trayLook(status->tally(), false), TrayLook::Normal);
    EXPECT_EQ(ProtectionTexts::trayToolTip(status->tally(), false, {}, clock.current),
              "Quillmot - Autobackup Software\nAll 1 backed up \u2014 last copy 2 min ago");
    EXPECT_EQ(ProtectionTexts::destinationsToolTip(states[0], clock.current),
              "BACKUP_B: ok, last copy 2 min ago");
    EXPECT_TRUE(StatusCommand::everythingProtected(states, false));

    status->diskChecked(destination, CheckFailure::DestDriveMissing);
    failed(other, ResultText::destDriveMissing);
    later(3 * 86400);
    status->refresh();
    states = status->all();
    EXPECT_EQ(ProtectionTexts::trayLook(status->tally(), false), TrayLook::Warning);
    EXPECT_EQ(ProtectionTexts::trayLook(status->tally(), true), TrayLook::PausedWarning);
    EXPECT_EQ(ProtectionTexts::trayToolTip(status->tally(), false, {}, clock.current),
              "Quillmot - Autobackup Software\n1 behind: BACKUP_B not connected for 3 days");
    const QString line = Paths::displayName(file) +
                         ": behind, last backup 3 days ago; BACKUP_B: not connected since 14 Mar "
                         "10:22, 1 file waiting";
    EXPECT_EQ(ProtectionTexts::statusLine(states[0], clock.current), line);

    // The running program's answer, as the command prints it.
    const auto printed =
        StatusCommand::print(true, StatusCommand::answer(states, false, clock.current));
    EXPECT_EQ(printed.lines, QStringList{line});
    EXPECT_EQ(printed.exitCode, StatusCommand::notProtectedExit);
    EXPECT_EQ(StatusCommand::print(true, QByteArray("unknown request")).exitCode,
              StatusCommand::notProtectedExit);
    pause(true);
    EXPECT_EQ(
        ProtectionTexts::trayToolTip(status->tally(), true, at, clock.current).section('\n', 1, 1),
        "Paused for 3 days");
    EXPECT_FALSE(StatusCommand::everythingProtected({}, false)) << "nothing is set up";
}

// Fed by the real engine and its workers: a copy sets the last backup, an unplugged disk shows
// without waiting for a save, its return clears it, and the pause shows.
TEST_F(ProtectionStatusTest, TheEngineFeedsItAndAnUnpluggedDiskShowsWithoutASave) {
    auto usb = ScratchMount::ext4("QMBACKUP", 8);
    SKIP_UNLESS_MOUNTED(usb);
    state->destinations->Remove(1);
    destination = usb->mountPoint() + "/backup";
    state->destinations->Add(destination, file, "QMBACKUP");
    Engine engine(*state);
    Lifecycle lifecycle(*state, engine);
    startOver();
    StatusFeed feed(*state, engine, lifecycle, *status);
    engine.CreateDetectFolder(file, false);
    engine.StartWatchTimer();
    feed.checkDisks();
    const auto reaches = [&](Protection protection) {
        return QTest::qWaitFor([&] { return now().protection == protection; }, 10000);
    };

    home.writeFile("Docs/a.txt", "saved");
    ASSERT_TRUE(QTest::qWaitFor([&] { return now().lastBackup.isValid(); }, 10000));
    EXPECT_TRUE(reaches(P::Protected));
    EXPECT_TRUE(QFile::exists(destination + "/Docs/a.txt"));

    ASSERT_TRUE(usb->unmount());
    ASSERT_TRUE(reaches(P::Behind));
    EXPECT_EQ(now().destinations.at(0).trouble, T::NotConnected);
    EXPECT_EQ(now().destinations.at(0).filesWaiting, 0);

    ASSERT_TRUE(usb->remount());
    EXPECT_TRUE(reaches(P::Protected));
    // Paused while nothing is copied, so that the pause asks nothing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.busy(); }, 10000));
    lifecycle.togglePause();
    EXPECT_EQ(now().protection, P::Paused);
    engine.closeAllWatches();
}
