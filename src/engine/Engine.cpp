// The engine's object and its folder watches: which folder each association needs watched, and
// when a watch may be closed.

#include "engine/Engine.h"

#include "engine/CatchUp.h"
#include "engine/CopyEngine.h"
#include "engine/DestinationWorkers.h"
#include "engine/ResultMessages.h"
#include "engine/SettleQueue.h"
#include "engine/SourceWalks.h"
#include "engine/TurnBudget.h"
#include "platform/ChangeWatch.h"
#include "platform/Clock.h"
#include "platform/MountWatch.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

Engine::Engine(AppState& state, EngineTiming timing, QObject* parent)
    : QObject(parent), m_state(state), m_timing(timing),
      m_turn(std::make_unique<TurnBudget>(m_timing.turnSliceMs)),
      m_workers(std::make_unique<DestinationWorkers>(
          state.fso, DestinationWorkers::Timing{m_timing.stallMs, m_timing.stallCheckMs}, *m_turn)),
      m_copier(std::make_unique<CopyEngine>(state, m_timing, *m_workers)),
      m_mounts(std::make_unique<MountWatch>()), m_catchUp(std::make_unique<CatchUp>(state, *this)),
      m_settle(
          std::make_unique<SettleQueue>(SettleQueue::Timing{m_timing.settleMs, m_timing.quietMs})),
      m_walks(std::make_unique<SourceWalks>(*state.fso, *m_turn)) {
    m_monotonic.start();
    m_lookThroughTimer.setInterval(m_timing.lookThroughMs);
    connect(&m_lookThroughTimer, &QTimer::timeout, this, &Engine::lookThroughAllUnwatched);
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &Engine::TimerProc);
    m_exitTimer.setSingleShot(true);
    connect(&m_exitTimer, &QTimer::timeout, this, &Engine::finishExit);
    connect(m_mounts.get(), &MountWatch::changed, this, &Engine::onMountsChanged);
    connect(m_workers.get(), &DestinationWorkers::news, this, &Engine::onNews);
    m_copier->onDriveAway = [this](const QString& sourceRoot) {
        m_catchUp->driveWasAway(sourceRoot);
    };
    connect(m_copier.get(), &CopyEngine::sourceChanged, this,
            [this](const QString& sourceRoot, const QString& file) {
                noteFound(Paths::PathKey(sourceRoot), file, QDateTime::currentMSecsSinceEpoch());
            });
    m_walks->onFound = [this](const QString& sourceKey, const QString& file, qint64 modifiedMs) {
        noteFound(sourceKey, file, modifiedMs);
    };
    m_walks->onDone = [this] { stateChanged(); };
    m_state.watches->onLimitReached = [this](const QString& folder) { reportWatchLimit(folder); };
    m_state.watches->onReturned = [this](const QString& folder) {
        emit watchedFolderReturned(folder);
    };
    connect(this, &Engine::watchedFolderReturned, this, &Engine::catchUpAt);
    connect(m_workers.get(), &DestinationWorkers::respondingChanged, this,
            &Engine::reportResponding);
}

// Said once when a disk stops answering and once when it answers again, in the activity log.
void Engine::reportResponding(const QString& disk, bool responding) {
    const QString& na = notApplicable;
    const auto entry = m_state.recent->Add(
        m_state.clock.nowText(), na, na, Paths::displayName(disk), na,
        responding ? ResultText::destRespondingAgain : ResultText::destNotResponding);
    m_state.ui.resultLogged(*entry);
    m_state.ui.logChanged();
}

// What changed in a folder while it was away was seen by no watch: the associations that live
// in it catch up.
void Engine::catchUpAt(const QString& folder) {
    for (const auto& association : *m_state.backups)
        if (Paths::samePath(association->SourcePath, folder) ||
            Paths::isDirectlyIn(association->SourcePath, folder))
            m_catchUp->request(association->SourcePath);
}

Engine::~Engine() {
    m_state.watches->onEvents = nullptr;
    m_state.watches->onLimitReached = nullptr;
    m_state.watches->onReturned = nullptr;
}

void Engine::onMountsChanged() {
    m_state.watches->recheckFolders();
    m_workers->mountsChanged();
    m_catchUp->mountsChanged();
    m_copier->retryNow();
    emit mountsChanged();
    // The look at the watches read their events: they are served now, not at the next event.
    TimerProc();
}

QString Engine::watchLimitText(const QString& folder, qint64 limit) {
    const QString current = limit > 0 ? QString::number(limit) : QStringLiteral("unknown");
    const qint64 raised = limit > 0 ? std::max<qint64>(limit * 4, 524288) : 524288;
    return QStringLiteral("Error: Not all folders of %1 can be watched: the system's limit of %2 "
                          "watched folders (fs.inotify.max_user_watches) is reached, so changes "
                          "in some folders are found late. Raise it with: sudo sysctl "
                          "fs.inotify.max_user_watches=%3")
        .arg(Paths::displayName(folder), current, QString::number(raised));
}

