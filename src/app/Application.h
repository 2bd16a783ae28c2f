#pragma once
// Puts the program together in start-up order: the roots, the options, the main window and its
// status bar, the association store with its watches, the preferences, the pause state and the
// watch timer; and takes it apart in the orderly exit.

#include <QObject>
#include <QString>
#include <memory>

class AppState;
class AssociationTree;
class Engine;
class Feedback;
class Lifecycle;
class frmOptions;
class frmQuillmot;
class IconSink;
class GuiUserInterface;
class QtMessageBoxes;
class RenameCommands;
class EditingCommands;
class QtFilePickers;
class SchemeCommands;
class SystemClock;
class SingleInstance;
class SlicedSteps;
class SourceKeeper;
class StatusPresenter;
class TreeCommands;

class Application : public QObject {
    Q_OBJECT
public:
    struct StartOptions {
        bool hidden = false;       // "nowin", or no display
        bool printResults = false; // no display: activity results go to standard output
        bool desktop = true;       // a display: the tray, the popup and the log window
    };

    Application();
    ~Application() override;

    void start(const StartOptions& options);
    void showMainWindow();
    // The orderly exit, as "Stop and Exit".
    void requestExit();
    // The recent-activity window (the main window's "Recent Activity").
    void showRecentLog();
    // The options dialog, modeless, one instance (the tray's and the main window's "Options").
    void showOptions();
    // The restore window of the association whose source is `sourcePath`.
    void showRestore(const QString& sourcePath);
    // The tray, popup and log windows; null without a display.
    Feedback* feedback() const { return m_feedback.get(); }
    // The answer to `quillmot status`.
    QByteArray statusAnswer() const;

private:
    void loadMainWindow();
    // The start's later steps: the stores read on a worker are taken in a slice at a time, then
    // the watches start and the commands become available.
    void takeInStores();
    void finishStart();
    void installTray();
    void restoreWindowPrefs();
    void writeOnClose();
    void unloadForExit();

    std::unique_ptr<frmQuillmot> m_window;
    std::unique_ptr<GuiUserInterface> m_ui;
    std::unique_ptr<QtMessageBoxes> m_messages;
    std::unique_ptr<SystemClock> m_clock;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<Engine> m_engine;
    std::shared_ptr<SourceKeeper> m_sourceKeeper;
    std::unique_ptr<Lifecycle> m_lifecycle;
    std::unique_ptr<Feedback> m_feedback;
    std::unique_ptr<IconSink> m_previewSink;
    std::unique_ptr<frmOptions> m_options;
    bool m_desktop = true;
    // The program file and its icon, as they were named at start: once a reinstall replaces the
    // program file, the system no longer names the running one.
    QString m_programPath, m_programIcon;
    std::unique_ptr<AssociationTree> m_tree;
    std::unique_ptr<TreeCommands> m_treeCommands;
    std::unique_ptr<RenameCommands> m_renameCommands;
    std::unique_ptr<QtFilePickers> m_pickers;
    std::unique_ptr<EditingCommands> m_editingCommands;
    std::unique_ptr<SchemeCommands> m_schemes;
    std::unique_ptr<StatusPresenter> m_statusPresenter;
    std::unique_ptr<SlicedSteps> m_startSteps;
    bool m_started = false;
    qsizetype m_enabledAtLoad = 0;

    void wireEditingCommands();
    void rebuildTree();
};
