// What the start-up load of the association store could not take over is said in the activity
// log, once.

#include "platform/DetachedWork.h"
#include "platform/Paths.h"
#include "state/DetectRecords.h"
#include "support/GuiApp.h"
#include "support/LifecycleOverHome.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList record(const QString& path, const QString& versions = "3") {
    return (path + "|USB|1/2/2026 10:00:00|Never|Never|1|1|1|" + versions + "|1|0|1|1").split('|');
}

struct StoreLoadLog : LifecycleOverHome<SystemClock, ensureGuiApp> {
    QStringList logLines() const {
        QStringList lines;
        for (const auto& entry : *state.recent)
            lines << entry->Message + " | " + entry->SourcePath + " | " + entry->DestPath;
        return lines;
    }
};

} // namespace

TEST_F(StoreLoadLog, SkippedRecordsAndTheKeptFileAreEachLoggedOnce) {
    const QString a = home.makeFolder("a"), b = home.makeFolder("b");
    home.writeAppData("usrdatab",
                      crlfLines(record(a) + record("docs") + record(b, "70000") + record(b)));
    home.writeAppData("usrdatad", crlfLines({"", a, "", home.path() + "/dst", b, ""}));
    lifecycle.loadStores();

    EXPECT_EQ(state.backups->Count(), 2);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter("Source is not a full path").size(), 1);
    EXPECT_TRUE(lines.filter("Source is not a full path").first().contains("| docs |"));
    EXPECT_EQ(lines.filter("Destination is not a full path").size(), 1);
    EXPECT_EQ(lines.filter("kept as usrdatab.unread-").size(), 1);
    EXPECT_EQ(lines.filter("kept as usrdatad.unread-").size(), 1);
}

// A store from before these rules, or written by hand: the later of two associations that would
// back up into one place, or of a chain that would copy copies back into its sources, is set
// aside, and the user is told why, naming both.
TEST_F(StoreLoadLog, TheLaterOfTwoThatWouldMeetOrFeedEachOtherIsDisabled) {
    const QString x = home.makeFolder("X/Docs"), y = home.makeFolder("Y/Docs");
    const QString docs = home.makeFolder("h/Docs"), pics = home.makeFolder("h/Pics");
    const QString dst = home.makeFolder("dst");
    home.writeAppData("usrdatab", crlfLines(record(x) + record(y) + record(docs) + record(pics)));
    home.writeAppData("usrdatad", crlfLines({dst, x, "", dst, y, "", pics + "/in", docs, "",
                                             docs + "/in", pics, ""}));
    // Read as the start reads them: on a worker, the watches then opened one per slice.
    bool loaded = false;
    lifecycle.loadStoresInBackground([&] { loaded = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 10000));
    int slices = 1;
    while (!lifecycle.openLoadedWatches(QDeadlineTimer(0)))
        ++slices;
    EXPECT_EQ(slices, 4);

    QList<bool> enabled;
    for (const auto& association : *state.backups)
        enabled << association->Enabled;
    EXPECT_EQ(enabled, QList<bool>({true, false, true, false}));
    EXPECT_EQ(state.detectFolders->Item(Paths::PathKey(y))->AutoBackup, -1);
    // Why, in the words of the rules, and which one is set aside.
    ASSERT_EQ(lifecycle.refusedAtLoad.size(), 2);
    EXPECT_TRUE(lifecycle.refusedAtLoad[0].contains("would back up into the same place"));
    EXPECT_TRUE(lifecycle.refusedAtLoad[0].endsWith("\"" + y + "\" is disabled."));
    EXPECT_TRUE(lifecycle.refusedAtLoad[1].contains("copies would be copied without end"));
    EXPECT_TRUE(lifecycle.refusedAtLoad[1].endsWith("\"" + pics + "\" is disabled."));
    EXPECT_EQ(logLines().filter(" is disabled. | ").size(), 2);
}

// An exit while the start still reads the stores holds none of the user's associations: the
// close writes nothing over them, and the read that ends afterwards is not taken in.
TEST_F(StoreLoadLog, AnExitWhileTheStoresAreReadLeavesThemAsTheyWere) {
    const QString a = home.makeFolder("a");
    const QByteArray associations = crlfLines(record(a));
    const QByteArray destinations = crlfLines({home.path() + "/dst", a, ""});
    home.writeAppData("usrdatab", associations);
    home.writeAppData("usrdatad", destinations);
    home.writeAppData("pprefs", "1\r\n");
    bool loaded = false;
    lifecycle.loadStoresInBackground([&] { loaded = true; });
    QSignalSpy unload(&lifecycle, &Lifecycle::readyToUnload);
    lifecycle.requestExit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return unload.count() > 0; }, 5000));
    lifecycle.saveOnClose(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return DetachedWork::underWay() == 0; }, 10000));
    QCoreApplication::processEvents();

    EXPECT_FALSE(loaded);
    EXPECT_EQ(state.backups->Count(), 0);
    EXPECT_EQ(readWholeFile(home.appDataFolder() + "/usrdatab"), associations);
    EXPECT_EQ(readWholeFile(home.appDataFolder() + "/usrdatad"), destinations);
    // The pause the last run left is not the exit's to change either.
    EXPECT_EQ(readWholeFile(home.appDataFolder() + "/pprefs"), "1\r\n");
}
