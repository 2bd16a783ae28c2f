// The engine's steps: woken by the watches' events, by a file whose settle time is over and by
// the workers' results, never by a clock that runs while nothing happens. Each step serves the
// watches that signalled, hands the files that settled to the copy, and keeps the status and the
// exit hand-shake up to date.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/CatchUp.h"
#include "engine/CopyEngine.h"
#include "engine/DestinationWorkers.h"
#include "engine/SettleQueue.h"
#include "engine/SourceWalks.h"
#include "engine/TurnBudget.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

#include <algorithm>

void Engine::StartWatchTimer() {
    m_started = true;
    m_state.watches->onEvents = [this] { TimerProc(); };
    // Changes named while the program was starting wait in the watches: served now.
    QTimer::singleShot(0, this, &Engine::TimerProc);
}

void Engine::TimerProc() {
    // A slot must not throw: a failing step cuts this one short, and the next event brings
    // another.
    try {
        if (!m_exiting) {
            serveWatches();
            serveTakenChanges();
            copySettledFiles();
            armSettleTimer();
        }
    } catch (...) {
        qCWarning(lcEngine) << "Engine step cut short:" << currentExceptionText();
    }
    updateRunningState();
    endTick();
}

void Engine::serveWatches() {
    for (const qint32 id : m_state.watches->readSignalled()) {
        // The record is found by the folder its watch serves; a watch replaced meanwhile has a
        // new id and is served under it.
        const QString key = Paths::PathKey(m_state.watches->folderOf(id));
        if (!m_state.detectFolders->contains(key))
            continue;
        const auto record = m_state.detectFolders->Item(key);
        if (record->AutoBackup != id)
            continue;
        m_state.watches->rearm(id);
        ScanPass(record->Folder, record->DetectionDate, id);
    }
}

// The step's next turn, once, however many results and walks ask for it meanwhile.
void Engine::requestStep() {
    if (m_stepPosted)
        return;
    m_stepPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_stepPosted = false;
            TimerProc();
        },
        Qt::QueuedConnection);
}

// Work ended or arrived outside a step: the status and the exit hand-shake follow at once, the
// step in the next turn.
void Engine::stateChanged() {
    updateRunningState();
    endTick();
    requestStep();
}

// The files that settled are handed to the workers while the turn has time: a burst of saves
// across many associations is many files at once, and the window answers between slices.
void Engine::copySettledFiles() {
    for (QString& file : m_settle->takeReady(nowMs()))
        m_settled.push_back(std::move(file));
    if (m_settled.empty())
        return;
    while (!m_settled.empty() && m_turn->left()) {
        const QString file = std::move(m_settled.front());
        m_settled.pop_front();
        // Written again while it waited for its slice: it is copied once it has settled anew.
        if (m_settle->contains(file))
            continue;
        const Route route = m_routes.take(Paths::PathKey(file));
        // Only a regular file is copied: one that went, or became a folder, a pipe or a device
        // meanwhile, is left alone; nothing here opens it.
        if (!m_state.fso->stamp(file))
            continue;
        for (const QString& sourceKey : route.holders) {
            // The association as it is now: the user may have changed or removed it while the
            // file settled.
            if (!m_state.backups->contains(sourceKey))
                continue;
            const auto association = m_state.backups->Item(sourceKey);
            if (association->Enabled)
                copySettledFile(*association, file, route.named);
        }
    }
}

void Engine::copySettledFile(clsBackup& association, const QString& file, bool named) {
    CopyScope scope;
    scope.onlyIfStale = !named;
    m_copier->CopyToDestinations(association.SourcePath, association, file, scope);
}

void Engine::armSettleTimer() {
    if (!m_settled.empty()) {
        m_settleTimer.stop();
        requestStep();
        return;
    }
    const std::optional<qint64> due = m_settle->nextDueMs();
    if (!due) {
        m_settleTimer.stop();
        return;
    }
    m_settleTimer.start(int(std::clamp<qint64>(*due - nowMs(), 0, 24 * 3600 * 1000)));
}

void Engine::onNews(const WorkerNews& news) {
    try {
        m_copier->onNews(news);
        m_catchUp->onNews(news);
        if (news.kind == WorkerNews::Kind::CatchUpChanged)
            noteFound(Paths::PathKey(news.save.copy.sourceRoot), news.save.copy.filePath,
                      QDateTime::currentMSecsSinceEpoch());
    } catch (...) {
        qCWarning(lcEngine) << "Result of a copy dropped:" << currentExceptionText();
    }
    // The status follows each result at once; a batch of copies reports hundreds of results at
    // once, and one step follows them all.
    stateChanged();
}

bool Engine::busy() const {
    return !m_taken.empty() || !m_settle->empty() || !m_settled.empty() || m_walks->busy() ||
           m_copier->busy() || m_catchUp->pending() || m_workers->busy();
}

// "Scanning... " while anything is under way or waiting, "Waiting... " once all is done; a pause
// keeps its own text.
void Engine::updateRunningState() {
    const bool nowBusy = busy();
    if (!m_state.Paused && !m_exiting && nowBusy != m_busyShown)
        m_state.ui.setRunningState(nowBusy ? UserInterface::RunningState::Scanning
                                           : UserInterface::RunningState::Waiting);
    m_busyShown = nowBusy;
    m_state.Scanning = nowBusy;
    if (!nowBusy)
        emit idle();
}

// The engine's side of the exit hand-shake: once the exit began and no copy runs any more, it
// says TimerStopped, and the exit goes on.
void Engine::endTick() {
    if (m_exiting && !m_state.TimerStopped && !m_workers->busy()) {
        m_exitTimer.stop();
        m_state.TimerStopped = true;
    }
    if (m_state.StopScanRequested && !m_state.ExitRequested)
        m_state.StopScanRequested = false;
}

void Engine::pauseChanged(bool stopScanning) {
    m_workers->setHeld(m_state.Paused);
    if (stopScanning) {
        m_catchUp->clear();
        m_workers->dropCatchUps();
    }
    TimerProc();
}

void Engine::beginExit() {
    if (m_exiting)
        return;
    m_exiting = true;
    m_settle->clear();
    m_settled.clear();
    m_taken.clear();
    m_routes.clear();
    m_walks->clear();
    m_catchUp->clear();
    m_copier->stopRetries();
    m_workers->dropAllAndCancel();
    // Only copies under way are left; they get the grace time to finish, then are stopped.
    m_workers->setHeld(true);
    m_exitCancelled = false;
    m_exitTimer.start(m_timing.exitGraceMs);
    TimerProc();
}

// The grace time is over: the copies still under way are asked to stop (their old copies stay),
// and what does not stop in time is left stuck in its system call.
void Engine::finishExit() {
    if (m_state.TimerStopped)
        return;
    if (!m_exitCancelled) {
        m_exitCancelled = true;
        m_workers->cancelRunning();
        m_exitTimer.start(m_timing.exitCancelMs);
        return;
    }
    m_stuckAtExit = m_workers->abandonStuck();
    if (m_stuckAtExit)
        qCWarning(lcEngine) << "A destination disk does not answer; Quillmot ends without it";
    m_state.TimerStopped = true;
}

void Engine::recordGeometry() {
    const std::optional<QRect> twips = m_state.ui.mainWindowGeometryTwips();
    if (!twips)
        return;
    // 32-bit twips: a window wider than about 2,184 pixels (any 4K screen) overflows 16 bits.
    m_state.geometry =
        WindowPlacement{twips->top(), twips->left(), twips->height(), twips->width()};
}

qint64 Engine::nowMs() const {
    return m_monotonic.elapsed();
}
