#include "persistence/AssociationStore.h"

#include "support/Mounts.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The 13 usrdatab lines of an enabled folder association; line 6 and line 9 given verbatim.
QStringList record(const QString& path, const QString& versions = "3",
                   const QString& folder = "1") {
    return (path + "|USB|1/2/2026 10:00:00|Never|Never|" + folder + "|1|1|" + versions + "|1|0|1|1")
        .split('|');
}

// A large store, for saves killed at random moments.
std::unique_ptr<colBackups> makeStore(const QString& name, int count) {
    auto root = std::make_shared<colDestinations>();
    auto backups = std::make_unique<colBackups>(root);
    for (int i = 0; i < count; ++i) {
        const QString path = QString("/home/ann/%1/folder number %2").arg(name).arg(i);
        clsBackup association =
            newAssociation(path, true, "BACKUP-DISK", "14.03.2026 10:20:30", root);
        association.Recursive = i % 2 == 0;
        association.NotifyOnSuccess = false;
        association.DateLastActivity = "15.03.2026 11:00:00";
        association.KeepBackup = true;
        association.Versions = qint16(i % 100);
        backups->Add(std::move(association), path);
    }
    return backups;
}

class AssociationStoreTest : public ::testing::Test {
protected:
    TempHome home;
    QString folder = home.appDataFolder();
    std::shared_ptr<colDestinations> destinations = std::make_shared<colDestinations>();
    colBackups backups{destinations};
    QStringList watched; // "path|r" or "path|-" per watch opened

    // Loads both files; what the associations' load left out.
    StoreReadReport load(const QString& from) {
        const StoreReadReport report = loadAssociations(
            backups, destinations, from, [this](const QString& path, bool subtree) {
                watched << path + (subtree ? "|r" : "|-");
            });
        destinationsReport = loadDestinations(*destinations, from);
        return report;
    }
    StoreReadReport destinationsReport;
    QStringList keptCopies() const {
        return QDir(folder).entryList({"*.unread-*"}, QDir::Files, QDir::Name);
    }
    void writeStore(const QString& name, const QStringList& lines) {
        home.writeAppData(name, crlfLines(lines));
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
        clsBackup association = newAssociation(path, true, "V", "c", destinations);
        association.Recursive = true;
        association.Versions = 2;
        backups.Add(std::move(association), path);
    }
};

} // namespace

TEST_F(AssociationStoreTest, OneValuePerCrLfLineInAFixedOrderAndOddValuesRoundTrip) {
    clsBackup association = newAssociation("/src", true, "\0\0"_L1, "c", destinations);
    association.NotifyOnSuccess = false;
    association.DateLastActivity = "m";
    association.Versions = 5;
    association.CopyHidden = true;
    backups.Add(std::move(association), "/src");
    destinations->Add("/dst", "/src", "VOL");
    ASSERT_TRUE(saveAssociations(backups, folder).ok());
    ASSERT_TRUE(saveDestinations(*destinations, folder).ok());
    EXPECT_EQ(bytesOf("usrdatab"), crlfLines({"/src", "\0\0"_L1, "c", "Never", "m", "1", "1", "0",
                                              "5", "0", "1", "0", "1"}));
    EXPECT_EQ(bytesOf("usrdatad"), crlfLines({"/dst", "/src", "VOL"}));

    writeStore("usrdatab", record("/home/ann/Ünïcode ✓", "-1") +
                               QStringList{"/report.txt", "A\0B\0\0"_L1, "", "Never", "Never", "0",
                                           "0", "1", "32767", "0", "1", "0", "0"} +
                               record("/carriage\rreturn", "-32768", "TRUE"));
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
    ASSERT_TRUE(saveAssociations(backups, copy).ok());
    ASSERT_TRUE(saveDestinations(*destinations, copy).ok());
    EXPECT_EQ(bytesOf("usrdatad", copy), bytesOf("usrdatad"));
    // Only the non-"1" Boolean is normalised on the way back.
    EXPECT_EQ(bytesOf("usrdatab", copy), bytesOf("usrdatab").replace("TRUE", "0"));
}

