// The main window as the user meets it, offscreen: closing puts it away (the program goes on)
// unless the program is exiting, a click on the "Running" panel asks for a pause toggle, and the
// menus, toolbar, keys and clicks on the tree reach their commands.

#include "mainwindow/BackupsTreeView.h"
#include "mainwindow/ElidingPanel.h"
#include "mainwindow/FittedColumns.h"
#include "mainwindow/MainWindowFixture.h"
#include "support/Contrast.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

namespace {
struct MainWindow : ::testing::Test {
    bool guiReady = (ensureGuiApp(), true);
    frmQuillmot window;
};
} // namespace

TEST_F(MainWindow, CloseHidesIntoTheTrayMinimisesWithoutOneAndAlwaysRunsTheCloseQuery) {
    bool exiting = false, trayHost = true;
    window.exitingQuery = [&] { return exiting; };
    window.trayHostQuery = [&] { return trayHost; };
    QSignalSpy closing(&window, &frmQuillmot::closing);

    window.show();
    EXPECT_FALSE(window.close()); // the close is refused: the window only hides
    EXPECT_EQ(closing.count(), 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());

    window.showNormalAndActivate();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    // No tray host would show the way back: closing and Hide leave the window minimised.
    trayHost = false;
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible() && window.isMinimized());
    window.showNormalAndActivate();
    window.showOrHide();
    EXPECT_TRUE(window.isVisible() && window.isMinimized());

    exiting = true;
    EXPECT_TRUE(window.close());
    EXPECT_EQ(closing.count(), 3);
}

TEST_F(MainWindow, AClickOnTheRunningPanelAsksToTogglePause) {
    window.show();
    auto* running = window.findChild<QLabel*>("Running");
    ASSERT_NE(running, nullptr);
    QSignalSpy toggle(&window, &frmQuillmot::pauseToggleRequested);
    QTest::mouseClick(running, Qt::LeftButton);
    EXPECT_EQ(toggle.count(), 1);
}

TEST_F(MainWindow, TwipsSurviveTheTripThroughPixels) {
    window.show();
    window.setGeometryTwips(QRect(1500, 3000, 9330, 5300));
    const auto twips = window.geometryTwips();
    ASSERT_TRUE(twips.has_value());
    const double pixel = window.twipsPerPixel();
    EXPECT_NEAR(twips->left(), 1500, pixel);
    EXPECT_NEAR(twips->top(), 3000, pixel);
    EXPECT_NEAR(twips->width(), 9330, pixel);
    EXPECT_NEAR(twips->height(), 5300, pixel);
}

TEST_F(MainWindow, CommandsOfOtherWindowsWaitUntilTheyAreConnected) {
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

TEST_F(MainWindowFixture, KeysClicksAndShortcutsReachTheirCommands) {
    const QString report = file("Docs/report.txt");
    associate(report, false);
    tree->UpdateTreeLocal();
    window->setMessages(messages);
    // The start selects the first association, shown, not the root above everything.
    window->selectFirstAssociationIfNone();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    BackupsTreeView* view = window->treeView();
    ASSERT_EQ(window->selectedNode(), node(report));
    EXPECT_TRUE(view->visualRect(view->currentIndex()).isValid());
    EXPECT_TRUE(window->findChild<ElidingPanel*>("Volume")->fullText().startsWith(
        "Selected Drive Volume: "));

    QSignalSpy edits(window.get(), &frmQuillmot::viewEditRequested);
    QSignalSpy renames(window.get(), &frmQuillmot::renameRequested);
    QSignalSpy exits(window.get(), &frmQuillmot::exitRequested);
    QTest::keyClick(view, Qt::Key_Return);
    const QRect row = view->visualRect(view->currentIndex());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QTest::keyClick(window.get(), Qt::Key_F2);
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(edits.count(), 2);
    EXPECT_EQ(edits[0][0].toString(), report);
    ASSERT_EQ(renames.count(), 1);
    EXPECT_EQ(renames[0][0].toString(), report);
    EXPECT_EQ(exits.count(), 1);

    // This platform opens no documents: the user hears of it, with where the manual is.
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.contains("Manual.html"));

    // Delete asks to remove wherever the focus is.
    messages.answers = {MessageBoxes::Answer::No, MessageBoxes::Answer::Yes};
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(window->findChild<QToolBar*>(), Qt::Key_Delete);
    EXPECT_EQ(messages.texts().mid(1),
              QStringList(2, "Remove the association for " + report + "?"));
    EXPECT_EQ(state->backups->Count(), 0);
    EXPECT_EQ(tree->rowCount(), 0);
    EXPECT_EQ(window->findChild<ElidingPanel*>("Volume")->fullText(),
              "Selected Drive Volume: <n/a> ");
}

