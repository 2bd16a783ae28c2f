#pragma once
// The backup engine: folder watches, the 100 ms watch timer, the scan pass, the copy with
// previous versions, and the drive and volume checks. It runs on the event-loop thread and talks
// to the user interface only through AppState::ui.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class AppState;
class CatchUp;
class ChangeTest;
class MountWatch;
struct ChangeBatch;
struct FileStamp;
class CopyEngine;
class clsBackup;

// The engine's fixed pauses and intervals. The program uses these values; tests shorten them.
struct EngineTiming {
    int tickMs = 100;            // the one-shot watch timer
    int topFolderSettleMs = 500; // before a folder association's top folder: let the writer finish
    int yieldEveryFiles = 15;    // files visited between two yield pauses (program-wide count)
    int yieldPauseMs = 50;
    int drainWaitMs = 10;      // wait on a re-armed watch while draining
    int busyRetryMs = 1000;    // between retries of a busy source file
    int catchUpSliceMs = 1000; // a catch-up hands the tick back to the watches this often
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

    // --- timer
    void StartWatchTimer();
    void TimerProc();
    bool timerArmed() const;

    // --- scan and copy (public so tests drive them directly)
    void ScanPass(const QString& WatchedFolder, const QString& DetectionDate, qint32 Handle);
    void ScanFolder(const QString& TopFolder, int AssocIndex, const QString& FolderPath,
                    const QString& DetectionDate, bool Recursive);
    // Forwards to the copy engine (or to copyOverride when a test set one).
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath);
    CopyEngine& copier() { return *m_copier; }
    CatchUp& catchUp() { return *m_catchUp; }
    // Lets the event loop run before a file, and pauses after every few files.
    void yieldBetweenFiles();

    // Test seam: when set, receives the calls meant for the copy engine.
    using CopyFunction =
        std::function<void(const QString& SourceRoot, int AssocIndex, const QString& FilePath)>;
    CopyFunction copyOverride;

    // --- engine globals
    bool ScanRanLastTick = false;
    bool ScanActivity = false;
    QString NewDetectionDate;
    int YieldCounter = 0;

    const EngineTiming& timing() const { return m_timing; }

    // Text logged (and printed) once when the system's limit on watched folders is reached.
    static QString watchLimitText(const QString& folder, qint64 limit);

signals:
    // A watched folder that had gone away (deleted, renamed, unmounted) is watched again; what
    // changed in it meanwhile was seen by no watch.
    void watchedFolderReturned(const QString& folder);
    // A file system was mounted or unmounted (watches over it have been looked at already).
    void mountsChanged();

private:
    enum class Flow { Continue, Stop };

    // watches
    QString watchedFolderOf(const QString& path) const;
    bool recursiveFolderAssociationAt(const QString& folder) const;
    bool watchNeededByOthers(const QString& folder, const QString& leavingPath) const;
    bool hiddenFoldersSkippedAt(const QString& folder) const;
    void reportWatchLimit(const QString& folder);
    void onMountsChanged();
    void catchUpAt(const QString& folder);

    // tick steps
    void moveDetectionDatesToNow();
    void pollWatches();
    void dropClosedWatches();
    void recordGeometry();
    void endTick();
    void armTimer();
    const QString& nowText();

    // scan
    Flow serveChanges(const QString& watchedFolder, const QString& detectionDate,
                      const ChangeTest& test, const ChangeBatch& batch, qint32 handle);
    Flow scanFileAssociations(const QString& watchedFolder, const QString& detectionDate,
                              const ChangeTest& test, const ChangeBatch& batch, qint32 handle);
    Flow scanFolderAssociations(const QString& watchedFolder, const QString& detectionDate,
                                const ChangeTest& test, const ChangeBatch& batch, qint32 handle);
    Flow drainFileAssociation(const QString& watchedFolder, const QString& detectionDate,
                              qint32 handle);
    Flow drainFolderAssociation(const clsBackup& association, int index,
                                const QString& detectionDate, const ChangeTest& test,
                                qint32 handle);
    void serveFolderAssociation(const clsBackup& association, int index, const ChangeTest& test,
                                const ChangeBatch& batch);
    // A walk of a folder association's tree. `everyFileCounts`: the files are unknown to the
    // watch (a folder moved in), so each is a change whatever its time.
    struct Walk {
        QString topFolder;
        int assocIndex;
        const ChangeTest& test;
        bool recursive;
        bool everyFileCounts;
        quint64 device; // the source's file system: the walk stays on it
        bool copyHidden;
    };
    void walkFolder(const QString& topFolder, int assocIndex, const QString& folderPath,
                    const ChangeTest& test, bool recursive, const ChangeBatch& changes);
    void settleAfter(const ChangeBatch& changes);
    void scanFolderTree(const Walk& walk, const QString& folderPath);
    bool entersSubFolder(const Walk& walk, const QString& subFolder) const;
    void visitFile(const QString& topFolder, int assocIndex, const QString& filePath,
                   const ChangeTest& test, bool named);
    bool copyHiddenFor(const QString& topFolder) const;
    bool handleIfChanged(const ChangeTest& test, bool named, const QString& filePath,
                         const FileStamp& stamp, const QString& sourceRoot, int assocIndex);
    void noteNewest(const QDateTime& modified, qint64 modifiedWall);
    const QString& textOfSecond(const QDateTime& modified, qint64 wall);
    int currentIndexOf(const QString& sourcePath, int assocIndex) const;
    bool stopRequested() const;

    AppState& m_state;
    EngineTiming m_timing;
    std::unique_ptr<CopyEngine> m_copier;
    // Before the catch-up, whose view of the mount table must not miss a change made while
    // the watch was opened.
    std::unique_ptr<MountWatch> m_mounts;
    std::unique_ptr<CatchUp> m_catchUp;
    QTimer m_timer;
    int m_passDepth = 0; // nesting of ScanPass through its drains
    // How many events the watches had read when the last wait for writers began.
    std::optional<quint64> m_settledEvents;
    qint64 m_nowSecond = -1; // the tick's "now" text, made once per second
    QString m_nowText;
    qint64 m_newestWall = 0; // the value of the NewDetectionDate text this engine wrote last
    QString m_newestText;
    qint64 m_modifiedWall = -1; // the modified text made last
    QString m_modifiedText;
};
