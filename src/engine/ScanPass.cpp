// Serving what one watch saw. The watch of a folder serves the file associations that live
// directly in it and the folder association that is the folder itself (with its tree when it is
// recursive). Each file its events named starts settling for the associations that hold it; a
// folder moved in, and lost events, are walked.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/CatchUp.h"
#include "engine/DestinationWorkers.h"
#include "engine/SettleQueue.h"
#include "engine/SourceWalks.h"
#include "engine/TurnBudget.h"
#include "platform/ChangeWatch.h"
#include "platform/DateTimeText.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

namespace {

// The components of `path` below `folder`; empty when it does not lie below it.
QStringList partsBelow(const QString& path, const QString& folder) {
    const QString top = Paths::withoutTrailingSeparator(folder);
    if (!Paths::startsWith(path, top) || path.size() <= top.size())
        return {};
    QString rest = path.mid(top.size());
    if (!Paths::isRoot(top)) {
        if (rest.front() != Paths::separator())
            return {};
        rest.remove(0, 1);
    }
    return rest.split(Paths::separator(), Qt::SkipEmptyParts);
}

// True when the folder association `association` backs `path` up: the path lies in its tree
// (directly in the folder unless it is recursive), and neither the file nor a folder on the way
// is hidden unless hidden files are backed up.
bool holds(const clsBackup& association, const QString& path) {
    const QStringList parts = partsBelow(path, association.SourcePath);
    if (parts.isEmpty() || (parts.size() > 1 && !association.Recursive))
        return false;
    if (association.CopyHidden)
        return true;
    return std::none_of(parts.begin(), parts.end(),
                        [](const QString& part) { return isHiddenName(part); });
}

} // namespace

void Engine::ScanPass(const QString& WatchedFolder, const QString& DetectionDate, qint32 Handle) {
    try {
        const QString key = Paths::PathKey(WatchedFolder);
        const std::shared_ptr<clsDetectFolder> record =
            m_state.detectFolders->contains(key) ? m_state.detectFolders->Item(key) : nullptr;
        if (Handle <= 0) {
            // Without a watch to name the changes, the times tell.
            const std::optional<QDateTime> since = DateTimeText::parse(DetectionDate);
            walkAssociations(WatchedFolder, WatchedFolder,
                             since ? std::optional(since->toMSecsSinceEpoch()) : std::nullopt);
            return;
        }
        auto batch = std::make_shared<ChangeBatch>(m_state.watches->takeChanges(Handle));
        if (batch->overflow) {
            // What the lost events named is unknown: the files modified since the watch was
            // last served.
            const std::optional<QDateTime> since = DateTimeText::parse(DetectionDate);
            walkAssociations(WatchedFolder, WatchedFolder,
                             since ? std::optional(since->toMSecsSinceEpoch()) : std::nullopt);
        }
        // What the batch names waits in order for its turn: from now on, lost events can only
        // be later ones.
        if (!batch->files.isEmpty() || !batch->newFolders.isEmpty() ||
            !batch->changedFolders.isEmpty())
            m_taken.push_back({WatchedFolder, std::move(batch)});
        // Folders past the watch limit change without a word: every change looks them through.
        lookThroughUnwatched(WatchedFolder, Handle);
        if (record)
            record->DetectionDate = m_state.clock.nowText();
        serveTakenChanges();
    } catch (...) {
        qCWarning(lcEngine) << "Changes of" << Paths::displayName(WatchedFolder)
                            << "not served:" << currentExceptionText();
    }
}

// The changes taken from the watches, oldest first, for as long as the turn has time; the rest
// waits for the next turn. Each path is served once: a batch remembers how far it got.
void Engine::serveTakenChanges() {
    while (!m_taken.empty() && !m_exiting) {
        if (!m_turn->left()) {
            requestStep();
            return;
        }
        TakenChanges& taken = m_taken.front();
        const ChangeBatch& batch = *taken.batch;
        try {
            if (taken.files < batch.files.size()) {
                const QString& file = batch.files[taken.files++];
                noteChanged(taken.watchedFolder, file, int(batch.eventOf(file)));
            } else if (taken.newFolders < batch.newFolders.size()) {
                // Files may already be in a folder moved in or made before its watch was added:
                // only a walk names them, and each is new.
                walkAssociations(taken.watchedFolder, batch.newFolders[taken.newFolders++],
                                 std::nullopt);
            } else if (taken.changedFolders < batch.changedFolders.size()) {
                followFolderAccess(taken.watchedFolder,
                                   batch.changedFolders[taken.changedFolders++]);
            } else {
                m_taken.pop_front();
            }
        } catch (...) {
            qCWarning(lcEngine) << "A change in" << Paths::displayName(taken.watchedFolder)
                                << "not served:" << currentExceptionText();
        }
    }
}

// A file the watch of `watchedFolder` named: it settles for every association of that watch
// that holds it.
void Engine::noteChanged(const QString& watchedFolder, const QString& file, int event) {
    const QString name = Paths::fileName(file);
    if (OwnTemporaryNames::matches(name))
        return;
    QSet<QString> holders;
    const colBackups& backups = *m_state.backups;
    const QString fileKey = Paths::PathKey(file);
    if (backups.contains(fileKey)) {
        const auto association = backups.Item(fileKey);
        if (!association->Folder && association->Enabled &&
            Paths::isDirectlyIn(file, watchedFolder))
            holders.insert(fileKey);
    }
    const QString folderKey = Paths::PathKey(watchedFolder);
    if (backups.contains(folderKey)) {
        const auto association = backups.Item(folderKey);
        if (association->Folder && association->Enabled && holds(*association, file))
            holders.insert(folderKey);
    }
    if (holders.isEmpty())
        return;
    Route& route = m_routes[fileKey];
    route.holders.unite(holders);
    route.named = true;
    m_settle->noteEvent(file, FileEvent(event), nowMs());
    for (const QString& holder : holders)
        emit changeNoted(holder);
}

