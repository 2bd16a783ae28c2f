// Catch-up over real folders with real copies: what changed while nobody watched reaches the
// destinations whose copy is missing or stale, and nothing else is touched.

#include "engine/CatchUp.h"
#include "engine/DestinationWorkers.h"
#include "platform/OwnTemporaryNames.h"
#include "support/FileStat.h"
#include "support/Mounts.h"

#include "EngineFixture.h"

#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The real file system, except that the folders under `coarse` keep times in 2 s steps, as FAT
// does.
class CoarseTimesFs : public FileSystem {
public:
    QString coarse;
    qint64 modifiedTimeStepNs(const QString& path) const override {
        return !coarse.isEmpty() && path.startsWith(coarse) ? 2 * NsPerSecond
                                                            : FileSystem::modifiedTimeStepNs(path);
    }
};

class CatchUpTest : public RunningEngineFixture {
protected:
    QString docs, backup;

    void SetUp() override {
        // Files are written at the real time; the clock starts there so that their age is real.
        clock.current = QDateTime::currentDateTime();
        RunningEngineFixture::SetUp();
        docs = folder("docs");
        backup = home.path() + "/backup";
    }
    std::shared_ptr<clsBackup> backUp(const QString& source, const QStringList& destinations,
                                      bool isFolder = true) {
        const auto association = addAssociation(source, isFolder, isFolder);
        for (const QString& dest : destinations)
            state->destinations->Add(dest, source, volumeOf(home.path()));
        return association;
    }
    // An old file: long settled, and older than any copy.
    QString writeOld(const QString& relative, const QByteArray& content) {
        const QString path = write(relative, content);
        EXPECT_TRUE(setModifiedNs(path, (QDateTime::currentSecsSinceEpoch() - 3600) * NsPerSecond +
                                            123456789));
        return path;
    }
    // Waits until the catch-up and the copies it led to are done.
    void runCatchUp() {
        ASSERT_TRUE(waitFor([&] { return !engine->busy(); }, 10000));
    }
    void catchUpAll() {
        engine->catchUp().requestAll();
        runCatchUp();
    }
    // Lets the event loop bring the engine the news that the mount table changed.
    bool mountChangeSeen() {
        QSignalSpy changed(engine.get(), &Engine::mountsChanged);
        return changed.wait(5000);
    }
    // "file -> destination folder" for each result logged since the last call; the activity log
    // itself is trimmed, what the user interface was told is not.
    QStringList takeResults() {
        QStringList results;
        for (const clsRecent& entry : ui.logged)
            results << Paths::fileName(entry.SourcePath) + " -> " + entry.DestPath + ": " +
                           entry.Message;
        ui.logged.clear();
        results.sort();
        return results;
    }
    // The names of the files copied since the last call.
    QStringList takeCopied() {
        QStringList names;
        for (const clsRecent& entry : ui.logged)
            if (entry.Message.startsWith("Success"))
                names << Paths::fileName(entry.SourcePath);
        ui.logged.clear();
        names.sort();
        return names;
    }
};

} // namespace

TEST_F(CatchUpTest, RestartCopiesChangedNewAndSameSizeChangedFilesAndNothingElse) {
    const QString grown = writeOld("docs/grown.txt", "short");
    const QString same = writeOld("docs/sub/same.txt", "aaaa");
    const QString setBack = writeOld("docs/sub/set-back.txt", "four");
    writeOld("docs/sub/untouched.txt", "as it was");
    // Links are copied as links, and are then up to date like files.
    ASSERT_EQ(::symlink("grown.txt", QFile::encodeName(docs + "/to-grown").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(docs + "/sub/gone").constData()), 0);
    backUp(docs, {backup});
    catchUpAll();
    EXPECT_EQ(takeCopied(), QStringList({"gone", "grown.txt", "same.txt", "set-back.txt",
                                         "to-grown", "untouched.txt"}));
    const qint64 untouchedCopyChanged = changedNs(backup + "/docs/sub/untouched.txt");

    // While the program was stopped:
    write("docs/grown.txt", "a longer text");
    write("docs/sub/same.txt", "bbbb"); // same size, later time
    write("docs/sub/deeper/new.txt", "new");
    // Another size, its time set back to where it was: the size alone tells.
    const qint64 setBackTime = modifiedNs(setBack);
    write("docs/sub/set-back.txt", "five!");
    EXPECT_TRUE(setModifiedNs(setBack, setBackTime));
    catchUpAll();

    EXPECT_EQ(takeCopied(), QStringList({"grown.txt", "new.txt", "same.txt", "set-back.txt"}));
    EXPECT_EQ(readWholeFile(backup + "/docs/sub/set-back.txt"), "five!");
    EXPECT_EQ(readWholeFile(backup + "/docs/grown.txt"), "a longer text");
    EXPECT_EQ(readWholeFile(backup + "/docs/sub/same.txt"), "bbbb");
    EXPECT_EQ(readWholeFile(backup + "/docs/sub/deeper/new.txt"), "new");
    EXPECT_EQ(modifiedNs(backup + "/docs/sub/same.txt"), modifiedNs(same));
    EXPECT_EQ(changedNs(backup + "/docs/sub/untouched.txt"), untouchedCopyChanged);
    EXPECT_EQ(modifiedNs(backup + "/docs/grown.txt"), modifiedNs(grown));

    // Everything is up to date now: a further catch-up copies nothing.
    catchUpAll();
    EXPECT_TRUE(takeCopied().isEmpty());
}