// Said once: the folders watched before stay watched, and the user can raise the limit. Without
// a display the log's entries are printed as well, this one with them.
void Engine::reportWatchLimit(const QString& folder) {
    const QString text = watchLimitText(folder, ChangeWatch::systemWatchLimit());
    const auto entry =
        m_state.recent->Add(m_state.clock.nowText(), folder, QString(), QString(), QString(), text);
    m_state.ui.resultLogged(*entry);
    m_state.ui.logChanged();
}

void Engine::CopyToDestinations(const QString& SourceRoot, int AssocIndex,
                                const QString& FilePath) {
    m_copier->CopyToDestinations(SourceRoot, AssocIndex, FilePath);
}

void Engine::CreateDetectFolder(const QString& Path, bool WatchSubtree) {
    const QString folder = watchedFolderOf(Path);
    if (folder.isEmpty())
        return;
    colDetectFolders& folders = *m_state.detectFolders;
    const QString key = Paths::PathKey(folder);
    // Associations in one folder share its watch. A file association registered after a
    // recursive folder association must not take the sub-folders out of that watch.
    const bool subtree = WatchSubtree || recursiveFolderAssociationAt(folder);
    const bool skipHidden = hiddenFoldersSkippedAt(folder);
    if (folders.contains(key)) {
        // Another file of a watched folder: the open watch serves it as it is, and its changes
        // keep counting from when it was opened.
        if (folders.Item(key)->watchCovers(subtree, skipHidden))
            return;
        folders.Item(key)->ClassNotifyDelete();
        folders.Remove(key);
    }
    // Changes count from the moment the folder is watched; lost events are looked for since.
    const auto record = folders.Add(folder, 0, 0, m_state.clock.nowText(), key);
    record->ClassNotifyCreate(subtree, skipHidden);
}

void Engine::RemoveDetectFolder(const QString& Path) {
    colDetectFolders& folders = *m_state.detectFolders;
    std::shared_ptr<clsDetectFolder> found;
    for (const auto& record : folders) {
        if (Paths::samePath(record->Folder, Path)) {
            const QString key = Paths::PathKey(Path);
            if (m_state.backups->contains(key) && m_state.backups->Item(key)->Folder) {
                found = record;
                break;
            }
        } else if (Paths::isDirectlyIn(Path, record->Folder)) {
            found = record;
            break;
        }
    }
    // Another association in the folder (a file in it, or the folder itself) still needs the
    // watch; closing it would silently stop that association's backups.
    if (found && !watchNeededByOthers(found->Folder, Path))
        found->ClassNotifyDelete();
}

void Engine::disableFolderWatch(const QString& sourcePath) {
    const QString key = Paths::PathKey(sourcePath);
    if (!m_state.detectFolders->contains(key))
        return;
    const auto record = m_state.detectFolders->Item(key);
    // File associations keep their watch while the folder association that shares it is off.
    if (watchNeededByOthers(record->Folder, sourcePath))
        return;
    record->ClassNotifyDelete();
    record->AutoBackup = -1;
}

void Engine::enableFolderWatch(const QString& sourcePath, bool recursive) {
    const QString key = Paths::PathKey(sourcePath);
    // The record is gone when the last file association sharing it was removed meanwhile.
    if (!m_state.detectFolders->contains(key)) {
        CreateDetectFolder(sourcePath, recursive);
        return;
    }
    m_state.detectFolders->Item(key)->ClassNotifyCreate(recursive,
                                                        hiddenFoldersSkippedAt(sourcePath));
}

void Engine::closeAllWatches() {
    for (const auto& record : *m_state.detectFolders)
        if (record->AutoBackup > 0)
            record->ClassNotifyDelete();
}

QString Engine::watchedFolderOf(const QString& path) const {
    if (m_state.fso->FileExists(path))
        return Paths::parent(path);
    if (m_state.fso->FolderExists(path))
        return path;
    return {};
}

bool Engine::recursiveFolderAssociationAt(const QString& folder) const {
    // By key, as associations are stored: opening thousands of watches stays linear.
    const QString key = Paths::PathKey(folder);
    if (!m_state.backups->contains(key))
        return false;
    const auto association = m_state.backups->Item(key);
    return association->Folder && association->Enabled && association->Recursive;
}

// Hidden sub-folders are watched only for a folder association that backs up hidden files.
bool Engine::hiddenFoldersSkippedAt(const QString& folder) const {
    const QString key = Paths::PathKey(folder);
    if (!m_state.backups->contains(key))
        return true;
    const auto association = m_state.backups->Item(key);
    return !(association->Folder && association->CopyHidden);
}

bool Engine::watchNeededByOthers(const QString& folder, const QString& leavingPath) const {
    for (const auto& association : *m_state.backups) {
        const QString& source = association->SourcePath;
        if (Paths::samePath(source, leavingPath))
            continue;
        if (Paths::isDirectlyIn(source, folder))
            return true;
        if (association->Folder && association->Enabled && Paths::samePath(source, folder))
            return true;
    }
    return false;
}
