#include "persistence/AssociationStore.h"

#include "StoreFiles.h"
#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

class AssociationStoreTest : public ::testing::Test {
protected:
    TempHome home;
    QString folder = home.appDataFolder();
    std::shared_ptr<colDestinations> destinations = std::make_shared<colDestinations>();
    colBackups backups{destinations};
    QStringList watched; // "path|r" or "path|-" per watch opened

    void load(const QString& from) {
        loadAssociations(backups, destinations, from, [this](const QString& path, bool subtree) {
            watched << path + (subtree ? "|r" : "|-");
        });
        loadDestinations(*destinations, from);
    }
    void writeStore(const QString& name, const QStringList& lines) {
        home.writeFile(".config/Quillmot/" + name, crlfLines(lines));
    }
    QStringList loadedPaths() const {
        QStringList paths;
        for (const auto& b : backups)
            paths << b->SourcePath;
        return paths;
    }
    QByteArray bytesOf(const QString& name, const QString& in = {}) const {
        return readWholeFile((in.isEmpty() ? folder : in) + "/" + name);
    }
    void add(const QString& path) {
        backups.Add(path, true, destinations, true, "c", "V", true, true, true, "Never", "Never",
                    false, 2, false, path);
    }
};

} // namespace

TEST_F(AssociationStoreTest, FilesHoldOneValuePerCrLfLineInTheirFixedOrder) {
    backups.Add("/src", true, destinations, false, "c", "\0\0"_L1, true, false, true, "Never", "m",
                false, 5, true, "/src");
    destinations->Add("/dst", "/src", "VOL");
    ASSERT_TRUE(saveAssociations(backups, folder));
    ASSERT_TRUE(saveDestinations(*destinations, folder));
    EXPECT_EQ(bytesOf("usrdatab"), crlfLines({"/src", "\0\0"_L1, "c", "Never", "m", "1", "1", "0",
                                              "5", "0", "1", "0", "1"}));
    EXPECT_EQ(bytesOf("usrdatad"), crlfLines({"/dst", "/src", "VOL"}));
}

TEST_F(AssociationStoreTest, ASavedStoreLoadsBackUnchangedAndOpensEachWatch) {
    writeStore("usrdatab", associationRecord("/home/ann/Ünïcode ✓", "-1") +
                               QStringList{"/report.txt", "A\0B\0\0"_L1, "", "Never", "Never", "0",
                                           "0", "1", "32767", "0", "1", "0", "0"} +
                               associationRecord("/carriage\rreturn", "-32768", "TRUE"));
    writeStore("usrdatad", {"/d/b", "/report.txt", "USB", "/d/a", "/home/ann/Ünïcode ✓", "",
                            "/d/orphan", "/nowhere", "OLD"});
    load(folder);
    ASSERT_EQ(backups.Count(), 3);
    EXPECT_EQ(backups.Item(2)->Volume, "A\0B\0\0"_L1);
    EXPECT_EQ(backups.Item(1)->Versions, -1);
    EXPECT_FALSE(backups.Item(3)->Folder);
    EXPECT_EQ(backups.Item(QString("/report.txt"))->colDestinations(), destinations);
    EXPECT_EQ(watched,
              (QStringList{"/home/ann/Ünïcode ✓|r", "/report.txt|-", "/carriage\rreturn|r"}));

    const QString copy = home.makeFolder("copy");
    ASSERT_TRUE(saveAssociations(backups, copy));
    ASSERT_TRUE(saveDestinations(*destinations, copy));
    EXPECT_EQ(bytesOf("usrdatad", copy), bytesOf("usrdatad"));
    // Only the non-"1" Boolean is normalised on the way back.
    EXPECT_EQ(bytesOf("usrdatab", copy), bytesOf("usrdatab").replace("TRUE", "0"));
}

TEST_F(AssociationStoreTest, OnlyExactlyOneIsTrueAndVersionsAreTheLeadingNumberHalfToEven) {
    const QStringList flags = {"TRUE", "-1", "1 ", "", "01", "1"};
    const QList<std::pair<QString, int>> versions = {{"2.5", 2}, {"3.5", 4},    {" 7 apples", 7},
                                                     {"abc", 0}, {"1e3", 1000}, {"1e-400", 0}};
    QStringList lines;
    for (int i = 0; i < flags.size(); ++i)
        lines << associationRecord(QString("/f%1").arg(i), "3", flags[i]);
    for (int i = 0; i < versions.size(); ++i)
        lines << associationRecord(QString("/v%1").arg(i), versions[i].first);
    writeStore("usrdatab", lines);
    load(folder);
    ASSERT_EQ(backups.Count(), flags.size() + versions.size());
    for (int i = 0; i < flags.size(); ++i)
        EXPECT_EQ(backups.Item(i + 1)->Folder, flags[i] == "1") << flags[i].toStdString();
    for (int i = 0; i < versions.size(); ++i)
        EXPECT_EQ(backups.Item(int(flags.size()) + i + 1)->Versions, versions[i].second)
            << versions[i].first.toStdString();
}

