// The main window's menus, toolbar and popup as the user meets them, and the keys and clicks on
// the tree, offscreen.

#include "mainwindow/BackupsTreeView.h"
#include "mainwindow/ElidingPanel.h"
#include "mainwindow/frmQuillmot.h"
#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"

#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

namespace {

// "name caption" per item, "-" per separator.
QStringList itemsOf(const QMenu* menu) {
    QStringList items;
    for (const QAction* item : menu->actions())
        items.append(item->isSeparator() ? QStringLiteral("-")
                                         : item->objectName() + u' ' + item->text());
    return items;
}

class MainWindowFixture : public TreeFixture {
protected:
    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
    }
};

} // namespace

TEST(MainWindowMenus, CaptionsOrderAndMnemonicsAreAsTheUserKnowsThem) {
    ensureGuiApp();
    frmQuillmot window;
    window.show();
    window.refreshAvailability(); // as each menu does when it opens
    QStringList titles;
    for (const QAction* menu : window.menuBar()->actions())
        titles.append(menu->menu()->objectName() + u' ' + menu->text());
    EXPECT_EQ(titles, QStringList({"mnuFile &Window", "mnuBackup &Back-up", "mnuSpecial &Actions",
                                   "mnuInfo &Help"}));
    const auto menu = [&](const char* name) { return itemsOf(window.findChild<QMenu*>(name)); };
    EXPECT_EQ(menu("mnuFile"), QStringList({"mnuOptions Options", "mnuLog Recent Activity", "-",
                                            "mnuShowHide Hide Window", "mnuExit Stop and Exit", "-",
                                            "mnuAbout About Quillmot"}));
    EXPECT_EQ(menu("mnuBackup"),
              QStringList({"mnuLoad Load Scheme", "mnuSave Save Scheme", "-",
                           "mnuAddFiles Add File(s)", "mnuAddFolder Add Folder", "-",
                           "mnuEdit View / Edit", "mnuEnabled Disable", "mnuRemove Remove"}));
    EXPECT_EQ(menu("mnuSpecial"),
              QStringList({"mnuOpen Open", "mnuProperties Properties", "mnuRename Rename", "-",
                           "mnuExpandTree Expand Tree", "mnuCollapseTree Collapse Tree", "-",
                           "mnuPaused Pause Program"}));
    EXPECT_EQ(menu("mnuInfo"),
              QStringList({"mnuWeb Home Page", "mnuUpdates Check for Updates", "-",
                           "mnuHelp Users` Manual", "mnuConversion Conversion Readme"}));
    EXPECT_EQ(menu("mnuPopup"),
              QStringList({"mnuPopupEdit View / Edit", "-", "mnuPopupOpen Open",
                           "mnuPopupProperties Properties", "mnuPopupRename Rename", "-",
                           "mnuPopupEnabled Disable", "mnuPopupRemove Remove"}));
    EXPECT_EQ(window.popupMenu()->defaultAction(), window.action("mnuPopupEdit"));

    QStringList buttons;
    for (const QAction* button : window.findChild<QToolBar*>("tlbrMain")->actions())
        if (!button->objectName().isEmpty())
            buttons.append(button->objectName() + u' ' + button->text() + " / " +
                           button->toolTip());
    EXPECT_EQ(buttons,
              QStringList({"*Options Options / Change optional settings",
                           "*AddFiles Add File(s) / Add file(s) to be automatically backed up",
                           "*AddFolder Add Folder / Add a folder to be automatically backed up",
                           "*Remove Remove / Remove backup association",
                           "*Help Manual / Open HTML help document"}));
}

TEST(MainWindowMenus, CommandsOfOtherWindowsWaitUntilTheyAreConnected) {
    ensureGuiApp();
    frmQuillmot window;
    for (const char* name :
         {"mnuOptions", "*Options", "mnuLog", "mnuAbout", "mnuLoad", "mnuSave", "mnuAddFiles",
          "*AddFiles", "mnuAddFolder", "*AddFolder", "mnuUpdates"})
        EXPECT_FALSE(window.action(name)->isEnabled()) << name;
    EXPECT_TRUE(window.action("*Remove")->isEnabled()) << "says when nothing is selected";

    int adds = 0;
    const auto connection =
        QObject::connect(&window, &frmQuillmot::addFilesRequested, [&] { ++adds; });
    EXPECT_TRUE(window.action("mnuAddFiles")->isEnabled());
    EXPECT_TRUE(window.action("*AddFiles")->isEnabled());
    window.action("*AddFiles")->trigger();
    window.action("mnuAddFiles")->trigger();
    EXPECT_EQ(adds, 2);
    QObject::disconnect(connection);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.action("mnuAddFiles")->isEnabled());
}

TEST_F(MainWindowFixture, KeysAndClicksOnTheTreeRunViewEditAndRemove) {
    const QString report = file("Docs/report.txt");
    associate(report, false);
    tree->UpdateTreeLocal();
    frmQuillmot window;
    window.attachTree(tree.get(), commands.get());
    window.show();
    BackupsTreeView* view = window.treeView();
    QSignalSpy edits(&window, &frmQuillmot::viewEditRequested);
    tree->revealNodes({report});
    view->setCurrentIndex(tree->indexOf(node(report)));
    EXPECT_TRUE(window.findChild<ElidingPanel*>("Volume")->fullText().startsWith(
        "Selected Drive Volume: "));

    QTest::keyClick(view, Qt::Key_Return);
    const QRect row = view->visualRect(view->currentIndex());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(edits.count(), 2);
    EXPECT_EQ(edits[0][0].toString(), report);

    messages.answers = {MessageBoxes::Answer::Yes};
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(messages.asked.back().text, "Are you sure you wish to remove this association?");
    EXPECT_EQ(state->Backups->Count(), 0);
    EXPECT_EQ(tree->rowCount(), 0);
    EXPECT_EQ(window.findChild<ElidingPanel*>("Volume")->fullText(),
              "Selected Drive Volume: <n/a> ");
}

TEST(StatusPanel, ALongVolumeNameGivesWayInTheMiddleAndIsWholeInTheToolTip) {
    ensureGuiApp();
    QStatusBar bar;
    auto* volume = new ElidingPanel(&bar);
    const QString text =
        QStringLiteral("Selected Drive Volume: UUID=6f1c2a9e-3b4d-4e5f-8a7b-0c1d2e3f4a5b");
    volume->setFullText(text);
    bar.addWidget(volume);
    bar.addWidget(new QLabel(QStringLiteral("Recent scheme: <n/a> ")), 1);
    bar.resize(300, 30);
    bar.show();
    QCoreApplication::processEvents();
    EXPECT_LE(volume->fontMetrics().horizontalAdvance(volume->text()),
              volume->contentsRect().width());
    EXPECT_TRUE(volume->text().startsWith(QStringLiteral("Selected")));
    EXPECT_TRUE(volume->text().endsWith(QStringLiteral("4a5b")));
    EXPECT_EQ(volume->toolTip(), text);
}