// A source folder's permission bits or group changed: its mirror in every destination of the
// associations of this watch that back it up follows, on the destination's worker, so that no
// copy is more readable there than here.
void Engine::followFolderAccess(const QString& watchedFolder, const QString& folder) {
    const colBackups& backups = *m_state.backups;
    const QString prevSaveName = usablePrevSaveName(m_state.options.PrevSaveName);
    const auto follow = [&](const clsBackup& association) {
        for (const auto& destination : m_state.destinations->of(association.SourcePath))
            m_workers->submitFolder({destination->Path, association.SourcePath, association.Folder,
                                     folder, prevSaveName});
    };
    const QString folderKey = Paths::PathKey(watchedFolder);
    if (backups.contains(folderKey)) {
        const auto association = backups.Item(folderKey);
        if (association->Folder && association->Enabled &&
            (Paths::samePath(folder, watchedFolder) || holds(*association, folder)))
            follow(*association);
    }
    // The file associations of the watched folder mirror under its name.
    if (!Paths::samePath(folder, watchedFolder))
        return;
    for (const auto& association : backups)
        if (!association->Folder && association->Enabled &&
            Paths::isDirectlyIn(association->SourcePath, watchedFolder))
            follow(*association);
}

// Walks the folders of the folder association of `watchedFolder` that its watch could not cover,
// and takes each file whose stamp moved since the last look as a change, whatever its time. The
// first look only keeps the stamps: what changed before it is the catch-up's.
void Engine::lookThroughUnwatched(const QString& watchedFolder, qint32 handle) {
    const QStringList unwatched = m_state.watches->unwatchedFolders(handle);
    const QString key = Paths::PathKey(watchedFolder);
    if (unwatched.isEmpty() || !m_state.backups->contains(key))
        return;
    const auto association = m_state.backups->Item(key);
    if (!association->Folder || !association->Enabled)
        return;
    auto& known = m_unwatchedStamps[key];
    const bool first = !known;
    if (first)
        known = std::make_shared<QHash<QString, FileStamp>>();
    const std::optional<quint64> device = m_state.fso->deviceOf(watchedFolder);
    for (const QString& folder : unwatched) {
        SourceWalks::Request request;
        request.sourceKey = key;
        request.folder = folder;
        request.recursive = true;
        request.copyHidden = association->CopyHidden;
        request.device = device;
        request.known = known;
        request.recordOnly = first;
        m_walks->add(std::move(request));
    }
    // A save there with no change elsewhere is found by the next look all the same.
    if (!m_lookThroughTimer.isActive())
        m_lookThroughTimer.start();
}

void Engine::lookThroughAllUnwatched() {
    bool any = false;
    for (const auto& record : *m_state.detectFolders)
        if (record->AutoBackup > 0 &&
            !m_state.watches->unwatchedFolders(record->AutoBackup).isEmpty()) {
            lookThroughUnwatched(record->Folder, record->AutoBackup);
            any = true;
        }
    if (!any)
        m_lookThroughTimer.stop();
}

// A file a walk found for the association `sourceKey`: it settles from its own last change.
void Engine::noteFound(const QString& sourceKey, const QString& file, qint64 modifiedMs) {
    if (m_exiting)
        return;
    const qint64 ageMs = QDateTime::currentMSecsSinceEpoch() - modifiedMs;
    const qint64 now = nowMs();
    m_routes[Paths::PathKey(file)].holders.insert(sourceKey);
    m_settle->noteFound(file, now - ageMs, now);
    emit changeNoted(sourceKey);
    armSettleTimer();
}

// Walks `folder` for the associations of the watch of `watchedFolder` that it lies in:
// the folder association of the watched folder, and the file associations directly in it.
void Engine::walkAssociations(const QString& watchedFolder, const QString& folder,
                              std::optional<qint64> sinceMs) {
    const colBackups& backups = *m_state.backups;
    const QString folderKey = Paths::PathKey(watchedFolder);
    if (backups.contains(folderKey)) {
        const auto association = backups.Item(folderKey);
        const bool inTree = Paths::samePath(folder, watchedFolder) ||
                            (association->Recursive && holds(*association, folder));
        if (association->Folder && association->Enabled && inTree) {
            SourceWalks::Request request;
            request.sourceKey = folderKey;
            request.folder = folder;
            request.recursive = association->Recursive;
            request.copyHidden = association->CopyHidden;
            request.device = m_state.fso->deviceOf(association->SourcePath);
            request.sinceMs = sinceMs;
            m_walks->add(std::move(request));
            if (m_state.options.ShowScanning && !m_state.ui.popupClosed())
                m_state.ui.showPopupNoActivate();
        }
    }
    if (!Paths::samePath(folder, watchedFolder))
        return;
    // The file associations of the folder: their files' times tell, as for the folder's.
    for (const QString& file : m_state.fso->files(watchedFolder)) {
        const QString key = Paths::PathKey(file);
        if (!backups.contains(key))
            continue;
        const auto association = backups.Item(key);
        if (association->Folder || !association->Enabled)
            continue;
        const std::optional<FileStamp> stamp = m_state.fso->stamp(file);
        if (!stamp)
            continue;
        const qint64 modifiedMs = stamp->modifiedNs / nsPerMs;
        if (!sinceMs || modifiedMs >= *sinceMs - 2000)
            noteFound(key, file, modifiedMs);
    }
}
