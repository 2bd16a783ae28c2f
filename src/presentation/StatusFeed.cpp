#include "presentation/StatusFeed.h"

#include "core/Lifecycle.h"
#include "engine/CopyEngine.h"
#include "engine/DestinationWorkers.h"
#include "engine/Engine.h"
#include "platform/Paths.h"
#include "presentation/ProtectionStatus.h"
#include "state/AppState.h"

#include <QSet>

StatusFeed::StatusFeed(AppState& state, Engine& engine, Lifecycle& lifecycle,
                       ProtectionStatus& status, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_status(status) {
    CopyEngine& copier = engine.copier();
    connect(&copier, &CopyEngine::destinationDone, &status, &ProtectionStatus::copyEnded);
    status.setWaitingCheck([&copier](const QString& file, const QString& destination) {
        return copier.retrying(file, destination);
    });
    connect(&engine, &Engine::changeNoted, &status, &ProtectionStatus::changeNoted);
    connect(&engine, &Engine::idle, &status, &ProtectionStatus::engineIdle);
    connect(&engine, &Engine::mountsChanged, this, [this] {
        m_status.associationsChanged();
        checkDisks();
    });
    connect(&engine, &Engine::watchedFolderReturned, &status,
            &ProtectionStatus::associationsChanged);
    connect(&lifecycle, &Lifecycle::pausedChanged, &status, &ProtectionStatus::pausedChanged);
    connect(&engine.workers(), &DestinationWorkers::news, this, &StatusFeed::onNews);
    connect(&engine.workers(), &DestinationWorkers::respondingChanged, this,
            &StatusFeed::onRespondingChanged);
    m_edits.setSingleShot(true);
    m_edits.setInterval(0);
    connect(&m_edits, &QTimer::timeout, this, &StatusFeed::lookAtEdits);
}

void StatusFeed::checkDisks() {
    // Many associations share one destination folder: each folder is asked about once per disk
    // name it is stored with. The folders are told apart by the path as stored first, which
    // costs no new string per destination, then by the file system's rule.
    QHash<QString, QSet<QString>> seen;
    QSet<QString> asked;
    for (const auto& destination : *m_state.destinations) {
        QSet<QString>& volumes = seen[destination->Path];
        if (volumes.contains(destination->Volume))
            continue;
        volumes.insert(destination->Volume);
        const QString key = Paths::PathKey(destination->Path) + QChar(0) + destination->Volume;
        if (asked.contains(key))
            continue;
        asked.insert(key);
        check(destination->Path, destination->Volume);
    }
}

void StatusFeed::associationsChanged() {
    m_edits.start();
}

void StatusFeed::lookAtEdits() {
    m_status.associationsChanged();
    QSet<QString> seen; // the paths as stored: many associations share a destination folder
    for (const auto& destination : *m_state.destinations) {
        if (seen.contains(destination->Path))
            continue;
        seen.insert(destination->Path);
        if (!m_workerOf.contains(Paths::PathKey(destination->Path)))
            check(destination->Path, destination->Volume);
    }
}

void StatusFeed::check(const QString& destinationPath, const QString& volume) {
    // Once the exit began, nothing new is asked of the workers.
    if (m_state.ExitRequested)
        return;
    clsDestination destination;
    destination.Path = destinationPath;
    destination.Volume = volume;
    // Known from now on, so that a change of the associations asks only for new ones.
    m_workerOf.insert(Paths::PathKey(destinationPath),
                      {m_engine.workers().workerKeyFor(destinationPath), destinationPath});
    m_engine.workers().checkDrive(destination);
}

void StatusFeed::onNews(const WorkerNews& news) {
    const QString& path = news.save.copy.destination.Path;
    if (path.isEmpty())
        return;
    m_workerOf.insert(Paths::PathKey(path), {news.workerKey, path});
    if (news.kind == WorkerNews::Kind::DriveChecked)
        m_status.diskChecked(path, news.report.failure);
}

void StatusFeed::onRespondingChanged(const QString& workerKey, bool responding) {
    for (const auto& [worker, path] : std::as_const(m_workerOf))
        if (worker == workerKey)
            m_status.diskResponding(path, responding);
}
