// The real program, started hidden on the offscreen platform with a prepared configuration
// folder: it stops in order on SIGTERM, rewrites what it read byte for byte, remembers whether it
// was paused, and stays a single instance.

#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Two associations (one on a drive without a label: NUL NUL) and three destinations, one an
// orphan, as a user's store would hold them.
const QByteArray Associations = QByteArray("/home/ann/Docs\r\n"
                                           "HOMEDISK\r\n"
                                           "14.03.2026 10:20:30\r\n"
                                           "Never\r\n"
                                           "Never\r\n"
                                           "1\r\n1\r\n1\r\n3\r\n1\r\n0\r\n1\r\n1\r\n"
                                           "/home/ann/notes.txt\r\n") +
                                QByteArray("\0\0\r\n", 4) +
                                QByteArray("14.03.2026 10:21:00\r\n"
                                           "15.03.2026 08:00:00\r\n"
                                           "Never\r\n"
                                           "0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n0\r\n1\r\n");
const QByteArray Destinations = "/media/ann/BACKUP/docs\r\n/home/ann/Docs\r\nBACKUP\r\n"
                                "/media/ann/USB\r\n/home/ann/notes.txt\r\n\r\n"
                                "/srv/old\r\n/home/ann/gone.txt\r\nOLD\r\n";

struct ProgramFixture : ::testing::Test {
    TempHome home;
    QString appData() const { return home.appDataFolder(); }
    void prepareStore() {
        home.writeFile(".config/Quillmot/usrdatab", Associations);
        home.writeFile(".config/Quillmot/usrdatad", Destinations);
    }
};

} // namespace

TEST_F(ProgramFixture, SigtermExitsInOrderAndRewritesTheStoreUnchanged) {
    prepareStore();
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({"nowin"}));
    ASSERT_TRUE(run.waitUntilListening());
    QThread::msleep(300); // let start-up finish loading

    qint64 elapsed = 0;
    ASSERT_TRUE(run.terminate(2000, &elapsed)) << "still running 2 s after SIGTERM";
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_EQ(readWholeFile(appData() + "/usrdatab"), Associations);
    EXPECT_EQ(readWholeFile(appData() + "/usrdatad"), Destinations);
    EXPECT_EQ(readWholeFile(appData() + "/pprefs"), QByteArray("0\r\n"));
    EXPECT_FALSE(QFile::exists(appData() + "/usrdatabTEMP"));
    // A hidden run whose window was never opened leaves the window preferences alone.
    EXPECT_FALSE(QFile::exists(appData() + "/wprefs"));
}

TEST_F(ProgramFixture, APausedProgramStartsPausedAndStoresItAgain) {
    prepareStore();
    home.writeFile(".config/Quillmot/pprefs", "1\r\n");
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({"NOWIN"}));
    ASSERT_TRUE(run.waitUntilListening());
    QThread::msleep(300);
    ASSERT_TRUE(run.terminate(2000));
    EXPECT_EQ(readWholeFile(appData() + "/pprefs"), QByteArray("1\r\n"));
    EXPECT_EQ(readWholeFile(appData() + "/usrdatab"), Associations);
}

TEST_F(ProgramFixture, SecondStartEndsAtOnceAndBringsTheFirstWindowUp) {
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({"nowin"}));
    ASSERT_TRUE(run.waitUntilListening());

    qint64 elapsed = 0;
    EXPECT_EQ(run.runSecondInstance(5000, &elapsed), 0);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(run.process().state(), QProcess::Running);

    // The first instance showed and activated its window, so its exit writes the window
    // preferences, which a never-opened window does not.
    QThread::msleep(300);
    ASSERT_TRUE(run.terminate(2000));
    EXPECT_TRUE(QFile::exists(appData() + "/wprefs"));
}

TEST_F(ProgramFixture, StartsWithoutAnyConfigurationAndCreatesItsFolder) {
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start({}));
    ASSERT_TRUE(run.waitUntilListening());
    QThread::msleep(300);
    ASSERT_TRUE(run.terminate(2000));
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_EQ(readWholeFile(appData() + "/usrdatab"), QByteArray());
    EXPECT_EQ(readWholeFile(appData() + "/pprefs"), QByteArray("0\r\n"));
}
