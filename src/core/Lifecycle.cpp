#include "core/Lifecycle.h"

#include "core/Log.h"
#include "core/StoreLoad.h"
#include "engine/CatchUp.h"
#include "engine/CopyEngine.h"
#include "engine/Engine.h"
#include "persistence/AssociationStore.h"
#include "persistence/NodePrefs.h"
#include "persistence/Options.h"
#include "persistence/PausePrefs.h"
#include "persistence/WindowPrefs.h"
#include "platform/AppData.h"
#include "platform/Clock.h"
#include "platform/DetachedWork.h"
#include "platform/Handover.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QPointer>
#include <utility>

namespace {
const QString stopScanningQuestion = QStringLiteral(
    "Quillmot is in the process of scanning for updated files. Stop this scanning now?");

// What the loaders could not take over, said once in the activity log.
const QString skippedSource = QStringLiteral("Error: Source is not a full path, skipped");
const QString skippedDestination = QStringLiteral("Error: Destination is not a full path, skipped");
const QString partlyReadKept =
    QStringLiteral("Error: Store file only partly read; the file as it was is kept as %1");
const QString partlyReadNotKept =
    QStringLiteral("Error: Store file only partly read, and could not be kept: %1");
// A pause that a start brings back is easily missed: nothing happens, which looks like success.
const QString pausedAtStart =
    QStringLiteral("Quillmot is paused, as it was when it last ended: nothing is backed up until "
                   "\"Unpause Program\" in the Actions menu resumes it.");
const QString disabledLogLine = QStringLiteral("Error: %1");
} // namespace

Lifecycle::Lifecycle(AppState& state, Engine& engine, QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine) {
    m_tmrExit.setInterval(exitPollMs);
    connect(&m_tmrExit, &QTimer::timeout, this, &Lifecycle::pollExit);
}

bool Lifecycle::wantsHiddenStart(const QStringList& arguments) {
    // The start-up entry passes "nowin"; it counts anywhere in the command line, in any case.
    for (int i = 1; i < arguments.size(); ++i)
        if (arguments[i].contains(QLatin1String("nowin"), Qt::CaseInsensitive))
            return true;
    return false;
}

void Lifecycle::loadOptions() {
    ::loadOptions(m_state.options, AppData::folder());
}

void Lifecycle::loadStores() {
    loadAssociationStore();
    nodePrefs = loadNodePrefs(AppData::folder());
}

void Lifecycle::loadAssociationStore() {
    takeOver(StoreLoad::read(AppData::folder(), usablePrevSaveName(m_state.options.PrevSaveName)));
    openLoadedWatches(QDeadlineTimer(QDeadlineTimer::Forever));
}

void Lifecycle::loadStoresInBackground(std::function<void()> loaded) {
    const QString folder = AppData::folder();
    const QString versionBase = usablePrevSaveName(m_state.options.PrevSaveName);
    m_state.LoadingStores = true;
    DetachedWork::run(
        [folder, versionBase, context = QPointer<QObject>(this), loaded = std::move(loaded)] {
            auto stores = std::make_shared<LoadedStores>(StoreLoad::read(folder, versionBase));
            auto prefs = std::make_shared<QStringList>(loadNodePrefs(folder));
            Handover::toMainThread(context, [context, stores, prefs, loaded] {
                auto* self = static_cast<Lifecycle*>(context.data());
                // An exit that began meanwhile writes nothing back, so the stores are left as read.
                if (self->m_state.ExitRequested)
                    return;
                self->takeOver(std::move(*stores));
                self->nodePrefs = *prefs;
                loaded();
            });
        });
}

void Lifecycle::takeOver(LoadedStores loaded) {
    m_state.adoptAssociations(loaded.destinations, loaded.backups);
    m_state.LoadingStores = false;
    m_engine.copier().rememberOwners(loaded.owners);
    m_watchesToOpen = std::move(loaded.watches);
    m_nextWatch = 0;
    m_watchesToClose.clear();
    for (const QString& source : loaded.associationReport.notAbsolute)
        logNotice(source, {}, skippedSource);
    for (const QString& destination : loaded.destinationReport.notAbsolute)
        logNotice({}, destination, skippedDestination);
    for (const StoreReadReport* report : {&loaded.associationReport, &loaded.destinationReport}) {
        if (!report->partlyRead)
            continue;
        if (report->keptAs.isEmpty())
            logNotice({}, {}, partlyReadNotKept.arg(report->keepError));
        else
            logNotice(report->keptAs, {}, partlyReadKept.arg(Paths::fileName(report->keptAs)));
    }
    refusedAtLoad.clear();
    for (const LoadedStores::Refusal& refusal : loaded.refusals) {
        refusedAtLoad << refusal.text;
        logNotice(refusal.source, {}, disabledLogLine.arg(refusal.text));
        if (refusal.folder)
            m_watchesToClose << refusal.source;
    }
}

