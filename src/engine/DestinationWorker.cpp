#include "engine/DestinationWorker.h"
#include "engine/Log.h"

#include "engine/CopyDestination.h"
#include "engine/DriveChecks.h"
#include "platform/DestinationFolder.h"
#include "platform/FileSystem.h"
#include "platform/OpenFileLimit.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Files a catch-up step looks at before the worker looks for new saves again: small enough that
// a save waits for milliseconds, large enough that the lock is not taken per file.
constexpr int catchUpStepFiles = 64;
// Copies made durable together, by one flush of the disk instead of one commit of its journal
// per file: a burst of small saves then costs few flushes. Each copy of a batch holds two
// descriptors until the batch is durable, so a batch stays well within the process's limit with
// a worker per disk.
constexpr size_t batchFilesMost = 512;
constexpr size_t batchFilesLeast = 16;
// A catch-up batch stays smaller: a save that comes while it is under way waits for all of it.
constexpr size_t catchUpBatchFiles = 64;
// A batch stops growing at this many bytes of sources: the flushes it saves pay off for small
// files, and a save waits for the whole batch.
constexpr qint64 batchBytes = qint64(64) << 20;

size_t batchFiles() {
    static const size_t files =
        std::clamp(size_t(openFileLimit() / 8), batchFilesLeast, batchFilesMost);
    return files;
}

qint64 nowNs() {
    return QDateTime::currentMSecsSinceEpoch() * nsPerMs;
}

} // namespace

DestinationWorker::DestinationWorker(std::shared_ptr<FileSystem> fso, QString key, Post post,
                                     StepHook afterEachStep)
    : m_fsoOwner(std::move(fso)), m_fso(*m_fsoOwner), m_key(std::move(key)),
      m_post(std::move(post)), m_afterEachStep(std::move(afterEachStep)),
      m_thread([this](std::stop_token stop) { run(stop); }) {}

DestinationWorker::~DestinationWorker() {
    m_cancel = true;
    m_thread.request_stop();
    m_wake.notify_all();
}

void DestinationWorker::submit(SaveJob job) {
    const QueueKey key{job.copy.filePath, job.copy.destination.Path};
    std::optional<SaveJob> replaced;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_saves.find(key);
        if (it == m_saves.end()) {
            m_saves.emplace(key, std::move(job));
            m_order.push_back(key);
        } else {
            // The waiting copy would be of an older state of the file: the newer one takes its
            // place in the queue, so that the order of the file's saves is kept.
            replaced = std::exchange(it->second, std::move(job));
        }
    }
    m_wake.notify_all();
    if (replaced) {
        WorkerNews news;
        news.kind = WorkerNews::Kind::SaveMerged;
        news.save = std::move(*replaced);
        post(std::move(news));
    }
}

