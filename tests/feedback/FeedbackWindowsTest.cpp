// The popup and the activity-log window offscreen: where the popup goes and that it cannot take
// the focus, and what the log window shows as the log changes.

#include "feedback/Feedback.h"
#include "feedback/frmNotification.h"
#include "feedback/frmRecentLog.h"
#include "presentation/PopupPresenter.h"
#include "state/AppState.h"
#include "support/GuiApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
class FeedbackWindowsTest : public StateOverHome {
protected:
    void SetUp() override {
        ensureGuiApp();
        makeState();
    }
    void logOne(const QString& message) {
        state->Recent->Add("t", "/home/a.txt", "root", "/media/usb/Docs", "USB", message);
    }
};
} // namespace

TEST_F(FeedbackWindowsTest, PopupSitsInTheWorkAreaCornerWithoutFocusAndGrowsOnlyToTheArea) {
    Feedback feedback(
        *state, nullptr, [] { return false; }, Feedback::PopupKind::Window);
    const QString longName = QString(400, 'x') + ".txt";
    state->Notifiers->Add(home.path() + "/short.txt", "/media/usb/Backups/Docs", "Success");
    state->Notifiers->Add("/gone/" + longName, "/media/usb/Backups/Docs", "Error: copy failed");
    feedback.showPopupNoActivate();

    frmNotification* popup = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        auto* view = static_cast<PopupWindow*>(&feedback.popupView());
        popup = view->window();
        return popup && popup->isVisible();
    }));
    EXPECT_TRUE(popup->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(popup->geometry().bottomRight(), area.bottomRight());
    const int firstWidth = popup->width();
    EXPECT_LT(firstWidth, area.width());
    EXPECT_EQ(popup->findChild<QLabel*>("lblStatus")->text(), "Success");

    // The long name widens the popup up to the work area and no further.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return popup->findChild<QLabel*>("lblStatus")->text() == "Error: copy failed"; }));
    EXPECT_EQ(popup->width(), area.width());
    EXPECT_TRUE(area.contains(popup->geometry()));

    // A click on the close area with nothing going on ends the popup.
    QTest::mouseClick(popup->findChild<QToolButton*>("imgCloseArea"), Qt::LeftButton);
    EXPECT_FALSE(feedback.popup().isLoaded());
}

TEST_F(FeedbackWindowsTest, LogWindowShowsTheNewestFirstAndFollowsEveryChange) {
    frmRecentLog window(*state);
    EXPECT_EQ(window.log()->toPlainText(), "(No file operations to display)");
    EXPECT_EQ(window.windowTitle(), "Quillmot's Recent Activity");

    for (int i = 1; i <= 10; ++i)
        logOne(QString("Result %1").arg(i));
    window.refresh();
    EXPECT_TRUE(window.log()->toPlainText().startsWith("t\nSource Volume: root\n"));
    EXPECT_LT(window.log()->toPlainText().indexOf("Result 10"),
              window.log()->toPlainText().indexOf("Result 9"));

    // The bound cuts the log back to the count the window saw last: it must still render.
    for (int i = 11; i <= 100; ++i)
        logOne(QString("Result %1").arg(i));
    while (state->Recent->Count() > 10)
        state->Recent->Remove(1);
    window.refresh();
    EXPECT_TRUE(window.log()->toPlainText().contains("Result 100"));
    EXPECT_FALSE(window.log()->toPlainText().contains("Result 10\n"));

    // Without a call, the window's own refresh picks a change up.
    logOne("Result 101");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.log()->toPlainText().contains("Result 101"); }, 3000));
}