bool Lifecycle::openLoadedWatches(const QDeadlineTimer& sliceEnd) {
    while (m_nextWatch < m_watchesToOpen.size()) {
        const LoadedStores::Watch& watch = m_watchesToOpen[m_nextWatch++];
        try {
            m_engine.CreateDetectFolder(watch.source, watch.recursive);
        } catch (...) {
            qCWarning(lcCore) << "No watch for" << Paths::displayName(watch.source) << ":"
                              << currentExceptionText();
        }
        if (m_nextWatch < m_watchesToOpen.size() && sliceEnd.hasExpired())
            return false;
    }
    // The watches of folder associations disabled at load go once every watch is open: a file
    // association in the folder may still need its watch.
    for (const QString& source : std::as_const(m_watchesToClose))
        m_engine.disableFolderWatch(source);
    m_watchesToClose.clear();
    m_watchesToOpen.clear();
    m_nextWatch = 0;
    return true;
}

void Lifecycle::logNotice(const QString& source, const QString& destination,
                          const QString& message) {
    const QString& na = notApplicable;
    const auto entry = m_state.recent->Add(m_state.clock.nowText(), Paths::displayName(source), na,
                                           Paths::displayName(destination), na, message);
    m_state.ui.resultLogged(*entry);
    m_state.ui.logChanged();
}

void Lifecycle::restorePauseState() {
    switch (loadPausePrefs(AppData::folder())) {
    case PauseAtStart::Pause:
        Pause();
        logNotice(notApplicable, notApplicable, pausedAtStart);
        break;
    case PauseAtStart::Unpause:
        // The start's catch-up is asked for once, when the watches start.
        resume();
        break;
    case PauseAtStart::Neither:
        // Neither runs: the status keeps "Initializing... " until the engine next writes it.
        break;
    }
    m_pausedByUser = m_state.Paused;
    m_pauseStateKnown = true;
}

// The catch-up runs on the workers while the window comes up; it also covers what was saved
// while the watches were being opened.
void Lifecycle::startWatching() {
    m_engine.StartWatchTimer();
    m_engine.catchUp().requestAll();
}

// Once the exit has begun, pause and unpause do nothing: an unpause would start new passes that
// keep the engine's timer from ever stopping.
void Lifecycle::Pause() {
    if (m_state.ExitRequested)
        return;
    if (m_state.Scanning) {
        const auto answer = m_state.messages.ask(stopScanningQuestion, MessageBoxes::Icon::Question,
                                                 MessageBoxes::Buttons::YesNo);
        if (answer != MessageBoxes::Answer::Yes)
            return;
        m_state.StopScanRequested = true;
    }
    m_state.Paused = true;
    m_state.ui.setRunningState(UserInterface::RunningState::Paused);
    m_state.ui.setPausedLook(true);
    m_engine.pauseChanged(m_state.StopScanRequested);
    emit pausedChanged(true);
}

void Lifecycle::Unpause() {
    if (!resume())
        return;
    // What changed while a catch-up was stopped, or while the program did not run, is looked
    // for again.
    m_engine.catchUp().requestAll();
}

bool Lifecycle::resume() {
    if (m_state.ExitRequested)
        return false;
    m_state.Paused = false;
    m_state.ui.setRunningState(UserInterface::RunningState::Waiting);
    m_state.ui.setPausedLook(false);
    m_engine.pauseChanged();
    emit pausedChanged(false);
    return true;
}

void Lifecycle::togglePause() {
    if (m_state.Paused)
        Unpause();
    else
        Pause();
    m_pausedByUser = m_state.Paused; // a pause refused while scanning leaves it running
    m_pauseStateKnown = true;
}

void Lifecycle::requestExit() {
    if (m_state.ExitRequested)
        return;
    // The pause state is stored before the exit itself sets Paused; an exit before the stored
    // one was brought back (or the user chose one) leaves it as it was.
    if (m_pauseStateKnown)
        savePausePrefs(m_pausedByUser, AppData::folder());
    m_state.ui.setRunningState(UserInterface::RunningState::Exiting);
    m_state.Paused = true;
    m_state.ui.setPauseCommandEnabled(false);
    m_state.Scanning = false;
    m_state.StopScanRequested = true;
    m_state.ExitRequested = true;
    emit exitBegun();
    m_engine.beginExit();
    m_tmrExit.start();
}

void Lifecycle::pollExit() {
    // The engine confirms that no copy runs any more (or that the ones left are stuck for good);
    // only then are the store files written and the watches closed.
    if (!m_state.TimerStopped)
        return;
    m_tmrExit.stop();
    emit readyToUnload();
}

void Lifecycle::saveOnClose(bool windowPrefsAllowed) {
    const QString folder = AppData::folder();
    if (windowPrefsAllowed)
        saveWindowPrefs(m_state.geometry, m_state.RecentSchemeName, folder);
    // An exit before the stores were read holds none of the user's associations: writing them
    // would empty the stores.
    if (m_state.LoadingStores)
        return;
    saveNodePrefs(nodePrefs, folder);
    saveAssociations(*m_state.backups, folder);
    saveDestinations(*m_state.destinations, folder);
}

void Lifecycle::tearDown() {
    m_engine.closeAllWatches();
    m_state.releaseRoots();
}
