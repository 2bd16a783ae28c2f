// Schemes: saving what the tree shows, loading a saved set in place of the current one with its
// watches, and refusing every scheme that would leave the user with less than they had.

#include "presentation/SchemeCommands.h"

#include "persistence/AssociationStore.h"
#include "platform/Paths.h"
#include "state/WatchRegistry.h"
#include "support/LifecycleOverHome.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using Icon = MessageBoxes::Icon;
using Answer = MessageBoxes::Answer;

namespace {

struct SchemeFixture : LifecycleOverHome<ManualClock> {
    SchemeCommands schemes{state, lifecycle, engine};
    QString sch = home.appDataFolder() + "/sch";

    // A folder association on a real folder, in memory only.
    QString add(const QString& name) {
        const QString path = home.makeFolder(name);
        clsBackup association = newAssociation(path, true, "", "c", state.destinations);
        association.Recursive = true;
        state.backups->Add(std::move(association), path);
        state.destinations->Add(home.path() + "/dest-" + name, path, "");
        engine.CreateDetectFolder(path, true);
        return path;
    }
    QStringList paths() const {
        QStringList out;
        for (const auto& b : *state.backups)
            out << b->SourcePath;
        return out;
    }
    QByteArray store(const QString& name) const {
        return readWholeFile(home.appDataFolder() + "/" + name);
    }
    void writeScheme(const QString& name, const QByteArray& content) {
        home.writeFile(".config/Quillmot/sch/" + name, content);
    }
    // Loads `name` once the catch-up of the last load is over, answering Yes to the question.
    bool loadAnsweringYes(const QString& name) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !engine.busy(); }, 5000));
        messages.asked.clear();
        messages.answers = {Answer::Yes};
        return schemes.load(name);
    }
    qint32 watchOf(const QString& folder) const {
        return state.detectFolders->contains(folder) ? state.detectFolders->Item(folder)->AutoBackup
                                                     : 0;
    }
};

} // namespace

// A scheme is what the tree shows, even an association not yet written to the store.
TEST_F(SchemeFixture, SaveWritesPendingChangesFirstAndReplacesUnderTheSameName) {
    ASSERT_TRUE(schemes.openFolder());
    const QString docs = add("docs");
    ASSERT_TRUE(schemes.save("  work "));
    EXPECT_EQ(messages.texts(), QStringList{"Scheme saved successfully!"});
    EXPECT_EQ(messages.asked.back().icon, Icon::Information);
    EXPECT_TRUE(store("usrdatab").startsWith(docs.toUtf8() + "\r\n"));
    EXPECT_EQ(readWholeFile(sch + "/work.sch"), store("usrdatab"));
    EXPECT_EQ(readWholeFile(sch + "/work.sch.dst"), store("usrdatad"));
    EXPECT_EQ(state.RecentSchemeName, "work.sch");
    EXPECT_EQ(ui.schemeName, "work.sch");

    add("music");
    ASSERT_TRUE(schemes.save("work.sch"));
    EXPECT_EQ(messages.asked.size(), 2u); // replaced without a question
    EXPECT_EQ(readWholeFile(sch + "/work.sch"), store("usrdatab"));
    EXPECT_EQ(everything(sch), QStringList({"work.sch", "work.sch.dst"}));
    EXPECT_EQ(schemes.list(), QStringList{"work.sch"});
}

// Only typed keys are filtered; a pasted name must still never leave the scheme folder.
TEST_F(SchemeFixture, NamesThatAreEmptyOrCouldLeaveTheFolderSaveNothing) {
    ASSERT_TRUE(schemes.openFolder());
    add("docs");
    for (const QString& name :
         QStringList{"", "   ", "../evil", "a/b", ".hidden", "..", QString(300, 'x'),
                     QString("nul") + QChar(0) + "x", "line\nbreak", "c:d"}) {
        messages.asked.clear();
        EXPECT_FALSE(schemes.save(name)) << name.toStdString();
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].icon, Icon::Exclamation);
        EXPECT_EQ(messages.asked[0].text, name.trimmed().isEmpty()
                                              ? "Please enter a name for this scheme."
                                              : "A scheme name cannot begin with a dot, hold a "
                                                "control character or be this long.");
    }
    EXPECT_TRUE(everything(sch).isEmpty());
    EXPECT_EQ(everything(home.appDataFolder()), QStringList{"sch"});
    EXPECT_FALSE(QFile::exists(home.path() + "/.config/evil.sch"));
}

