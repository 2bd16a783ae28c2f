#pragma once
// The process-wide roots and flags: one object that the application owns and passes down. Tests
// make a fresh one per test. Nothing else is global.

#include "model/Collections.h"
#include "persistence/Options.h"
#include "persistence/WindowPrefs.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "state/DetectRecords.h"

#include <QString>
#include <memory>

class UserInterface;
class MessageBoxes;
class WatchRegistry;

class AppState {
public:
    // `ui`, `messages` and `clock` must outlive the state; `fso` may be a test's override.
    AppState(UserInterface& ui, MessageBoxes& messages, Clock& clock,
             std::unique_ptr<FileSystem> fileSystem = nullptr);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    UserInterface& ui;
    MessageBoxes& messages;
    Clock& clock;
    // Shared with the status checks of a window, which may outlive it on a disk that hangs.
    std::shared_ptr<FileSystem> fso;
    std::unique_ptr<WatchRegistry> watches; // the open inotify watches behind AutoBackup ids

    std::shared_ptr<colDestinations> destinations;
    std::shared_ptr<colBackups> backups;
    std::shared_ptr<colDetectFolders> detectFolders;
    std::shared_ptr<colDetectedFiles> detectedFiles;
    std::shared_ptr<colNotifiers> notifiers;
    std::shared_ptr<colRecent> recent;

    Options options;

    // The associations and destinations read at start or from a scheme take the place of the
    // ones held, whole.
    void adoptAssociations(std::shared_ptr<colDestinations> loadedDestinations,
                           std::shared_ptr<colBackups> loadedBackups);
    // The stores are being read at start: the associations held are not the user's yet, and
    // nothing may write them back.
    bool LoadingStores = false;

    bool Paused = false;
    bool Scanning = false;
    bool StopScanRequested = false;
    bool ExitRequested = false;
    bool TimerStopped = false;
    int TimerId = 0;
    // A dialog opened from the main window is showing: the tray click is ignored and the tray
    // shows its dialog picture.
    bool DialogOpen = false;

    // Hand-over between the adding commands and the properties dialog: the association the
    // dialog edits, whether it was just created, and how the dialog ended.
    QString SelectedSourcePath;
    bool NewAssociationPending = false;
    bool PropertiesCanceled = false;
    bool ApplyToAll = false;

    QString LocalComputerName;
    QString RecentSchemeName; // empty: "<n/a>"
    WindowPlacement geometry; // twips, recorded by the engine's tick

    // Releases the six model roots (the end of the exit); they are made anew empty on next use.
    void releaseRoots();
};
