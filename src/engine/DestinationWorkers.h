#pragma once
// One worker per destination disk, made when its first job comes, and the watch over them: a
// worker that makes no progress for a while marks its disk "not responding" (its jobs wait, none
// is dropped) until it moves again. Lives on the window's thread; what the workers find comes
// back to it as queued calls.

#include "engine/DestinationWorker.h"
#include "platform/MountTable.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

class FileSystem;
class TurnBudget;

class DestinationWorkers : public QObject {
    Q_OBJECT
public:
    struct Timing {
        int stallMs = 30000; // no progress for this long: not responding
        int stallCheckMs = 5000;
    };

    // The workers share `fso` (see DestinationWorker); their results are handed on in slices of
    // `turn`.
    DestinationWorkers(std::shared_ptr<FileSystem> fso, Timing timing, TurnBudget& turn,
                       QObject* parent = nullptr);
    // Waits for the workers that still answer; those stuck in a system call are left to the end
    // of the process (see abandonStuck()).
    ~DestinationWorkers() override;

    // The worker for the disk that holds `destinationPath`, found from the mount table alone,
    // so that asking never touches a disk that may not answer. A destination stays with its
    // worker for as long as that worker has work, also when the mount table changed meanwhile:
    // two workers never write into one destination at the same time.
    QString workerKeyFor(const QString& destinationPath);

    void submit(SaveJob job);
    void submitFolder(FolderJob job);
    void submitCatchUp(const QString& workerKey, CatchUpTask task);
    // The worker of the destination's disk looks whether that disk is there (DriveChecked).
    void checkDrive(const clsDestination& destination);
    // The worker of the destination's disk makes the keep's copy in its turn.
    void keep(KeepJob job);
    void dropCatchUps();
    void setHeld(bool held);
    // Drops every waiting job and asks the copies under way to stop.
    void dropAllAndCancel();
    // Asks the copies under way to stop at their next chunk.
    void cancelRunning();

    bool busy() const;
    // True when the worker of `workerKey` is marked as not responding.
    bool notResponding(const QString& workerKey) const;
    // Gives up the workers that are still busy: they are not waited for, and what they finish
    // is not heard. True when there was one.
    bool abandonStuck();

    // After a mount-table change: new disks get their own workers.
    void mountsChanged();

    // Test seam run on every worker's thread after each step that changes a destination.
    DestinationWorker::StepHook afterEachStep;

signals:
    void news(const WorkerNews& news);
    // The worker of `workerKey` stopped or started answering again.
    void respondingChanged(const QString& workerKey, bool responding);

private:
    struct Watched {
        std::unique_ptr<DestinationWorker> worker;
        quint64 lastProgress = 0;
        qint64 lastMoveMs = 0;
        bool notResponding = false;
    };
    // Shared with the workers: once the pool is gone, nothing they finish is delivered. The
    // news itself waits here, under the mailbox's lock, and the queued call that fetches it
    // carries nothing: what a worker hands over is then visibly handed over by that lock, also
    // to the thread sanitizer, which cannot see the locks inside Qt's event queue.
    struct Mailbox {
        std::mutex mutex;
        DestinationWorkers* target = nullptr;
        std::deque<WorkerNews> waiting;
    };

    DestinationWorker& workerFor(const QString& key);
    Q_INVOKABLE void deliverWaiting();
    void deliver(const WorkerNews& news);
    void checkStalls();
    void armStallCheck();

    const std::shared_ptr<FileSystem> m_fsoOwner;
    FileSystem& m_fso;
    Timing m_timing;
    TurnBudget& m_turn;
    MountTable m_mounts;
    std::map<QString, Watched> m_workers;
    QHash<QString, QString> m_assigned; // destination key -> worker key
    std::shared_ptr<Mailbox> m_mailbox;
    QTimer m_stallCheck;
    bool m_held = false;
};
