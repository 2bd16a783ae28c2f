#pragma once
// "Quillmot's Recent Activity": the activity log, newest first, refreshed twice a second while
// the window is open and only when the log changed.

#include "presentation/RecentLogText.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class AppState;
class QPushButton;
class QStatusBar;
class QTextBrowser;

class frmRecentLog : public QDialog {
    Q_OBJECT
public:
    static constexpr int refreshMs = 500;

    explicit frmRecentLog(AppState& state, QWidget* parent = nullptr);

    // Renders the log when it changed since the last render.
    void refresh();
    // The engine changed the log: render soon, but not more often than the refresh allows.
    void logChanged();

    QTextBrowser* log() const { return rtfLog; }

private:
    void render();

    AppState& m_state;
    QTextBrowser* rtfLog;
    QPushButton* cmdClose;
    QStatusBar* sbStatus;
    QTimer tmrRefresh;
    QElapsedTimer m_sinceRender;
    RecentLogRefresh m_rendered;
};
