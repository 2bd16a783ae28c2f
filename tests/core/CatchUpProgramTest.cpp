// The real program catching up: what changed while it was stopped, what was saved while it was
// starting, and what was saved while the destination disk was unplugged reach the destination
// soon after the start and after the disk is mounted again.

#include "ProgramStore.h"
#include "support/Mounts.h"
#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QElapsedTimer>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// How soon a catch-up must have reached the destinations.
constexpr int CatchUpLimitMs = 15000;

// Waits until every file below `source` named in `relative` has a copy with its content below
// `dest`.
bool copiesArrive(const QString& source, const QString& dest, const QStringList& relative,
                  int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            for (const QString& r : relative)
                if (readWholeFile(dest + "/" + r) != readWholeFile(source + "/" + r))
                    return false;
            return true;
        },
        timeoutMs);
}

} // namespace

TEST(CatchUpProgram, ChangesMadeWhileStoppedOrWhileStartingArriveSoonAfterTheStart) {
    TempHome home;
    const QString docs = home.makeFolder("docs");
    const QString backup = home.path() + "/backup";
    home.writeFile("docs/keep.txt", "unchanged");
    home.writeFile("docs/grow.txt", "short");
    writeStore(home, {{docs, {backup}}});
    {
        ProgramRun first(home.path());
        ASSERT_TRUE(first.start());
        ASSERT_TRUE(
            copiesArrive(home.path(), backup, {"docs/keep.txt", "docs/grow.txt"}, CatchUpLimitMs));
        ASSERT_TRUE(first.terminate(5000));
    }

    // While the program is stopped; which files count as changed is the catch-up's own rule.
    home.writeFile("docs/grow.txt", "a longer text");
    home.writeFile("docs/new/new.txt", "new");

    ProgramRun second(home.path());
    QElapsedTimer sinceStart;
    sinceStart.start();
    second.launch();
    home.writeFile("docs/while-starting.txt", "saved while the program starts");
    ASSERT_TRUE(copiesArrive(home.path(), backup,
                             {"docs/grow.txt", "docs/new/new.txt", "docs/while-starting.txt"},
                             CatchUpLimitMs - int(sinceStart.elapsed())))
        << second.output().toStdString();
    ASSERT_TRUE(second.terminate(5000));
    EXPECT_FALSE(second.output().contains("keep.txt")) << second.output().toStdString();
}

TEST(CatchUpProgram, FilesSavedWhileTheDestinationDiskWasAwayArriveSoonAfterItsMount) {
    const auto disk = ScratchMount::ext4("QMDEST", 8);
    SKIP_UNLESS_MOUNTED(disk);
    TempHome home;
    const QString docs = home.makeFolder("docs");
    const QString notes = home.makeFolder("notes");
    const QString backup = disk->mountPoint() + "/backup";
    const QString notesBackup = home.path() + "/notes-backup";
    home.writeFile("docs/a.txt", "first");
    writeStore(home, {{docs, {backup}}, {notes, {notesBackup}}});
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(copiesArrive(docs, backup + "/docs", {"a.txt"}, CatchUpLimitMs));

    // Held still while the disk goes and the saves are made, so that it sees them together: the
    // saves of the docs are refused, and the notes' pass after them, in the same tick, is still
    // settling when the disk comes back under the mount id, device and place it had before.
    ASSERT_EQ(::kill(pid_t(run.process.processId()), SIGSTOP), 0);
    const bool away = disk->unmount();
    home.writeFile("docs/a.txt", "changed while the disk was away");
    home.writeFile("docs/b.txt", "saved while the disk was away");
    home.writeFile("notes/n.txt", "saved beside");
    ASSERT_EQ(::kill(pid_t(run.process.processId()), SIGCONT), 0);
    ASSERT_TRUE(away);
    // The watch saw the saves, and the copy found another disk in the disk's place.
    ASSERT_TRUE(run.waitForOutput("Error: Destination volume name mismatch", 10000))
        << run.output().toStdString();

    ASSERT_TRUE(disk->remount());
    EXPECT_TRUE(copiesArrive(docs, backup + "/docs", {"a.txt", "b.txt"}, CatchUpLimitMs))
        << run.output().toStdString();
    EXPECT_TRUE(copiesArrive(notes, notesBackup + "/notes", {"n.txt"}, CatchUpLimitMs));
    ASSERT_TRUE(run.terminate(5000));
}
