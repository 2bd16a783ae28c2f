#include "engine/CatchUp.h"

#include "engine/CopyEngine.h"
#include "engine/DestinationWorkers.h"
#include "engine/Engine.h"
#include "engine/TurnBudget.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "state/AppState.h"

#include <QHash>
#include <algorithm>
#include <utility>

CatchUp::CatchUp(AppState& state, Engine& engine)
    : m_state(state), m_engine(engine), m_mounts(MountTable::current()) {
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    m_nextSlice.callOnTimeout([this] { submitSlice(); });
}

CatchUp::~CatchUp() = default;

void CatchUp::requestAll() {
    m_engine.workers().dropCatchUps();
    clear();
    for (const auto& association : *m_state.backups)
        if (association->Enabled)
            m_toSubmit << association->SourcePath;
    submitSlice();
}

void CatchUp::submitSlice() {
    // Each source is looked up again: one removed or disabled meanwhile is left out.
    while (m_nextToSubmit < m_toSubmit.size() && m_engine.turnBudget().left())
        request(m_toSubmit[m_nextToSubmit++]);
    if (m_nextToSubmit < m_toSubmit.size()) {
        m_nextSlice.start();
        return;
    }
    m_toSubmit.clear();
    m_nextToSubmit = 0;
}

void CatchUp::clear() {
    m_outstanding.clear();
    m_nextSlice.stop();
    m_toSubmit.clear();
    m_nextToSubmit = 0;
}

void CatchUp::request(const QString& sourcePath) {
    const QString key = Paths::PathKey(sourcePath);
    if (!m_state.backups->contains(key))
        return;
    const auto association = m_state.backups->Item(key);
    if (association->Enabled)
        submit(*association);
}

// One task per disk: each worker compares the copies on its own disk, so that a disk that does
// not answer holds up only its own comparisons.
void CatchUp::submit(const clsBackup& association) {
    DestinationWorkers& workers = m_engine.workers();
    QHash<QString, CatchUpTask> byWorker;
    for (const auto& destination : m_state.destinations->of(association.SourcePath)) {
        CatchUpTask& task = byWorker[workers.workerKeyFor(destination->Path)];
        task.destinations.push_back(*destination);
    }
    for (auto it = byWorker.begin(); it != byWorker.end(); ++it) {
        CatchUpTask& task = it.value();
        task.id = m_nextId++;
        task.association = association;
        task.association.setDestinations(nullptr);
        task.options = m_state.options;
        task.settleNs = qint64(m_engine.timing().settleMs) * nsPerMs;
        task.owners = m_engine.copier().ownershipOf(
            usablePrevSaveName(m_state.options.PrevSaveName), association.SourcePath);
        m_outstanding.insert(task.id);
        workers.submitCatchUp(it.key(), std::move(task));
    }
}

void CatchUp::onNews(const WorkerNews& news) {
    if (news.kind == WorkerNews::Kind::CatchUpOver)
        m_outstanding.remove(news.catchUpId);
}

void CatchUp::driveWasAway(const QString& sourcePath) {
    if (!std::any_of(m_awaitingDrives.begin(), m_awaitingDrives.end(),
                     [&](const QString& source) { return Paths::samePath(source, sourcePath); }))
        m_awaitingDrives << sourcePath;
}

// An association whose drive is still away catches up with the destinations that are there; the
// drive's return is then a mount that appeared.
void CatchUp::mountsChanged() {
    for (const QString& source : std::exchange(m_awaitingDrives, {}))
        request(source);
    requestOnNewMounts();
}

// Only mounts that appeared count: one that went away leaves nothing to copy, and copies to it
// would only fail. Which mount holds a path is read off the table alone: a disk that does not
// answer is never asked.
void CatchUp::requestOnNewMounts() {
    const MountTable now = MountTable::current();
    QSet<int> known;
    for (const MountEntry& entry : m_mounts.entries())
        known.insert(entry.id);
    QSet<int> appeared;
    for (const MountEntry& entry : now.entries())
        if (!known.contains(entry.id))
            appeared.insert(entry.id);
    m_mounts = now;
    if (appeared.isEmpty())
        return;

    const FileSystem& fso = *m_state.fso;
    const auto onNewMount = [&](const QString& path) {
        const std::optional<MountEntry> holder = now.mountOf(fso.localPathOf(path));
        return holder && appeared.contains(holder->id);
    };
    for (const auto& association : *m_state.backups) {
        if (!association->Enabled)
            continue;
        const QString& source = association->SourcePath;
        const auto destinations = m_state.destinations->of(source);
        if (onNewMount(source) ||
            std::any_of(destinations.begin(), destinations.end(),
                        [&](const auto& destination) { return onNewMount(destination->Path); }))
            request(source);
    }
}
