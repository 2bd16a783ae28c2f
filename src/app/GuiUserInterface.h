#pragma once
// The user interface as the core and the engine see it, carried out on the main window. Without
// a display every activity-log result is also printed as one line on standard output.

#include "state/UserInterface.h"

class frmQuillmot;

class GuiUserInterface : public UserInterface {
public:
    GuiUserInterface(frmQuillmot& window, bool printResults);

    void setRunningState(RunningState state) override;
    void setPausedLook(bool paused) override;
    void setPauseCommandEnabled(bool enabled) override;
    void setAssociationCount(int count) override;
    void setSchemeName(const QString& name) override;
    void startAnimation(Animation animation) override;
    void showPopupNoActivate() override;
    bool popupClosed() const override { return m_popupClosed; }
    void resultLogged(const clsRecent& entry) override;
    void logChanged() override {}
    void notificationsChanged() override {}
    std::optional<QRect> mainWindowGeometryTwips() const override;
    void processEvents() override;

    // One activity-log line as printed on standard output.
    static QString resultLine(const clsRecent& entry);

private:
    frmQuillmot& m_window;
    bool m_printResults;
    bool m_popupClosed = false;
};
