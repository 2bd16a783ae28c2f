// The scheme dialogs driven offscreen: the list shows only schemes, a click fills the name, the
// name box refuses what a file name cannot hold, Load waits for a selection, and Delete from the
// right-click menu refreshes the list.

#include "options/frmLoad.h"
#include "options/frmSave.h"

#include "presentation/SchemeCommands.h"
#include "support/GuiApp.h"
#include "support/LifecycleOverHome.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using Answer = MessageBoxes::Answer;

namespace {

struct SchemeDialogsTest : LifecycleOverHome<ManualClock, ensureGuiApp> {
    SchemeCommands schemes{state, lifecycle, engine};

    SchemeDialogsTest() {
        const QString docs = home.makeFolder("docs");
        state.backups->Add(newAssociation(docs, true, "", "c", state.destinations), docs);
        for (const char* name :
             {"work.sch", "work.sch.dst", "home.sch", "home.sch.dst", "notes.txt", ".hidden.sch"})
            home.writeAppData(QString("sch/") + name, "");
        QDir().mkpath(home.appDataFolder() + "/sch/folder.sch");
    }
    static QStringList texts(const QListWidget* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static void clickItem(QListWidget* list, int row) {
        const QRect at = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
    }
    // Prepares and shows `dialog` without waiting for it; its list of schemes.
    static QListWidget* shown(SchemeDialog& dialog) {
        EXPECT_TRUE(dialog.prepare());
        dialog.show();
        return dialog.findChild<QListWidget*>();
    }
};

} // namespace

// What the name box lets through is saved; the refusal of a name that leaves the folder is the
// scheme commands' own test.
TEST_F(SchemeDialogsTest, SaveListsOnlySchemesAClickOrAKeyFillsTheNameAndTheNameTakesNoPath) {
    frmSave dialog(schemes);
    QListWidget* list = shown(dialog);
    auto* name = dialog.findChild<QLineEdit*>("txtSchemeName");
    EXPECT_EQ(texts(list), QStringList({"home.sch", "work.sch"}));
    clickItem(list, 1);
    EXPECT_EQ(name->text(), "work");
    // The keyboard chooses a scheme too, also where there is nowhere to move.
    list->clearSelection();
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(name->text(), "home");

    name->clear();
    QTest::keyClicks(name, "my:sch\\eme/<1>|?*\"");
    EXPECT_EQ(name->text(), "myscheme1");
    QGuiApplication::clipboard()->setText("../../outside");
    name->paste();
    EXPECT_EQ(name->text(), "myscheme1");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(QFile::exists(home.appDataFolder() + "/sch/myscheme1.sch.dst"));
}

TEST_F(SchemeDialogsTest, LoadWaitsForASelectionByMouseOrKeyAndAsksBeforeItLoads) {
    frmLoad dialog(schemes);
    QListWidget* list = shown(dialog);
    auto* load = dialog.findChild<QPushButton*>("cmdOpen");
    EXPECT_FALSE(load->isEnabled());
    // The list has the focus and points at a scheme without choosing it.
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_TRUE(load->isEnabled()) << "a move that stays on the first scheme chooses it";

    // A double-click and Enter load after the question; No keeps the dialog open.
    messages.answers = {Answer::No, Answer::No};
    clickItem(list, 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->item(1)).center());
    list->clearSelection();
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(messages.texts(),
              QStringList(2, "Are you sure you want to load the scheme: work.sch?"));
    EXPECT_TRUE(dialog.isVisible());
    messages.answers = {Answer::Yes};
    QTest::mouseClick(load, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ui.schemeName, "work.sch");
}

TEST_F(SchemeDialogsTest, DeleteFromTheRightClickMenuAsksAndRefreshesTheList) {
    frmLoad dialog(schemes);
    QListWidget* list = shown(dialog);
    clickItem(list, 0);
    emit list->customContextMenuRequested(list->visualItemRect(list->item(0)).center());
    EXPECT_TRUE(dialog.popupMenu()->isVisible());
    EXPECT_EQ(dialog.popupMenu()->defaultAction(), dialog.openAction());
    EXPECT_TRUE(dialog.deleteAction()->isEnabled());
    dialog.popupMenu()->hide();
    dialog.deleteAction()->trigger(); // no answer given: Cancel
    EXPECT_EQ(messages.asked.back().text, "Are you sure you want to delete this Quillmot scheme?");
    EXPECT_EQ(messages.asked.back().buttons, MessageBoxes::Buttons::OkCancel);
    EXPECT_EQ(texts(list), QStringList({"home.sch", "work.sch"}));
    messages.answers = {Answer::Ok};
    dialog.deleteAction()->trigger();
    EXPECT_EQ(texts(list), QStringList{"work.sch"});
    EXPECT_EQ(everything(home.appDataFolder() + "/sch").filter("home"), QStringList());
    EXPECT_FALSE(dialog.findChild<QPushButton*>("cmdOpen")->isEnabled());
}

TEST_F(SchemeDialogsTest, ASchemeFolderThatIsAFileStopsBothDialogsBeforeTheyShow) {
    QDir(home.appDataFolder() + "/sch").removeRecursively();
    home.writeAppData("sch", "not a folder");
    frmLoad load(schemes);
    frmSave save(schemes);
    EXPECT_EQ(load.exec(), QDialog::Rejected);
    EXPECT_EQ(save.exec(), QDialog::Rejected);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_TRUE(messages.asked[0].text.contains(home.appDataFolder() + "/sch"));
    EXPECT_FALSE(load.isVisible());
}
