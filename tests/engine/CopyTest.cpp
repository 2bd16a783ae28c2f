// Where copies land, and what each copy reports: log, popup, animations, filters, failures,
// and the wait for a busy source file.

#include "EngineFixture.h"

#include "engine/BackupLayout.h"
#include "support/Mounts.h"

#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using CopyLayoutTest = CopyFixture;
using CopyReportTest = OneFileFixture;
using Animation = UserInterface::Animation;

TEST_F(CopyReportTest, AFileMirrorsUnderItsFolderNameAndTheSwitchesDecideThePopup) {
    const QString root = folder("dst");
    addDestination(file, root + "/");
    addDestination(file, root + "/Back");

    copy(file, file);
    EXPECT_EQ(readWholeFile(root + "/Docs/a.txt"), "a");
    EXPECT_EQ(readWholeFile(root + "/Back/Docs/a.txt"), "a");
    ASSERT_EQ(ui.logged.size(), 2u);
    const clsRecent& entry = ui.logged.back();
    EXPECT_EQ(entry.DateAndTime, DateTimeText::format(clock.now()));
    EXPECT_EQ(QStringList({entry.SourcePath, entry.SourceVolume, entry.DestPath, entry.DestVolume}),
              QStringList({file, volumeOf(file), root + "/Back/Docs", volumeOf(root)}));
    EXPECT_EQ(state->recent->Item(1)->DestPath, root + "/Docs");
    EXPECT_EQ(logged(), QStringList(2, "Success: Copy saved"));
    EXPECT_EQ(notified(), QStringList(2, "Copy saved"));
    EXPECT_EQ(ui.animations, std::vector{Animation::Nod});
    EXPECT_EQ(ui.popupShows, 1);

    // The association's switch, then the program's, keep a success from the popup.
    state->destinations->Remove(2);
    state->notifiers->Clear();
    state->backups->Item(1)->NotifyOnSuccess = false;
    copy(file, file);
    state->options.NotifySuccessDisabled = true;
    state->backups->Item(1)->NotifyOnSuccess = true;
    copy(file, file);
    EXPECT_EQ(state->notifiers->Count(), 0);
    EXPECT_EQ(ui.popupShows, 1);
    EXPECT_EQ(ui.animations, std::vector(3, Animation::Nod));
}

TEST_F(CopyLayoutTest, EveryFileMirrorsBelowItsSourceByOneRuleWhateverIsMountedInside) {
    const auto mirroredFolder = [&](const QString& dst, const QString& root, bool isFolder,
                                    const QString& file) {
        return BackupLayout(root, isFolder, "PrevSave").placeFile(dst, file).destDir;
    };
    EXPECT_EQ(mirroredFolder("/dst", "/a", false, "/a"), "/dst/root");
    EXPECT_EQ(mirroredFolder("/dst/", "/", true, "/home/a.txt"), "/dst/root/home");

    const auto mount = ScratchMount::tmpfs(1024);
    SKIP_UNLESS_MOUNTED(mount);
    const QString m = mount->mountPoint();
    const QString outer = Paths::parent(m);
    QDir().mkpath(m + "/sub");
    for (const QString& f : {m + "/a.txt", m + "/sub/b.txt"})
        ASSERT_TRUE(QFile(f).open(QIODevice::WriteOnly));
    const QString viaFolder = folder("via-folder");
    const QString viaDrive = folder("via-drive");
    // The folder's own disk and the unlabeled one mounted inside it.
    addAssociation(outer, true, true)->Volume = VolumeList::encode({volumeOf(outer)}, true);
    addDestination(outer, viaFolder);
    addAssociation(m, true, true);
    addDestination(m, viaDrive);
    for (const QString& source : {outer, m}) {
        copy(source, m + "/a.txt");
        copy(source, m + "/sub/b.txt");
    }

    EXPECT_EQ(logged(), QStringList(4, "Success: Copy saved"));
    const QString mirrored = viaFolder + "/" + Paths::fileName(outer) + "/mnt";
    EXPECT_TRUE(QFileInfo::exists(mirrored + "/a.txt"));
    EXPECT_TRUE(QFileInfo::exists(mirrored + "/sub/b.txt"));
    EXPECT_TRUE(QFileInfo::exists(viaDrive + "/mnt/a.txt"));
    EXPECT_TRUE(QFileInfo::exists(viaDrive + "/mnt/sub/b.txt"));
}

TEST_F(CopyReportTest, LogPastItsLimitKeepsTheTenNewest) {
    addDestination(file, folder("dst"));
    for (int i = 1; i <= 98; ++i)
        state->recent->Add("t", "s", "v", "d", "v", QString::number(i));
    copy(file, file);
    EXPECT_EQ(state->recent->Count(), 99);

    copy(file, file);
    ASSERT_EQ(state->recent->Count(), 10);
    EXPECT_EQ(logged().first(), "91");
    EXPECT_EQ(logged().mid(8), QStringList(2, "Success: Copy saved"));
}

