#pragma once
// The backup engine: folder watches, the 100 ms watch timer, the scan pass, the copy with
// previous versions, and the drive and volume checks. It runs on the event-loop thread and talks
// to the user interface only through AppState::ui.

#include <QObject>
#include <QString>
#include <memory>

class AppState;
class CopyEngine;

// The engine's fixed pauses and intervals. The program uses these values; tests shorten them.
struct EngineTiming {
    int tickMs = 100;          // the one-shot watch timer
    int topFolderSettleMs = 500; // before a folder association's top folder: let the writer finish
    int yieldEveryFiles = 15;  // files visited between two yield pauses (program-wide count)
    int yieldPauseMs = 50;
    int drainWaitMs = 10;      // wait on a re-armed watch while draining
    int busyRetryMs = 1000;    // between retries of a busy source file
};

class Engine : public QObject {
    Q_OBJECT
public:
    explicit Engine(AppState& state, EngineTiming timing = {}, QObject* parent = nullptr);
    ~Engine() override;

    // --- watches
    void CreateDetectFolder(const QString& Path, bool WatchSubtree);
    void RemoveDetectFolder(const QString& Path);
    void DisableFolderWatch(const QString& sourcePath);
    void EnableFolderWatch(const QString& sourcePath, bool recursive);
    // Closes every open watch (main-window unload at exit).
    void CloseAllWatches();

    // --- timer
    void StartWatchTimer();
    void TimerProc();
    bool timerArmed() const;

    // --- scan and copy (public so tests drive them directly)
    void ScanPass(const QString& WatchedFolder, const QString& DetectionDate, qint32 Handle);
    void ScanFolder(const QString& TopFolder, int AssocIndex, const QString& FolderPath,
                    const QString& DetectionDate, bool Recursive);
    // Forwards to the copy engine.
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath);
    CopyEngine& copier() { return *m_copier; }

    // --- engine globals
    bool ScanRanLastTick = false;
    bool ScanActivity = false;
    QString NewDetectionDate;
    int YieldCounter = 0;

    const EngineTiming& timing() const { return m_timing; }

private:
    AppState& m_state;
    EngineTiming m_timing;
    std::unique_ptr<CopyEngine> m_copier;
};