void DestinationWorker::submitFolder(FolderJob job) {
    {
        const std::lock_guard lock(m_mutex);
        m_folders.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void DestinationWorker::submitCatchUp(CatchUpTask task) {
    {
        const std::lock_guard lock(m_mutex);
        m_catchUps.push_back(std::move(task));
    }
    m_wake.notify_all();
}

void DestinationWorker::submitDriveCheck(clsDestination destination) {
    {
        const std::lock_guard lock(m_mutex);
        m_driveChecks.push_back(std::move(destination));
    }
    m_wake.notify_all();
}

void DestinationWorker::submitKeep(KeepJob job) {
    {
        const std::lock_guard lock(m_mutex);
        m_keeps.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void DestinationWorker::dropCatchUps() {
    std::vector<quint64> dropped;
    {
        const std::lock_guard lock(m_mutex);
        for (const CatchUpTask& task : m_catchUps)
            dropped.push_back(task.id);
        m_catchUps.clear();
        if (m_walk)
            dropped.push_back(m_walk->task().id);
        m_walk.reset();
        // The step under way says so itself when it ends.
        m_walkDropped = m_walkStepping;
    }
    for (const quint64 id : dropped) {
        WorkerNews news;
        news.kind = WorkerNews::Kind::CatchUpOver;
        news.catchUpId = id;
        post(std::move(news));
    }
}

void DestinationWorker::setHeld(bool held) {
    {
        const std::lock_guard lock(m_mutex);
        m_held = held;
    }
    m_wake.notify_all();
}

void DestinationWorker::cancelRunning() {
    m_cancel = true;
}

void DestinationWorker::dropAll() {
    {
        const std::lock_guard lock(m_mutex);
        m_order.clear();
        m_saves.clear();
        m_folders.clear();
        m_driveChecks.clear();
        m_keeps.clear();
    }
    dropCatchUps();
    cancelRunning();
}

bool DestinationWorker::busy() const {
    const std::lock_guard lock(m_mutex);
    return m_running || !m_driveChecks.empty() || !m_keeps.empty() || (!m_held && hasWork());
}

bool DestinationWorker::hasWork() const {
    return !m_order.empty() || !m_folders.empty() || !m_catchUps.empty() || m_walk;
}

void DestinationWorker::abandon() {
    m_abandoned = true;
    m_cancel = true;
}

void DestinationWorker::run(std::stop_token stop) {
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        m_wake.wait(lock, stop, [this] {
            return !m_driveChecks.empty() || !m_keeps.empty() || (!m_held && hasWork());
        });
        if (stop.stop_requested())
            break;
        if (m_held) {
            if (!serveNextCheck(lock))
                serveNextKeep(lock);
            continue;
        }
        // Saves first: a file just saved is what the user is waiting for; then a restore waiting
        // for its keep. A look at the disk takes a moment and comes next, before the folders'
        // modes and the catch-up, since the state the user sees waits for it (a start with
        // thousands of destinations asks for thousands of looks).
        if (!serveNextSave(lock) && !serveNextKeep(lock) && !serveNextCheck(lock) &&
            !serveNextFolder(lock))
            stepCatchUp(lock);
    }
}

bool DestinationWorker::serveNextCheck(std::unique_lock<std::mutex>& lock) {
    if (m_driveChecks.empty())
        return false;
    WorkerNews news;
    news.kind = WorkerNews::Kind::DriveChecked;
    news.save.copy.destination = std::move(m_driveChecks.front());
    m_driveChecks.pop_front();
    m_running = true;
    lock.unlock();

    const clsDestination& destination = news.save.copy.destination;
    news.report.destDir = destination.Path;
    news.report.failure = DriveChecks::checkDestinationDrive(
        m_fso, destination.Path, destination.Volume, news.report.destVolumeName);
    ++m_progress;
    post(std::move(news));

    lock.lock();
    m_running = false;
    return true;
}

bool DestinationWorker::serveNextKeep(std::unique_lock<std::mutex>& lock) {
    if (m_keeps.empty())
        return false;
    KeepJob job = std::move(m_keeps.front());
    m_keeps.pop_front();
    m_running = true;
    m_cancel = false;
    lock.unlock();

    copy({job.copy},
         [&](size_t, const DestinationReport& report) { job.answer->set_value(report); });

    lock.lock();
    m_running = false;
    return true;
}

bool DestinationWorker::serveNextSave(std::unique_lock<std::mutex>& lock) {
    // The saves waiting are copied as one batch, in the order they were asked for.
    std::vector<SaveJob> batch;
    while (!m_order.empty() && batch.size() < batchFiles()) {
        const QueueKey key = m_order.front();
        m_order.pop_front();
        const auto it = m_saves.find(key);
        if (it == m_saves.end())
            continue;
        batch.push_back(std::move(it->second));
        m_saves.erase(it);
    }
    if (batch.empty())
        return !m_order.empty();
    m_running = true;
    m_cancel = false;
    lock.unlock();

    std::vector<CopyJob> jobs;
    jobs.reserve(batch.size());
    for (const SaveJob& job : batch)
        jobs.push_back(job.copy);
    std::vector<SaveJob> unstarted;
    copy(
        jobs,
        [&](size_t index, const DestinationReport& report) {
            if (report.ending == DestinationReport::Ending::NotStarted) {
                unstarted.push_back(std::move(batch[index]));
                return;
            }
            WorkerNews news;
            news.kind = WorkerNews::Kind::SaveDone;
            news.report = report;
            news.save = std::move(batch[index]);
            post(std::move(news));
        },
        batchBytes);

    lock.lock();
    m_running = false;
    putBack(std::move(unstarted), lock);
    return true;
}

// Saves a batch had no room for wait at the head of the queue again, in their order, unless a
// newer save of the same file came meanwhile, or the queue was dropped.
void DestinationWorker::putBack(std::vector<SaveJob> saves, std::unique_lock<std::mutex>& lock) {
    std::vector<WorkerNews> ended;
    for (auto it = saves.rbegin(); it != saves.rend(); ++it) {
        const QueueKey key{it->copy.filePath, it->copy.destination.Path};
        WorkerNews news;
        news.save = std::move(*it);
        if (m_cancel) {
            news.kind = WorkerNews::Kind::SaveDone;
            news.report.ending = DestinationReport::Ending::Cancelled;
            news.report.destDir = news.save.copy.destination.Path;
        } else if (m_saves.contains(key)) {
            news.kind = WorkerNews::Kind::SaveMerged;
        } else {
            m_saves.emplace(key, std::move(news.save));
            m_order.push_front(key);
            continue;
        }
        ended.push_back(std::move(news));
    }
    if (ended.empty())
        return;
    lock.unlock();
    for (WorkerNews& news : ended)
        post(std::move(news));
    lock.lock();
}

bool DestinationWorker::serveNextFolder(std::unique_lock<std::mutex>& lock) {
    if (m_folders.empty())
        return false;
    const FolderJob job = std::move(m_folders.front());
    m_folders.pop_front();
    m_running = true;
    lock.unlock();
    try {
        const BackupLayout layout(job.sourceRoot, job.folderAssociation, job.prevSaveName);
        CopyDestination::followSourceFolder(m_fso, layout, job.destinationPath, job.sourceFolder);
    } catch (...) {
        qCWarning(lcEngine) << "The access of a mirror of" << Paths::displayName(job.sourceFolder)
                            << "was not followed:" << currentExceptionText();
    }
    ++m_progress;
    lock.lock();
    m_running = false;
    return true;
}

bool DestinationWorker::stepCatchUp(std::unique_lock<std::mutex>& lock) {
    if (!m_walk) {
        if (m_catchUps.empty())
            return false;
        m_walk = std::make_unique<CatchUpWalk>(m_fso, std::move(m_catchUps.front()));
        m_catchUps.pop_front();
        m_walk->onDestinationReached = [this](const QString& path) { sweepDestination(path); };
    }
    // The walk runs unlocked, so it is moved out for the step and put back after it, unless it
    // was dropped meanwhile.
    std::unique_ptr<CatchUpWalk> walk = std::move(m_walk);
    m_walkStepping = true;
    m_walkDropped = false;
    m_running = true;
    m_cancel = false;
    lock.unlock();

    const CatchUpTask& task = walk->task();
    const QString& source = task.association.SourcePath;
    const quint64 catchUpId = task.id;
    // The files found due in this step are copied as one batch.
    std::vector<CopyJob> due;
    qint64 dueBytes = 0;
    bool over = false;
    while (due.size() < catchUpBatchFiles && dueBytes < batchBytes && !over && !m_cancel &&
           !savesWaiting(lock)) {
        const CatchUpWalk::Found found = walk->next(catchUpStepFiles, nowNs());
        ++m_progress;
        if (found.kind == CatchUpWalk::Found::Kind::Nothing)
            break;
        over = found.kind == CatchUpWalk::Found::Kind::Done;
        if (found.kind == CatchUpWalk::Found::Kind::Changing) {
            WorkerNews news;
            news.kind = WorkerNews::Kind::CatchUpChanged;
            news.save.copy.sourceRoot = source;
            news.save.copy.filePath = found.file;
            post(std::move(news));
        }
        if (!found.destinations.empty())
            dueBytes += m_fso.stamp(found.file).value_or(FileStamp{}).size;
        for (const clsDestination& destination : found.destinations) {
            due.push_back(DestinationCopy::makeJob(task.association, destination, source,
                                                   found.file,
                                                   usablePrevSaveName(task.options.PrevSaveName)));
            due.back().owners = task.owners;
        }
    }
    copy(due, [&](size_t index, const DestinationReport& report) {
        WorkerNews news;
        news.kind = WorkerNews::Kind::CatchUpCopied;
        news.save.copy = due[index];
        news.report = report;
        post(std::move(news));
    });
    if (over)
        walk.reset();

    lock.lock();
    m_running = false;
    m_walkStepping = false;
    over = !walk || m_walkDropped;
    if (!over)
        m_walk = std::move(walk);
    lock.unlock();
    if (over) {
        WorkerNews news;
        news.kind = WorkerNews::Kind::CatchUpOver;
        news.catchUpId = catchUpId;
        post(std::move(news));
    }
    lock.lock();
    return true;
}

bool DestinationWorker::savesWaiting(std::unique_lock<std::mutex>& lock) {
    lock.lock();
    const bool waiting = !m_order.empty();
    lock.unlock();
    return waiting;
}

void DestinationWorker::copy(const std::vector<CopyJob>& jobs,
                             const std::function<void(size_t, const DestinationReport&)>& done,
                             std::optional<qint64> byteLimit) {
    if (jobs.empty())
        return;
    CopySteps steps;
    steps.between = [this] {
        ++m_progress;
        return !m_cancel.load();
    };
    steps.afterEachStep = [this] {
        ++m_progress;
        // The hook belongs to the pool, which a worker given up on outlives.
        if (m_afterEachStep && !m_abandoned)
            m_afterEachStep();
    };
    steps.sweep = [this](const DestinationFolder& folder, const QString& path) {
        if (m_sweptFolders.insert(path).second)
            folder.removeStaleTemporaries();
    };
    DestinationCopy::runBatch(
        m_fso, jobs, steps,
        [&](size_t index, const DestinationReport& report) {
            ++m_progress;
            done(index, report);
        },
        byteLimit);
}

// A catch-up clears the whole destination once per run and after each mount: a copy killed with
// the program, or cut off by an unplugged disk, leaves its temporary file wherever it was.
void DestinationWorker::sweepDestination(const QString& path) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_sweptDestinations.insert(path).second)
            return;
    }
    DestinationFolder::openChosen(m_fso.localPathOf(path)).removeStaleTemporariesBelow();
}

void DestinationWorker::forgetSweeps() {
    const std::lock_guard lock(m_mutex);
    m_sweptDestinations.clear();
}

void DestinationWorker::post(WorkerNews news) {
    if (m_abandoned)
        return;
    news.workerKey = m_key;
    m_post(std::move(news));
}
