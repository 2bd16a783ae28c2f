#pragma once
// The notification popup's behaviour without its window: the queue discipline (first in, first
// out, each result shown once), the advance timing factored over the queue length, the scanning
// strip, the close area and the keep-on-top timer. The window, or the desktop's notification
// service where a window cannot be placed, only shows what this decides.

#include "presentation/PopupTexts.h"

#include <QString>
#include <functional>

class AppState;
class Ticker;
class clsNotifier;

// One result as the popup shows it.
struct PopupContent {
    QString status;
    PopupTexts::MessageKind kind = PopupTexts::MessageKind::Other;
    QString source;     // the source line
    QString sourcePath; // the file whose icon goes beside it
    bool sourceExists = false;
    QString destination; // the destination line
};

class PopupView {
public:
    virtual ~PopupView() = default;
    // A fresh popup; its close button shows "minimise" with automatic advance, else "next".
    virtual void load(bool autoAdvance) = 0;
    // Shows one result at the bottom-right corner of the work area without taking the focus.
    virtual void showNotification(const PopupContent& content) = 0;
    // Turns the popup into the scanning strip; visibility is left as it is.
    virtual void showScanningStrip() = 0;
    // Shows the popup as it is, on top, without taking the focus.
    virtual void showNoActivate() = 0;
    virtual void hide() = 0;
    virtual void unload() = 0;
    virtual void setTopMost(bool topMost) = 0;
};

class PopupPresenter {
public:
    static constexpr int firstTickMs = 250;
    static constexpr int scanningTickMs = 100;
    static constexpr int shortestAdvanceMs = 100;
    static constexpr int nextAtOnceMs = 100; // after a click on the close area
    static constexpr int onTopMs = 100;

    // `scanActivity` answers whether a scan pass ran since the engine's last quiet tick.
    PopupPresenter(AppState& state, PopupView& view, Ticker& tmrNextNotify, Ticker& tmrOnTop,
                   std::function<bool()> scanActivity);

    // The engine's ShowNoActivate: loads a fresh popup when none is loaded, else brings it up.
    void showNoActivate();
    void closeAreaClicked();
    // One of the program's own windows became active: the popup stops forcing itself on top.
    void ownWindowActivated();
    // The tray menu is about to open: the popup must not cover it.
    void trayMenuOpening();

    bool isLoaded() const { return m_loaded; }
    // True while the user has closed the popup during a scan (the scan does not show it again).
    bool popupClosed() const { return PopupClosed; }

    void advanceTick(); // tmrNextNotify
    void onTopTick();   // tmrOnTop

private:
    void load();
    void unload();
    void showFirstInQueue();
    PopupContent contentOf(const clsNotifier& item) const;

    AppState& m_state;
    PopupView& m_view;
    Ticker& tmrNextNotify;
    Ticker& tmrOnTop;
    std::function<bool()> m_scanActivity;

    bool m_loaded = false;
    // Until its first tick a loaded popup has nothing to show and stays out of sight.
    bool m_awaitingFirstTick = false;
    bool m_notificationShown = false; // a result is shown, not the scanning strip
    double m_perItemDelay = 0;        // seconds, fixed at the first result of a popup's life
    bool PopupOnTop = false;
    bool OwnWindowActive = false;
    bool PopupClosed = false;
};
