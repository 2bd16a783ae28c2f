// The popup and the activity-log window offscreen: where the popup goes and that it cannot take
// the focus, and what the log window shows as the log changes.

#include "feedback/Feedback.h"
#include "feedback/frmNotification.h"
#include "feedback/frmRecentLog.h"
#include "presentation/PopupPresenter.h"
#include "state/AppState.h"
#include "support/Contrast.h"
#include "support/GuiApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QApplication>
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
};
} // namespace

TEST_F(FeedbackWindowsTest, PopupSitsInTheWorkAreaCornerWithoutFocusAndGrowsOnlyToTheArea) {
    Feedback feedback(
        *state, nullptr, [] { return false; }, Feedback::PopupKind::Window);
    const QString longName = QString(400, 'x') + ".txt";
    state->notifiers->Add(home.path() + "/short.txt", "/media/usb/Backups/Docs", "Success");
    state->notifiers->Add("/gone/" + longName, "/media/usb/Backups/Docs", "Error: copy failed");
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

TEST_F(FeedbackWindowsTest, PopupCaptionsReadOnLightAndDarkPalettes) {
    const QPalette before = QApplication::palette();
    for (const QPalette& palette : {before, darkPalette()}) {
        QApplication::setPalette(palette);
        frmNotification popup(true, {});
        for (const char* name : {"Label1", "Label2"}) {
            const QLabel* caption = popup.findChild<QLabel*>(name);
            const auto group = caption->isEnabled() ? QPalette::Active : QPalette::Disabled;
            const QPalette& shown = caption->palette();
            EXPECT_GE(contrastRatio(shown.color(group, QPalette::WindowText),
                                    shown.color(group, QPalette::Window)),
                      4.5)
                << name << " on " << qPrintable(palette.color(QPalette::Window).name());
        }
    }
    QApplication::setPalette(before);
}

// What the text holds, and when it must be rendered again, is the log text's own test.
TEST_F(FeedbackWindowsTest, LogWindowFollowsEveryChangeByItself) {
    frmRecentLog window(*state);
    EXPECT_EQ(window.log()->toPlainText(), "(No file operations to display)");
    state->recent->Add("t", "/home/a.txt", "root", "/media/usb/Docs", "USB", "Result 1");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.log()->toPlainText().contains("Result 1"); }, 3000));
}
