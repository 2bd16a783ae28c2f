#pragma once
// The user interface as the core and the engine see it, carried out on the main window and the
// tray, popup and log windows. Without a display there are none of these, and every
// activity-log result is printed as one line on standard output instead.

#include "state/UserInterface.h"

class Feedback;
class frmQuillmot;

class GuiUserInterface : public UserInterface {
public:
    GuiUserInterface(frmQuillmot& window, bool printResults);

    // The tray, popup and log windows; none without a display.
    void setFeedback(Feedback* feedback) { m_feedback = feedback; }

    void setRunningState(RunningState state) override;
    void setPausedLook(bool paused) override;
    void setPauseCommandEnabled(bool enabled) override;
    void setAssociationCount(int count) override;
    void setSchemeName(const QString& name) override;
    void startAnimation(Animation animation) override;
    void showPopupNoActivate() override;
    bool popupClosed() const override;
    void resultLogged(const clsRecent& entry) override;
    void logChanged() override;
    // The popup reads the queue at its own ticks.
    void notificationsChanged() override {}
    std::optional<QRect> mainWindowGeometryTwips() const override;
    void processEvents() override;

    // One activity-log line as printed on standard output.
    static QString resultLine(const clsRecent& entry);

private:
    frmQuillmot& m_window;
    bool m_printResults;
    bool m_flushScheduled = false;
    Feedback* m_feedback = nullptr;
};
