// Real inotify watches on temporary folders, and which folder each association gets watched and
// when its watch closes.

#include "EngineFixture.h"
#include "support/Mounts.h"

#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int ComingMs = 2000; // for an event that is on its way
constexpr int QuietMs = 100;   // to see that none comes

class WatchChangeTest : public ::testing::Test {
protected:
    bool appReady = (ensureCoreApp(), true); // the registry's timers need it
    TempHome home;
    QString top = home.makeFolder("top");

    QString write(const QString& relative) { return home.writeFile(relative, "more"); }
    std::unique_ptr<ChangeWatch> open(bool subtree, const QString& folder = {}) {
        ChangeWatch::Scope scope;
        scope.subtree = subtree;
        auto watch = ChangeWatch::open(folder.isEmpty() ? top : folder, scope);
        EXPECT_TRUE(watch->isOpen());
        return watch;
    }
    // What the watch named once the change has arrived.
    static ChangeBatch taken(ChangeWatch& watch) {
        EXPECT_TRUE(watch.wait(ComingMs));
        watch.rearm();
        return watch.take();
    }
    static ChangeBatch taken(WatchRegistry& registry, qint32 id) {
        EXPECT_TRUE(registry.wait(id, ComingMs));
        registry.rearm(id);
        return registry.takeChanges(id);
    }
};

int inotifyDescriptors() {
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
        count += fd.symLinkTarget().contains("inotify") ? 1 : 0;
    return count;
}

TEST_F(WatchChangeTest, AWriteIsNamedOnceInArrivalOrderUntilTakenButOwnTemporaryFilesNever) {
    auto watch = open(true);
    const QString temp = home.writeFile("top/" + OwnTemporaryNames::fresh(), "partial");
    QFile::setPermissions(temp, QFileDevice::ReadOwner);
    EXPECT_FALSE(watch->wait(QuietMs));
    ASSERT_TRUE(QFile::rename(temp, top + "/real.txt"));
    const QString second = write("top/second.txt");
    write("top/real.txt");
    ASSERT_TRUE(watch->wait(ComingMs)) << "the rename over the real file signals";
    EXPECT_TRUE(watch->wait(0));
    watch->rearm();
    EXPECT_FALSE(watch->wait(0));
    write("top/third.txt");
    ASSERT_TRUE(watch->wait(ComingMs));
    watch->rearm();
    EXPECT_EQ(watch->take().files, (QStringList{top + "/real.txt", second, top + "/third.txt"}));
    EXPECT_TRUE(watch->take().empty()) << "taken once";
}

// The watches share one instance, which reads the events of all: what one reads for another is
// kept for that one, never taken or lost.
TEST_F(WatchChangeTest, ManyWatchesShareOneInstanceAndNeverTakeOrLoseEachOthersEvents) {
    WatchRegistry registry;
    std::vector<qint32> ids;
    for (int i = 0; i < 300; ++i)
        ids.push_back(registry.open(home.makeFolder(QStringLiteral("many/%1").arg(i)), false));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), -1), 0);
    EXPECT_EQ(inotifyDescriptors(), 1);
    EXPECT_EQ(ChangeWatch::instanceCount(), 1);
    const QString last = write("many/299/x.txt");
    const QString first = write("many/0/x.txt");
    EXPECT_EQ(taken(registry, ids[0]).files, QStringList{first});
    EXPECT_TRUE(registry.wait(ids[299], 0)) << "read while the first waited, kept for the last";
    EXPECT_EQ(taken(registry, ids[299]).files, QStringList{last});
    EXPECT_FALSE(registry.wait(ids[1], QuietMs));
}

TEST_F(WatchChangeTest, NewSubFoldersAreWatchedAndNamedForAWalkButNeverThroughLinks) {
    home.makeFolder("top/sub/deeper");
    ASSERT_TRUE(QFile::link(home.makeFolder("outside"), top + "/link"));
    auto flat = open(false);
    auto tree = open(true);
    EXPECT_EQ(tree->watchedFolders(), 3);
    write("outside/a.txt");
    const QString deep = write("top/sub/deeper/a.txt");
    EXPECT_EQ(taken(*tree).files, QStringList{deep});
    EXPECT_FALSE(flat->wait(QuietMs));

    // A folder filled elsewhere and moved in: its files never had an event here.
    home.writeFile("elsewhere/filled/inner/f.txt", "x");
    ASSERT_TRUE(QFile::rename(home.path() + "/elsewhere/filled", top + "/filled"));
    const ChangeBatch moved = taken(*tree);
    EXPECT_EQ(moved.newFolders, QStringList{top + "/filled"});
    EXPECT_TRUE(moved.files.isEmpty());
    EXPECT_EQ(tree->watchedFolders(), 5);
    const QString inner = write("top/filled/inner/g.txt");
    EXPECT_EQ(taken(*tree).files, QStringList{inner});

    // Moved out again, it is no longer watched under its old name.
    ASSERT_TRUE(QFile::rename(top + "/filled", home.path() + "/elsewhere/back"));
    tree->wait(QuietMs);
    tree->rearm();
    tree->take();
    EXPECT_EQ(tree->watchedFolders(), 3);
}

