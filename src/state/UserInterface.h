#pragma once
// Everything the core and the engine say to the user interface. The GUI implements it with
// widgets; tests implement it with a recorder; the engine never touches a widget.

#include <QRect>
#include <QString>
#include <optional>

class clsRecent;

class UserInterface {
public:
    enum class Animation { Nod, Shake, Shrug };
    // What the engine is doing, shown in the status-bar panel "Running".
    enum class RunningState { Initializing, Scanning, Waiting, Paused, Exiting };

    virtual ~UserInterface() = default;

    virtual void setRunningState(RunningState state) = 0;
    // The pause picture and the pause menu item ("Unpause Program" when paused).
    virtual void setPausedLook(bool paused) = 0;
    virtual void setPauseCommandEnabled(bool enabled) = 0;
    // The number of associations (the status-bar panel "Backups").
    virtual void setAssociationCount(int count) = 0;
    // The scheme loaded or saved last; empty when there is none (the panel "Scheme").
    virtual void setSchemeName(const QString& name) = 0;

    virtual void startAnimation(Animation animation) = 0;
    // Shows the notification popup on top without activating it.
    virtual void showPopupNoActivate() = 0;
    // True once the user closed the popup in this run.
    virtual bool popupClosed() const = 0;
    // A result was added to the activity log (printed on standard output without a display).
    virtual void resultLogged(const clsRecent& entry) = 0;
    // The activity log changed in any way: an entry added, or the log trimmed to its bound.
    virtual void logChanged() = 0;
    // The notification queue gained or lost entries.
    virtual void notificationsChanged() = 0;

    // The main window's geometry in twips while it is visible and not minimised.
    virtual std::optional<QRect> mainWindowGeometryTwips() const = 0;
    // Lets the event loop run once.
    virtual void processEvents() = 0;
};
