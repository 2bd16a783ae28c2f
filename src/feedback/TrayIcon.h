#pragma once
// The tray icon: one icon with a tool tip for the whole run, a left click that brings the main
// window up, the tray menu, and the pictures of the animations and of an open dialog. It works
// with a StatusNotifierItem host and an XEmbed tray, turns up when a tray host appears after the
// start, and the program stays usable without any tray.

#include "presentation/ProtectionTexts.h"
#include "presentation/Ticker.h"
#include "presentation/TrayAnimations.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

class AppState;
class QAction;
class QMenu;
class QScreen;
class QWidget;

class TrayIcon : public QObject, public IconSink {
    Q_OBJECT
public:
    // `mainWindow` is asked whether it is shown, for the Show/Hide caption.
    TrayIcon(AppState& state, QWidget* mainWindow, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Adds the icon now, or as soon as a tray host turns up.
    void install();
    // Takes the icon out of the tray (the end of the exit).
    void remove();

    void showPicture(TrayPicture picture) override;
    // The look the normal picture takes between animations (paused, a warning).
    void setLook(TrayLook look);
    TrayLook look() const { return m_look; }
    // The tool tip: the program's name and what the status has to say.
    void setToolTip(const QString& text);
    // "Pause" while running, "Resume" while paused.
    void setPaused(bool paused);
    // A state that lasts, said once in a balloon of the tray.
    void showNotice(const QString& summary, const QString& body);
    // The dialog picture while a dialog from the main window shows; animations that run then
    // end on it instead of the normal picture.
    void setDialogPicture(bool dialogOpen);
    TrayPicture picture() const { return m_shown; }

    TrayAnimations& animations() { return m_animations; }

    QMenu* menu() const { return m_menu.get(); }
    // "Options" is offered once something answers optionsRequested().
    void setOptionsAvailable(bool available);
    QSystemTrayIcon& systemTrayIcon() { return m_tray; }
    // The screen the icon sits on, for the popup; the primary screen when the host does not say.
    QScreen* screen() const;

    // What a left click does (also the tray's Trigger): brings the main window up unless a
    // dialog from it is open.
    void click();

signals:
    void showWindowRequested();
    void hideWindowRequested();
    void aboutRequested();
    void exitRequested();
    void pauseToggleRequested();
    void optionsRequested();
    // The tray menu is about to open.
    void menuOpening();

private:
    void buildMenu();
    void updateShowHideCaption();
    void watchForTrayHost();

    AppState& m_state;
    QWidget* m_mainWindow;
    QSystemTrayIcon m_tray;
    std::unique_ptr<QMenu> m_menu;
    QAction* mnuShowHide = nullptr;
    QAction* mnuPause = nullptr;
    QAction* mnuOptions = nullptr;
    QtTicker tmrNod, tmrShake, tmrShrug;
    TrayAnimations m_animations;
    TrayPicture m_shown = TrayPicture::Normal;
    TrayLook m_look = TrayLook::Normal;
    bool m_installed = false;
    bool m_trayAvailable = false;
    QTimer m_hostWatch;
};

// While alive, a dialog from the main window is showing: the tray ignores clicks and shows the
// dialog picture. `tray` may be null (no display).
class DialogOpenScope {
public:
    DialogOpenScope(AppState& state, TrayIcon* tray);
    ~DialogOpenScope();
    DialogOpenScope(const DialogOpenScope&) = delete;
    DialogOpenScope& operator=(const DialogOpenScope&) = delete;

private:
    AppState& m_state;
    TrayIcon* m_tray;
    bool m_wasOpen;
};
