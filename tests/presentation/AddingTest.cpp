#include "presentation/AddAssociations.h"

#include "EditingFixture.h"
#include "support/Mounts.h"

#include <QDir>
#include <deque>

namespace {

// What the user does in each properties dialog the adding opens, in order.
using DialogAction = std::function<void(PropertiesSession&)>;

class AddingTest : public EditingFixture {
protected:
    std::deque<DialogAction> dialogs;
    int dialogsShown = 0;
    QStringList shownInTree;
    QString documents;
    std::function<QString(const QString&)> networkForm = [](const QString& p) { return p; };

    AddAssociations adding() {
        AddAssociations::Hooks h;
        h.networkForm = [this](const QString& p) { return networkForm(p); };
        h.documentsFolder = documents;
        h.openWatch = [this](const QString& p, bool r) { watchesOpened.emplace_back(p, r); };
        h.showInTree = [this](const QString& p) { shownInTree << p; };
        h.showProperties = [this] {
            ++dialogsShown;
            PropertiesSession session(*state, pickers, sessionHooks());
            ASSERT_TRUE(session.load());
            ASSERT_FALSE(dialogs.empty()) << "a dialog nobody expected";
            const DialogAction act = dialogs.front();
            dialogs.pop_front();
            act(session);
            session.close();
        };
        return AddAssociations(*state, pickers, h);
    }
    std::shared_ptr<clsBackup> association(const QString& path) {
        return state->backups->contains(path) ? state->backups->Item(path) : nullptr;
    }
    QStringList destinationsOf(const QString& path) {
        QStringList out;
        for (const auto& d : state->destinations->of(path))
            out << d->Path + "|" + d->Volume;
        return out;
    }
};

DialogAction saveWith(int versions, const QString& destination, bool toAll = false) {
    return [=](PropertiesSession& s) {
        ASSERT_TRUE(s.addDestinationPath(destination));
        PropertiesValues v;
        v.keepBackup = true;
        v.versionsText = QString::number(versions);
        v.notifySuccess = false;
        toAll ? s.saveToAll(v) : s.save(v);
    };
}

} // namespace

TEST_F(AddingTest, ANewFolderIsDatedSavedShownAndWatched) {
    const QString source = home.makeFolder("Docs"), dest = home.makeFolder("Backup");
    pickers.folders = {source};
    dialogs.push_back([&](PropertiesSession& s) {
        EXPECT_TRUE(s.association().Folder);
        EXPECT_EQ(s.association().DateCreated, DateTimeText::format(clock.current));
        EXPECT_FALSE(s.saveAllEnabled) << "a single folder has nothing to save to";
        saveWith(3, dest)(s);
    });
    adding().AddFolder();

    EXPECT_EQ(pickers.titles, QStringList({"Please select a folder for backup."}));
    ASSERT_TRUE(association(source));
    EXPECT_EQ(association(source)->Versions, 3);
    EXPECT_EQ(destinationsOf(source), QStringList({dest + "|" + volumeOf(dest)}));
    EXPECT_EQ(shownInTree, QStringList({source}));
    EXPECT_EQ(watchesOpened, (std::vector<std::pair<QString, bool>>{{source, false}}));
    // Both store files hold the new association.
    EXPECT_TRUE(readWholeFile(home.appDataFolder() + "/usrdatab").startsWith(source.toUtf8()));
    EXPECT_TRUE(readWholeFile(home.appDataFolder() + "/usrdatad").startsWith(dest.toUtf8()));
}

TEST_F(AddingTest, FolderCandidatesThatAreRefusedOrDeclinedCreateNothing) {
    const QString docs = home.makeFolder("Documents"), taken = home.makeFolder("Taken");
    documents = docs;
    addSaved(taken, true);

    messages.answers = {MessageBoxes::Answer::No};
    adding().addFolder(docs);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.endsWith("\n\nAdd folder anyway?"));
    EXPECT_EQ(messages.asked[0].buttons, MessageBoxes::Buttons::YesNoCancel);

    adding().addFolder(taken);
    EXPECT_EQ(messages.asked.back().text, "This folder is already backed up.");

    adding().addFolder(home.path() + "/Nowhere");
    EXPECT_EQ(messages.asked.back().text,
              "The folder '" + home.path() + "/Nowhere' does not exist.");
    EXPECT_FALSE(QDir(home.path() + "/Nowhere").exists());

    const QString pasted = home.path() + "/bad\nname";
    adding().addFolder(pasted);
    EXPECT_TRUE(messages.asked.back().text.contains("line breaks"));

    // A whole drive is asked about; Cancel is as good as No.
    messages.answers = {MessageBoxes::Answer::Cancel};
    adding().addFolder("/");
    EXPECT_TRUE(messages.asked.back().text.endsWith("\n\nAdd drive anyway?"));

    EXPECT_EQ(state->backups->Count(), 1);
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_TRUE(shownInTree.isEmpty());
}