TEST_F(WatchChangeTest, ABurstPastTheCapAndAQueueOverflowAskForAWalkInstead) {
    ChangeWatch::Scope scope;
    scope.maxPendingPaths = 50;
    auto watch = ChangeWatch::open(top, scope);
    for (int i = 0; i < 120; ++i)
        write(QStringLiteral("top/f%1").arg(i));
    // The writes are over, so their events are all queued: the first read takes every one.
    ASSERT_TRUE(watch->wait(ComingMs));
    watch->rearm();
    const ChangeBatch burst = watch->take();
    EXPECT_TRUE(burst.overflow);
    EXPECT_TRUE(burst.files.isEmpty());
    EXPECT_FALSE(watch->wait(QuietMs)) << "the rest of the burst is forgotten, not kept";
}

TEST_F(WatchChangeTest, HiddenFoldersAndOtherFileSystemsBelowTheTopAreNotWatched) {
    home.makeFolder("top/.cache/deep");
    home.makeFolder("top/visible");
    ChangeWatch::Scope scope;
    scope.subtree = true;
    scope.skipHidden = true;
    auto watch = ChangeWatch::open(top, scope);
    EXPECT_EQ(watch->watchedFolders(), 2);
    home.makeFolder("top/.new");
    write("top/.cache/x");
    EXPECT_FALSE(watch->wait(QuietMs));

    auto mount = ScratchMount::tmpfs(256);
    SKIP_UNLESS_MOUNTED(mount);
    // The tmpfs is mounted in a folder of this machine's /tmp file system.
    const QString scratch = Paths::parent(mount->mountPoint());
    auto tree = open(true, scratch);
    EXPECT_EQ(tree->watchedFolders(), 1);
}

// Deleted, or renamed away and back, or a file system mounted over it: the id stays, and the
// folder is watched again on its return.
TEST_F(WatchChangeTest, AFolderThatGoesAwayIsWatchedAgainWhenItReturns) {
    WatchRegistry registry;
    QStringList returned;
    registry.onReturned = [&](const QString& folder) { returned << folder; };
    EXPECT_EQ(registry.open(home.path() + "/missing", false), -1);
    const qint32 id = registry.open(top, true);
    // The registry hears that the folder went, which starts its looks for the return.
    const auto goneSeen = [&] {
        return QTest::qWaitFor(
            [&] {
                const std::vector<qint32> ids = registry.readSignalled();
                return std::find(ids.begin(), ids.end(), id) != ids.end();
            },
            ComingMs);
    };
    const QString away = home.path() + "/away";
    ASSERT_TRUE(QDir().rename(top, away));
    ASSERT_TRUE(goneSeen());
    write("away/unseen.txt");
    EXPECT_FALSE(registry.wait(id, QuietMs)) << "not followed to its new name";

    ASSERT_TRUE(QDir().rename(away, top));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !returned.isEmpty(); }, 5000));
    EXPECT_EQ(returned, QStringList{top});
    const QString back = write("top/back.txt");
    EXPECT_EQ(taken(registry, id).files, QStringList{back});

    QDir(top).removeRecursively();
    ASSERT_TRUE(goneSeen());
    home.makeFolder("top");
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.size() == 2; }, 5000));
    EXPECT_EQ(registry.openCount(), 1);

    auto mount = ScratchMount::tmpfs(256);
    if (!mount)
        GTEST_SKIP() << "a file system mounted over a folder left out: " << ScratchMount::refusal();
    const QString point = mount->mountPoint();
    const qint32 onMount = registry.open(point, false);
    ASSERT_TRUE(mount->unmount());
    ASSERT_TRUE(mount->remount());
    registry.recheckFolders();
    ASSERT_EQ(returned.size(), 3);
    putBytes(point + "/new.txt", "new");
    EXPECT_EQ(taken(registry, onMount).files, QStringList{point + "/new.txt"});
}

