#include "presentation/Renaming.h"

#include "presentation/TreeFixture.h"
#include "state/DetectRecords.h"
#include "support/Mounts.h"

#include <QFileInfo>

namespace {

class RenameFixture : public TreeFixture {
protected:
    std::unique_ptr<ItemRenamer> renamer;
    QStringList treeMoves;

    void SetUp() override {
        TreeFixture::SetUp();
        renamer = std::make_unique<ItemRenamer>(*state, *engine);
        renamer->treeFollows = [this](const QString& from, const QString& to) {
            treeMoves << from + " -> " + to;
        };
    }
    QString path(const QString& relative) const { return home.path() + "/" + relative; }
    QStringList sources() const {
        QStringList all;
        for (const auto& association : *state->backups)
            all << association->SourcePath.mid(home.path().size() + 1);
        all.sort();
        return all;
    }
    // Every association's folder is watched by an open watch.
    bool allWatched() const {
        for (const auto& association : *state->backups) {
            const QString folder = association->Folder ? association->SourcePath
                                                       : Paths::parent(association->SourcePath);
            const QString key = Paths::PathKey(folder);
            if (!state->detectFolders->contains(key) ||
                state->detectFolders->Item(key)->AutoBackup <= 0)
                return false;
        }
        return true;
    }
};

} // namespace

TEST_F(RenameFixture, AFolderTakesItsAssociationsAndDestinationsAlongAndNothingBeside) {
    home.writeFile("Data/sub/a.txt", "a");
    home.makeFolder("Data/Backup");
    home.makeFolder("Database");
    home.makeFolder("Databackup");
    const auto data = associate(path("Data"), true);
    data->Versions = 3;
    data->DateLastActivity = "2026-03-04";
    data->CopyHidden = true;
    associate(path("Data/sub/a.txt"), false);
    associate(path("Database"), true);
    state->destinations->Add(path("Data/Backup"), path("Database"), "DATA");
    state->destinations->Add(path("Databackup"), path("Data"), "DATA");
    state->destinations->Add(path("Databackup"), path("Data/sub/a.txt"), "DATA");

    const RenameOutcome outcome = renamer->RenameFileOrFolder(path("Data"), "Work");

    ASSERT_EQ(outcome.kind, RenameOutcome::Kind::Renamed);
    EXPECT_TRUE(QFileInfo::exists(path("Work/sub/a.txt")));
    EXPECT_EQ(sources(), (QStringList{"Database", "Work", "Work/sub/a.txt"}));
    const auto work = state->backups->Item(path("Work"));
    EXPECT_EQ(work->Versions, 3);
    EXPECT_EQ(work->DateCreated, data->DateCreated);
    EXPECT_EQ(work->DateLastActivity, "2026-03-04");
    EXPECT_TRUE(work->CopyHidden && work->Recursive && work->NotifyOnError);
    QStringList destinations;
    for (const auto& destination : *state->destinations)
        destinations << destination->Path.mid(home.path().size() + 1) + " of " +
                            destination->Source.mid(home.path().size() + 1);
    EXPECT_EQ(destinations, (QStringList{"Work/Backup of Database", "Databackup of Work",
                                         "Databackup of Work/sub/a.txt"}));
    EXPECT_EQ(treeMoves, QStringList{path("Data") + " -> " + path("Work")});
    EXPECT_TRUE(allWatched());
    // The store files on disk hold the new paths.
    const QByteArray stored = readWholeFile(home.appDataFolder() + "/usrdatab");
    EXPECT_TRUE(stored.contains(path("Work/sub/a.txt").toUtf8()));
    EXPECT_FALSE(stored.contains(path("Data/").toUtf8()));
}

TEST_F(RenameFixture, EveryFailureLeavesTheModelAsItWasAndTheWatchesRunning) {
    const QString report = home.writeFile("docs/report.txt", "mine");
    const QString taken = home.writeFile("docs/summary.txt", "someone else's");
    associate(path("docs"), true);
    associate(path("docs/report.txt"), false);

    const auto taking = renamer->RenameFileOrFolder(report, "summary.txt");
    EXPECT_EQ(taking.kind, RenameOutcome::Kind::NameTaken);
    EXPECT_EQ(readWholeFile(taken), "someone else's");
    EXPECT_TRUE(allWatched());

    QFile::remove(report); // renamed away by another program meanwhile
    EXPECT_EQ(renamer->RenameFileOrFolder(report, "final.txt").kind, RenameOutcome::Kind::Gone);
    EXPECT_EQ(sources(), (QStringList{"docs", "docs/report.txt"}));
    EXPECT_TRUE(allWatched());
    EXPECT_TRUE(treeMoves.isEmpty());

    auto bind = ScratchMount::readOnlyBind(home.makeFolder("data"));
    SKIP_UNLESS_MOUNTED(bind);
    const auto failed = renamer->RenameFileOrFolder(bind->mountPoint(), "other");
    EXPECT_EQ(failed.kind, RenameOutcome::Kind::Failed);
    EXPECT_FALSE(failed.reason.isEmpty());
    EXPECT_TRUE(allWatched());
}

TEST(VolumeRename, ListsAndDestinationsThatCarriedTheOldNameCarryTheNewOne) {
    colDestinations destinations;
    colBackups backups(std::shared_ptr<colDestinations>(&destinations, [](auto*) {}));
    const auto add = [&](const QString& source, const QString& volumes) {
        backups.Add(newAssociation(source, true, volumes, DateTimeText::never, {}), source);
    };
    add("/media/a", VolumeList::encode({"data", "Other"}, true));
    add("/media/b", VolumeList::encode({"OTHER"}, false));
    destinations.Add("/media/usb/backup", "/media/a", "data");
    destinations.Add("/media/usb2/backup", "/media/a", "DATA");
    destinations.Add("/media/usb/more", "/media/b", "OTHER");

    Renaming::followVolumeRename(backups, destinations, "/media/usb", "Data", "data", "Archive");

    EXPECT_EQ(backups.Item("/media/a")->Volume, VolumeList::encode({"ARCHIVE", "OTHER"}, true));
    EXPECT_EQ(backups.Item("/media/b")->Volume, "OTHER");
    EXPECT_EQ(destinations.Item(1)->Volume, "ARCHIVE");
    EXPECT_EQ(destinations.Item(2)->Volume, "DATA"); // another drive
    EXPECT_EQ(destinations.Item(3)->Volume, "OTHER");
}
