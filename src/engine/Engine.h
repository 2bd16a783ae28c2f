#pragma once
// The backup engine: folder watches, the settling of changed files, the copy with previous
// versions on one worker thread per destination disk, and the catch-up. Everything here but the
// workers runs on the event-loop thread, woken by the watches' events, the mount table and the
// workers' results; with nothing to do it sleeps. It talks to the user interface only through
// AppState::ui.

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

class AppState;
class CatchUp;
class CopyEngine;
class DestinationWorkers;
class MountWatch;
class SettleQueue;
class SourceWalks;
class TurnBudget;
struct ChangeBatch;
struct FileStamp;
struct WorkerNews;
class clsBackup;
class clsDetectFolder;

// The engine's intervals. The program uses these values; tests shorten them.
struct EngineTiming {
    int settleMs = 500;       // a file closed by its writer stays unchanged this long first
    int quietMs = 5000;       // a file written without a close: quiet this long
    int busyRetryMs = 1000;   // between tries of a source file that another program holds
    int turnSliceMs = 5;      // the engine's work hands the window's thread back this often
    int exitGraceMs = 3000;   // copies under way when the exit begins may finish meanwhile
    int exitCancelMs = 1000;  // ...and then get this long to stop after being asked
    int stallMs = 30000;      // a destination disk with no progress this long is not responding
    int stallCheckMs = 5000;  // how often busy workers are looked at for that
    int retryFirstMs = 10000; // a failed copy is tried again after this, doubling...
    int retryMaxMs = 600000;  // ...up to this
    int lookThroughMs =
        30000; // folders past the watch limit are looked through at least this often
};

class Engine : public QObject {
    Q_OBJECT
public:
    explicit Engine(AppState& state, EngineTiming timing = {}, QObject* parent = nullptr);
    ~Engine() override;

    // --- watches
    void CreateDetectFolder(const QString& Path, bool WatchSubtree);
    void RemoveDetectFolder(const QString& Path);
    void disableFolderWatch(const QString& sourcePath);
    void enableFolderWatch(const QString& sourcePath, bool recursive);
    // Closes every open watch (main-window unload at exit).
    void closeAllWatches();

    // --- running
    // Starts serving the watches; the changes they named while the program was starting are
    // served first, so that a save made during start-up is not lost.
    void StartWatchTimer();
    // One step of the engine: reads the watches' events, hands the files that settled to the
    // copy, and keeps the status and the exit hand-shake up to date. Runs whenever something
    // happens; tests call it directly.
    void TimerProc();
    // Serves the changes one watch named: each changed file starts settling; what events cannot
    // name (a folder moved in, lost events) is walked. Without a watch (`Handle` 0) the whole
    // folder is walked for files modified since `DetectionDate`. An unpacked archive names
    // thousands of files at once: they are served in slices, in the order they came.
    void ScanPass(const QString& WatchedFolder, const QString& DetectionDate, qint32 Handle);
    // Copies one file of the association at `AssocIndex` to its destinations, on their workers.
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath);

    // The user paused or unpaused (`stopScanning`: a catch-up under way is dropped as well).
    void pauseChanged(bool stopScanning = false);
    // The exit began: nothing new is taken, copies under way get a few seconds, and then the
    // engine reports TimerStopped whatever a destination does.
    void beginExit();
    // True when a worker was left stuck in a system call at the exit: the process must end
    // without waiting for it.
    bool leftStuckWorkers() const { return m_stuckAtExit; }

    // Files settling, walks, copies or catch-ups under way or waiting.
    bool busy() const;
    // Records the main window's place while it is visible and not minimised.
    void recordGeometry();

    CopyEngine& copier() { return *m_copier; }
    CatchUp& catchUp() { return *m_catchUp; }
    // The engine's share of the current turn of the event loop.
    TurnBudget& turnBudget() { return *m_turn; }
    DestinationWorkers& workers() { return *m_workers; }
    const EngineTiming& timing() const { return m_timing; }

    // Text logged (and printed) once when the system's limit on watched folders is reached.
    static QString watchLimitText(const QString& folder, qint64 limit);