class WatchFolderTest : public WatchFixture {
protected:
    // Registered the way the store loader does it: added, then watched.
    void add(const QString& path, bool isFolder, bool recursive = false) {
        addAssociation(path, isFolder, recursive);
        engine->CreateDetectFolder(path, recursive);
    }
    void remove(const QString& path) {
        engine->RemoveDetectFolder(path);
        state->backups->Remove(Paths::PathKey(path));
    }
    qint32 handle() const { return record(docs)->AutoBackup; }
};

// The open watch serves every file of its folder; one that must cover more is opened anew, and a
// file association added later does not take the subtree from a recursive folder association.
TEST_F(WatchFolderTest, AssociationsInOneFolderShareOneWatchThatClosesOnlyWhenNoneNeedsIt) {
    const QString a = home.writeFile("docs/a.txt", "a");
    const QString b = home.writeFile("docs/b.txt", "b");
    const QString c = home.writeFile("docs/c.txt", "c");
    home.makeFolder("docs/sub");
    add(a, false);
    const qint32 first = handle();
    add(b, false);
    engine->CreateDetectFolder(docs + "/missing.txt", false);
    ASSERT_EQ(state->detectFolders->Count(), 1);
    EXPECT_EQ(record(docs)->Folder, docs);
    EXPECT_EQ(handle(), first);

    add(docs, true, true);
    EXPECT_GT(handle(), first) << "the subtree needs a watch of its own";
    EXPECT_EQ(state->watches->openCount(), 1) << "the replaced watch is closed";
    add(c, false);
    home.writeFile("docs/sub/d.txt", "changed");
    EXPECT_TRUE(state->watches->wait(handle(), ComingMs)) << "the subtree is still watched";

    for (const QString& association : {a, c, docs}) {
        remove(association);
        EXPECT_GT(handle(), 0) << "b still needs it";
    }
    remove(b);
    EXPECT_EQ(handle(), 0);
    EXPECT_EQ(state->watches->openCount(), 0);
}

TEST_F(WatchFolderTest, DisablingAFolderAssociationClosesItsWatchUnlessAFileAssociationSharesIt) {
    const auto association = addAssociation(docs, true);
    engine->CreateDetectFolder(docs, false);
    association->Enabled = false;
    engine->disableFolderWatch(docs);
    EXPECT_EQ(handle(), -1);
    engine->closeAllWatches();
    EXPECT_EQ(handle(), -1) << "only open watches are closed";

    association->Enabled = true;
    state->detectFolders->Clear();
    engine->enableFolderWatch(docs, false);
    EXPECT_GT(handle(), 0) << "a dropped record is made again";

    add(home.writeFile("docs/a.txt", "a"), false);
    association->Enabled = false;
    engine->disableFolderWatch(docs);
    EXPECT_GT(handle(), 0);
    engine->enableFolderWatch(docs, true);
    EXPECT_EQ(state->watches->openCount(), 1) << "re-opening leaves no old watch behind";
}

// Without a display every entry of the log is printed as well; the limit's entry is no exception
// and is printed by the log alone, once.
TEST_F(WatchFolderTest, TheWatchLimitIsLoggedOnceAndPrintedByNothingElse) {
    home.makeFolder("docs/sub");
    state->watches->setWatchFault([&](const QString& path) { return path == docs ? 0 : ENOSPC; });
    const QString captured = home.path() + "/stdout";
    {
        // Standard output goes to a file for as long as this lives.
        struct Capture {
            int saved = (std::fflush(stdout), ::dup(STDOUT_FILENO));
            explicit Capture(const QString& file) {
                const int fd =
                    ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT, 0600);
                ::dup2(fd, STDOUT_FILENO);
                ::close(fd);
            }
            ~Capture() {
                std::fflush(stdout);
                ::dup2(saved, STDOUT_FILENO);
                ::close(saved);
            }
        } capture(captured);
        add(docs, true, true);
        engine->CreateDetectFolder(docs, true);
    }
    ASSERT_EQ(ui.logged.size(), 1u);
    const QString said = ui.logged[0].Message;
    EXPECT_TRUE(said.contains(docs) && said.contains("sysctl fs.inotify.max_user_watches="))
        << said.toStdString();
    EXPECT_TRUE(readWholeFile(captured).isEmpty()) << readWholeFile(captured).toStdString();
}

} // namespace
