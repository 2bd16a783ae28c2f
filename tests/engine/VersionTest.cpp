// Previous versions: how they rotate, what a failed copy or a blocked rotation leaves, and what a
// crash at any moment of a save leaves.

#include "EngineFixture.h"

#include "platform/DestinationFolder.h"
#include "support/FailingFlush.h"
#include "support/FileStat.h"
#include "support/Mounts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class VersionTest : public CopyFixture {
protected:
    FailingFlush* disk = own(new FailingFlush);
    QString file, dir;

    void SetUp() override {
        CopyFixture::SetUp();
        file = write("src/Docs/n.txt", "v1");
        addAssociation(file, false, false, 3);
        addDestination(file, folder("dst"));
        dir = home.path() + "/dst/Docs";
    }
    // Serves the association's destinations from `root` on instead.
    void moveDestinationTo(const QString& root) {
        state->destinations->Remove(1);
        addDestination(file, root);
        dir = root + "/Docs";
    }
    void copyVersion(const QByteArray& content) {
        write("src/Docs/n.txt", content);
        copy(file, file);
    }
    QString version(int k, const QString& base = "PrevSave") const {
        return dir + "/" + base + "-" + QString::number(k) + "/n.txt";
    }
    // The destination copy followed by its versions P-1 .. P-3.
    QList<QByteArray> copies(const QString& base = "PrevSave") {
        QList<QByteArray> all{readWholeFile(dir + "/n.txt")};
        for (int k = 1; k <= 3; ++k)
            all << readWholeFile(version(k, base));
        return all;
    }
};

TEST_F(VersionTest, FiveSavesRotateThroughThreeVersionsByMovingNotCopyingOnAFatDiskToo) {
    copy(file, file);
    EXPECT_EQ(logged(), QStringList{"Success: Copy saved"});
    EXPECT_EQ(notified(), QStringList{"Copy saved"});
    EXPECT_FALSE(QFileInfo::exists(dir + "/PrevSave-1"));

    for (const QByteArray v : {"v2", "v3", "v4"})
        copyVersion(v);
    EXPECT_EQ(copies(), QList<QByteArray>({"v4", "v3", "v2", "v1"}));
    const QList<ino_t> before = {inodeOf(dir + "/n.txt"), inodeOf(version(1)), inodeOf(version(2))};
    copyVersion("v5");
    EXPECT_EQ(copies(), QList<QByteArray>({"v5", "v4", "v3", "v2"}));
    // Each kept version is the very file it was, one place further up: a save copies only once.
    EXPECT_EQ(QList<ino_t>({inodeOf(version(1)), inodeOf(version(2)), inodeOf(version(3))}),
              before);
    EXPECT_EQ(everything(dir), QStringList({"PrevSave-1", "PrevSave-2", "PrevSave-3", "n.txt"}));
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
    EXPECT_EQ(notified().last(), "Copy saved && Previous version stored");

    // On a disk without hard links the old copy itself moves.
    const auto fat = ScratchMount::vfat("QMFAT", 8);
    if (!fat)
        GTEST_SKIP() << "rotation on a FAT disk left out: " << ScratchMount::refusal();
    moveDestinationTo(fat->mountPoint());
    for (const QByteArray v : {"v1", "v2", "v3", "v4", "v5"})
        copyVersion(v);
    EXPECT_EQ(copies(), QList<QByteArray>({"v5", "v4", "v3", "v2"}));
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
}

TEST_F(VersionTest, FailedCopiesLeaveTheCopyAndItsVersionsAsTheyWere) {
    const auto tiny = ScratchMount::tmpfs(256);
    if (tiny)
        moveDestinationTo(tiny->mountPoint());
    for (const QByteArray v : {"v1", "v2", "v3", "v4"})
        copyVersion(v);
    const auto expectAsTheyWere = [&] {
        EXPECT_EQ(copies(), QList<QByteArray>({"v4", "v3", "v2", "v1"}));
        EXPECT_EQ(everything(dir),
                  QStringList({"PrevSave-1", "PrevSave-2", "PrevSave-3", "n.txt"}));
    };

    // The flush fails, as a failing disk's does, or a full one's that tells only then.
    for (const int error : {EIO, ENOSPC}) {
        disk->failWith = error;
        copyVersion("lost");
    }
    disk->failWith = 0;
    EXPECT_EQ(logged().mid(4), QStringList({"Error occurred in copy", "Error: Disk is full"}));
    expectAsTheyWere();
    // Written to while it was read: thrown away without a result yet, to be copied once its
    // writer is done.
    bool written = false;
    disk->duringCopy = [&] {
        if (!std::exchange(written, true))
            write("src/Docs/n.txt", "v5 and more");
    };
    copyVersion("v5, half");
    disk->duringCopy = nullptr;
    EXPECT_EQ(logged().size(), 6);
    expectAsTheyWere();
    if (tiny) {
        copyVersion(QByteArray(512 * 1024, 'x'));
        EXPECT_EQ(logged().last(), "Error: Disk is full");
        EXPECT_EQ(notified().last(), "Error: Disk is full");
        expectAsTheyWere();
    }

    copyVersion("v5");
    EXPECT_EQ(copies(), QList<QByteArray>({"v5", "v4", "v3", "v2"}));
    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
}

