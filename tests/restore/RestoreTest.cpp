// Restores of copies the engine made: every version of a file, a deleted file, a folder as it was
// at a time, a destination whose disk goes away, and input that must be refused without leaving
// anything half-written at the target.

#include "RestoreFixture.h"

#include "restore/SourceKeeper.h"
#include "support/FileStat.h"
#include "support/Mounts.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <gmock/gmock.h>

namespace {

class RestoreTest : public RestoreFixture {};

TEST_F(RestoreTest, EachVersionOfAFileSavedFiveTimesComesBackWithItsModeAndTime) {
    const QString file = write("src/Docs/a.txt", "");
    ASSERT_EQ(::chmod(Paths::toNative(file).constData(), 0600), 0); // private, kept so
    associate(file, false, 4, {dst, dst2});
    for (int i = 1; i <= 5; ++i)
        save(file, file, "save " + QByteArray::number(i));

    const FileCopies copies = copiesOf(file, file);
    ASSERT_EQ(copies.copies.size(), 10u);
    EXPECT_TRUE(copies.unplugged.empty());
    const QString target = folder("out");
    for (int k = 0; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const KeptCopy copy = copyOf(copies, dst2, k);
        EXPECT_EQ(copy.equalsSource, k == 0);
        const QString to = target + "/a-" + QString::number(k) + ".txt";
        const RestoreSummary done =
            RestoreRun::run(*state->fso, RestoreRun::toFile(setOf(file), file, copy, to, false));
        EXPECT_TRUE(done.ok()) << done.text().toStdString();
        EXPECT_EQ(bytesOf(to), "save " + QByteArray::number(5 - k));
        EXPECT_EQ(modifiedNs(to), copy.stamp.modifiedNs);
        EXPECT_EQ(modeOf(to), 0600u);
    }
    // Newest by time, or the newest no newer than the third save's time.
    EXPECT_EQ(RestoreCatalog::choose(copies.copies, {})->version, 0);
    const qint64 third = copyOf(copies, dst, 2).stamp.modifiedNs;
    EXPECT_EQ(RestoreCatalog::choose(copies.copies, {third, {}, {}})->stamp.modifiedNs, third);
    EXPECT_EQ(RestoreCatalog::choose(copies.copies, {{}, 3, dst2})->destination, dst2);
    EXPECT_EQ(RestoreCatalog::choose(copies.copies, {{}, 7, {}}), nullptr);
}

TEST_F(RestoreTest, TheFileAsItIsNowIsKeptAsAVersionBeforeItIsReplaced) {
    const QString file = write("src/Docs/a.txt", "");
    associate(file, false, 5, {dst, dst2});
    for (int i = 1; i <= 3; ++i)
        save(file, file, "save " + QByteArray::number(i));
    putBytes(file, "never saved"); // changed since its last copy

    const FileCopies before = copiesOf(file, file);
    RestoreSummary done = RestoreRun::run(
        *state->fso, RestoreRun::toSource(setOf(file), file, copyOf(before, dst, 2)));
    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(bytesOf(file), "save 1");
    const FileCopies after = copiesOf(file, file);
    for (const QString& d : {dst, dst2}) {
        EXPECT_EQ(bytesOf(copyOf(after, d, 0).path), "never saved");
        EXPECT_EQ(bytesOf(copyOf(after, d, 3).path), "save 1");
    }
    // Once the restored file is saved, its copies hold it: restoring again pushes no version out.
    copy(file, file);
    const FileCopies saved = copiesOf(file, file);
    done = RestoreRun::run(*state->fso,
                           RestoreRun::toSource(setOf(file), file, copyOf(saved, dst, 1)));
    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(bytesOf(file), "never saved");
    EXPECT_EQ(copiesOf(file, file).copies.size(), saved.copies.size());
    EXPECT_EQ(everything(Paths::parent(file)), QStringList{"a.txt"});
}

TEST_F(RestoreTest, ASaveUnderWayAndTheKeepBeforeARestoreRotateTheVersionsOnceEach) {
    const QString file = write("src/Docs/a.txt", "");
    associate(file, false, 3, {dst});
    save(file, file, "v1");
    save(file, file, "v2");
    KeptCopy older; // a copy from elsewhere, so that the rotation under way cannot move it
    older.base = folder("elsewhere");
    older.path = write("elsewhere/a.txt", "v0");
    older.destination = older.base;

    // The worker stops after the first step of the next save and waits to be let go.
    std::mutex mutex;
    std::condition_variable letGo;
    bool held = false, released = false;
    workers->afterEachStep = [&] {
        std::unique_lock lock(mutex);
        if (!held) {
            held = true;
            letGo.wait(lock, [&] { return released; });
        }
    };
    putBytes(file, "v3");
    engine->CopyToDestinations(file, state->backups->positionOf(file), file);
    ASSERT_TRUE(waitFor([&] {
        const std::lock_guard lock(mutex);
        return held;
    }));
    BackupSet set = setOf(file);
    const auto keeper = std::make_shared<WorkerKeeper>(*workers);
    std::atomic<bool> handedOver = false, restored = false;
    keeper->handedOver = [&] { handedOver = true; };
    set.keeper = keeper;
    RestoreSummary done;
    std::thread restore([&] {
        done = RestoreRun::run(*state->fso, RestoreRun::toSource(set, file, older));
        restored = true;
    });
    // The keep waits for the worker, or (wrongly) the restore went ahead without it.
    EXPECT_TRUE(waitFor([&] { return handedOver || restored; }));
    {
        const std::lock_guard lock(mutex);
        released = true;
    }
    letGo.notify_all();
    EXPECT_TRUE(waitFor([&] { return restored.load(); }));
    restore.join();
    settle();

    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(bytesOf(file), "v0");
    QByteArrayList kept;
    for (const KeptCopy& copy : copiesOf(file, file).copies)
        kept << bytesOf(copy.path);
    EXPECT_EQ(kept, (QByteArrayList{"v3", "v2", "v1"}));
}

TEST_F(RestoreTest, ADeletedFileAndItsFolderComeBackAndTheTreeMarksThemGone) {
    const QString docs = folder("src/Docs");
    associate(docs, true, 2, {dst, dst2});
    ASSERT_EQ(::chmod(Paths::toNative(folder("src/Docs/sub")).constData(), 0750), 0);
    save(docs, docs + "/a.txt", "a");
    save(docs, docs + "/sub/b.txt", "b");
    ASSERT_TRUE(QDir(docs + "/sub").removeRecursively());

    const BackedUpTree tree = RestoreCatalog::treeOf(*state->fso, setOf(docs));
    ASSERT_EQ(tree.files.size(), 2u);
    EXPECT_TRUE(tree.files[0].inSource);
    EXPECT_FALSE(tree.files[1].inSource);
    EXPECT_EQ(tree.files[1].copies.size(), 2u); // one in each destination
    const RestoreSummary done =
        RestoreRun::run(*state->fso, RestoreRun::toSource(setOf(docs), docs + "/sub/b.txt",
                                                          tree.files[1].copies[0]));
    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(bytesOf(docs + "/sub/b.txt"), "b");
    EXPECT_EQ(modeOf(docs + "/sub"), 0750u); // the bits its backup kept
}

TEST_F(RestoreTest, AFolderAsItWasAtATimeTakesEachFilesCopyOfThatTime) {
    const QString docs = folder("src/Docs");
    associate(docs, true, 3, {dst, dst2});
    const QDateTime t0(QDate(2026, 3, 1), QTime(10, 0));
    const QString odd = docs + "/sub/" + Paths::fromUtf8Bytes("caf\xE9 \xFF.txt");
    save(docs, docs + "/a.txt", "a1", t0);
    save(docs, odd, "odd1", t0.addSecs(600));
    save(docs, docs + "/a.txt", "a2", t0.addSecs(7200));
    save(docs, docs + "/c.txt", "c1", t0.addSecs(9000));
    save(docs, odd, "odd2", t0.addSecs(9600));

    const BackedUpTree tree = RestoreCatalog::treeOf(*state->fso, setOf(docs));
    const QString asOf = folder("asof");
    const CopyChoice then{t0.addSecs(3600).toMSecsSinceEpoch() * nsPerMs, {}, {}};
    RestoreSummary done =
        RestoreRun::run(*state->fso, RestoreRun::folderInto(setOf(docs), tree, then, asOf, false));
    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(done.restored, 2);
    EXPECT_EQ(bytesOf(asOf + "/a.txt"), "a1");
    EXPECT_EQ(bytesOf(asOf + "/sub/" + Paths::fromUtf8Bytes("caf\xE9 \xFF.txt")), "odd1");
    EXPECT_FALSE(QFile::exists(asOf + "/c.txt")); // not there yet at that time
    EXPECT_EQ(done.notes.size(), 1);

    const QString newest = folder("newest");
    done =
        RestoreRun::run(*state->fso, RestoreRun::folderInto(setOf(docs), tree, {}, newest, false));
    EXPECT_TRUE(done.ok()) << done.text().toStdString();
    EXPECT_EQ(everything(newest), QStringList({"a.txt", "c.txt", "sub"}));
    EXPECT_EQ(bytesOf(newest + "/a.txt"), "a2");
    EXPECT_EQ(bytesOf(newest + "/sub/" + Paths::fromUtf8Bytes("caf\xE9 \xFF.txt")), "odd2");
    EXPECT_EQ(modifiedNs(newest + "/c.txt"), t0.addSecs(9000).toMSecsSinceEpoch() * nsPerMs);
}

TEST_F(RestoreTest, ADiskUnpluggedDuringAFolderRestoreEndsItsFilesCleanly) {
    const auto disk = ScratchMount::ext4("QMRESTORE", 16);
    if (!disk)
        GTEST_SKIP() << ScratchMount::refusal();
    const QString docs = folder("src/Docs");
    associate(docs, true, 1, {disk->mountPoint()});
    for (const char* name : {"/a.txt", "/b.txt", "/c.txt"})
        save(docs, docs + name, QByteArray(100000, name[1]));
    const BackedUpTree tree = RestoreCatalog::treeOf(*state->fso, setOf(docs));
    ASSERT_EQ(tree.files.size(), 3u);

    const QString target = folder("out");
    bool unplugged = false;
    const RestoreSummary done =
        RestoreRun::run(*state->fso, RestoreRun::folderInto(setOf(docs), tree, {}, target, false),
                        [&](const RestoreProgress& progress) {
                            EXPECT_EQ(progress.totalBytes, 300000);
                            // Written, but named only once its data is on the disk.
                            EXPECT_FALSE(QFile::exists(target + "/a.txt"));
                            if (!unplugged)
                                unplugged = disk->unmount();
                        });
    ASSERT_TRUE(unplugged);
    EXPECT_EQ(done.restored, 1);
    ASSERT_EQ(done.failures.size(), 2u);
    EXPECT_THAT(done.text().toStdString(),
                ::testing::HasSubstr("went away during the restore (was it unplugged?)"));
    EXPECT_EQ(everything(target), QStringList{"a.txt"});

    const FileCopies copies = copiesOf(docs, docs + "/a.txt");
    EXPECT_TRUE(copies.copies.empty());
    ASSERT_EQ(copies.unplugged.size(), 1u);
    EXPECT_EQ(copies.unplugged[0].text(), "plug in QMRESTORE to see its copies");
}

// Each case gets its own file of one folder association and its own target folder.
TEST_F(RestoreTest, BadInputGetsAClearMessageAndLeavesNothingAtTheTarget) {
    const QString docs = folder("src/Docs");
    associate(docs, true, 2, {dst});
    const auto full = ScratchMount::tmpfs(64);
    struct Case {
        const char* name;
        QByteArray content;
        // Changes the world after the listing, and makes the request.
        std::function<RestoreRequest(const QString& file, const KeptCopy& copy, const QString& to)>
            request;
        const char* message;
        QStringList leftAtTarget;
    };
    const BackupSet set = setOf(docs);
    const std::vector<Case> cases = {
        {"vanished.txt",
         "v",
         [&](const QString& file, const KeptCopy& copy, const QString& to) {
             QFile::remove(copy.path);
             return RestoreRun::toFile(set, file, copy, to + "/v.txt", false);
         },
         "the copy in",
         {}},
        {"now-a-folder.txt",
         "f",
         [&](const QString& file, const KeptCopy& copy, const QString&) {
             QFile::remove(file);
             QDir().mkdir(file);
             return RestoreRun::toSource(set, file, copy);
         },
         "is a folder now",
         {}},
        {"inside.txt",
         "i",
         [&](const QString& file, const KeptCopy& copy, const QString&) {
             return RestoreRun::toFile(set, file, copy, dst + "/Docs/restored.txt", false);
         },
         "lies inside a backup",
         {}},
        {"there.txt",
         "new",
         [&](const QString& file, const KeptCopy& copy, const QString& to) {
             putBytes(to + "/there.txt", "mine");
             return RestoreRun::toFile(set, file, copy, to + "/there.txt", false);
         },
         "is there already",
         {"there.txt"}},
        {"linked.txt",
         "l",
         [&](const QString& file, const KeptCopy& copy, const QString& to) {
             QFile::link(folder("elsewhere"), to + "/sub");
             RestoreRequest r = RestoreRun::toFile(set, file, copy, to + "/x", false);
             r.items[0].targetRelative = QStringList{"sub", "linked.txt"};
             return r;
         },
         "a link stands in the target",
         {"sub"}},
        {"big.txt",
         QByteArray(256 * 1024, 'b'),
         [&](const QString& file, const KeptCopy& copy, const QString&) {
             return RestoreRun::toFile(set, file, copy, full->mountPoint() + "/big.txt", false);
         },
         "the target disk is full",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!full && QByteArray(c.name) == "big.txt")
            continue; // a tiny disk cannot be mounted here
        const QString file = docs + "/" + c.name;
        save(docs, file, c.content);
        const KeptCopy copy = copiesOf(docs, file).copies.at(0);
        const QString to = folder(QString("out-") + c.name);
        const RestoreSummary done = RestoreRun::run(*state->fso, c.request(file, copy, to));
        EXPECT_FALSE(done.ok());
        EXPECT_THAT(done.text().toStdString(), ::testing::HasSubstr(c.message));
        EXPECT_EQ(everything(to), c.leftAtTarget);
    }
    EXPECT_EQ(bytesOf(folder("out-there.txt") + "/there.txt"), "mine");
    EXPECT_TRUE(everything(folder("elsewhere")).isEmpty());
    EXPECT_TRUE(everything(docs + "/now-a-folder.txt").isEmpty());
    EXPECT_EQ(everything(dst + "/Docs").filter("restored").size() +
                  everything(dst + "/Docs").filter(".quillmot-").size(),
              0);
    if (!full)
        GTEST_SKIP() << "full-disk case left out: " << ScratchMount::refusal();
    EXPECT_TRUE(everything(full->mountPoint()).isEmpty());
}

} // namespace