TEST_F(AddingTest, SourcesOfAnotherComputerAreRefusedAndThisComputersShareIsNot) {
    state->LocalComputerName = "Quillhost";
    const QString far = home.makeFolder("mnt/far"), mine = home.makeFolder("shared");
    networkForm = [&](const QString& p) {
        if (p.startsWith(far))
            return "//otherpc/pub" + p.mid(far.size());
        if (p.startsWith(mine))
            return "//QUILLHOST/shared" + p.mid(mine.size());
        return p;
    };
    adding().addFolder(far);
    EXPECT_EQ(messages.texts(),
              QStringList({"Quillmot is unable to automatically back up files on remote "
                           "machines."}));
    EXPECT_EQ(messages.asked[0].icon, MessageBoxes::Icon::Information);

    dialogs.push_back([](PropertiesSession& s) { s.save({}); });
    adding().addFolder(mine);
    EXPECT_TRUE(association(mine));
}

// A saved, then "Save to All" in B: A takes B's settings, C is made like B, the refused file
// stays refused and the file whose dialog was cancelled stays out.
TEST_F(AddingTest, SaveToAllGivesTheOtherFilesOfTheSelectionTheSameSettings) {
    const QString taken = home.writeFile("taken.txt", "t");
    const QString dropped = home.writeFile("dropped.txt", "d");
    const QString a = home.writeFile("a.txt", "a"), b = home.writeFile("b.txt", "b"),
                  c = home.writeFile("c.txt", "c");
    const QString d1 = home.makeFolder("D1"), d2 = home.makeFolder("D2");
    addSaved(taken, false);
    pickers.files = {{taken, dropped, a, b, c}};
    dialogs.push_back([](PropertiesSession& s) {
        EXPECT_TRUE(s.saveAllEnabled);
        s.cancel();
    });
    dialogs.push_back(saveWith(5, d1));
    dialogs.push_back([&](PropertiesSession& s) {
        EXPECT_TRUE(s.saveAllEnabled);
        saveWith(7, d2, true)(s);
    });
    adding().AddFiles();

    EXPECT_EQ(pickers.titles, QStringList({"Select a file for automatic backup"}));
    EXPECT_EQ(dialogsShown, 3) << "no dialog after Save to All";
    EXPECT_EQ(messages.texts(), QStringList({"File: '" + taken + "' is already backed up."}));
    EXPECT_FALSE(association(dropped));
    for (const QString& p : {a, b, c}) {
        ASSERT_TRUE(association(p)) << qPrintable(p);
        EXPECT_EQ(association(p)->Versions, 7);
        EXPECT_FALSE(association(p)->NotifyOnSuccess);
        EXPECT_EQ(destinationsOf(p), QStringList({d2 + "|" + volumeOf(d2)})) << qPrintable(p);
    }
    EXPECT_EQ(association(taken)->Versions, 1) << "a refused file is left as it was";
    // Every association made here watches its folder, the copied ones included.
    std::set<QString> watched;
    for (const auto& w : watchesOpened)
        watched.insert(w.first);
    EXPECT_EQ(watched, (std::set<QString>{a, b, c}));
    EXPECT_EQ(shownInTree, QStringList({taken}));
    EXPECT_FALSE(state->ApplyToAll || state->NewAssociationPending);
}

TEST_F(AddingTest, AFolderOnADriveWithoutALabelAcceptsOnlyUnlabeledDrives) {
    auto disk = ScratchMount::tmpfs(1024);
    SKIP_UNLESS_MOUNTED(disk);
    const QString folder = disk->mountPoint() + "/Work";
    QDir().mkpath(folder);
    dialogs.push_back([](PropertiesSession& s) { s.save({}); });
    adding().addFolder(folder);
    ASSERT_TRUE(association(folder));
    EXPECT_EQ(association(folder)->Volume, QString(2, QChar(u'\0')));
}
