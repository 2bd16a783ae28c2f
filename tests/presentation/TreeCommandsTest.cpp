// What the menus offer on each kind of node, the Remove questions, and Disable / Enable with
// the watch it closes.

#include "platform/AppData.h"
#include "presentation/MenuRules.h"
#include "presentation/TreeFixture.h"

namespace {

using Answer = MessageBoxes::Answer;

// Each menu's rule applied in the order the menus open, as the window does.
MenuState allMenus(const SelectionFacts& facts) {
    MenuState state = MenuRules::backUpMenu(facts);
    state.insert(MenuRules::actionsMenu(facts));
    state.insert(MenuRules::popupMenu(facts));
    return state;
}

QStringList enabledItems(const MenuState& state) {
    QStringList names;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        if (it.value().enabled)
            names.append(it.key());
    names.sort();
    return names;
}

} // namespace

TEST_F(TreeFixture, MenusOfferWhatEachKindOfNodeAllows) {
    const QString docs = folder("Docs");
    const QString report = file("Docs/report.txt");
    const QString lost = missing("Lost/plan.txt");
    auto reportAssociation = associate(report, false);
    associate(lost, false);
    tree->UpdateTreeLocal();

    const MenuState onAssociation = allMenus(commands->factsOf(node(report)));
    EXPECT_EQ(
        enabledItems(onAssociation),
        QStringList({"mnuEdit", "mnuEnabled", "mnuOpen", "mnuPopupEdit", "mnuPopupEnabled",
                     "mnuPopupOpen", "mnuPopupProperties", "mnuPopupRemove", "mnuPopupRename",
                     "mnuPopupRestore", "mnuProperties", "mnuRemove", "mnuRename", "mnuRestore"}));
    EXPECT_EQ(onAssociation["mnuPopupEnabled"].caption, "Disable");
    EXPECT_EQ(onAssociation["mnuRename"].caption, "Rename");
    reportAssociation->Enabled = false;
    EXPECT_EQ(allMenus(commands->factsOf(node(report)))["mnuEnabled"].caption, "Enable");

    // A container: neither View / Edit in the popup nor Enable/Disable, but Remove.
    const MenuState onContainer = allMenus(commands->factsOf(node(docs)));
    EXPECT_FALSE(onContainer["mnuPopupEdit"].enabled);
    EXPECT_FALSE(onContainer["mnuPopupEnabled"].enabled);
    EXPECT_FALSE(onContainer["mnuEnabled"].enabled);
    EXPECT_TRUE(onContainer["mnuPopupRemove"].enabled);
    EXPECT_FALSE(onContainer["mnuRestore"].enabled);
    EXPECT_TRUE(onContainer["mnuEdit"].enabled) << "the bar's View / Edit expands a container";

    // A missing source: no Enable/Disable, and nothing that needs the path on disk; its backups
    // can still be restored.
    EXPECT_EQ(enabledItems(allMenus(commands->factsOf(node(lost)))),
              QStringList({"mnuEdit", "mnuPopupEdit", "mnuPopupRemove", "mnuPopupRestore",
                           "mnuRemove", "mnuRestore"}));

    // A drive root renames its volume.
    const SelectionFacts root = commands->factsOf(node(drive()));
    EXPECT_EQ(MenuRules::actionsMenu(root)["mnuRename"].caption, "Rename Volume");
    EXPECT_EQ(MenuRules::popupMenu(root)["mnuPopupRename"].caption, "Rename Volume");

    EXPECT_TRUE(enabledItems(allMenus(commands->factsOf(nullptr))).isEmpty());
}

TEST_F(TreeFixture, RemoveNamesWhatAndHowManyGoAndActsOnlyOnYes) {
    const QString a = file("A/one.txt"), b = file("A/two.txt"), container = Paths::parent(a);
    associate(a, false);
    associate(b, false);
    tree->UpdateTreeLocal();

    EXPECT_FALSE(commands->Remove(nullptr));
    EXPECT_EQ(messages.asked.back().text, "There is no association selected.");

    messages.answers = {Answer::No, Answer::Cancel};
    EXPECT_FALSE(commands->Remove(node(a)));
    EXPECT_FALSE(commands->Remove(node(container)));
    EXPECT_EQ(state->backups->Count(), 2);
    EXPECT_EQ(messages.texts().mid(1),
              QStringList({"Remove the association for " + a + "?",
                           "Remove all 2 associations below " + container + "?"}));
    for (const auto& asked : messages.asked) {
        if (asked.buttons == MessageBoxes::Buttons::Ok)
            continue;
        EXPECT_TRUE(asked.defaultNo) << qPrintable(asked.text) << ": Enter must not remove";
        EXPECT_EQ(asked.icon, MessageBoxes::Icon::Exclamation);
        EXPECT_EQ(asked.buttons, MessageBoxes::Buttons::YesNoCancel);
    }

    messages.answers = {Answer::Yes, Answer::Yes};
    EXPECT_TRUE(commands->Remove(node(a)));
    EXPECT_TRUE(commands->Remove(node(container)));
    EXPECT_EQ(messages.asked.back().text,
              "Remove the association for " + b + ", the only one below " + container + "?");
    EXPECT_EQ(state->backups->Count(), 0);
}

TEST_F(TreeFixture, DisableClosesTheWatchAndLeavesTheStoreToTheNextWrite) {
    const QString docs = folder("Docs");
    auto association = associate(docs, true);
    tree->UpdateTreeLocal();
    auto watch = [&] { return state->detectFolders->Item(Paths::PathKey(docs))->AutoBackup; };
    ASSERT_GT(watch(), 0);

    commands->toggleEnabled(node(docs));
    EXPECT_FALSE(association->Enabled);
    EXPECT_EQ(imageOf(docs), Paths::PathKey(docs) + "*Magenta");
    EXPECT_LE(watch(), 0);
    EXPECT_FALSE(QFile::exists(AppData::filePath("usrdatab"))) << "not written by the command";

    commands->toggleEnabled(node(docs));
    EXPECT_TRUE(association->Enabled);
    EXPECT_EQ(imageOf(docs), Paths::PathKey(docs) + "*Green");
    EXPECT_GT(watch(), 0);
}