TEST_F(AssociationStoreTest, OnlyExactlyOneIsTrueAndVersionsAreTheLeadingNumberHalfToEven) {
    // Line 6 (Folder) and line 9 (Versions) as written, and as read.
    const QList<std::tuple<QString, QString, bool, int>> rows = {
        {"TRUE", "2.5", false, 2}, {"-1", "3.5", false, 4},    {"1 ", " 7 apples", false, 7},
        {"", "abc", false, 0},     {"01", "1e3", false, 1000}, {"1", "1e-400", true, 0}};
    QStringList lines;
    for (const auto& row : rows)
        lines << record("/" + QString::number(lines.size()), std::get<1>(row), std::get<0>(row));
    writeStore("usrdatab", lines);
    load(folder);
    ASSERT_EQ(backups.Count(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(backups.Item(i + 1)->Folder, std::get<2>(rows[i])) << i;
        EXPECT_EQ(backups.Item(i + 1)->Versions, std::get<3>(rows[i])) << i;
    }
}

// One damaged record must not cost the records after it: each one that cannot be added is
// skipped and the reading goes on, also past lines missing from a record or a refused watch.
TEST_F(AssociationStoreTest, ARecordThatCannotBeAddedOrWatchedIsSkippedAndTheReadingGoesOn) {
    for (const QString overflow : {"32768", "-32769", "32767.5", "1e400", "70000"}) {
        writeStore("usrdatab", record("/first") + record("/bad", overflow) + record("/after"));
        EXPECT_TRUE(load(folder).partlyRead);
        EXPECT_EQ(loadedPaths(), (QStringList{"/first", "/after"})) << overflow.toStdString();
    }

    writeStore("usrdatab", record("/a") + record("/b") + record("/a") + record("/c"));
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/b", "/c"}));

    QStringList missingLine = record("/a") + record("/b") + record("/c") + record("/d");
    missingLine.removeAt(13 + 4); // a date line of "/b"
    writeStore("usrdatab", missingLine);
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/c", "/d"}));

    QStringList cut = record("/a") + record("/b");
    cut.removeLast();
    writeStore("usrdatab", cut);
    writeStore("usrdatad", {"/d1", "/a", "", "/d2", "/a"});
    EXPECT_TRUE(load(folder).partlyRead);
    EXPECT_EQ(loadedPaths(), QStringList{"/a"});
    EXPECT_EQ(destinations->Count(), 1);

    // A watch that cannot be opened keeps its association.
    writeStore("usrdatab", record("/a") + record("/b") + record("/c"));
    const StoreReadReport refused =
        loadAssociations(backups, destinations, folder, [](const QString& path, bool) {
            if (path == "/b")
                throw std::runtime_error("inotify limit");
        });
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/b", "/c"}));
    EXPECT_FALSE(refused.partlyRead);
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

// A store that was read only in part is kept as it was before any save can write over it, once.
TEST_F(AssociationStoreTest, APartlyReadStoreIsKeptBesideItAndAWholeOneIsNot) {
    writeStore("usrdatab", record("/a") + record("/b"));
    writeStore("usrdatad", {"/d-a", "/a", "", "/d-b", "/b", ""});
    load(folder);
    EXPECT_TRUE(keptCopies().isEmpty());

    const QByteArray damaged = crlfLines(record("/a") + record("/b", "70000") + record("/c"));
    home.writeAppData("usrdatab", damaged);
    QStringList shifted{"/d-a", "/a", "", "/d-b", "/b", "/d-c", "/c", ""};
    writeStore("usrdatad", shifted);
    const StoreReadReport report = load(folder);
    ASSERT_TRUE(report.partlyRead);
    EXPECT_TRUE(QFileInfo(report.keptAs).fileName().startsWith("usrdatab.unread-"));
    EXPECT_EQ(bytesOf(QFileInfo(report.keptAs).fileName()), damaged);
    EXPECT_TRUE(destinationsReport.partlyRead);
    EXPECT_EQ(bytesOf(QFileInfo(destinationsReport.keptAs).fileName()), crlfLines(shifted));
    EXPECT_EQ(destinations->Count(), 2); // "/d-b" lost its volume line; "/d-c" read on

    ASSERT_TRUE(saveAssociations(backups, folder).ok());
    ASSERT_TRUE(saveDestinations(*destinations, folder).ok());
    EXPECT_EQ(bytesOf(QFileInfo(report.keptAs).fileName()), damaged);
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/c"}));
    EXPECT_EQ(keptCopies().size(), 2);
}

// A source or destination that is not a full path would be taken relative to whatever folder
// the program happens to be in ("" is the root): it is skipped, and named in the report.
TEST_F(AssociationStoreTest, SourcesAndDestinationsThatAreNotFullPathsAreSkipped) {
    writeStore("usrdatab", record("/a") + record("docs") + record("") + record("/b"));
    writeStore("usrdatad",
               {"", "/a", "", "backup", "/a", "", "/d-b", "/b", "", "//srv/share", "/a", ""});
    const StoreReadReport report = load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/b"}));
    EXPECT_EQ(report.notAbsolute, (QStringList{"docs", ""}));
    EXPECT_EQ(destinationsReport.notAbsolute, (QStringList{"", "backup"}));
    QStringList kept;
    for (const auto& d : *destinations)
        kept << d->Path;
    EXPECT_EQ(kept, (QStringList{"/d-b", "//srv/share"}));
}

TEST_F(AssociationStoreTest, AnOrphanIsWrittenBackUntilTheNextRemovalAndALineBreakLeftOut) {
    writeStore("usrdatab", record("/a") + record("/b"));
    writeStore("usrdatad", {"/d-a", "/a", "", "/d-orphan", "/gone", "OLD", "/d-b", "/b", ""});
    const QByteArray original = bytesOf("usrdatad");
    load(folder);
    ASSERT_TRUE(saveDestinations(*destinations, folder).ok());
    EXPECT_EQ(bytesOf("usrdatad"), original);

    backups.Remove(QString("/a"));
    ASSERT_TRUE(saveDestinations(*destinations, folder).ok());
    EXPECT_EQ(bytesOf("usrdatad"), crlfLines({"/d-b", "/b", ""}));

    // A record with a line break is left out, so that the others stay aligned.
    backups.Remove(1);
    for (const char* path : {"/a", "/new\nline", "/c"})
        add(path);
    destinations->Add("/d\nnl", "/a", "");
    destinations->Add("/d-c", "/c", "");
    ASSERT_TRUE(saveAssociations(backups, folder).ok());
    ASSERT_TRUE(saveDestinations(*destinations, folder).ok());
    load(folder);
    EXPECT_EQ(loadedPaths(), (QStringList{"/a", "/c"}));
    EXPECT_EQ(destinations->Count(), 1);
}

TEST_F(AssociationStoreTest, SavingCreatesTheFolderReplacesATwinAndAFailureKeepsTheOldFile) {
    add("/old");
    ASSERT_FALSE(QFileInfo::exists(folder));
    ASSERT_TRUE(saveAssociations(backups, folder).ok());
    const QByteArray old = bytesOf("usrdatab");
    writeStore("usrdatabTEMP", {"half a record"});
    ASSERT_TRUE(saveAssociations(backups, folder).ok());
    EXPECT_FALSE(QFileInfo::exists(folder + "/usrdatabTEMP"));
    EXPECT_EQ(bytesOf("usrdatab"), old);
    add("/new");

    QDir().mkpath(folder + "/usrdatabTEMP/blocker"); // a twin that cannot be created
    EXPECT_FALSE(saveAssociations(backups, folder).ok());
    EXPECT_EQ(bytesOf("usrdatab"), old);
    EXPECT_FALSE(
        saveDestinations(*destinations, home.writeFile("plain-file", "x") + "/Quillmot").ok());

    QDir(folder + "/usrdatabTEMP").removeRecursively();
    const auto readOnly = ScratchMount::readOnlyBind(folder);
    SKIP_UNLESS_MOUNTED(readOnly);
    EXPECT_FALSE(saveAssociations(backups, readOnly->mountPoint()).ok());
    EXPECT_EQ(readWholeFile(readOnly->mountPoint() + "/usrdatab"), old);
}

// A save killed at any moment must leave usrdatab as one whole version: the one before or the
// one being written, never a torn mix.
TEST_F(AssociationStoreTest, AKilledSaveLeavesTheOldOrTheNewStoreWhole) {
    const auto first = makeStore("first", 4000), second = makeStore("second", 2500);
    ASSERT_TRUE(saveAssociations(*second, folder).ok());
    const QByteArray secondBytes = bytesOf("usrdatab");
    ASSERT_TRUE(saveAssociations(*first, folder).ok());
    const QByteArray firstBytes = bytesOf("usrdatab");

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> killAfterUs(1000, 80000);
    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (unsigned n = 0;; ++n)
                (void)saveAssociations(n % 2 ? *first : *second, folder);
        const int delay = killAfterUs(random);
        usleep(useconds_t(delay));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        const QByteArray now = bytesOf("usrdatab");
        ASSERT_TRUE(now == firstBytes || now == secondBytes)
            << "torn store after a kill at " << delay << " us (seed " << seed << "), " << now.size()
            << " bytes";
        loadAssociations(backups, destinations, folder, {});
        EXPECT_EQ(backups.Count(), now == firstBytes ? 4000 : 2500);
    }
}
