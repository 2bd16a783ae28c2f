#pragma once
// The work of one destination disk, done on a thread of its own: a disk that stops answering (a
// share whose server went away, a frozen file system) then holds up only the copies that wait
// for it, never the watches, the window or the other disks.
//
// The worker takes immutable jobs. Copies of changed files come first, in the order they were
// asked for; a file's copy that is still waiting is replaced by a newer one of the same file,
// so that a file saved often is copied once, in its newest state. A catch-up runs between them,
// one file at a time. What a job found goes back through `Post`, which the owner hands on to
// its own thread.

#include "engine/CatchUpWalk.h"
#include "engine/DestinationCopy.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

class FileSystem;

// A copy of one changed file into one destination.
struct SaveJob {
    quint64 callId = 0; // the change it belongs to: every destination of one file reports to it
    CopyJob copy;
};

// A source folder whose permission bits or group changed: its mirror in one destination follows.
struct FolderJob {
    QString destinationPath;
    QString sourceRoot;
    bool folderAssociation = false;
    QString sourceFolder;
    QString prevSaveName; // the base name of the version folders, already usable
};

// A copy of a source file that a restore is about to replace, made as a save is, in the worker's
// turn, so that versions rotate once per copy however saves and restores meet. Its report is the
// answer's; a keep dropped unserved leaves the answer broken, which its asker takes as stopped.
struct KeepJob {
    CopyJob copy;
    std::shared_ptr<std::promise<DestinationReport>> answer;
};

// What a job came to; sent back for the window's thread.
struct WorkerNews {
    enum class Kind {
        SaveDone,       // `save` ended as `report` says
        SaveMerged,     // `save` waited and was replaced by a newer copy of the same file
        CatchUpCopied,  // the catch-up copied `save.copy` (or failed to) as `report` says
        CatchUpChanged, // the catch-up met `save.copy.filePath` still being written
        CatchUpOver,    // the catch-up `catchUpId` is done or was dropped
        Progress,       // the worker moved on after it had made no progress for a while
        DriveChecked,   // `save.copy.destination`'s disk was looked at: `report.failure`
    };
    Kind kind = Kind::SaveDone;
    SaveJob save;
    DestinationReport report;
    quint64 catchUpId = 0;
    QString workerKey;
};

class DestinationWorker {
public:
    using Post = std::function<void(WorkerNews)>;
    // Test seam run on the worker's thread after each step that changes a destination.
    using StepHook = std::function<void()>;

    // The worker shares `fso`: a worker given up on at the exit may still be inside a call on it
    // when everything else is gone.
    DestinationWorker(std::shared_ptr<FileSystem> fso, QString key, Post post,
                      StepHook afterEachStep = {});
    // Stops the thread and waits for it: an abandoned worker is never destroyed.
    ~DestinationWorker();
    DestinationWorker(const DestinationWorker&) = delete;
    DestinationWorker& operator=(const DestinationWorker&) = delete;

    const QString& key() const { return m_key; }

    void submit(SaveJob job);
    void submitFolder(FolderJob job);
    void submitCatchUp(CatchUpTask task);
    // Looks whether the destination's disk is there and is the right one, writing nothing. It
    // comes before the copies, also while the worker is held: it only looks.
    void submitDriveCheck(clsDestination destination);
    // Like a drive check, a keep comes before the copies and also while the worker is held: a
    // restore waits for it.
    void submitKeep(KeepJob job);
    // Drops the catch-ups waiting or under way (their CatchUpOver is still posted).
    void dropCatchUps();
    // While held, the worker starts nothing new; what it is doing it finishes.
    void setHeld(bool held);
    // Asks the copy under way to stop at its next chunk: the old copy stays.
    void cancelRunning();
    // Drops every waiting job and catch-up and cancels the one under way.
    void dropAll();

    // True while a job or a catch-up step is under way or waiting.
    bool busy() const;
    // Counts every chunk and step the worker finishes; a number that stands still while the
    // worker is busy means its disk does not answer.
    quint64 progress() const { return m_progress.load(); }

    // A disk was mounted: each destination is swept again at its next catch-up.
    void forgetSweeps();

    // Leaves a thread that is stuck in a system call to the end of the process: nothing it
    // finishes is posted any more. The owner must then leak the worker instead of destroying it.
    void abandon();

private:
    using QueueKey = std::pair<QString, QString>; // the file and the destination folder

    void run(std::stop_token stop);
    bool serveNextCheck(std::unique_lock<std::mutex>& lock);
    bool serveNextKeep(std::unique_lock<std::mutex>& lock);
    bool serveNextSave(std::unique_lock<std::mutex>& lock);
    bool serveNextFolder(std::unique_lock<std::mutex>& lock);
    bool hasWork() const;
    bool stepCatchUp(std::unique_lock<std::mutex>& lock);
    // Whether saves wait behind the catch-up; `lock` is held meanwhile only.
    bool savesWaiting(std::unique_lock<std::mutex>& lock);
    // Copies `jobs` as one batch into this worker's disk; `done` gets each job's report.
    void copy(const std::vector<CopyJob>& jobs,
              const std::function<void(size_t, const DestinationReport&)>& done,
              std::optional<qint64> byteLimit = std::nullopt);
    void putBack(std::vector<SaveJob> saves, std::unique_lock<std::mutex>& lock);
    void post(WorkerNews news);
    void sweepDestination(const QString& path);

    const std::shared_ptr<FileSystem> m_fsoOwner;
    FileSystem& m_fso;
    const QString m_key;
    Post m_post;
    StepHook m_afterEachStep;

    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<QueueKey> m_order;
    std::map<QueueKey, SaveJob> m_saves;
    std::deque<FolderJob> m_folders;
    std::deque<CatchUpTask> m_catchUps;
    std::deque<clsDestination> m_driveChecks;
    std::deque<KeepJob> m_keeps;
    std::unique_ptr<CatchUpWalk> m_walk; // the catch-up under way, between its steps
    bool m_walkStepping = false;         // a step of it runs without the lock
    bool m_walkDropped = false;          // dropped while its step ran
    bool m_held = false;
    bool m_running = false;
    std::atomic<bool> m_cancel = false;
    std::atomic<quint64> m_progress = 0;
    std::atomic<bool> m_abandoned = false;

    // Folders cleared of temporary files left by a killed copy: only a crash leaves one, so each
    // folder is looked through once per run. The worker's own.
    std::set<QString> m_sweptFolders;
    // Destinations cleared as a whole by a catch-up, until the next mount.
    std::set<QString> m_sweptDestinations;

    std::jthread m_thread;
};
