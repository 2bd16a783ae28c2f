// One scan pass over a folder whose watch signalled: the file associations that live directly
// in it, then the folder association that is the folder itself. Each serves the files that the
// watch named to the copy engine, once per version in a pass, and drains the watch while it
// keeps signalling.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/ScanChange.h"
#include "platform/ChangeWatch.h"
#include "platform/DateTimeText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

namespace {

// Each drain that finds the watch signalled again nests a pass. A file written without pause
// would nest them until the stack runs out; at this depth a pass no longer drains, and the pass
// that nested it goes on draining in its loop instead of deeper. A stop is still seen there.
constexpr int maxNestedPasses = 32;

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

void Engine::ScanPass(const QString& WatchedFolder, const QString& DetectionDate, qint32 Handle) {
    const bool outermost = m_passDepth == 0;
    const DepthGuard depth(m_passDepth);
    if (outermost) {
        m_state.Scanning = true;
        m_state.ui.setRunningState(UserInterface::RunningState::Scanning);
    }
    // A stop leaves at once, through every nested pass, with Scanning still set for the tick to
    // see; a failure ends the pass as if it had run out.
    try {
        // The changes the watch named at its last re-arm; without a watch to name them, the
        // whole folder is looked at.
        const ChangeBatch batch =
            Handle > 0 ? m_state.watches->takeChanges(Handle) : ChangeBatch::everything();
        const ChangeTest test(DetectionDate);
        if (serveChanges(WatchedFolder, DetectionDate, test, batch, Handle) == Flow::Stop)
            return;
    } catch (...) {
        qCWarning(lcEngine) << "Scan pass cut short:" << currentExceptionText();
    }
    // A nested pass ends while the pass around it still copies.
    if (!outermost)
        return;
    m_state.ui.setRunningState(UserInterface::RunningState::Waiting);
    m_state.Scanning = false;
}

Engine::Flow Engine::serveChanges(const QString& watchedFolder, const QString& detectionDate,
                                  const ChangeTest& test, const ChangeBatch& batch, qint32 handle) {
    if (scanFileAssociations(watchedFolder, detectionDate, test, batch, handle) == Flow::Stop)
        return Flow::Stop;
    return scanFolderAssociations(watchedFolder, detectionDate, test, batch, handle);
}

// A file association is served when the watch named its file; after lost events, when its time
// passes the change test.
Engine::Flow Engine::scanFileAssociations(const QString& watchedFolder,
                                          const QString& detectionDate, const ChangeTest& test,
                                          const ChangeBatch& batch, qint32 handle) {
    if (batch.empty())
        return Flow::Continue;
    QSet<QString> named;
    for (const QString& file : batch.files)
        named.insert(Paths::PathKey(file));
    // Held, not borrowed: the user may replace the whole set while the pass yields.
    const std::shared_ptr<colBackups> backups = m_state.backups;
    const int count = backups->Count();
    for (int i = 1; i <= count && i <= backups->Count(); ++i) {
        const auto association = backups->Item(i);
        if (association->Folder || !association->Enabled)
            continue;
        const QString source = association->SourcePath;
        if (!Paths::isDirectlyIn(source, watchedFolder))
            continue;
        const bool isNamed = named.contains(Paths::PathKey(source));
        if (!isNamed && !batch.overflow)
            continue;
        const std::optional<FileStamp> stamp = m_state.fso->stamp(source);
        if (!stamp)
            continue;
        if (!handleIfChanged(test, isNamed, source, *stamp, source, i))
            continue;
        if (drainFileAssociation(watchedFolder, detectionDate, handle) == Flow::Stop)
            return Flow::Stop;
    }
    return Flow::Continue;
}

Engine::Flow Engine::drainFileAssociation(const QString& watchedFolder,
                                          const QString& detectionDate, qint32 handle) {
    while (handle > 0) {
        if (stopRequested())
            return Flow::Stop;
        // At this depth the passes around this one go on draining in their loops.
        if (m_passDepth >= maxNestedPasses)
            break;
        if (!m_state.watches->wait(handle, m_timing.drainWaitMs))
            break;
        if (stopRequested())
            return Flow::Stop;
        m_state.watches->rearm(handle);
        ScanPass(watchedFolder, detectionDate, handle);
        if (stopRequested())
            return Flow::Stop;
    }
    return Flow::Continue;
}

Engine::Flow Engine::scanFolderAssociations(const QString& watchedFolder,
                                            const QString& detectionDate, const ChangeTest& test,
                                            const ChangeBatch& batch, qint32 handle) {
    // Held, not borrowed: the user may replace the whole set while the pass yields.
    const std::shared_ptr<colBackups> backups = m_state.backups;
    const int count = backups->Count();
    for (int i = 1; i <= count && i <= backups->Count(); ++i) {
        const auto association = backups->Item(i);
        if (!Paths::samePath(association->SourcePath, watchedFolder) || !association->Enabled ||
            !association->Folder)
            continue;
        serveFolderAssociation(*association, i, test, batch);
        if (stopRequested())
            return Flow::Stop;
        if (drainFolderAssociation(*association, i, detectionDate, test, handle) == Flow::Stop)
            return Flow::Stop;
    }
    return Flow::Continue;
}

// Changes that arrive while the folder is served are taken and served in turn, those of the
// file associations in the folder included, for as long as the watch keeps signalling.
Engine::Flow Engine::drainFolderAssociation(const clsBackup& association, int index,
                                            const QString& detectionDate, const ChangeTest& test,
                                            qint32 handle) {
    while (handle > 0) {
        if (stopRequested())
            return Flow::Stop;
        const bool signalled = m_state.watches->wait(handle, m_timing.drainWaitMs);
        if (stopRequested())
            return Flow::Stop;
        if (!signalled)
            break;
        m_state.watches->rearm(handle);
        const ChangeBatch next = m_state.watches->takeChanges(handle);
        const QString folder = association.SourcePath;
        if (scanFileAssociations(folder, detectionDate, test, next, handle) == Flow::Stop)
            return Flow::Stop;
        serveFolderAssociation(association, index, test, next);
        if (stopRequested())
            return Flow::Stop;
    }
    return Flow::Continue;
}

// Runs for every file met: the newest-time update for a file whose time passes the change test,
// and the copy the first time this version of the file is met in the pass. A file that the
// watch named is a change whatever its time (moved in, copied or unpacked with its old time).
// True when the file was handed to the copy.
bool Engine::handleIfChanged(const ChangeTest& test, bool named, const QString& filePath,
                             const FileStamp& stamp, const QString& sourceRoot, int assocIndex) {
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / nsPerMs);
    const bool onTime = test.qualifies(modified);
    if (!onTime && !named)
        return false;
    const qint64 wall = ChangeTest::wallSeconds(modified);
    if (onTime)
        noteNewest(modified, wall);
    const QString modifiedText = textOfSecond(modified, wall);
    // One version is copied once per association that holds it: a file in both a file and a
    // folder association goes to the destinations of each. Two saves within one second are two
    // versions; the key makes the test a lookup.
    const QString key = Paths::PathKey(sourceRoot) + QChar(0) + Paths::PathKey(filePath) +
                        QChar(0) + QString::number(stamp.size) + QChar(0) +
                        QString::number(stamp.modifiedNs);
    if (m_state.detectedFiles->contains(key))
        return false;
    m_state.detectedFiles->Add(filePath, modifiedText, key);
    const int index = currentIndexOf(sourceRoot, assocIndex);
    if (index == 0)
        return false;
    CopyToDestinations(sourceRoot, index, filePath);
    return true;
}

