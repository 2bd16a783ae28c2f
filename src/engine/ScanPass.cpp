// Serving what one watch saw. The watch of a folder serves the file associations that live
// directly in it and the folder association that is the folder itself (with its tree when it is
// recursive). Each file its events named starts settling for the associations that hold it; a
// folder moved in, and lost events, are walked.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/CatchUp.h"
#include "engine/SettleQueue.h"
#include "engine/SourceWalks.h"
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
        const ChangeBatch batch = m_state.watches->takeChanges(Handle);
        if (batch.overflow) {
            // What the lost events named is unknown: the files modified since the watch was
            // last served.
            const std::optional<QDateTime> since = DateTimeText::parse(DetectionDate);
            walkAssociations(WatchedFolder, WatchedFolder,
                             since ? std::optional(since->toMSecsSinceEpoch()) : std::nullopt);
        }
        for (const QString& file : batch.files)
            noteChanged(WatchedFolder, file, int(batch.eventOf(file)));
        // Files may already be in a folder moved in or made before its watch was added: only a
        // walk names them, and each is new.
        for (const QString& folder : batch.newFolders)
            walkAssociations(WatchedFolder, folder, std::nullopt);
        if (record)
            record->DetectionDate = DateTimeText::format(m_state.clock.now());
    } catch (...) {
        qCWarning(lcEngine) << "Changes of" << Paths::displayName(WatchedFolder)
                            << "not served:" << currentExceptionText();
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
}

// A file a walk found for the association `sourceKey`: it settles from its own last change.
void Engine::noteFound(const QString& sourceKey, const QString& file, qint64 modifiedMs) {
    if (m_exiting)
        return;
    const qint64 ageMs = QDateTime::currentMSecsSinceEpoch() - modifiedMs;
    const qint64 now = nowMs();
    m_routes[Paths::PathKey(file)].holders.insert(sourceKey);
    m_settle->noteFound(file, now - ageMs, now);
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