TEST_F(MainWindowFixture, AnEmptyTreeSaysHowToBeginInAWindowBigEnoughToReadIt) {
    window->centreDefaultSize();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage shown = window->treeView()->viewport()->grab().toImage();
    const QRgb background = shown.pixel(shown.width() - 1, shown.height() - 1);
    int lowestInk = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            lowestInk = shown.pixel(x, y) != background ? y : lowestInk;
    EXPECT_GT(lowestInk, 0) << "the empty tree shows a text";
    EXPECT_LT(lowestInk, shown.height() - 8) << "the text ends well inside the tree";
}

TEST(MainWindowLook, TheWordmarkReadsOnADarkPalette) {
    ensureGuiApp();
    const QPalette before = QApplication::palette();
    QApplication::setPalette(darkPalette());
    frmQuillmot window;
    const QImage title = window.findChild<QLabel*>("imgTitle")->pixmap().toImage();
    QApplication::setPalette(before);
    // The lettering stands right of the quill; its solid pixels are the letters' colour.
    QColor lettering;
    for (int y = 0; y < title.height() && !lettering.isValid(); ++y)
        for (int x = title.width() * 34 / 120; x < title.width(); ++x)
            if (title.pixelColor(x, y).alpha() == 255) {
                lettering = title.pixelColor(x, y);
                break;
            }
    ASSERT_TRUE(lettering.isValid());
    EXPECT_GE(contrastRatio(lettering, darkPalette().color(QPalette::Window)), 3.0)
        << qPrintable(lettering.name());
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

TEST(CopiesTable, EveryHeaderAndCellReadsInFullAtAnyWidthAndTheSpareRoomGoesToThePaths) {
    ensureGuiApp();
    QTableWidget table(2, 6);
    table.setHorizontalHeaderLabels(
        {"Disk", "Destination folder", "Copy", "Modified", "Size", "Equals the file now"});
    const QStringList cells = {"TRAVEL-USB",           "/media/ann/BACKUP", "current copy",
                               "28 Nov 2026 11:05:52", "57 bytes",          "yes"};
    for (int c = 0; c < cells.size(); ++c)
        table.setItem(0, c, new QTableWidgetItem(cells[c]));
    auto* columns = new FittedColumns(&table, 1);
    QHeaderView* header = table.horizontalHeader();
    const QAbstractItemView& view = table;
    const auto need = [&](int c) {
        return std::max(view.sizeHintForColumn(c), header->sectionSizeHint(c));
    };
    const auto expectAllReadable = [&](const char* when) {
        for (int c = 0; c < header->count(); ++c)
            EXPECT_GE(header->sectionSize(c), need(c))
                << when << ": column " << c << " at " << table.width();
    };
    const auto showAt = [&](int width) {
        table.resize(width, 200);
        QCoreApplication::processEvents();
    };
    table.show();
    showAt(1200);
    expectAllReadable("wide");
    EXPECT_EQ(header->length(), table.viewport()->width());
    EXPECT_GT(header->sectionSize(1), need(1) + 300);

    // Short of room by half the last column, and far too narrow: the view scrolls instead.
    int needed = 0;
    for (int c = 0; c < header->count(); ++c)
        needed += need(c);
    const int frame = table.width() - table.viewport()->width();
    for (int width : {frame + needed - need(5) / 2, 300}) {
        showAt(width);
        expectAllReadable("narrow");
        EXPECT_GT(table.horizontalScrollBar()->maximum(), 0) << width;
    }
    // Longer cells widen their column at the next refit.
    table.setItem(1, 1, new QTableWidgetItem("/media/ann/TRAVEL-USB/Backups of the laptop"));
    columns->refit();
    expectAllReadable("refitted");
}