TEST_F(CatchUpTest, AnUpToDateDestinationKeepsItsCopyAndPreviousVersionsUntouched) {
    const QString report = writeOld("docs/report.txt", "version 1");
    const QString first = home.path() + "/first";
    const auto association = backUp(docs, {first});
    association->KeepBackup = true;
    association->Versions = 3;
    catchUpAll();
    write("docs/report.txt", "version 2");
    catchUpAll();
    const QString firstPrevious = first + "/docs/PrevSave-1/report.txt";
    ASSERT_EQ(readWholeFile(firstPrevious), "version 1");
    const qint64 copyChanged = changedNs(first + "/docs/report.txt");
    const qint64 previousChanged = changedNs(firstPrevious);
    takeCopied();

    // A second destination joins; only it has something to catch up.
    state->destinations->Add(backup, docs, volumeOf(home.path()));
    catchUpAll();

    EXPECT_EQ(takeResults(),
              QStringList({"report.txt -> " + backup + "/docs: " + ResultText::logCopySaved}));
    EXPECT_EQ(readWholeFile(backup + "/docs/report.txt"), "version 2");
    EXPECT_EQ(changedNs(first + "/docs/report.txt"), copyChanged);
    EXPECT_EQ(changedNs(firstPrevious), previousChanged);
    EXPECT_FALSE(QFileInfo::exists(first + "/docs/PrevSave-2"));
    EXPECT_FALSE(QFileInfo::exists(backup + "/docs/PrevSave-1"));
    EXPECT_EQ(modifiedNs(backup + "/docs/report.txt"), modifiedNs(report));
}

// Its successes are only logged; its errors are notified as usual.
TEST_F(CatchUpTest, SkipsWhatAWalkSkipsNeverDeletesAndNotifiesOnlyErrors) {
    writeOld("docs/kept.txt", "k");
    writeOld("docs/blocked.txt", "b");
    // A folder where the copy should go: its copy fails.
    folder("backup/docs/blocked.txt");
    writeOld("docs/.hidden", "h");
    writeOld("docs/" + OwnTemporaryNames::fresh(), "t");
    writeOld("docs/draft.bak", "filtered");
    const QString elsewhere = folder("elsewhere");
    writeOld("elsewhere/outside.txt", "o");
    ASSERT_TRUE(QFile::link(elsewhere, docs + "/linked"));
    // The link's own time is old too: a fresh one is a change like any save, and notified so.
    const timespec old[2] = {{0, UTIME_OMIT}, {QDateTime::currentSecsSinceEpoch() - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(docs + "/linked").constData(), old, AT_SYMLINK_NOFOLLOW),
              0);
    const QString onlyInBackup = write("backup/docs/old-only.txt", "stays");
    state->options.UseFilters = true;
    state->options.FilterSuffixes = ".bak";
    backUp(docs, {backup});
    const QString notes = writeOld("notes/off.txt", "disabled");
    backUp(notes, {backup}, false)->Enabled = false;
    // A folder association that is not recursive leaves its sub-folders alone.
    writeOld("flat/top.txt", "t");
    writeOld("flat/sub/below.txt", "b");
    backUp(home.path() + "/flat", {backup})->Recursive = false;

    catchUpAll();

    const QString to = " -> " + backup + "/docs: ";
    EXPECT_EQ(takeResults(),
              QStringList({"blocked.txt" + to + ResultText::copyError,
                           "kept.txt" + to + ResultText::logCopySaved,
                           "linked" + to + ResultText::logCopySaved,
                           "top.txt -> " + backup + "/flat: " + ResultText::logCopySaved}));
    ASSERT_EQ(state->notifiers->Count(), 1);
    EXPECT_EQ(state->notifiers->Item(1)->Message, ResultText::copyError);
    EXPECT_GE(ui.popupShows, 1);
    EXPECT_FALSE(QFileInfo::exists(backup + "/flat/sub"));
    EXPECT_EQ(everything(backup + "/docs"),
              QStringList({"blocked.txt", "kept.txt", "linked", "old-only.txt"}));
    EXPECT_TRUE(QFileInfo(backup + "/docs/linked").isSymLink()) << "copied as a link, not entered";
    EXPECT_EQ(readWholeFile(onlyInBackup), "stays");
    EXPECT_FALSE(QFileInfo::exists(backup + "/notes"));
}

