#include "feedback/Feedback.h"

#include "feedback/AboutBox.h"
#include "feedback/SlotGuard.h"
#include "feedback/TrayIcon.h"
#include "feedback/frmNotification.h"
#include "feedback/frmRecentLog.h"
#include "platform/DesktopNotifier.h"
#include "presentation/DesktopNotificationView.h"
#include "presentation/PopupPresenter.h"
#include "presentation/Ticker.h"

#include <QGuiApplication>
#include <QWindow>

#if !defined(_WIN32)
#include "platform/linux/DesktopNotifierLinux.h"
#endif

Feedback::PopupKind Feedback::popupKindForPlatform() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
               ? PopupKind::DesktopService
               : PopupKind::Window;
}

Feedback::Feedback(AppState& state, QWidget* mainWindow, std::function<bool()> scanActivity,
                   PopupKind kind, std::unique_ptr<DesktopNotifier> notifier)
    : m_state(state), m_mainWindow(mainWindow),
      m_tray(std::make_unique<TrayIcon>(state, mainWindow)),
      tmrNextNotify(std::make_unique<QtTicker>()), tmrOnTop(std::make_unique<QtTicker>()) {
    auto closeClicked = [this] { m_popup->closeAreaClicked(); };
    if (kind == PopupKind::DesktopService) {
#if !defined(_WIN32)
        if (!notifier)
            notifier = std::make_unique<DbusDesktopNotifier>();
#endif
        m_notifier = std::move(notifier);
    }
    if (m_notifier) {
        m_popupView = std::make_unique<DesktopNotificationView>(*m_notifier, closeClicked);
    } else {
        m_popupView =
            std::make_unique<PopupWindow>([this] { return m_tray->screen(); }, closeClicked);
    }
    m_popup = std::make_unique<PopupPresenter>(state, *m_popupView, *tmrNextNotify, *tmrOnTop,
                                               std::move(scanActivity));

    connect(m_tray.get(), &TrayIcon::menuOpening, this, [this] { m_popup->trayMenuOpening(); });
    connect(m_tray.get(), &TrayIcon::aboutRequested, this, &Feedback::showAbout);
    // The popup never takes the focus, so any window of ours that gets it is one the user
    // works in: the popup stops pushing itself above it.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window)
            m_popup->ownWindowActivated();
    });
}

Feedback::~Feedback() {
    delete m_recentLog.data();
    delete m_about.data();
}

void Feedback::startAnimation(UserInterface::Animation animation) {
    m_tray->animations().start(animation);
}

void Feedback::showPopupNoActivate() {
    m_popup->showNoActivate();
}

bool Feedback::popupClosed() const {
    return m_popup->popupClosed();
}

void Feedback::logChanged() {
    if (m_recentLog)
        m_recentLog->logChanged();
}

void Feedback::showRecentLog() {
    guarded("opening the activity log", [&] {
        if (!m_recentLog)
            m_recentLog = new frmRecentLog(m_state);
        m_recentLog->show();
        m_recentLog->raise();
        m_recentLog->activateWindow();
    });
}

frmRecentLog* Feedback::recentLog() const {
    return m_recentLog.data();
}

void Feedback::showAbout() {
    guarded("opening the about box", [&] {
        if (!m_about)
            m_about = new AboutBox;
        m_about->show();
        m_about->raise();
        m_about->activateWindow();
    });
}
