// Where the popup cannot be placed, results go to the desktop's notification service: here a
// small service on a private session bus records them.

#include "platform/linux/DesktopNotifierLinux.h"
#include "presentation/DesktopNotificationView.h"
#include "state/AppState.h"
#include "support/ManualTicker.h"
#include "support/PrivateBus.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
class DesktopNotificationsTest : public StateOverHome {
protected:
    std::unique_ptr<PrivateBus> bus;
    FakeNotificationService service;
    std::unique_ptr<DbusDesktopNotifier> notifier;
    std::unique_ptr<DesktopNotificationView> view;
    ManualTicker next, onTop;
    std::unique_ptr<PopupPresenter> popup;

    void SetUp() override {
        ensureCoreApp();
        bus = std::make_unique<PrivateBus>();
        if (bus->address().isEmpty())
            GTEST_SKIP() << "dbus-daemon could not be started";
        ASSERT_TRUE(service.registerOn(bus->connect("service")));
        makeState();
        notifier = std::make_unique<DbusDesktopNotifier>(bus->connect("client"));
        view = std::make_unique<DesktopNotificationView>(*notifier,
                                                         [this] { popup->closeAreaClicked(); });
        popup = std::make_unique<PopupPresenter>(*state, *view, next, onTop, [] { return false; });
    }
    void queue(const QString& message, const QString& source = "/home/ann/Docs/report.txt") {
        state->notifiers->Add(source, "/media/usb/Backups/Docs", message);
    }
    // Fires the advance timer (unless the popup's load showed the first result) and waits until
    // the service has shown `count` notifications.
    bool advanceTo(std::size_t count) {
        if (count > 1)
            next.fire();
        return QTest::qWaitFor([&] { return service.shown.size() == count; }, 5000) &&
               QTest::qWaitFor([&] { return notifier->shownId() != 0; }, 5000);
    }
};
} // namespace

TEST_F(DesktopNotificationsTest, EachResultReplacesThePreviousWithItsTextsAndUrgency) {
    queue("Success: Copy saved");
    queue("Error: destination drive missing", "/home/ann/<b>&.txt");
    queue("Delay: source file busy");
    popup->showNoActivate();
    ASSERT_TRUE(advanceTo(1));
    ASSERT_TRUE(advanceTo(2));
    ASSERT_TRUE(advanceTo(3));

    const auto& shown = service.shown;
    EXPECT_EQ(shown[0].replacesId, 0u);
    EXPECT_NE(shown[1].replacesId, 0u);
    EXPECT_EQ(shown[2].replacesId, shown[1].replacesId);
    EXPECT_EQ(shown[0].summary, "Success: Copy saved");
    EXPECT_EQ(shown[0].body, "Source File: report.txt\nDestination Folder: Backups/Docs");
    EXPECT_EQ(shown[1].body, "Source File: &lt;b&gt;&amp;.txt\nDestination Folder: Backups/Docs");
    EXPECT_EQ(shown[0].urgency, 1);
    EXPECT_EQ(shown[1].urgency, 2);
    EXPECT_EQ(shown[2].urgency, 1);
    EXPECT_EQ(shown[0].timeout, -1); // advancing by itself: the service's own time
    // The names the program is installed under, so that the desktop shows whose they are.
    EXPECT_EQ(shown[0].icon, "org.quillmot.Quillmot");
    EXPECT_EQ(shown[0].desktopEntry, "org.quillmot.Quillmot");
}

TEST_F(DesktopNotificationsTest, WithoutAutoAdvanceTheUsersCloseShowsTheNext) {
    state->options.AutoAdvance = false;
    queue("Success: first");
    queue("Success: second");
    popup->showNoActivate();
    ASSERT_TRUE(advanceTo(1));
    EXPECT_EQ(service.shown[0].timeout, 0); // stays until closed
    EXPECT_FALSE(next.isActive());

    service.dismiss(notifier->shownId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.isActive(); }, 5000));
    EXPECT_EQ(next.interval(), PopupPresenter::nextAtOnceMs);
    ASSERT_TRUE(advanceTo(2));
    EXPECT_EQ(service.shown[1].summary, "Success: second");

    // A close that is not the user's (the service's own expiry) does not advance.
    emit service.NotificationClosed(notifier->shownId(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier->shownId() == 0; }, 5000));
    EXPECT_FALSE(next.isActive());
}