// Deep folders of long names: paths longer than the system takes whole, at the source and in the
// backup, are found, copied and then up to date.
TEST_F(CatchUpTest, PathsLongerThanTheSystemTakesWholeAreCaughtUp) {
    const QByteArray name(200, 'd');
    // The temporary home cannot remove such paths itself.
    const auto cleanUp = qScopeGuard([&] {
        removeTree(docs);
        removeTree(backup);
    });
    int fd = ::open(QFile::encodeName(docs).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QString deep = docs;
    for (int level = 0; level < 24 && fd >= 0; ++level) {
        ::mkdirat(fd, name.constData(), 0755);
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        deep += "/" + QString::fromLatin1(name);
    }
    ASSERT_GE(fd, 0);
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(fd);
    ASSERT_GT(deep.size(), 4096);
    backUp(docs, {backup});

    catchUpAll();
    EXPECT_EQ(takeCopied(), QStringList{"deep.txt"});
    const QString copy = backup + deep.mid(home.path().size()) + "/deep.txt";
    EXPECT_EQ(state->fso->stamp(copy), state->fso->stamp(deep + "/deep.txt"));
    catchUpAll();
    EXPECT_TRUE(takeCopied().isEmpty());
}

TEST_F(CatchUpTest, TimesWithinTheDestinationsStepCountAsTheSameOnARealFatDiskToo) {
    engine.reset();
    CoarseTimesFs* fs = own(new CoarseTimesFs);
    StateFixture::SetUp(); // again, with the coarse file system
    startEngine();
    const QString fat = home.path() + "/fat";
    fs->coarse = fat;
    // An odd second and most of the next: a FAT disk's time is nearly 2 s before it.
    const qint64 t = ((QDateTime::currentSecsSinceEpoch() - 3600) | 1) * NsPerSecond + 900'000'000;
    QStringList names;
    for (const char* name : {"floor.txt", "ahead.txt", "two.txt", "nano.txt"}) {
        EXPECT_TRUE(setModifiedNs(write(QString("docs/") + name, "1234"), t));
        names << name;
    }
    backUp(docs, {fat, backup});
    catchUpAll();
    takeCopied();

    // What a FAT disk keeps of the times, and a copy truly older on each disk.
    EXPECT_TRUE(setModifiedNs(fat + "/docs/floor.txt", t - 1'900'000'000));
    EXPECT_TRUE(setModifiedNs(fat + "/docs/ahead.txt", t + 1'500'000'000));
    EXPECT_TRUE(setModifiedNs(fat + "/docs/two.txt", t - 2 * NsPerSecond));
    EXPECT_TRUE(setModifiedNs(backup + "/docs/nano.txt", t - 1));
    catchUpAll();

    // Each goes to its stale destination only.
    EXPECT_EQ(takeResults(),
              QStringList({"nano.txt -> " + backup + "/docs: " + ResultText::logCopySaved,
                           "two.txt -> " + fat + "/docs: " + ResultText::logCopySaved}));

    // A real FAT disk keeps another time than the source's, and its copies are up to date.
    const auto disk = ScratchMount::vfat("QMFAT", 16);
    if (!disk)
        GTEST_SKIP() << "real FAT disk left out: " << ScratchMount::refusal();
    const QString onDisk = disk->mountPoint() + "/backup";
    state->destinations->Add(onDisk, docs, volumeOf(disk->mountPoint()));
    catchUpAll();
    names.sort();
    ASSERT_EQ(takeCopied(), names);
    ASSERT_NE(modifiedNs(onDisk + "/docs/two.txt"), modifiedNs(docs + "/two.txt"));
    catchUpAll();
    EXPECT_TRUE(takeCopied().isEmpty());
}

TEST_F(CatchUpTest, ADestinationDiskThatReturnsIsCaughtUpAndItsAbsenceIsNoError) {
    const auto disk = ScratchMount::ext4("QMBACK", 8);
    SKIP_UNLESS_MOUNTED(disk);
    const QString dest = disk->mountPoint() + "/backup";
    writeOld("docs/a.txt", "a");
    addAssociation(docs, true, true);
    state->destinations->Add(dest, docs, "QMBACK");
    catchUpAll();
    ASSERT_EQ(takeCopied(), QStringList({"a.txt"}));

    ASSERT_TRUE(disk->unmount());
    ASSERT_TRUE(mountChangeSeen());
    write("docs/a.txt", "a, changed while the disk was away");
    write("docs/b.txt", "b");
    catchUpAll();
    EXPECT_TRUE(takeResults().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dest)) << "written into the empty mount point";

    ASSERT_TRUE(disk->remount());
    ASSERT_TRUE(mountChangeSeen());
    runCatchUp();
    EXPECT_EQ(takeCopied(), QStringList({"a.txt", "b.txt"}));
    EXPECT_EQ(readWholeFile(dest + "/docs/a.txt"), "a, changed while the disk was away");

    // Away and back between two looks at the mount table: the disk is mounted again under the
    // same mount id, device and place, and only the copy it refused meanwhile tells.
    ASSERT_TRUE(disk->unmount());
    const QString c = write("docs/c.txt", "c, saved while the disk was away");
    engine->copier().CopyToDestinations(docs, 1, c);
    runCatchUp();
    const QStringList refused = takeResults();
    ASSERT_EQ(refused.size(), 1);
    ASSERT_TRUE(refused[0].endsWith(ResultText::destVolumeMismatch)) << refused[0].toStdString();
    ASSERT_TRUE(disk->remount());
    ASSERT_TRUE(mountChangeSeen());
    runCatchUp();
    EXPECT_EQ(takeCopied(), QStringList({"c.txt"}));
}

TEST_F(CatchUpTest, APauseThatStopsItDropsItAndTheUnpauseCopiesEveryFileOnce) {
    for (int i = 0; i < 100; ++i)
        writeOld(QString("docs/f%1.txt").arg(i, 3, 10, QChar('0')), "x");
    backUp(docs, {backup});
    engine->catchUp().requestAll();
    state->Paused = true;
    engine->pauseChanged(true);
    ASSERT_TRUE(waitFor([&] { return !engine->workers().busy(); }));
    const int copiedAtStop = int(ui.logged.size());
    EXPECT_FALSE(engine->catchUp().pending());
    EXPECT_LT(copiedAtStop, 100);

    state->Paused = false;
    engine->pauseChanged();
    engine->catchUp().requestAll(); // as the unpause does
    runCatchUp();
    const QStringList copied = takeCopied();
    EXPECT_EQ(copied.size(), 100) << "a file left out";
    EXPECT_EQ(QSet<QString>(copied.begin(), copied.end()).size(), 100) << "a file copied twice";
}

TEST_F(CatchUpTest, AFileModifiedMomentsAgoWaitsForItsWriterAndIsCopiedWhole) {
    backUp(docs, {backup});
    const QString growing = write("docs/growing.bin", "part 1;");
    engine->catchUp().requestAll();
    // The writer goes on while the catch-up waits for the file to settle.
    for (int part = 2; part <= 5; ++part) {
        QFile f(growing);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QString(" part %1;").arg(part).toUtf8());
    }
    runCatchUp();
    EXPECT_EQ(readWholeFile(backup + "/docs/growing.bin"), readWholeFile(growing));
    EXPECT_EQ(takeCopied(), QStringList({"growing.bin"}));
}

TEST_F(CatchUpTest, ItStaysOnTheSourcesDiskAndClearsTemporariesAKilledCopyLeft) {
    const auto inner = ScratchMount::tmpfs(1024);
    SKIP_UNLESS_MOUNTED(inner);
    // The source holds the mount point of another disk, and a file of its own beside it.
    const QString source = Paths::parent(inner->mountPoint());
    putBytes(source + "/own.txt", "own");
    putBytes(inner->mountPoint() + "/other.txt", "other");
    const QString mirror = backup + "/" + Paths::fileName(source);
    const QString stale =
        write("backup/" + Paths::fileName(source) + "/" + OwnTemporaryNames::fresh(), "t");
    backUp(source, {backup});

    catchUpAll();
    EXPECT_EQ(takeCopied(), QStringList({"own.txt"}));
    EXPECT_FALSE(QFileInfo::exists(mirror + "/mnt"));
    EXPECT_FALSE(QFileInfo::exists(stale));
}
