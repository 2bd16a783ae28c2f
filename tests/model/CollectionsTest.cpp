#include "model/Collections.h"
#include "model/VolumeList.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace {

void addBackup(colBackups& backups, const std::shared_ptr<colDestinations>& root,
               const QString& path) {
    backups.Add(newAssociation(path, true, "VOL", "created", root), path);
}

template <class Destinations> QStringList pathsOf(const Destinations& destinations) {
    QStringList paths;
    for (const auto& d : destinations)
        paths << d->Path;
    return paths;
}

} // namespace

TEST(CollectionTest, PositionsAreOneBasedAndKeysFindElementsUntilTheyGo) {
    colRecent log;
    log.Add("t", "/a", "", "/d", "", "one", "/a");
    log.Add("t", "/b", "", "/d", "", "two");
    log.Add("t", "/c", "", "/d", "", "three", "/c");
    log.Remove(1);
    ASSERT_EQ(log.Count(), 2);
    EXPECT_EQ(log.Item(1)->Message, "two");
    EXPECT_EQ(log.Item(QString("/c"))->Message, "three");
    EXPECT_EQ(log.positionOf("/c"), 2);
    for (int bad : {0, 3, -1}) {
        EXPECT_THROW(log.Item(bad), BadIndexError);
        EXPECT_THROW(log.Remove(bad), BadIndexError);
    }
    EXPECT_THROW(log.Item(QString("/b")), BadIndexError); // added without a key
    EXPECT_THROW(log.Item(QString()), BadIndexError);
    EXPECT_THROW(log.Remove(QString("/none")), BadIndexError);
    EXPECT_EQ(log.Count(), 2);
    EXPECT_NO_THROW(log.Add("t", "/a", "", "/d", "", "again", "/a"));
}

TEST(CollectionTest, RemoveIfTakesTheMatchesAndKeepsTheRestInOrder) {
    colNotifiers queue;
    for (const char* name : {"a", "x1", "b", "x2", "c"})
        queue.Add(name, "", "", name);
    EXPECT_EQ(queue.removeIf([](const clsNotifier& n) { return n.Source.startsWith("x"); }), 2);
    QStringList left;
    for (const auto& n : queue)
        left << n->Source;
    EXPECT_EQ(left, (QStringList{"a", "b", "c"}));
    EXPECT_FALSE(queue.contains("x1"));
    EXPECT_EQ(queue.positionOf("c"), 3);
}

TEST(BackupsTest, TheTotalFollowsEveryChange) {
    colBackups backups;
    std::vector<int> totals;
    backups.setTotalListener([&](int count) { totals.push_back(count); });
    const auto root = std::make_shared<colDestinations>();
    addBackup(backups, root, "/a");
    EXPECT_THROW(addBackup(backups, root, "/a"), DuplicateKeyError);
    addBackup(backups, root, "/b");
    backups.Remove(1);
    backups.Remove(QString("/b"));
    EXPECT_EQ(totals, (std::vector<int>{1, 2, 1, 0}));
}

// A source's destinations are its own, in their order. With or without a root of its own, a
// collection prunes the destinations its associations share; the others keep their order.
TEST(BackupsTest, RemovalPrunesItsDestinationsAndOrphansButKeepsTheOthersInOrder) {
    for (const bool rooted : {true, false}) {
        const auto root = std::make_shared<colDestinations>();
        colBackups backups(rooted ? root : nullptr);
        addBackup(backups, root, "/a");
        addBackup(backups, root, "/b");
        const char* destinations[][2] = {{"/b1", "/b"},     {"/a1", "/a"}, {"/orphan", "/x"},
                                         {"/b2", "/b"},     {"/a2", "/a"}, {"/b3", "/b"},
                                         {"/sub", "/a/sub"}};
        for (const auto& [path, source] : destinations)
            root->Add(path, source, "");
        EXPECT_EQ(pathsOf(root->of("/a")), (QStringList{"/a1", "/a2"}));
        backups.Remove(QString("/a"));
        EXPECT_EQ(pathsOf(*root), (QStringList{"/b1", "/b2", "/b3"}));
        backups.Remove(1);
        EXPECT_EQ(root->Count(), 0);
    }
}

TEST(VolumeListTest, EncodesTheUnlabeledMarkLastAndAcceptsUnlabeledDrivesOnlyByIt) {
    const QList<std::tuple<QStringList, bool, QString>> cases = {{{"A", "B"}, false, "A\0B"_L1},
                                                                 {{"A", "B"}, true, "A\0B\0\0"_L1},
                                                                 {{}, true, "\0\0"_L1},
                                                                 {{}, false, ""},
                                                                 {{"USB"}, false, "USB"}};
    for (const auto& [names, unlabeled, text] : cases) {
        EXPECT_EQ(VolumeList::encode(names, unlabeled), text);
        const auto decoded = VolumeList::decode(text);
        EXPECT_EQ(decoded.names, names);
        EXPECT_EQ(decoded.acceptUnlabeled, unlabeled);
    }
    EXPECT_EQ(VolumeList::encode({"", "A", ""}, false), "A");

    // A disk without a label is named by its UUID when it has one: "no label" takes any of them.
    const QString uuid = "UUID=0b3c6e3e-62ab-4f0b-9d6c-2f6f1d0d1a77";
    const std::vector<std::tuple<QString, QString, bool>> accepted = {
        {"\0\0"_L1, "", true},
        {"A\0B\0\0"_L1, "", true},
        {"A\0B"_L1, "", false},
        {"\0"_L1, "", false},
        {"", "", false},
        {"Backup\0usb"_L1, "USB", true},
        {"Backup\0\0"_L1, "Other", false},
        {"BackupDisk", "Backup", false},
        {"", "USB", false},
        {"A\0\0"_L1, uuid, true},
        {"A\0UUID=1234"_L1, uuid, false},
        {"A\0"_L1 + uuid.toLower(), uuid, true},
        {"A", uuid, false},
    };
    for (const auto& [list, name, accepts] : accepted)
        EXPECT_EQ(VolumeList::accepts(list, name), accepts) << name.toStdString();
}
