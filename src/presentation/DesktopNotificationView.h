#pragma once
// The popup shown through the desktop's notification service, where the program cannot place a
// window of its own (Wayland): the same queue and timing, the same texts, each result replacing
// the one before, the urgency by the kind of message. Closing the notification is a click on
// the popup's close area.

#include "presentation/PopupPresenter.h"

#include <functional>

class DesktopNotifier;

class DesktopNotificationView : public PopupView {
public:
    DesktopNotificationView(DesktopNotifier& notifier, std::function<void()> closeClicked);

    void load(bool autoAdvance) override;
    void showNotification(const PopupContent& content) override;
    // The service has no strip: a scan shows nothing of its own.
    void showScanningStrip() override {}
    void showNoActivate() override {}
    // The service's own time keeps the last result readable after the popup's life ends.
    void hide() override {}
    void unload() override {}
    void setTopMost(bool) override {}

    static QString body(const PopupContent& content);

private:
    DesktopNotifier& m_notifier;
    bool m_autoAdvance = true;
};