TEST_F(SchemeFixture, LoadReplacesTheSetItsStoreFilesAndWatchesAndUnpausesUnlessPausedBefore) {
    ASSERT_TRUE(schemes.openFolder());
    const QString docs = add("docs");
    ASSERT_TRUE(schemes.save("work"));
    const QByteArray savedSet = store("usrdatab");
    state.backups->Clear();
    const QString music = add("music");
    messages.asked.clear();
    QSignalSpy reloaded(&schemes, &SchemeCommands::associationsReloaded);

    messages.answers = {Answer::No, Answer::Cancel, Answer::Yes};
    EXPECT_FALSE(schemes.load("work.sch"));
    EXPECT_FALSE(schemes.load("work.sch"));
    EXPECT_EQ(paths(), QStringList{music});
    ASSERT_TRUE(schemes.load("work.sch"));
    EXPECT_EQ(messages.asked.back().text, "Are you sure you want to load the scheme: work.sch?");
    EXPECT_EQ(messages.asked.back().icon, Icon::Question);
    EXPECT_EQ(messages.asked.back().buttons, MessageBoxes::Buttons::YesNoCancel);
    EXPECT_EQ(messages.asked.size(), 3u);

    EXPECT_EQ(paths(), QStringList{docs});
    EXPECT_EQ(state.destinations->Count(), 1);
    EXPECT_EQ(store("usrdatab"), savedSet);
    EXPECT_EQ(store("usrdatad"), readWholeFile(sch + "/work.sch.dst"));
    EXPECT_GT(watchOf(docs), 0);
    EXPECT_EQ(watchOf(music), 0); // closed, dropped at the next tick
    EXPECT_EQ(state.watches->openCount(), 1);
    EXPECT_EQ(reloaded.count(), 1);
    EXPECT_EQ(ui.associationCount, 1);
    EXPECT_EQ(ui.schemeName, "work.sch");
    EXPECT_FALSE(state.Paused);
    EXPECT_EQ(ui.pausedLooks, std::vector({true, false}));

    // A load while paused stays paused.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.busy(); }, 5000));
    lifecycle.Pause();
    ASSERT_TRUE(loadAnsweringYes("work.sch"));
    EXPECT_TRUE(state.Paused);
    EXPECT_EQ(ui.pausedLooks, std::vector({true, false, true}));

    // A user who does not want the running scan stopped loads nothing now.
    lifecycle.Unpause();
    state.Scanning = true;
    messages.answers = {Answer::Yes, Answer::No};
    EXPECT_FALSE(schemes.load("work.sch"));
    EXPECT_FALSE(state.Paused);
}

// However a scheme is broken, the user keeps the set they had: in memory and on disk.
TEST_F(SchemeFixture, ASchemeThatCannotLoadKeepsTheCurrentSetAndStoreFilesByteForByte) {
    ASSERT_TRUE(schemes.openFolder());
    const QString docs = add("docs");
    ASSERT_TRUE(saveAssociations(*state.backups, home.appDataFolder()).ok());
    ASSERT_TRUE(saveDestinations(*state.destinations, home.appDataFolder()).ok());
    add("unsaved"); // a change since the last store write stays too
    const QStringList current = paths();
    const QByteArray associations = store("usrdatab"), destinations = store("usrdatad");

    QByteArray truncated = associations;
    truncated.truncate(truncated.indexOf("\r\n1\r\n"));
    const QByteArray notUtf8 = QByteArray("\xff\xfe\x00garbage\r\n\x80\x81", 14).repeated(5);
    const QList<std::pair<QString, QByteArray>> broken = {
        {"truncated.sch", truncated},
        {"garbage.sch", notUtf8},
        {"huge.sch", QByteArray(100 << 20, '\x9c')},
        {"nodst.sch", associations},
        {"folder.sch", {}},
    };
    for (const auto& [name, content] : broken) {
        if (name != "folder.sch")
            writeScheme(name, content);
        if (name != "nodst.sch")
            writeScheme(name + ".dst", destinations);
    }
    QDir().mkpath(sch + "/folder.sch");
    QSignalSpy reloaded(&schemes, &SchemeCommands::associationsReloaded);

    for (const auto& [name, content] : broken) {
        EXPECT_TRUE(loadAnsweringYes(name)) << name.toStdString();
        ASSERT_EQ(messages.asked.size(), 2u);
        EXPECT_EQ(messages.asked[1].text, "Error in retrieving scheme.");
        EXPECT_EQ(messages.asked[1].icon, Icon::Exclamation);
        EXPECT_EQ(paths(), current);
        EXPECT_EQ(store("usrdatab"), associations);
        EXPECT_EQ(store("usrdatad"), destinations);
        EXPECT_FALSE(state.Paused);
    }
    EXPECT_EQ(reloaded.count(), 0);
    EXPECT_GT(watchOf(docs), 0);
    EXPECT_TRUE(state.RecentSchemeName.isEmpty());
    EXPECT_FALSE(QFile::exists(home.appDataFolder() + "/usrdatabTEMP"));

    // The final rename of the store fails: nothing is replaced, no twin stays, the user reads why.
    writeScheme("good.sch", associations);
    writeScheme("good.sch.dst", destinations + crlfLines({home.path() + "/extra", docs, ""}));
    const QString blocked = home.appDataFolder() + "/usrdatab";
    QFile::remove(blocked);
    QDir().mkpath(blocked + "/in-the-way");
    EXPECT_TRUE(loadAnsweringYes("good.sch"));
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_TRUE(messages.asked[1].text.startsWith("Error in retrieving scheme.\n\nCannot replace " +
                                                  blocked + ": "))
        << messages.asked[1].text.toStdString();
    EXPECT_EQ(store("usrdatad"), destinations);
    EXPECT_EQ(everything(home.appDataFolder()).filter("TEMP"), QStringList());
    EXPECT_EQ(paths(), current);
    QDir(blocked).removeRecursively();

    // A scheme written in a single-byte code page is still a scheme.
    QByteArray latin1 = associations;
    latin1.replace(docs.toUtf8(), home.path().toUtf8() + "/B\xfc"
                                                         "cher");
    writeScheme("old.sch", latin1);
    writeScheme("old.sch.dst", "");
    ASSERT_TRUE(loadAnsweringYes("old.sch"));
    // The path keeps its exact bytes, so it still names the folder on the disk.
    EXPECT_EQ(paths(), QStringList{Paths::fromUtf8Bytes(home.path().toUtf8() + "/B\xfc"
                                                                               "cher")});
    EXPECT_EQ(store("usrdatab"), latin1);
}

TEST_F(SchemeFixture, NoSelectionAsksForOne) {
    ASSERT_TRUE(schemes.openFolder());
    EXPECT_FALSE(schemes.load(""));
    EXPECT_EQ(messages.texts(), QStringList{"Please select a scheme from the list above."});
}
