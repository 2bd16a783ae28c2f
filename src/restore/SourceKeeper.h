#pragma once
// Where a source file as it is now is copied before a restore replaces it. In the program the
// copies are made by the workers of the destinations' disks, in their turn with the saves, so a
// save and a restore of one file never rotate its versions at the same time. Without workers
// (the command line, which runs beside the program and never starts it) the restore's own thread
// makes them.

#include "engine/DestinationCopy.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class DestinationWorkers;
class FileSystem;

class SourceKeeper {
public:
    virtual ~SourceKeeper() = default;
    // Makes each job's copy; a report for each, in order. Runs on the restore's thread; a keep
    // still waiting when `cancel` is set is reported stopped.
    virtual std::vector<DestinationReport> keep(FileSystem& fso, const std::vector<CopyJob>& jobs,
                                                const std::atomic<bool>* cancel) = 0;

    // The copies made on the calling thread itself.
    static std::shared_ptr<SourceKeeper> onThisThread();
};

// Hands the copies to the destinations' workers and waits for their reports. The workers live on
// the window's thread: the jobs reach them by queued calls, and once they are gone every keep is
// reported stopped.
class WorkerKeeper : public SourceKeeper {
public:
    explicit WorkerKeeper(DestinationWorkers& workers);
    ~WorkerKeeper() override;

    std::vector<DestinationReport> keep(FileSystem& fso, const std::vector<CopyJob>& jobs,
                                        const std::atomic<bool>* cancel) override;

    // Test seam: run on the window's thread once a keep's jobs are with the workers.
    std::function<void()> handedOver;

private:
    struct Link {
        std::mutex mutex;
        DestinationWorkers* workers = nullptr;
    };
    std::shared_ptr<Link> m_link;
};
