// Which folder each association gets watched, and when its watch closes.

#include "ScanFixture.h"

namespace {

class WatchFolderTest : public ScanFixture {
protected:
    // Registered the way the store loader does it: added, then watched.
    void add(const QString& path, bool isFolder, bool recursive = false) {
        associate(path, isFolder, recursive);
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

TEST_F(WatchFolderTest, AFileAssociationDoesNotTakeTheSubtreeFromARecursiveFolderAssociation) {
    home.makeFolder("docs/sub");
    add(docs, true, true);
    add(home.writeFile("docs/a.txt", "a"), false);
    home.writeFile("docs/sub/b.txt", "changed");
    EXPECT_TRUE(awaitSignal(handle()));
}

TEST_F(WatchFolderTest, AWatchClosesOnlyWhenNoAssociationInItsFolderNeedsItAnyMore) {
    const QString a = home.writeFile("docs/a.txt", "a");
    const QString b = home.writeFile("docs/b.txt", "b");
    add(a, false);
    add(b, false);
    add(docs, true);
    remove(a);
    EXPECT_GT(handle(), 0) << "b and the folder association still need it";
    remove(docs);
    EXPECT_GT(handle(), 0) << "b still needs it";
    remove(b);
    EXPECT_EQ(handle(), 0);
    EXPECT_EQ(state->watches->openCount(), 0);
}

TEST_F(WatchFolderTest, DisablingAFolderAssociationClosesItsWatchUnlessAFileAssociationSharesIt) {
    const auto folder = associate(docs, true);
    engine->CreateDetectFolder(docs, false);
    folder->Enabled = false;
    engine->DisableFolderWatch(docs);
    EXPECT_EQ(handle(), -1);
    engine->CloseAllWatches();
    EXPECT_EQ(handle(), -1) << "only open watches are closed";

    folder->Enabled = true;
    state->DetectFolders->Clear();
    engine->EnableFolderWatch(docs, false);
    EXPECT_GT(handle(), 0) << "a dropped record is made again";

    add(home.writeFile("docs/a.txt", "a"), false);
    folder->Enabled = false;
    engine->DisableFolderWatch(docs);
    EXPECT_GT(handle(), 0);
    engine->EnableFolderWatch(docs, true);
    EXPECT_EQ(state->watches->openCount(), 1) << "re-opening leaves no old watch behind";
}

} // namespace
