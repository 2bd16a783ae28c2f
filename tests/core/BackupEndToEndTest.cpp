// The real program, hidden on the offscreen platform, backing up for real: a saved file reaches
// every destination of its association with the same content, time and permissions, and each
// result is printed on standard output as one line, which nobody has to read.

#include "ProgramStore.h"
#include "support/FileStat.h"
#include "support/Mounts.h"
#include "support/ProgramRun.h"
#include "support/TempHome.h"

#include <QDir>
#include <QLocalSocket>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// How soon a save must have reached its destinations.
constexpr int CopyLimitMs = 10000;
// How soon a save must reach a healthy destination while another destination hangs: the settle
// time and the copy, with room for a loaded machine.
constexpr int HungShareCopyLimitMs = 5000;

void expectSameTimeAndMode(const QString& a, const QString& b) {
    EXPECT_EQ(modifiedNs(a), modifiedNs(b)) << b.toStdString();
    EXPECT_EQ(modeOf(a), modeOf(b)) << b.toStdString();
}

bool arrives(const QString& copy, const QByteArray& content) {
    return QTest::qWaitFor([&] { return readWholeFile(copy) == content; }, CopyLimitMs);
}

struct BackupEndToEnd : ::testing::Test {
    TempHome home;
    QString docs = home.makeFolder("Docs");
    QString backup = home.path() + "/Backup";
    ProgramRun run{home.path()};
    // Starts the program watching `associations`, by default Docs backed up to Backup.
    void start(const QList<StoredAssociation>& associations) {
        writeStore(home, associations);
        ASSERT_TRUE(run.start({"nowin"}));
    }
    void start() { start({{docs, {backup}}}); }
};

} // namespace

// Each result is one line of its own, also for a name made to look like a second result (a
// newline, then what a result line says): it is printed escaped.
TEST_F(BackupEndToEnd, SavedFilesReachBothDestinationsWithTimeAndPermissionsOneLineEach) {
    const QString notes = home.writeFile("Notes/todo.txt", "first\n");
    home.writeFile("Docs/sub/report.txt", "draft\n");
    const QString destA = home.path() + "/BackupA";
    const QString destB = home.path() + "/BackupB/deeper";
    ASSERT_NO_FATAL_FAILURE(start({{notes, {destA, destB}, false}, {docs, {destA, destB}}}));

    ::chmod(native(notes), 0640); // the copy must carry the new mode too
    home.writeFile("Notes/todo.txt", "second\n");
    const QString report = home.writeFile("Docs/sub/report.txt", "final version\n");
    const QString forged = "a\n01.01.2026 00:00:00  Success: Copy saved  x -> y\x1B[2K.txt";
    home.writeFile("Docs/" + forged, "x");

    for (const QString& dest : {destA, destB}) {
        const QString noteCopy = dest + "/Notes/todo.txt";
        const QString reportCopy = dest + "/Docs/sub/report.txt";
        ASSERT_TRUE(arrives(noteCopy, "second\n"));
        ASSERT_TRUE(arrives(reportCopy, "final version\n"));
        ASSERT_TRUE(arrives(dest + "/Docs/" + forged, "x"));
        expectSameTimeAndMode(notes, noteCopy);
        expectSameTimeAndMode(report, reportCopy);
    }

    ASSERT_TRUE(run.terminate(5000));
    const QStringList lines = QString::fromUtf8(run.output()).split('\n', Qt::SkipEmptyParts);
    const QString out = lines.join('\n');
    EXPECT_EQ(lines.filter("Success: Copy saved").size(), 6) << out.toStdString();
    EXPECT_EQ(lines.filter(destA + "/Notes").size(), 1) << out.toStdString();
    EXPECT_EQ(lines.filter(destB + "/Docs/sub").size(), 1) << out.toStdString();
    EXPECT_EQ(lines
                  .filter(docs + "/a\\n01.01.2026 00:00:00  Success: Copy saved  x -> "
                                 "y\\x1B[2K.txt -> ")
                  .size(),
              2)
        << out.toStdString();
    // Nothing of Quillmot's own temporary files is left in a destination.
    for (const QString& dest : {destA + "/Notes", destB + "/Docs/sub"})
        EXPECT_EQ(QDir(dest).entryList(QDir::Files | QDir::Hidden).size(), 1) << dest.toStdString();
}

// "quillmot nowin | head -1": once nobody reads its output, the program goes on backing up.
TEST_F(BackupEndToEnd, AStandardOutputNobodyReadsDoesNotStopTheBackups) {
    writeStore(home, {{docs, {backup}}});
    QProcess head;
    run.process.setStandardOutputProcess(&head);
    head.start("head", {"-n", "1"});
    run.launch();
    // head ends, closing the pipe, once it has read the first line: the watches are open.
    ASSERT_TRUE(head.waitForFinished(20000));
    for (const QByteArray content : {"first", "second"}) {
        home.writeFile("Docs/report.txt", content);
        ASSERT_TRUE(arrives(backup + "/Docs/report.txt", content)) << content.constData();
    }
    EXPECT_TRUE(run.terminate(5000));
}

// A share whose server stopped answering (a laptop that left the home network) holds up only
// its own copies: the local destination still gets each save, and SIGTERM still ends the program.
// A thread stuck in a call that the share's client has taken can be ended by nothing but the
// answer, and it keeps the process, and everything the process holds, until then: the end shows
// as the single-instance socket refusing, so that a new start can run.
TEST_F(BackupEndToEnd, AStoppedShareServerLeavesTheLocalDestinationServedAndTheExitQuick) {
    SshfsShare share;
    if (share.mountPoint().isEmpty())
        GTEST_SKIP() << share.refusal();
    const QString remote = share.mountPoint() + "/Backup";
    ASSERT_NO_FATAL_FAILURE(start({{docs, {remote, backup}}}));
    home.writeFile("Docs/a.txt", "first\n");
    for (const QString& dest : {backup, remote})
        ASSERT_TRUE(arrives(dest + "/Docs/a.txt", "first\n")) << dest.toStdString();

    ASSERT_TRUE(share.stopServer()) << share.refusal();
    for (const QByteArray content : {"second\n", "third\n"}) {
        home.writeFile("Docs/a.txt", content);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return readWholeFile(backup + "/Docs/a.txt") == content; }, HungShareCopyLimitMs))
            << content.toStdString();
    }
    ::kill(pid_t(run.process.processId()), SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QLocalSocket instance;
            instance.connectToServer(run.socketPath());
            return !instance.waitForConnected(100);
        },
        5000));
    EXPECT_TRUE(share.continueServer()) << share.refusal();
    EXPECT_TRUE(run.process.waitForFinished(10000));
    EXPECT_EQ(run.process.exitCode(), 0);
}