// Saves that waited together are copied as one batch, flushed to the disk at once; a copy whose
// flush fails there fails alone, also where the whole disk is flushed for a batch of many.
TEST_F(VersionTest, ABatchOfSavesLandsTogetherAndAFailedFlushFailsItsCopyAlone) {
    for (const QByteArray v : {"v1", "v2"})
        copyVersion(v);
    QStringList files{file};
    const auto saveAll = [&] {
        const qsizetype before = logged().size();
        workers->setHeld(true);
        for (int i = 0; i < files.size(); ++i)
            engine->CopyToDestinations(files[i], i + 1, files[i]);
        workers->setHeld(false);
        settle();
        QStringList batch = logged().mid(before);
        batch.sort();
        return batch;
    };
    for (const qsizetype batchSize : {2, 20}) {
        SCOPED_TRACE(batchSize);
        while (files.size() < batchSize) {
            files << write(QString("src/Docs/m%1.txt").arg(files.size()), "other");
            addAssociation(files.last(), false);
            addDestination(files.last(), folder("dst"));
        }
        const QList<QByteArray> before = copies();
        write("src/Docs/n.txt", "lost");
        disk->failingSize = 4;
        disk->failWith = EIO;
        QStringList expected(batchSize - 1, "Success: Copy saved");
        expected.prepend("Error occurred in copy");
        EXPECT_EQ(saveAll(), expected);
        EXPECT_EQ(copies(), before);
        EXPECT_EQ(readWholeFile(dir + "/m1.txt"), "other");
        EXPECT_TRUE(everything(dir).filter(".quillmot").isEmpty()) << "no temporary file left";

        disk->failWith = 0;
        expected.front() = "Success: Copy saved & Previous version stored";
        expected.sort();
        EXPECT_EQ(saveAll(), expected);
        EXPECT_EQ(copies().mid(0, 2), QList<QByteArray>({"lost", before.front()}));
    }
}

TEST_F(VersionTest, AVersionThatCannotMoveFailsItsDestinationAloneAndReplacesNothing) {
    const QString other = folder("dst2");
    addDestination(file, other);
    for (const QByteArray v : {"v1", "v2", "v3"})
        copyVersion(v);
    write("dst/Docs/PrevSave-3", "in the way");
    const int popups = ui.popupShows;

    copyVersion("v4");
    EXPECT_EQ(logged().mid(6), QStringList({"Error: Previous version store unsuccessful",
                                            "Success: Copy saved & Previous version stored"}));
    EXPECT_EQ(notified().mid(6), QStringList({"Error: Previous version store unsuccessful",
                                              "Copy saved && Previous version stored"}));
    EXPECT_EQ(ui.animations.back(), UserInterface::Animation::Shrug);
    EXPECT_EQ(ui.popupShows, popups + 1);
    EXPECT_EQ(copies().mid(0, 3), QList<QByteArray>({"v3", "v2", "v1"}));
    EXPECT_EQ(everything(dir), QStringList({"PrevSave-1", "PrevSave-2", "PrevSave-3", "n.txt"}));
    EXPECT_EQ(readWholeFile(other + "/Docs/n.txt"), "v4");

    state->options.ErrorPrevSave = false;
    copyVersion("v5");
    EXPECT_EQ(logged().at(8), "Error: Previous version store unsuccessful");
    EXPECT_EQ(notified().mid(8), QStringList{"Copy saved && Previous version stored"});
}

TEST_F(VersionTest, AFirstVersionFolderThatCannotBeMadeStillSavesTheCopy) {
    copy(file, file);
    write("dst/Docs/PrevSave-1", "not a folder");
    copyVersion("v2");

    EXPECT_EQ(readWholeFile(dir + "/n.txt"), "v2");
    EXPECT_EQ(readWholeFile(dir + "/PrevSave-1"), "not a folder");
    EXPECT_EQ(logged().last(), "Success: Copy saved... Error: Previous version store unsuccesful");
    EXPECT_EQ(notified().last(), "Copy saved... Error: Previous version store unsuccessful");
    EXPECT_EQ(ui.animations.back(), UserInterface::Animation::Shrug);

    state->options.ErrorPrevSave = false;
    copyVersion("v3");
    EXPECT_EQ(notified().last(), "Copy saved");
}