TEST_F(AssociationStoreTest, ReadingEndsAtTheFirstRecordThatCannotBeAdded) {
    for (const QString overflow : {"32768", "-32769", "32767.5", "1e400"}) {
        writeStore("usrdatab", associationRecord("/first") + associationRecord("/bad", overflow) +
                                   associationRecord("/after"));
        load(folder);
        EXPECT_EQ(loadedPaths(), QStringList{"/first"}) << overflow.toStdString();
    }

    writeStore("usrdatab", associationRecord("/a") + associationRecord("/b") +
                               associationRecord("/a") + associationRecord("/c"));
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/b"}));

    QStringList cut = associationRecord("/a") + associationRecord("/b");
    cut.removeLast();
    writeStore("usrdatab", cut);
    writeStore("usrdatad", {"/d1", "/a", "", "/d2", "/a"});
    load(folder);
    EXPECT_EQ(loadedPaths(), QStringList{"/a"});
    EXPECT_EQ(destinations->Count(), 1);

    // A refused watch keeps its own association but ends the reading.
    writeStore("usrdatab",
               associationRecord("/a") + associationRecord("/b") + associationRecord("/c"));
    loadAssociations(backups, destinations, folder, [](const QString& path, bool) {
        if (path == "/b")
            throw std::runtime_error("inotify limit");
    });
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/b"}));
}

TEST_F(AssociationStoreTest, MissingOrEmptyFilesLoadNothingAfterEmptyingTheCollections) {
    for (bool emptyFiles : {false, true}) {
        add("/old");
        destinations->Add("/old-dst", "/old", "");
        if (emptyFiles)
            writeStore("usrdatab", {});
        // Emptying the associations prunes their destinations as well.
        loadAssociations(backups, destinations, folder, {});
        EXPECT_EQ(backups.Count(), 0);
        EXPECT_EQ(destinations->Count(), 0);
    }
    destinations->Add("/orphan", "/gone", "");
    writeStore("usrdatad", {});
    loadDestinations(*destinations, folder);
    EXPECT_EQ(destinations->Count(), 0);
}

TEST_F(AssociationStoreTest, AnOrphanDestinationIsWrittenBackUntilTheNextRemoval) {
    writeStore("usrdatab", associationRecord("/a") + associationRecord("/b"));
    writeStore("usrdatad", {"/d-a", "/a", "", "/d-orphan", "/gone", "OLD", "/d-b", "/b", ""});
    const QByteArray original = bytesOf("usrdatad");
    load(folder);
    ASSERT_TRUE(saveDestinations(*destinations, folder));
    EXPECT_EQ(bytesOf("usrdatad"), original);

    backups.Remove(QString("/a"));
    ASSERT_TRUE(saveDestinations(*destinations, folder));
    EXPECT_EQ(bytesOf("usrdatad"), crlfLines({"/d-b", "/b", ""}));
}

TEST_F(AssociationStoreTest, ARecordWithALineBreakIsLeftOutSoTheOthersStayAligned) {
    for (const char* path : {"/a", "/new\nline", "/c"})
        add(path);
    destinations->Add("/d\nnl", "/a", "");
    destinations->Add("/d-c", "/c", "");
    ASSERT_TRUE(saveAssociations(backups, folder));
    ASSERT_TRUE(saveDestinations(*destinations, folder));
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/c"}));
    EXPECT_EQ(destinations->Count(), 1);
}

TEST_F(AssociationStoreTest, SavingCreatesTheFolderAndReplacesALeftOverTwin) {
    add("/a");
    ASSERT_FALSE(QFileInfo::exists(folder));
    ASSERT_TRUE(saveAssociations(backups, folder));
    writeStore("usrdatabTEMP", {"half a record"});
    ASSERT_TRUE(saveAssociations(backups, folder));
    EXPECT_FALSE(QFileInfo::exists(folder + "/usrdatabTEMP"));
    load(folder);
    EXPECT_EQ(loadedPaths(), QStringList{"/a"});
}

TEST_F(AssociationStoreTest, AFailedSaveReturnsFalseAndLeavesTheOldFileWhole) {
    add("/old");
    ASSERT_TRUE(saveAssociations(backups, folder));
    const QByteArray old = bytesOf("usrdatab");
    add("/new");

    QDir().mkpath(folder + "/usrdatabTEMP/blocker"); // a twin that cannot be created
    EXPECT_FALSE(saveAssociations(backups, folder));
    EXPECT_EQ(bytesOf("usrdatab"), old);

    const QString file = home.writeFile("plain-file", "x");
    EXPECT_FALSE(saveDestinations(*destinations, file + "/Quillmot"));

    QString reason;
    QDir(folder + "/usrdatabTEMP").removeRecursively();
    const auto readOnly = ScratchMount::readOnlyBind(folder, &reason);
    if (!readOnly)
        GTEST_SKIP() << reason.toStdString();
    EXPECT_FALSE(saveAssociations(backups, readOnly->mountPoint()));
    EXPECT_EQ(readWholeFile(readOnly->mountPoint() + "/usrdatab"), old);
}
