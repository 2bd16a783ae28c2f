// Destination work on the disks' own workers: a disk that does not answer holds up nothing but
// its own copies and the exit not at all; a file saved again while its copy waits is copied once,
// in its newest state; a copy that failed is tried again until it gets through.

#include "EngineFixture.h"

#include "engine/CatchUp.h"
#include "engine/RetryList.h"
#include "platform/DestinationFolder.h"
#include "support/FileStat.h"
#include "support/Mounts.h"

#include <QProcess>
#include <QSignalSpy>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace {

// Copies onto the disk `hung` do not come back until released, whatever they are asked, as on a
// share whose server stopped answering.
class HangingDisk : public FileSystem {
public:
    std::optional<dev_t> hung;
    CopyResult stageCopy(const QString& source, const DestinationFolder& folder,
                         const QString& name, StagedCopy& staged,
                         const std::function<bool()>& between) override {
        struct stat st {};
        if (hung && ::fstat(folder.descriptor(), &st) == 0 && st.st_dev == *hung) {
            std::unique_lock lock(m_mutex);
            ++m_waiting;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_released; });
        }
        return FileSystem::stageCopy(source, folder, name, staged, between);
    }
    void release() {
        const std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    bool waiting() {
        const std::lock_guard lock(m_mutex);
        return m_waiting > 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
    int m_waiting = 0;
};

class HungDestinationTest : public RunningEngineFixture {
protected:
    HangingDisk* disk = own(new HangingDisk);
    std::unique_ptr<ScratchMount> other;
    QString file, healthy, hung;

    void SetUp() override {
        other = ScratchMount::tmpfs(1024);
        SKIP_UNLESS_MOUNTED(other);
        RunningEngineFixture::SetUp();
        file = write("src/Docs/a.txt", "saved");
        addAssociation(file, false);
        hung = other->mountPoint() + "/backup";
        healthy = folder("backup");
        disk->hung = statOf(other->mountPoint()).st_dev;
        state->destinations->Add(hung, file, volumeOf(other->mountPoint()));
        state->destinations->Add(healthy, file, volumeOf(healthy));
    }
    void TearDown() override {
        if (disk)
            disk->release();
        RunningEngineFixture::TearDown();
    }
};

TEST_F(HungDestinationTest, TheOtherDiskIsServedAndTheHungOneIsToldAndRecovers) {
    QSignalSpy responding(&engine->workers(), &DestinationWorkers::respondingChanged);
    engine->CopyToDestinations(file, 1, file);
    ASSERT_TRUE(waitFor([&] { return readWholeFile(healthy + "/Docs/a.txt") == "saved"; }));
    ASSERT_TRUE(waitFor([&] { return responding.count() == 1; }));
    EXPECT_EQ(responding[0][1].toBool(), false);
    EXPECT_TRUE(engine->busy()) << "its copy still waits";

    disk->release();
    ASSERT_TRUE(waitFor([&] { return !engine->busy(); }));
    EXPECT_EQ(readWholeFile(hung + "/Docs/a.txt"), "saved");
    ASSERT_EQ(responding.count(), 2);
    EXPECT_EQ(responding[1][1].toBool(), true);
    QStringList said;
    for (const auto& entry : *state->recent)
        said << entry->Message;
    EXPECT_EQ(said.filter("responding").size(), 2) << said.join(", ").toStdString();
}

TEST_F(HungDestinationTest, TheExitEndsInTimeWhateverTheHungDiskDoes) {
    engine->CopyToDestinations(file, 1, file);
    ASSERT_TRUE(waitFor([&] { return disk->waiting(); }));
    QElapsedTimer exit;
    exit.start();
    engine->beginExit();
    ASSERT_TRUE(waitFor([&] { return state->TimerStopped; }));
    EXPECT_LT(exit.elapsed(), timing.exitGraceMs + timing.exitCancelMs + 1000);
    EXPECT_TRUE(engine->leftStuckWorkers());
    EXPECT_FALSE(QFileInfo::exists(hung + "/Docs/a.txt"));
}

// A save waiting for its copy is replaced, in its place, by the newer one of the same file.
// Small saves are copied together; a big one among them waits for a batch of its own and the
// saves after it wait behind it, so that none is lost and their order is kept.
TEST_F(CopyFixture, WaitingSavesAreCopiedOnceEachInTheirOrderTheNewestOfAFileOnly) {
    const QString source = folder("src/Docs");
    addAssociation(source, true, false, 3);
    const QString dst = folder("dst");
    addDestination(source, dst);
    const QString a = write("src/Docs/a.txt", "first");
    const QString b = write("src/Docs/b.txt", "b");
    const QString big = write("src/Docs/big.bin", QByteArray((64 << 20) + 1, 'x'));
    const QString c = write("src/Docs/c.txt", "c");
    QSignalSpy finished(engine.get(), &CopyEngine::callFinished);
    workers->setHeld(true);
    engine->CopyToDestinations(source, 1, a);
    engine->CopyToDestinations(source, 1, b);
    write("src/Docs/a.txt", "second"); // saved again while its first copy waits before b's
    for (const QString& file : {a, big, c})
        engine->CopyToDestinations(source, 1, file);
    workers->setHeld(false);
    settle();

    EXPECT_EQ(finished.count(), 5) << "every change hears its end";
    QStringList copied;
    for (const auto& entry : *state->recent)
        copied << Paths::fileName(entry->SourcePath) + ": " + entry->Message;
    EXPECT_EQ(copied, QStringList({"a.txt: Success: Copy saved", "b.txt: Success: Copy saved",
                                   "big.bin: Success: Copy saved", "c.txt: Success: Copy saved"}));
    EXPECT_EQ(readWholeFile(dst + "/Docs/a.txt"), "second");
    EXPECT_FALSE(QFileInfo::exists(dst + "/Docs/PrevSave-1")) << "no version of a copy never made";
    EXPECT_EQ(QFileInfo(dst + "/Docs/big.bin").size(), (64 << 20) + 1);
}

TEST(RetryRules, AFailedCopyWaitsLongerAfterEachFailureUntilItGetsThrough) {
    RetryList retries({100, 350});
    const RetryList::Copy copy{"/src", "/src/a", "/dst", "Error occurred in copy"};
    retries.failed(copy, 0);
    EXPECT_EQ(retries.nextDueMs(), 100);
    EXPECT_TRUE(retries.takeDue(99).empty());
    ASSERT_EQ(retries.takeDue(100).size(), 1u);
    EXPECT_FALSE(retries.nextDueMs()) << "taken, waiting for its try";
    EXPECT_EQ(retries.lastResult("/src/a", "/dst"), "Error occurred in copy");
    retries.failed(copy, 100);
    EXPECT_EQ(retries.nextDueMs(), 300);
    retries.takeDue(300);
    retries.failed(copy, 300);
    EXPECT_EQ(retries.nextDueMs(), 650) << "up to the longest wait";
    retries.allDue(400);
    EXPECT_EQ(retries.nextDueMs(), 400) << "a mount makes it due at once";
    retries.succeeded("/src/a", "/dst");
    EXPECT_TRUE(retries.empty());
}

class RetryTest : public CopyFixture {
protected:
    QString file, dst;
    void SetUp() override {
        timing.retryFirstMs = 30;
        timing.retryMaxMs = 60;
        CopyFixture::SetUp();
        file = write("src/Docs/a.txt", "a");
        addAssociation(file, false);
    }
};

TEST_F(RetryTest, AFailedCopyIsTriedAgainAndSaysSoOnlyWhenItGetsThrough) {
    dst = folder("dst");
    addDestination(file, dst);
    // A folder where the copy should go: each try fails the same way, and says so once.
    folder("dst/Docs/a.txt");
    copy(file, file);
    ASSERT_TRUE(waitFor([&] { return logged().size() == 1; }));
    EXPECT_EQ(logged(), QStringList{"Error occurred in copy"});
    QDir(dst + "/Docs/a.txt").removeRecursively();
    ASSERT_TRUE(waitFor([&] { return logged().size() == 2; }));
    EXPECT_EQ(logged().last(), "Success: Copy saved");
    EXPECT_EQ(readWholeFile(dst + "/Docs/a.txt"), "a");
}

TEST_F(StateFixture, ADiskMadeWritableAgainGetsTheFailedCopyAtItsNextMount) {
    const auto disk = ScratchMount::ext4("QMRETRY", 8);
    SKIP_UNLESS_MOUNTED(disk);
    Engine engine(*state, timing); // failed copies wait an hour: only the mount brings them
    engine.StartWatchTimer();
    const QString file = write("src/Docs/a.txt", "a");
    addAssociation(file, false);
    const QString mp = disk->mountPoint();
    state->destinations->Add(mp + "/backup", file, "QMRETRY");
    const auto remount = [&](const char* how) {
        return QProcess::execute("mount", {"-o", QString("remount,") + how, mp}) == 0;
    };
    const auto logged = [&] { return int(state->recent->Count()); };
    ASSERT_TRUE(remount("ro"));
    engine.CopyToDestinations(file, 1, file);
    ASSERT_TRUE(waitFor([&] { return logged() == 1; }));
    EXPECT_EQ(state->recent->Item(1)->Message, "Error: Can't create destination folders");
    ASSERT_TRUE(remount("rw"));
    ASSERT_TRUE(waitFor([&] { return logged() == 2; }));
    EXPECT_EQ(state->recent->Item(2)->Message, "Success: Copy saved");
    EXPECT_EQ(readWholeFile(mp + "/backup/Docs/a.txt"), "a");
}

// A source folder made private after its first backup: its mirror follows at once, so that no
// copy in it is more readable on the backup disk than at the source.
TEST_F(RunningEngineFixture, AMirroredFolderFollowsItsSourceFolderWhenItBecomesPrivate) {
    const QString docs = folder("docs");
    write("docs/sub/a.txt", "a");
    addAssociation(docs, true, true);
    const QString backup = folder("backup");
    state->destinations->Add(backup, docs, volumeOf(backup));
    engine->CreateDetectFolder(docs, true);
    engine->catchUp().requestAll();
    ASSERT_TRUE(waitFor([&] { return readWholeFile(backup + "/docs/sub/a.txt") == "a"; }));
    ASSERT_EQ(::chmod(native(docs + "/sub"), 0700), 0);
    ASSERT_EQ(::chmod(native(docs), 0750), 0);
    EXPECT_TRUE(waitFor([&] { return modeOf(backup + "/docs/sub") == 0700; }));
    EXPECT_TRUE(waitFor([&] { return (modeOf(backup + "/docs") & 0007) == 0; }));
}

} // namespace