protected:
    // Hands a file that settled to the copy for `association`. `named`: an event of its writer
    // named it, so it is copied whatever its copies look like; otherwise a look at the times
    // found it, and destinations already up to date are left alone. Tests record it instead.
    virtual void copySettledFile(clsBackup& association, const QString& file, bool named);

signals:
    // A watched folder that had gone away (deleted, renamed, unmounted) is watched again; what
    // changed in it meanwhile was seen by no watch.
    void watchedFolderReturned(const QString& folder);
    // A file system was mounted or unmounted (watches over it have been looked at already).
    void mountsChanged();
    // The engine has nothing left to do (for tests and the status).
    void idle();
    // A changed file of the association `sourceKey` started settling: its copies are pending.
    void changeNoted(const QString& sourceKey);

private:
    // watches
    QString watchedFolderOf(const QString& path) const;
    bool recursiveFolderAssociationAt(const QString& folder) const;
    bool watchNeededByOthers(const QString& folder, const QString& leavingPath) const;
    bool hiddenFoldersSkippedAt(const QString& folder) const;
    void reportWatchLimit(const QString& folder);
    void reportResponding(const QString& disk, bool responding);
    void onMountsChanged();
    void catchUpAt(const QString& folder);

    // steps
    void serveWatches();
    void serveTakenChanges();
    void requestStep();
    void stateChanged();
    void noteChanged(const QString& watchedFolder, const QString& file, int event);
    void noteFound(const QString& sourceKey, const QString& file, qint64 modifiedMs);
    void walkAssociations(const QString& watchedFolder, const QString& folder,
                          std::optional<qint64> sinceMs);
    void followFolderAccess(const QString& watchedFolder, const QString& folder);
    void lookThroughUnwatched(const QString& watchedFolder, qint32 handle);
    void lookThroughAllUnwatched();
    void copySettledFiles();
    void armSettleTimer();
    void onNews(const WorkerNews& news);
    void updateRunningState();
    void endTick();
    void finishExit();
    qint64 nowMs() const;

    AppState& m_state;
    EngineTiming m_timing;
    // Before everything that draws on it.
    std::unique_ptr<TurnBudget> m_turn;
    std::unique_ptr<DestinationWorkers> m_workers;
    std::unique_ptr<CopyEngine> m_copier;
    // Before the catch-up, whose view of the mount table must not miss a change made while the
    // watches were opened.
    std::unique_ptr<MountWatch> m_mounts;
    std::unique_ptr<CatchUp> m_catchUp;
    std::unique_ptr<SettleQueue> m_settle;
    std::deque<QString> m_settled; // settled files not yet handed to the copy
    std::unique_ptr<SourceWalks> m_walks;
    // What the watches named, taken from them and not yet served: each batch with how far its
    // serving got.
    struct TakenChanges {
        QString watchedFolder;
        std::shared_ptr<ChangeBatch> batch;
        qsizetype files = 0;
        qsizetype newFolders = 0;
        qsizetype changedFolders = 0;
    };
    std::deque<TakenChanges> m_taken;
    // Why each settling file is waiting: the associations it was noted for, by their source
    // keys, and whether an event of its writer named it.
    struct Route {
        QSet<QString> holders;
        bool named = false;
    };
    QHash<QString, Route> m_routes;
    // The stamps of the files in folders no watch covers (the system's limit), by the watched
    // folder's key: a change there shows as a stamp that moved since the last look.
    QHash<QString, std::shared_ptr<QHash<QString, FileStamp>>> m_unwatchedStamps;
    QTimer m_lookThroughTimer;
    QTimer m_settleTimer;
    QTimer m_exitTimer;
    QElapsedTimer m_monotonic;
    bool m_started = false;
    bool m_stepPosted = false;
    bool m_busyShown = false;
    bool m_exiting = false;
    bool m_exitCancelled = false;
    bool m_stuckAtExit = false;
};
