#include "engine/DestinationWorkers.h"
#include "engine/Log.h"
#include "engine/TurnBudget.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QMetaObject>

namespace {

qint64 monotonicMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

DestinationWorkers::DestinationWorkers(std::shared_ptr<FileSystem> fso, Timing timing,
                                       TurnBudget& turn, QObject* parent)
    : QObject(parent), m_fsoOwner(std::move(fso)), m_fso(*m_fsoOwner), m_timing(timing),
      m_turn(turn), m_mounts(MountTable::current()), m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->target = this;
    m_stallCheck.setInterval(m_timing.stallCheckMs);
    connect(&m_stallCheck, &QTimer::timeout, this, &DestinationWorkers::checkStalls);
}

DestinationWorkers::~DestinationWorkers() {
    {
        const std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->target = nullptr;
    }
    abandonStuck();
    for (auto& [key, watched] : m_workers) {
        // A worker given up on is never destroyed: its thread may still come back to it.
        if (watched.notResponding || !watched.worker)
            (void)watched.worker.release();
    }
    m_workers.clear();
}

QString DestinationWorkers::workerKeyFor(const QString& destinationPath) {
    const QString destination = Paths::PathKey(destinationPath);
    const auto assigned = m_assigned.constFind(destination);
    if (assigned != m_assigned.constEnd()) {
        const auto it = m_workers.find(*assigned);
        if (it != m_workers.end() && it->second.worker && it->second.worker->busy())
            return *assigned;
    }
    const std::optional<MountEntry> mount = m_mounts.mountOf(m_fso.localPathOf(destinationPath));
    const QString key = mount ? mount->mountPoint : QString();
    m_assigned.insert(destination, key);
    return key;
}

DestinationWorker& DestinationWorkers::workerFor(const QString& key) {
    Watched& watched = m_workers[key];
    if (!watched.worker) {
        const std::shared_ptr<Mailbox> mailbox = m_mailbox;
        auto post = [mailbox](WorkerNews news) {
            const std::lock_guard lock(mailbox->mutex);
            DestinationWorkers* target = mailbox->target;
            if (!target)
                return;
            mailbox->waiting.push_back(std::move(news));
            // One call fetches all that arrived before it runs.
            if (mailbox->waiting.size() == 1)
                QMetaObject::invokeMethod(target, "deliverWaiting", Qt::QueuedConnection);
        };
        watched.worker =
            std::make_unique<DestinationWorker>(m_fsoOwner, key, std::move(post), [this] {
                if (afterEachStep)
                    afterEachStep();
            });
        watched.worker->setHeld(m_held);
        watched.lastMoveMs = monotonicMs();
    }
    return *watched.worker;
}

void DestinationWorkers::submit(SaveJob job) {
    workerFor(workerKeyFor(job.copy.destination.Path)).submit(std::move(job));
    armStallCheck();
}

void DestinationWorkers::keep(KeepJob job) {
    workerFor(workerKeyFor(job.copy.destination.Path)).submitKeep(std::move(job));
    armStallCheck();
}

void DestinationWorkers::submitFolder(FolderJob job) {
    workerFor(workerKeyFor(job.destinationPath)).submitFolder(std::move(job));
    armStallCheck();
}

void DestinationWorkers::submitCatchUp(const QString& workerKey, CatchUpTask task) {
    workerFor(workerKey).submitCatchUp(std::move(task));
    armStallCheck();
}

void DestinationWorkers::checkDrive(const clsDestination& destination) {
    workerFor(workerKeyFor(destination.Path)).submitDriveCheck(destination);
    armStallCheck();
}

void DestinationWorkers::dropCatchUps() {
    for (auto& [key, watched] : m_workers)
        watched.worker->dropCatchUps();
}

void DestinationWorkers::setHeld(bool held) {
    m_held = held;
    for (auto& [key, watched] : m_workers)
        watched.worker->setHeld(held);
}

void DestinationWorkers::dropAllAndCancel() {
    for (auto& [key, watched] : m_workers)
        watched.worker->dropAll();
}

void DestinationWorkers::cancelRunning() {
    for (auto& [key, watched] : m_workers)
        watched.worker->cancelRunning();
}

bool DestinationWorkers::busy() const {
    for (const auto& [key, watched] : m_workers)
        if (watched.worker->busy())
            return true;
    return false;
}

bool DestinationWorkers::notResponding(const QString& workerKey) const {
    const auto it = m_workers.find(workerKey);
    return it != m_workers.end() && it->second.notResponding;
}

bool DestinationWorkers::abandonStuck() {
    bool any = false;
    for (auto& [key, watched] : m_workers) {
        if (!watched.worker || !watched.worker->busy())
            continue;
        watched.worker->abandon();
        watched.notResponding = true;
        any = true;
    }
    return any;
}

void DestinationWorkers::mountsChanged() {
    m_mounts = MountTable::current();
    for (auto& [key, watched] : m_workers)
        watched.worker->forgetSweeps();
}

// One at a time, so that news delivered from within a handler (one that runs the event loop)
// still comes in the order it was posted. A batch of copies reports hundreds of results at once:
// they are handed on while the turn has time, and the rest after the events that came meanwhile,
// so that the window answers in between.
void DestinationWorkers::deliverWaiting() {
    for (;;) {
        WorkerNews news;
        {
            const std::lock_guard lock(m_mailbox->mutex);
            if (m_mailbox->waiting.empty())
                return;
            if (!m_turn.left()) {
                QTimer::singleShot(0, this, &DestinationWorkers::deliverWaiting);
                return;
            }
            news = std::move(m_mailbox->waiting.front());
            m_mailbox->waiting.pop_front();
        }
        deliver(news);
    }
}

void DestinationWorkers::deliver(const WorkerNews& arrived) {
    // Whatever a worker says, it moves again.
    const auto it = m_workers.find(arrived.workerKey);
    if (it != m_workers.end()) {
        it->second.lastMoveMs = monotonicMs();
        it->second.lastProgress = it->second.worker->progress();
        if (it->second.notResponding) {
            it->second.notResponding = false;
            emit respondingChanged(arrived.workerKey, true);
        }
    }
    emit news(arrived);
}

// Runs only while some worker is busy: an idle program has no timer to wake it.
void DestinationWorkers::armStallCheck() {
    if (!m_stallCheck.isActive())
        m_stallCheck.start();
}

void DestinationWorkers::checkStalls() {
    const qint64 now = monotonicMs();
    bool anyBusy = false;
    for (auto& [key, watched] : m_workers) {
        const quint64 progress = watched.worker->progress();
        const bool busy = watched.worker->busy();
        anyBusy = anyBusy || busy;
        if (progress != watched.lastProgress || !busy) {
            watched.lastProgress = progress;
            watched.lastMoveMs = now;
            if (watched.notResponding) {
                watched.notResponding = false;
                emit respondingChanged(key, true);
            }
            continue;
        }
        if (!watched.notResponding && now - watched.lastMoveMs >= m_timing.stallMs) {
            watched.notResponding = true;
            qCWarning(lcEngine) << "The disk at" << Paths::displayName(key) << "does not answer";
            emit respondingChanged(key, false);
        }
    }
    if (!anyBusy)
        m_stallCheck.stop();
}
