// The engine's heartbeat: a one-shot timer whose tick polls every watch, scans the folders that
// signalled, tidies the watch list and re-arms itself at its very end, so that no tick can start
// while another one yields to the event loop.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/CatchUp.h"
#include "platform/DateTimeText.h"
#include "platform/MountWatch.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

namespace {

// The Result of a poll that saw no change (a wait that timed out).
constexpr qint32 waitTimedOut = 0x102;

} // namespace

// The changes the watches named while the program was starting are kept: the first tick serves
// them, so that a save made during start-up is not lost.
void Engine::StartWatchTimer() {
    armTimer();
}

bool Engine::timerArmed() const {
    return m_timer.isActive();
}

void Engine::TimerProc() {
    m_timer.stop();
    m_state.TimerId = 0;
    // A slot must not throw: a failing step cuts the tick short, and the tail still decides
    // whether the timer goes on.
    try {
        moveDetectionDatesToNow();
        pollWatches();
        // A pass may have kept the event loop from bringing a mount-table change.
        m_mounts->check();
        m_catchUp->tick();
        dropClosedWatches();
        recordGeometry();
    } catch (...) {
        qCWarning(lcEngine) << "Tick cut short:" << currentExceptionText();
    }
    endTick();
}

// After a quiet tick every folder's detection date is "now", so that a signal counts only files
// written about then. After a tick with a pass the scanned folders keep the date the pass left,
// so that changes still pending after it are not lost.
void Engine::moveDetectionDatesToNow() {
    if (!ScanRanLastTick) {
        ScanActivity = false;
        const QString& now = nowText();
        for (const auto& record : *m_state.detectFolders)
            record->DetectionDate = now;
    }
    ScanRanLastTick = false;
}

void Engine::pollWatches() {
    // Held, not borrowed, and re-counted: a dialog that ran during a pass may have shortened
    // the list or replaced it.
    const std::shared_ptr<colDetectFolders> folders = m_state.detectFolders;
    const int count = folders->Count();
    for (int j = 1; j <= count && j <= folders->Count(); ++j) {
        const auto record = folders->Item(j);
        if (record->AutoBackup == -1 || record->AutoBackup == 0)
            continue;
        record->Result = m_state.watches->wait(record->AutoBackup, 0) ? 0 : waitTimedOut;
        if (record->Result != 0)
            continue;
        m_state.watches->rearm(record->AutoBackup);
        if (m_state.Paused) {
            m_state.watches->takeChanges(record->AutoBackup); // dropped
            continue;
        }
        NewDetectionDate.clear();
        ScanActivity = true;
        ScanPass(record->Folder, record->DetectionDate, record->AutoBackup);
        ScanRanLastTick = true;
        m_state.detectedFiles->Clear();
        if (!NewDetectionDate.isEmpty())
            record->DetectionDate = NewDetectionDate;
    }
}

void Engine::dropClosedWatches() {
    colDetectFolders& folders = *m_state.detectFolders;
    for (int j = folders.Count(); j >= 1; --j)
        if (folders.Item(j)->AutoBackup == 0)
            folders.Remove(j);
}

void Engine::recordGeometry() {
    const std::optional<QRect> twips = m_state.ui.mainWindowGeometryTwips();
    if (!twips)
        return;
    // 32-bit twips: a window wider than about 2,184 pixels (any 4K screen) overflows 16 bits.
    m_state.geometry =
        WindowPlacement{twips->top(), twips->left(), twips->height(), twips->width()};
}

// The engine's side of the exit hand-shake: only the exit stops the timer for good, and it
// waits for TimerStopped. Any other stop request is a confirmed pause, whether or not the pass it
// cut short still said Scanning: the timer goes on, so that unpausing resumes the backups.
void Engine::endTick() {
    if (m_state.ExitRequested && m_state.StopScanRequested) {
        m_state.TimerStopped = true;
        return;
    }
    if (m_state.StopScanRequested) {
        m_state.StopScanRequested = false;
        m_state.Scanning = false;
    }
    armTimer();
}

void Engine::armTimer() {
    m_timer.start(m_timing.tickMs);
    m_state.TimerId = m_timer.timerId();
}

// Formatting a date in the locale is the costly part of an idle tick; ten ticks share a second.
const QString& Engine::nowText() {
    const QDateTime now = m_state.clock.now();
    const qint64 second = now.toSecsSinceEpoch();
    if (second != m_nowSecond) {
        m_nowSecond = second;
        m_nowText = DateTimeText::format(now);
    }
    return m_nowText;
}
