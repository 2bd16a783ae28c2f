#pragma once
// Everything the user sees of the program's work besides the main window: the tray icon with its
// animations and menu, the notification popup (or the desktop's notifications where a window
// cannot be placed), the activity-log window and the about box.

#include "platform/DesktopNotifier.h"
#include "state/UserInterface.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class AboutBox;
class AppState;
class PopupPresenter;
class PopupView;
class QWidget;
class QtTicker;
class TrayIcon;
class frmRecentLog;

class Feedback : public QObject {
    Q_OBJECT
public:
    enum class PopupKind {
        Window,         // our own popup at the corner of the work area
        DesktopService, // org.freedesktop.Notifications
    };
    // The kind that works on the running platform: under Wayland a window cannot place itself.
    static PopupKind popupKindForPlatform();

    // `scanActivity` answers whether a scan pass ran since the engine's last quiet tick.
    Feedback(AppState& state, QWidget* mainWindow, std::function<bool()> scanActivity,
             PopupKind kind, std::unique_ptr<DesktopNotifier> notifier = nullptr);
    ~Feedback() override;

    TrayIcon& tray() { return *m_tray; }
    PopupPresenter& popup() { return *m_popup; }
    PopupView& popupView() { return *m_popupView; }

    void startAnimation(UserInterface::Animation animation);
    void showPopupNoActivate();
    bool popupClosed() const;
    void logChanged();

    // The recent-activity window: opened, or brought up when it is open already.
    void showRecentLog();
    frmRecentLog* recentLog() const;
    // The about box, modeless, one at a time.
    void showAbout();

private:
    AppState& m_state;
    QWidget* m_mainWindow;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<PopupView> m_popupView;
    std::unique_ptr<QtTicker> tmrNextNotify, tmrOnTop;
    std::unique_ptr<PopupPresenter> m_popup;
    QPointer<frmRecentLog> m_recentLog;
    QPointer<AboutBox> m_about;
};
