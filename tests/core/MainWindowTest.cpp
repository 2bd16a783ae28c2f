// The main window's own behaviour: closing puts it away (the program goes on) unless the program
// is exiting, and a click on the "Running" panel asks for a pause toggle.

#include "mainwindow/frmQuillmot.h"
#include "support/GuiApp.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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
