#include "model/Collections.h"

#include <gtest/gtest.h>

namespace {

void addBackup(colBackups& backups, const std::shared_ptr<colDestinations>& root,
               const QString& path) {
    backups.Add(path, true, root, false, "created", "VOL", false, false, true, "Never", "Never",
                false, 0, false, path);
}

QStringList pathsOf(const colDestinations& destinations) {
    QStringList paths;
    for (const auto& d : destinations)
        paths << d->Path;
    return paths;
}

class BackupsTest : public ::testing::Test {
protected:
    std::shared_ptr<colDestinations> root = std::make_shared<colDestinations>();
    colBackups backups{root};
    QStringList totals;
    void SetUp() override {
        backups.setTotalListener([this](const QString& text) { totals << text; });
    }
};

} // namespace

TEST(CollectionTest, PositionsAreOneBasedAndRemovalShiftsTheLaterOnesDown) {
    colNotifiers queue;
    for (const char* message : {"first", "second", "third"})
        queue.Add("src", "dst", message);
    queue.Remove(1);
    ASSERT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.Item(1)->Message, "second");
    EXPECT_EQ(queue.Item(2)->Message, "third");
    for (int bad : {0, 3, -1}) {
        EXPECT_THROW(queue.Item(bad), BadIndexError);
        EXPECT_THROW(queue.Remove(bad), BadIndexError);
    }
    EXPECT_EQ(queue.Count(), 2);
}

TEST(CollectionTest, KeysFindElementsAndAreFreedWhenTheirElementGoes) {
    colRecent log;
    log.Add("t", "/a", "", "/d", "", "one", "/a");
    log.Add("t", "/b", "", "/d", "", "two");
    log.Add("t", "/c", "", "/d", "", "three", "/c");
    EXPECT_EQ(log.Item(QString("/c"))->Message, "three");
    EXPECT_THROW(log.Item(QString("/b")), BadIndexError); // added without a key
    EXPECT_THROW(log.Item(QString()), BadIndexError);
    EXPECT_THROW(log.Remove(QString("/none")), BadIndexError);

    log.Remove(QString("/a"));
    EXPECT_EQ(log.positionOf("/c"), 2);
    EXPECT_NO_THROW(log.Add("t", "/a", "", "/d", "", "again", "/a"));
}

TEST(CollectionTest, RemoveIfKeepsTheOrderOfTheRestAndFreesTheRemovedKeys) {
    colNotifiers queue;
    for (const char* name : {"a", "x1", "b", "x2", "c"})
        queue.Add(name, "", "", name);
    EXPECT_EQ(queue.RemoveIf([](const clsNotifier& n) { return n.Source.startsWith("x"); }), 2);
    QStringList left;
    for (const auto& n : queue)
        left << n->Source;
    EXPECT_EQ(left, (QStringList{"a", "b", "c"}));
    EXPECT_FALSE(queue.Contains("x1"));
    EXPECT_EQ(queue.positionOf("c"), 3);
}

TEST_F(BackupsTest, ADuplicateSourceKeyFailsAndAddsNothing) {
    addBackup(backups, root, "/data");
    EXPECT_THROW(addBackup(backups, root, "/data"), DuplicateKeyError);
    EXPECT_EQ(backups.Count(), 1);
    EXPECT_EQ(totals, QStringList{"Total Associations: 1 "});
}

TEST_F(BackupsTest, TheTotalFollowsEveryAddAndRemove) {
    addBackup(backups, root, "/a");
    addBackup(backups, root, "/b");
    backups.Remove(1);
    backups.Remove(QString("/b"));
    EXPECT_EQ(totals, (QStringList{"Total Associations: 1 ", "Total Associations: 2 ",
                                   "Total Associations: 1 ", "Total Associations: 0 "}));
}

TEST_F(BackupsTest, RemovalPrunesItsDestinationsAndOrphansButKeepsTheOthersInOrder) {
    addBackup(backups, root, "/a");
    addBackup(backups, root, "/b");
    for (const auto& [path, source] : {std::pair{"/b1", "/b"},
                                       {"/a1", "/a"},
                                       {"/orphan", "/x"},
                                       {"/b2", "/b"},
                                       {"/a2", "/a"},
                                       {"/b3", "/b"}})
        root->Add(path, source, "");
    backups.Remove(QString("/a"));
    EXPECT_EQ(pathsOf(*root), (QStringList{"/b1", "/b2", "/b3"}));
    backups.Remove(1);
    EXPECT_EQ(root->Count(), 0);
}

TEST_F(BackupsTest, ACollectionMadeWithoutARootPrunesTheOneItsAssociationsShare) {
    colBackups unrooted;
    addBackup(unrooted, root, "/a");
    root->Add("/orphan", "/gone", "");
    root->Add("/a1", "/a", "");
    addBackup(unrooted, root, "/b");
    unrooted.Remove(2);
    EXPECT_EQ(pathsOf(*root), QStringList{"/a1"});
}

TEST(DestinationsTest, OfFindsTheDestinationsOfOneSourceInOrder) {
    colDestinations destinations;
    destinations.Add("/d1", "/src", "");
    destinations.Add("/d2", "/src/sub", "");
    destinations.Add("/d3", "/src", "");
    const auto found = destinations.of("/src");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->Path, "/d1");
    EXPECT_EQ(found[1]->Path, "/d3");
}

TEST(BackupRecordTest, WithoutADestinationRootItMakesOneOnFirstReadAndKeepsIt) {
    clsBackup backup;
    const auto first = backup.colDestinations();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Count(), 0);
    EXPECT_EQ(backup.colDestinations(), first);
}
