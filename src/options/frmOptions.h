#pragma once
// The options dialog: four pages of every program-wide option and the start at log-in. Shown
// modeless, one instance. OK changes the start-up entry, stores the options and writes opts;
// the engine uses them from its next file on. Cancel stores nothing.

#include "presentation/Ticker.h"
#include "presentation/TrayAnimations.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmOptions;
}
class AppState;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    // Where the start-up entry points: this program and the icon beside it.
    struct StartupTarget {
        QString programPath;
        QString iconPath;
    };

    frmOptions(AppState& state, IconSink& tray, StartupTarget startup, QWidget* parent = nullptr);
    ~frmOptions() override;

    // Opens the dialog: fills it from the options unless it is already showing.
    void showOptions();
    // Fills every control from the options and the start-up folder, General page in front.
    void loadControls();
    // Ticks the start-up box exactly when an entry starts this program.
    void CheckStartup();
    // Stores the options from the controls and writes opts; false when opts could not be written.
    bool SaveOptions();

    // The previews a right-click on an animation's box plays on the tray icon.
    TrayPreview& preview() { return m_preview; }

protected:
    void accept() override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectRules();

    std::unique_ptr<Ui::frmOptions> ui;
    AppState& m_state;
    StartupTarget m_startup;
    QtTicker m_previewTimer;
    TrayPreview m_preview;
    bool m_startupAtLoad = false;
};