// A link is backed up as its target text, with versions like a file's, and never read through.
TEST_F(VersionTest, ALinkIsKeptAsALinkWithItsVersions) {
    for (const char* target : {"first", "../elsewhere/second"}) {
        QFile::remove(file);
        ASSERT_EQ(::symlink(target, QFile::encodeName(file).constData()), 0);
        copy(file, file);
    }
    EXPECT_EQ(logged(), QStringList({"Success: Copy saved",
                                     "Success: Copy saved & Previous version stored"}));
    EXPECT_EQ(linkText(dir + "/n.txt"), "../elsewhere/second");
    EXPECT_EQ(linkText(version(1)), "first");
    EXPECT_EQ(state->fso->stamp(dir + "/n.txt"), state->fso->stamp(file));
}

TEST_F(VersionTest, AVersionNameThatWouldLeaveTheDestinationFallsBackToPrevSave) {
    copy(file, file);
    for (const QString name : {"../../escape", "sub/dir", ".", "..", ""}) {
        state->options.PrevSaveName = name;
        copyVersion(name.toUtf8() + "!");
    }
    EXPECT_EQ(readWholeFile(version(1)), "..!");
    EXPECT_EQ(everything(home.path()).filter("escape"), QStringList());
    EXPECT_EQ(everything(dir), QStringList({"PrevSave-1", "PrevSave-2", "PrevSave-3", "n.txt"}));
}

// A save is killed after each step that changes the destination in turn (the first one while
// the data is still being written); whatever it leaves, only the oldest version, which was due to
// go, may be missing, and the next save after the restart carries on from there. Alone, and as
// one of a batch that saves the same file into a second destination as well.
class VersionCrashTest : public VersionTest, public testing::WithParamInterface<bool> {
protected:
    // Runs the disk's side of one save in a child process that kills itself at `step` (0:
    // between the chunks of the copy); false when the save ended before it got there.
    bool saveKilledAt(int step) {
        const CopyJob job = DestinationCopy::makeJob(
            *state->backups->Item(1), *state->destinations->Item(1), file, file, "PrevSave");
        const pid_t child = ::fork();
        if (child == 0) {
            int steps = 0;
            CopySteps hooks;
            hooks.between = [&] {
                if (step == 0)
                    ::raise(SIGKILL);
                return true;
            };
            hooks.afterEachStep = [&] {
                if (++steps == step)
                    ::raise(SIGKILL);
            };
            if (GetParam()) {
                const CopyJob second =
                    DestinationCopy::makeJob(*state->backups->Item(1),
                                             *state->destinations->Item(2), file, file, "PrevSave");
                DestinationCopy::runBatch(*state->fso, {job, second}, hooks,
                                          [](size_t, const DestinationReport&) {});
            } else {
                DestinationCopy::run(*state->fso, job, hooks);
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    // v4 is the copy, v3, v2 and v1 its versions, in each destination; the source holds v5.
    void prepare() {
        for (const QString& root : GetParam() ? QStringList{"dst", "dst2"} : QStringList{"dst"}) {
            QDir(home.path() + "/" + root + "/Docs").removeRecursively();
            write(root + "/Docs/n.txt", "v4");
            for (int k = 1; k <= 3; ++k)
                write(root + "/Docs/PrevSave-" + QString::number(k) + "/n.txt",
                      "v" + QByteArray::number(4 - k));
        }
        write("src/Docs/n.txt", "v5");
    }
};

TEST_P(VersionCrashTest, AKillAtAnyStepLosesAtMostTheVersionDueToGo) {
    if (GetParam())
        addDestination(file, folder("dst2"));
    int step = 0;
    for (;; ++step) {
        SCOPED_TRACE(step);
        prepare();
        const bool killed = saveKilledAt(step);
        const QList<QByteArray> left = copies();
        EXPECT_TRUE(left[0] == "v4" || left[0] == "v5") << left[0].toStdString();
        for (const QByteArray kept : {"v4", "v3", "v2"})
            EXPECT_TRUE(left.contains(kept)) << kept.toStdString();

        // The restart: a fresh engine, and the next save.
        restartEngine();
        copyVersion("v6");
        QList<QByteArray> versions = copies().mid(1);
        versions.removeAll("");
        EXPECT_EQ(copies().first(), "v6");
        EXPECT_TRUE(versions.contains("v4") && versions.contains("v3"));
        EXPECT_TRUE(std::is_sorted(versions.rbegin(), versions.rend()) &&
                    std::adjacent_find(versions.begin(), versions.end()) == versions.end());
        EXPECT_EQ(everything(dir),
                  QStringList({"PrevSave-1", "PrevSave-2", "PrevSave-3", "n.txt"}));
        if (!killed)
            break;
    }
    // The data, the oldest version set aside, each of the two version moves, the old copy kept,
    // the new one in place; in a batch, for each of its two copies.
    EXPECT_EQ(step, GetParam() ? 13 : 7);
    // The version set aside goes once the copy is in place.
    EXPECT_EQ(everything(dir + "/PrevSave-3"), QStringList{"n.txt"});
}

INSTANTIATE_TEST_SUITE_P(AloneOrInABatch, VersionCrashTest, testing::Bool());

} // namespace
