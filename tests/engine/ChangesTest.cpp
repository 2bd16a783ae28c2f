// From a change to its copy: when a changed file counts as ready (the settle rules, by the
// clock), which associations a watched change reaches, and what events cannot name (a folder
// moved in, lost events) found by a walk.

#include "EngineFixture.h"

#include "engine/SettleQueue.h"
#include "platform/DestinationFolder.h"
#include "platform/OwnTemporaryNames.h"
#include "support/FileStat.h"

#include <QDir>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace {

// A file time of 2001: a walk that goes by the times takes no such file for a recent change.
constexpr qint64 LongAgoNs = 1000000000 * NsPerSecond;

TEST(SettleRules, AFileIsReadyOnceItsWriterClosedItAndItStayedQuietOrAfterALongQuiet) {
    using E = FileEvent;
    struct Event {
        qint64 at;
        E event;
    };
    struct Case {
        const char* what;
        std::vector<Event> events;
        qint64 readyAt; // the first moment it is handed out
    };
    // Settle 100, quiet 1000.
    const std::vector<Case> cases = {
        {"closed", {{0, E::Closed}}, 100},
        {"written, never closed", {{0, E::Written}}, 1000},
        {"written then closed", {{0, E::Written}, {50, E::Closed}}, 150},
        {"closed, opened again and written", {{0, E::Closed}, {60, E::Written}}, 1060},
        {"truncated, closed, written and closed",
         {{0, E::Closed}, {90, E::Written}, {95, E::Closed}},
         195},
        {"touched after a close", {{0, E::Closed}, {80, E::Touched}}, 180},
        {"touched while written", {{0, E::Written}, {80, E::Touched}}, 1080},
        {"only touched", {{0, E::Touched}}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettleQueue queue({100, 1000});
        for (const Event& e : c.events)
            queue.noteEvent("/f", e.event, e.at);
        EXPECT_EQ(queue.nextDueMs(), c.readyAt);
        EXPECT_TRUE(queue.takeReady(c.readyAt - 1).empty());
        EXPECT_EQ(queue.takeReady(c.readyAt), std::vector<QString>{"/f"});
        EXPECT_TRUE(queue.empty());
    }

    // Found by a walk: counted from the file's own time, never before now.
    SettleQueue queue({100, 1000});
    queue.noteFound("/old", -500, 0);
    queue.noteFound("/recent", -40, 0);
    queue.noteFound("/future", 900, 0);
    EXPECT_EQ(queue.takeReady(0), std::vector<QString>{"/old"});
    EXPECT_EQ(queue.takeReady(60), std::vector<QString>{"/recent"});
    EXPECT_EQ(queue.takeReady(100), std::vector<QString>{"/future"});
    // Once handed out, a file that changes again comes back as a new change.
    queue.noteEvent("/old", E::Closed, 200);
    EXPECT_EQ(queue.takeReady(300), std::vector<QString>{"/old"});
}

class WatchedChangesTest : public WatchFixture {
protected:
    std::shared_ptr<clsBackup> folderAssociation;
    void SetUp() override {
        WatchFixture::SetUp();
        folderAssociation = addAssociation(docs, true, true);
    }
    // Who a copy was asked for: "source-name: file-name", sorted.
    QStringList takeCopies() {
        QStringList calls;
        for (const auto& call : engine->copies)
            calls << Paths::fileName(call.sourceRoot) + ": " + Paths::fileName(call.filePath);
        engine->copies.clear();
        calls.sort();
        return calls;
    }
};

TEST_F(WatchedChangesTest, ASavedFileIsCopiedOnceForEachAssociationThatHoldsIt) {
    const QString report = write("docs/report.txt", "v0");
    addAssociation(report, false);
    folder("docs/.cache");
    folder("docs/sub");
    engine->CreateDetectFolder(report, false);
    engine->CreateDetectFolder(docs, true);

    write("docs/report.txt", "v1, saved in three writes");
    write("docs/.hidden", "h");
    write("docs/.cache/c", "c");
    write("docs/sub/deep.txt", "d");
    write("docs/" + OwnTemporaryNames::fresh(), "ours");
    write("docs/.quillmot-zz9.tmp", "the user's own, named like ours");
    ::mkfifo(QFile::encodeName(docs + "/pipe").constData(), 0600);
    ASSERT_TRUE(QFile::link(home.path() + "/gone", docs + "/dangling")); // backed up as a link
    ASSERT_TRUE(awaitCopies(4));
    EXPECT_EQ(takeCopies(), QStringList({"docs: dangling", "docs: deep.txt", "docs: report.txt",
                                         "report.txt: report.txt"}));

    // Hidden files when they are wanted; nothing below a folder that is not recursive.
    folderAssociation->CopyHidden = true;
    folderAssociation->Recursive = false;
    engine->CreateDetectFolder(docs, false);
    write("docs/.hidden", "h2");
    write("docs/.quillmot-zz9.tmp", "the user's, changed");
    write("docs/sub/deep.txt", "d2");
    ASSERT_TRUE(awaitCopies(2));
    EXPECT_EQ(takeCopies(), QStringList({"docs: .hidden", "docs: .quillmot-zz9.tmp"}));
}

TEST_F(WatchedChangesTest, AFileStillOpenForWritingWaitsForItsWriterOrForALongQuiet) {
    watchDocs();
    const QString log = docs + "/app.log";
    QFile writer(log);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
    writer.write("line 1\n");
    writer.flush();
    // Closed files settle and are copied meanwhile; the open one is not.
    write("docs/closed.txt", "c");
    ASSERT_TRUE(waitFor([&] { return engine->copies.size() == 1; }));
    EXPECT_EQ(takeCopies(), QStringList{"docs: closed.txt"});
    // Left open and quiet, it is copied once its quiet time is over.
    ASSERT_TRUE(awaitCopies(1));
    EXPECT_EQ(takeCopies(), QStringList{"docs: app.log"});
    writer.close();
}

TEST_F(WatchedChangesTest, WhatEventsCannotNameIsWalked) {
    for (const QString& file :
         {write("elsewhere/album/2019/a.jpg", "a"), write("elsewhere/album/b.jpg", "b"),
          write("elsewhere/album/.thumbs/c.jpg", "c"), write("docs/untouched.txt", "u")})
        ASSERT_TRUE(setModifiedNs(file, LongAgoNs));
    watchDocs();

    // A folder moved in: every file in it is new, whatever its time.
    ASSERT_TRUE(QDir().rename(home.path() + "/elsewhere/album", docs + "/album"));
    ASSERT_TRUE(awaitCopies(2));
    EXPECT_EQ(takeCopies(), QStringList({"docs: a.jpg", "docs: b.jpg"}));

    // Lost events: the times tell which files changed since the watch was last served.
    state->watches->setMaxPendingPaths(3);
    watchDocs();
    for (int i = 0; i < 6; ++i)
        write(QStringLiteral("docs/new%1.txt").arg(i), "n");
    ASSERT_TRUE(awaitCopies(6));
    const QStringList copied = takeCopies();
    EXPECT_EQ(copied.size(), 6) << copied.join(", ").toStdString();
    EXPECT_FALSE(copied.contains("docs: untouched.txt"));
}

// An unpacked archive names thousands of files at once; served a few at a time between other
// events, each is still copied exactly once.
TEST_F(WatchedChangesTest, ABulkArrivalServedInSlicesCopiesEachFileOnce) {
    engine.reset();
    timing.turnSliceMs = 0; // one change, one walk step or one copy per turn
    engine = std::make_unique<RecordingEngine>(*state, timing);
    engine->StartWatchTimer();
    watchDocs();
    write("elsewhere/moved/a.txt", "a");
    write("elsewhere/moved/b.txt", "b");
    QStringList expected{"docs: a.txt", "docs: b.txt"};
    for (int i = 0; i < 300; ++i) {
        write(QStringLiteral("docs/f%1.txt").arg(i), "n");
        expected << QStringLiteral("docs: f%1.txt").arg(i);
    }
    ASSERT_TRUE(QDir().rename(home.path() + "/elsewhere/moved", docs + "/moved"));
    ASSERT_TRUE(awaitCopies(302, 20000));
    expected.sort();
    EXPECT_EQ(takeCopies(), expected);
}

// Past the system's watch limit a folder changes without a word: each change elsewhere, and a
// look at regular times, find what changed in it, whatever the file's own time says.
TEST_F(WatchedChangesTest, FoldersPastTheWatchLimitAreLookedThroughForAnyChange) {
    const QString deep = folder("docs/deep");
    const QString old = write("docs/deep/old.txt", "before");
    state->watches->setWatchFault([&](const QString& path) { return path == deep ? ENOSPC : 0; });
    watchDocs();
    ASSERT_EQ(state->watches->unwatchedFolders(record(docs)->AutoBackup), QStringList{deep});
    write("docs/first.txt", "a change that makes the first look");
    ASSERT_TRUE(awaitCopies(1));
    EXPECT_EQ(takeCopies(), QStringList({"docs: first.txt"})) << "the first look only keeps";

    // Saved with its old time kept, in the folder no watch covers; then a change elsewhere.
    write("docs/deep/old.txt", "after, with the same old time");
    ASSERT_TRUE(setModifiedNs(old, LongAgoNs));
    write("docs/deep/new.txt", "new");
    write("docs/second.txt", "a change elsewhere");
    ASSERT_TRUE(awaitCopies(3));
    EXPECT_EQ(takeCopies(), QStringList({"docs: new.txt", "docs: old.txt", "docs: second.txt"}));

    // With no other change, the regular look finds it.
    write("docs/deep/alone.txt", "saved alone");
    ASSERT_TRUE(awaitCopies(1, 10000));
    EXPECT_EQ(takeCopies(), QStringList({"docs: alone.txt"}));
}

// Whole copies with real writers, real copies and kept versions.
class WholeCopiesTest : public StateFixture {
protected:
    QString file, backup;
    std::unique_ptr<Engine> engine;
    void start(FileSystem* fso = nullptr) {
        if (fso)
            own(fso);
        // A pause of the writer well inside the settle time, whatever the machine's load.
        timing.settleMs = 1000;
        timing.quietMs = 3000;
        // The log is counted below: a flush slowed by the load must not add "does not answer".
        timing.stallMs = 60000;
        StateFixture::SetUp();
        file = write("docs/notes.txt", "v1");
        addAssociation(file, false, false, 3);
        backup = folder("backup");
        state->destinations->Add(backup, file, volumeOf(backup));
        engine = std::make_unique<Engine>(*state, timing);
        engine->StartWatchTimer();
        engine->CreateDetectFolder(file, false);
        engine->CopyToDestinations(file, 1, file);
        ASSERT_TRUE(copied("v1"));
    }
    void SetUp() override {}
    void TearDown() override { engine.reset(); }
    bool copied(const QByteArray& content) {
        return waitFor([&] { return readWholeFile(copy()) == content && !engine->busy(); }, 10000);
    }
    QString copy() const { return backup + "/docs/notes.txt"; }
    QByteArray version(int k) const {
        return readWholeFile(backup + "/docs/PrevSave-" + QByteArray::number(k) + "/notes.txt");
    }
};

TEST_F(WholeCopiesTest, AWriterThatPausesOrWritesSlowlyLeavesOneWholeCopyAndTheRealVersions) {
    start();
    // The writer works on a thread of its own while the engine serves its events.
    const auto writing = [&](const std::function<void()>& writer) {
        std::atomic<bool> finished = false;
        std::thread thread([&] {
            writer();
            finished = true;
        });
        EXPECT_TRUE(waitFor([&] { return finished.load(); }, 10000));
        thread.join();
    };
    // Truncated and closed, then opened again after a pause and written.
    writing([&] {
        QFile(file).open(QIODevice::WriteOnly | QIODevice::Truncate);
        QThread::msleep(100);
        write("docs/notes.txt", "v2, whole");
    });
    ASSERT_TRUE(copied("v2, whole"));
    // Written slowly, in pieces, and closed only at the end.
    writing([&] {
        QFile slow(file);
        if (!slow.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        for (int piece = 0; piece < 5; ++piece) {
            slow.write("piece;");
            slow.flush();
            QThread::msleep(100);
        }
    });
    ASSERT_TRUE(copied("piece;piece;piece;piece;piece;"));
    EXPECT_EQ(version(1), "v2, whole");
    EXPECT_EQ(version(2), "v1") << "a torn or empty copy pushed a real version out";
    EXPECT_EQ(state->recent->Count(), 3);
}

// The writer commits again while its file is being copied, within one tick of the file times'
// clock: size and time stay the same, and only the event tells.
class CommitDuringCopy : public FileSystem {
public:
    QString source;
    std::atomic<bool> done = false;
    CopyResult stageCopy(const QString& from, const DestinationFolder& folder, const QString& name,
                         StagedCopy& staged, const std::function<bool()>& between) override {
        const CopyResult result = FileSystem::stageCopy(from, folder, name, staged, between);
        if (from == source && !done.exchange(true)) {
            struct stat st {};
            ::stat(QFile::encodeName(from).constData(), &st);
            QFile f(from);
            if (f.open(QIODevice::ReadWrite)) {
                f.write("V3");
                f.close();
            }
            const timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(AT_FDCWD, QFile::encodeName(from).constData(), times, 0);
        }
        return result;
    }
};

TEST_F(WholeCopiesTest, AChangeAfterTheCopyBeganIsCopiedAgainWhateverItsSizeAndTime) {
    auto* fso = new CommitDuringCopy;
    start(fso);
    fso->source = file;
    fso->done = false;
    write("docs/notes.txt", "v2");
    ASSERT_TRUE(copied("V3"));
    EXPECT_EQ(version(1), "v2");
}

} // namespace
