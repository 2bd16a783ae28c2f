// The real program, started hidden on the offscreen platform with a prepared configuration
// folder: it stops in order on SIGTERM and SIGHUP, rewrites what it read, remembers whether it
// was paused, keeps its files to its user, stays a single instance, and says through
// `quillmot status` whether everything is backed up.

#include "ProgramStore.h"
#include "platform/Paths.h"
#include "support/FileStat.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Two associations (one on a drive without a label: NUL NUL) and three destinations, one an
// orphan, as a user's store would hold them. The sources are not on this computer: the tree shows
// them missing, and the store is rewritten with them disabled.
QByteArray associations(bool docsEnabled) {
    return crlfLines({"/home/ann/Docs", "HOMEDISK", "14.03.2026 10:20:30", "Never", "Never", "1",
                      docsEnabled ? "1" : "0", "1", "3", "1", "0", "1", "1"}) +
           crlfLines({"/home/ann/notes.txt", "\0\0"_L1, "14.03.2026 10:21:00",
                      "15.03.2026 08:00:00", "Never", "0", "0", "0", "0", "0", "1", "0", "1"});
}
const QByteArray Associations = associations(true);
const QByteArray Destinations =
    crlfLines({"/media/ann/BACKUP/docs", "/home/ann/Docs", "BACKUP", "/media/ann/USB",
               "/home/ann/notes.txt", "", "/srv/old", "/home/ann/gone.txt", "OLD"});

struct ProgramFixture : ::testing::Test {
    TempHome home;
    QByteArray stored(const QString& name) const {
        return readWholeFile(home.appDataFolder() + "/" + name);
    }
};

} // namespace

// kill and log-off (SIGTERM), and a closed terminal (SIGHUP).
TEST_F(ProgramFixture, SigtermAndSighupExitInOrderAndRewriteTheStoreAndThePauseStateUnchanged) {
    home.writeAppData("usrdatab", Associations);
    home.writeAppData("usrdatad", Destinations);
    for (const auto& [signal, paused] : {std::pair{SIGTERM, false}, std::pair{SIGHUP, true}}) {
        if (paused)
            home.writeAppData("pprefs", "1\r\n");
        ProgramRun run(home.path());
        ASSERT_TRUE(run.start({paused ? "NOWIN" : "nowin"}));
        ASSERT_TRUE(run.terminate(2000, signal)) << "did not exit in order on signal " << signal;
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), 0);
        EXPECT_EQ(stored("usrdatab"), associations(false));
        EXPECT_EQ(stored("usrdatad"), Destinations);
        EXPECT_EQ(stored("pprefs"), paused ? "1\r\n" : "0\r\n");
        EXPECT_FALSE(QFile::exists(home.appDataFolder() + "/usrdatabTEMP"));
        // A hidden run whose window was never opened leaves the window preferences alone.
        EXPECT_FALSE(QFile::exists(home.appDataFolder() + "/wprefs"));
    }
}

// `quillmot status` asks the running program and never starts one: one line per association,
// and an exit code that a monitor can act on. A plain second start shows the running program.
TEST_F(ProgramFixture, StatusAndASecondStartAskTheRunningProgramAndNeverStartAnother) {
    const QString docs = home.makeFolder("Docs"), notes = home.writeFile("notes.txt", "n");
    const QString backup = home.makeFolder("backup");
    writeStore(home, {{docs, {backup}}, {notes, {}, false}});
    home.writeAppData("pprefs", "1\r\n");
    QByteArray printed;
    {
        ProgramRun run(home.path());
        EXPECT_EQ(run.runSecondInstance(10000, {"status"}, &printed), 1);
        EXPECT_EQ(printed, "Quillmot is not running.\n");
        EXPECT_FALSE(QFile::exists(run.socketPath())) << "the status started the program";

        ASSERT_TRUE(run.start());
        EXPECT_EQ(run.runSecondInstance(10000, {"status"}, &printed), 1);
        const QList<QByteArray> lines = printed.split('\n');
        ASSERT_EQ(lines.size(), 4) << printed.toStdString();
        EXPECT_EQ(lines[0], "Paused: nothing is backed up until it is resumed.");
        EXPECT_TRUE(lines[1].startsWith(Paths::displayName(docs).toUtf8() +
                                        ": paused, last backup never; "))
            << lines[1].toStdString();
        EXPECT_EQ(lines[2],
                  Paths::displayName(notes).toUtf8() + ": no destination, last backup never");
        ASSERT_TRUE(run.terminate(5000));
    }
    writeStore(home, {{docs, {backup}}});
    home.writeAppData("pprefs", "0\r\n");
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start());
    // The first look through the sources may still be under way: pending, then protected.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return run.runSecondInstance(10000, {"status"}, &printed) == 0; }, 10000))
        << printed.toStdString();
    EXPECT_TRUE(
        printed.startsWith(Paths::displayName(docs).toUtf8() + ": protected, last backup never; "))
        << printed.toStdString();
    EXPECT_TRUE(printed.endsWith(": ok\n")) << printed.toStdString();

    // A start without a command shows the running program and ends at once; the window it
    // showed writes its preferences at the exit, which a never-opened window does not.
    EXPECT_EQ(run.runSecondInstance(3000), 0);
    EXPECT_EQ(run.process.state(), QProcess::Running);
    ASSERT_TRUE(run.terminate(5000));
    EXPECT_TRUE(QFile::exists(home.appDataFolder() + "/wprefs"));
}