// Date texts are costly to make and to read back, so the one this engine wrote last is
// remembered with its value instead of being parsed again for every qualifying file.
void Engine::noteNewest(const QDateTime& modified, qint64 modifiedWall) {
    if (!NewDetectionDate.isEmpty()) {
        std::optional<qint64> newest;
        if (NewDetectionDate == m_newestText)
            newest = m_newestWall;
        else if (const auto parsed = DateTimeText::parse(NewDetectionDate))
            newest = ChangeTest::wallSeconds(*parsed);
        if (newest && *newest > modifiedWall)
            return;
    }
    NewDetectionDate = DateTimeText::format(ChangeTest::toSecond(modified).addSecs(1));
    m_newestText = NewDetectionDate;
    m_newestWall = modifiedWall + 1;
}

// Files saved together share a second, and so their modified text.
const QString& Engine::textOfSecond(const QDateTime& modified, qint64 wall) {
    if (wall != m_modifiedWall) {
        m_modifiedWall = wall;
        m_modifiedText = DateTimeText::format(ChangeTest::toSecond(modified));
    }
    return m_modifiedText;
}

// The association's position as it is now: the user may have removed associations while the
// pass yielded, and the copy must not be made under another association's settings.
int Engine::currentIndexOf(const QString& sourcePath, int assocIndex) const {
    const colBackups& backups = *m_state.backups;
    if (assocIndex >= 1 && assocIndex <= backups.Count() &&
        Paths::samePath(backups.Item(assocIndex)->SourcePath, sourcePath))
        return assocIndex;
    const QString key = Paths::PathKey(sourcePath);
    return backups.contains(key) ? backups.positionOf(key) : 0;
}

bool Engine::stopRequested() const {
    return m_state.StopScanRequested;
}
