// Real inotify watches on temporary folders, and which folder each association gets watched and
// when its watch closes.

#include "EngineFixture.h"

#include <cerrno>

namespace {

constexpr int ComingMs = 2000; // for an event that is on its way
constexpr int QuietMs = 100;   // to see that none comes

class WatchChangeTest : public ::testing::Test {
protected:
    TempHome home;
    QString top = home.makeFolder("top");

    void write(const QString& relative) { home.writeFile(relative, "more"); }
    std::unique_ptr<ChangeWatch> open(bool subtree, const ChangeWatch::WatchFault& fault = {}) {
        auto watch = ChangeWatch::open(top, subtree, fault);
        EXPECT_TRUE(watch->isOpen());
        return watch;
    }
};

TEST_F(WatchChangeTest, AWriteSignalsUntilRearmDrainsItButOwnTemporaryFilesNever) {
    auto watch = open(true);
    const QString temp = home.writeFile("top/" + OwnTempPrefix + "copy", "partial");
    QFile::setPermissions(temp, QFileDevice::ReadOwner);
    EXPECT_FALSE(watch->wait(QuietMs));
    ASSERT_TRUE(QFile::rename(temp, top + "/real.txt"));
    EXPECT_TRUE(watch->wait(ComingMs)) << "the rename over the real file signals";
    EXPECT_TRUE(watch->wait(0));
    watch->rearm();
    EXPECT_FALSE(watch->wait(0));
    write("top/real.txt");
    EXPECT_TRUE(watch->wait(ComingMs));
}

TEST_F(WatchChangeTest, OnlyTheSubtreeSeesSubFoldersEvenOnesMadeLaterButNeverThroughLinks) {
    home.makeFolder("top/sub/deeper");
    ASSERT_TRUE(QFile::link(home.makeFolder("outside"), top + "/link"));
    auto flat = open(false);
    auto tree = open(true);
    EXPECT_EQ(tree->watchedFolders(), 3);
    write("outside/a.txt");
    write("top/sub/deeper/a.txt");
    EXPECT_TRUE(tree->wait(ComingMs));
    EXPECT_FALSE(flat->wait(QuietMs));

    tree->rearm();
    home.makeFolder("top/new/inner");
    EXPECT_TRUE(tree->wait(ComingMs)) << "files may already be in a new folder";
    tree->rearm();
    EXPECT_EQ(tree->watchedFolders(), 5);
    write("top/new/inner/a.txt");
    EXPECT_TRUE(tree->wait(ComingMs));

    // A folder first met while re-arming leaves the watch signalled all the same.
    tree->rearm();
    home.makeFolder("top/later");
    tree->rearm();
    EXPECT_EQ(tree->watchedFolders(), 6);
    EXPECT_TRUE(tree->wait(0));
}

TEST_F(WatchChangeTest, TheWatchLimitKeepsTheFoldersWatchedBeforeIt) {
    for (const char* sub : {"top/a", "top/b", "top/c"})
        home.makeFolder(sub);
    int additions = 0;
    auto watch = open(true, [&](const QString&) { return ++additions > 2 ? ENOSPC : 0; });
    EXPECT_TRUE(watch->limitReached());
    EXPECT_EQ(watch->watchedFolders(), 2);
    write("top/x.txt");
    EXPECT_TRUE(watch->wait(ComingMs));

    WatchRegistry registry;
    registry.setWatchFault([&](const QString& path) { return path == top ? 0 : ENOSPC; });
    EXPECT_GT(registry.open(top, true), 0);
    EXPECT_TRUE(registry.watchLimitReached());
    EXPECT_EQ(registry.open(home.path() + "/missing", false), -1);
}

class WatchFolderTest : public ScanFixture {
protected:
    // Registered the way the store loader does it: added, then watched.
    void add(const QString& path, bool isFolder, bool recursive = false) {
        addAssociation(path, isFolder, recursive);
        engine->CreateDetectFolder(path, recursive);
    }
    void remove(const QString& path) {
        engine->RemoveDetectFolder(path);
        state->Backups->Remove(Paths::PathKey(path));
    }
    qint32 handle() const { return record(docs)->AutoBackup; }
};

TEST_F(WatchFolderTest, AssociationsInOneFolderShareOneRecordThatTheLastOneRenews) {
    add(home.writeFile("docs/a.txt", "a"), false);
    const qint32 first = handle();
    record(docs)->DetectionDate = detectionNow();
    add(home.writeFile("docs/b.txt", "b"), false);
    engine->CreateDetectFolder(docs + "/missing.txt", false);

    ASSERT_EQ(state->DetectFolders->Count(), 1);
    EXPECT_EQ(record(docs)->Folder, docs);
    EXPECT_GT(handle(), first);
    EXPECT_TRUE(record(docs)->DetectionDate.isEmpty());
    EXPECT_EQ(state->watches->openCount(), 1) << "the replaced watch is closed";
}

// A file association added later does not take the subtree from a recursive folder association.
TEST_F(WatchFolderTest, AWatchKeepsTheSubtreeAndClosesOnlyWhenNoAssociationInItsFolderNeedsIt) {
    home.makeFolder("docs/sub");
    const QString a = home.writeFile("docs/a.txt", "a");
    const QString b = home.writeFile("docs/b.txt", "b");
    add(docs, true, true);
    add(a, false);
    add(b, false);
    home.writeFile("docs/sub/c.txt", "changed");
    EXPECT_TRUE(awaitSignal(handle()));
    remove(a);
    EXPECT_GT(handle(), 0) << "b and the folder association still need it";
    remove(docs);
    EXPECT_GT(handle(), 0) << "b still needs it";
    remove(b);
    EXPECT_EQ(handle(), 0);
    EXPECT_EQ(state->watches->openCount(), 0);
}

TEST_F(WatchFolderTest, DisablingAFolderAssociationClosesItsWatchUnlessAFileAssociationSharesIt) {
    const auto association = addAssociation(docs, true);
    engine->CreateDetectFolder(docs, false);
    association->Enabled = false;
    engine->DisableFolderWatch(docs);
    EXPECT_EQ(handle(), -1);
    engine->CloseAllWatches();
    EXPECT_EQ(handle(), -1) << "only open watches are closed";

    association->Enabled = true;
    state->DetectFolders->Clear();
    engine->EnableFolderWatch(docs, false);
    EXPECT_GT(handle(), 0) << "a dropped record is made again";

    add(home.writeFile("docs/a.txt", "a"), false);
    association->Enabled = false;
    engine->DisableFolderWatch(docs);
    EXPECT_GT(handle(), 0);
    engine->EnableFolderWatch(docs, true);
    EXPECT_EQ(state->watches->openCount(), 1) << "re-opening leaves no old watch behind";
}

} // namespace