// Whose temporary files the sweep may take is the destination folder's rule; here, that a killed
// copy's file that fills the disk goes before the next copy into the folder, and a running one's
// stays.
TEST_F(CopyReportTest, TemporaryFilesOfAKilledCopyGoAtTheNextWriteButNoOneElses) {
    const auto tiny = ScratchMount::tmpfs(1024);
    SKIP_UNLESS_MOUNTED(tiny);
    const QString docs = tiny->mountPoint() + "/Docs";
    const QString killed = docs + "/" + OwnTemporaryNames::fresh();
    const QString running = docs + "/" + OwnTemporaryNames::fresh();
    putBytes(killed, QByteArray(800 * 1024, 's'));
    putBytes(running, "s");
    const int held = ::open(QFile::encodeName(running).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    write("src/Docs/a.txt", QByteArray(300 * 1024, 'a'));
    addDestination(file, tiny->mountPoint());

    copy(file, file);
    ::close(held);
    EXPECT_EQ(logged(), QStringList{"Success: Copy saved"});
    QStringList kept{Paths::fileName(running), "a.txt"};
    kept.sort();
    EXPECT_EQ(everything(docs), kept);
}

// A blocked file only gets an entry in the log.
TEST_F(CopyReportTest, FilterPiecesBlockByPrefixOrSuffixIgnoringCaseAndOnlyTheLogSaysSo) {
    const auto passes = [&](const QString& prefixes, const QString& suffixes, const QString& name) {
        state->options.UseFilters = true;
        state->options.FilterPrefixes = prefixes;
        state->options.FilterSuffixes = suffixes;
        return engine->PassesFilters(name);
    };
    EXPECT_FALSE(passes("~", "", "~$Report.DOCX"));
    EXPECT_TRUE(passes("~", "", "a~b.txt"));
    EXPECT_FALSE(passes("x|TMP", "", "tmpfile"));
    EXPECT_FALSE(passes("", ".bak| .Tmp ", "notes.TMP"));
    EXPECT_TRUE(passes("", ".bak", "bak.notes"));
    EXPECT_TRUE(passes("|   ||", " | ", "a.txt"));
    EXPECT_TRUE(passes("a.txt.old", "xa.txt", "a.txt"));
    EXPECT_FALSE(passes(" a b ", "", "a b.txt")); // inner blanks belong to the piece
    state->options.UseFilters = false;
    EXPECT_TRUE(engine->PassesFilters("~$Report.docx"));

    const QString dst = folder("dst");
    addDestination(file, dst);
    EXPECT_FALSE(passes("A", "", "a.txt"));
    copy(file, file);
    ASSERT_EQ(ui.logged.size(), 1u);
    const clsRecent& entry = ui.logged.front();
    EXPECT_EQ(entry.Message, "(File skipped due to filter option settings.)");
    EXPECT_EQ(QStringList({entry.SourcePath, entry.SourceVolume, entry.DestPath, entry.DestVolume}),
              QStringList({file, "<n/a>", "<n/a>", "<n/a>"}));
    EXPECT_EQ(state->recent->Count(), 1);
    EXPECT_EQ(state->notifiers->Count(), 0);
    EXPECT_TRUE(ui.animations.empty());
    EXPECT_TRUE(QDir(dst).isEmpty());
    EXPECT_EQ(state->backups->Item(1)->DateLastActivity, DateTimeText::format(clock.now()));
}

// Linux never refuses to read a file another program holds open, so the copy is told to refuse.
class BusyFiles : public FileSystem {
public:
    std::atomic<int> refusals = 0;
    std::function<void()> onRefusal; // runs on the worker's thread
    CopyResult stageCopy(const QString& source, const DestinationFolder& folder,
                         const QString& name, StagedCopy& staged,
                         const std::function<bool()>& between) override {
        if (refusals.load() > 0) {
            --refusals;
            if (onRefusal)
                onRefusal();
            return {CopyError::Busy, EBUSY};
        }
        return FileSystem::stageCopy(source, folder, name, staged, between);
    }
};

class CopyBusyTest : public CopyFixture {
protected:
    BusyFiles* busy = own(new BusyFiles);
    QString file, target;

    void SetUp() override {
        CopyFixture::SetUp();
        file = write("src/Docs/a.txt", "new");
        target = write("dst/Docs/a.txt", "old");
        addAssociation(file, false);
        addDestination(file, folder("dst"));
    }
};

TEST_F(CopyBusyTest, ARefusedSourceIsTriedAgainWithOneNoticeUntilReleasedOrTimedOut) {
    busy->refusals = 3;
    copy(file, file);
    EXPECT_EQ(logged(), QStringList({"Delay: Permission required...", "Success: Copy saved"}));
    EXPECT_EQ(notified(), QStringList({"Delay: Permission required...", "Copy saved"}));
    EXPECT_EQ(ui.popupShows, 2); // the notice shows while the wait goes on
    EXPECT_EQ(readWholeFile(target), "new");

    state->options.NotifySourceBusy = false;
    busy->refusals = 1;
    copy(file, file);
    EXPECT_EQ(logged().mid(2), QStringList{"Success: Copy saved"});

    state->options.NotifySourceBusy = true;
    write("src/Docs/a.txt", "newer");
    busy->refusals = INT_MAX;
    state->options.BusyTimeout = 0.1;
    copy(file, file);
    EXPECT_EQ(logged().mid(3),
              QStringList({"Delay: Permission required...", "Error: File was busy and timed out"}));
    EXPECT_EQ(readWholeFile(target), "new");
    EXPECT_EQ(ui.animations.back(), UserInterface::Animation::Shake);
}

TEST_F(CopyBusyTest, ANamedPipeSwappedInDuringTheWaitFailsTheCopyWithoutBlocking) {
    busy->refusals = 1;
    busy->onRefusal = [this] {
        QFile::remove(file);
        ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    };
    // Should the copy block on the pipe, a writer comes after a while so the test can end.
    std::promise<void> ended;
    std::atomic<bool> rescued = false;
    std::thread rescue([&, copied = ended.get_future()] {
        if (copied.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
            return;
        rescued = true;
        const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    copy(file, file);
    ended.set_value();
    rescue.join();

    EXPECT_FALSE(rescued);
    EXPECT_EQ(logged(), QStringList({"Delay: Permission required...",
                                     "Error: Source file no longer exists"}));
    EXPECT_EQ(readWholeFile(target), "old");
}

} // namespace