// The instance name becomes a file name in the private runtime folder: anything but a plain name
// is refused before the program makes anything.
TEST_F(ProgramFixture, AnInstanceNameThatIsNotAPlainNameIsRefused) {
    for (const QString& name : QStringList{"../escaped", "a/b", "..", "", QString(65, u'n')}) {
        ProgramRun run(home.path());
        QProcessEnvironment env = run.process.processEnvironment();
        env.insert("QUILLMOT_INSTANCE_NAME", name);
        run.process.setProcessEnvironment(env);
        run.process.setProcessChannelMode(QProcess::SeparateChannels);
        run.launch();
        ASSERT_TRUE(run.process.waitForFinished(10000)) << "started with " << name.toStdString();
        EXPECT_EQ(run.process.exitCode(), 2);
        EXPECT_TRUE(run.process.readAllStandardError().contains(
            "QUILLMOT_INSTANCE_NAME must be a plain name"));
    }
    EXPECT_EQ(everything(home.path()), QStringList({".config", ".run"}));
}

// The store names every backed-up path and every destination: nobody else may read it, also when
// an older run left the folder open (0755) and its files readable (0644).
TEST_F(ProgramFixture, ItsFilesAreForItsUserAloneAlsoWhenAnOlderRunLeftThemOpen) {
    QString reason;
    const auto other = OtherUser::create(&reason);
    // A home and a configuration folder as open as a user's usually are.
    for (const QString& folder : {home.path(), home.path() + "/.config"})
        ::chmod(native(folder), 0755);
    const auto modes = [&] {
        QStringList found{QString(". %1").arg(modeOf(home.appDataFolder()), 0, 8)};
        QDirIterator it(home.appDataFolder(),
                        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            found << QString("%1 %2").arg(it.fileName()).arg(modeOf(path), 0, 8);
        }
        found.sort();
        return found.join(", ").toStdString();
    };
    const auto othersCannotRead = [&](const QString& name) {
        if (!other)
            return true;
        OtherUser::Acting acting(*other);
        return !QFile(home.appDataFolder() + "/" + name).open(QIODevice::ReadOnly);
    };

    // What an older run left.
    home.writeAppData("usrdatab", Associations);
    home.writeAppData("usrdatad", Destinations);
    home.writeAppData("sch/work.sch", Associations);
    home.writeAppData("sch/work.sch.dst", Destinations);
    for (const char* name : {"", "/sch"})
        ::chmod(native(home.appDataFolder() + name), 0755);
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start());
    EXPECT_EQ(modes(), ". 700, sch 700, usrdatab 600, usrdatad 600, work.sch 600, "
                       "work.sch.dst 600");
    EXPECT_TRUE(othersCannotRead("usrdatab"));
    ASSERT_TRUE(run.terminate(2000));
    EXPECT_EQ(modes(), ". 700, lastbackup 600, nprefs 600, pprefs 600, sch 700, usrdatab 600, "
                       "usrdatad 600, work.sch 600, work.sch.dst 600");

    // A first run makes them private.
    QDir(home.appDataFolder()).removeRecursively();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.terminate(2000));
    EXPECT_EQ(modes(), ". 700, lastbackup 600, nprefs 600, pprefs 600, usrdatab 600, usrdatad 600");
    EXPECT_TRUE(othersCannotRead("usrdatad"));
    if (!other)
        GTEST_SKIP() << "the modes hold; another user's reads were not tried: "
                     << reason.toStdString();
}
