// One scan pass over a folder whose watch signalled: the file associations that live directly
// in it, then the folder association that is the folder itself. Each serves its changed files to
// the copy engine once per pass, and drains the watch while it keeps signalling.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/ScanChange.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

namespace {

// Each drain that finds the watch signalled again nests a pass. A file written without pause
// would nest them until the stack runs out; at this depth a pass no longer drains, and the pass
// that nested it goes on draining in its loop instead of deeper.
constexpr int MaxNestedPasses = 32;

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
    const DepthGuard depth(m_passDepth);
    m_state.Scanning = true;
    m_state.ui.setRunningState(UserInterface::RunningState::Scanning);
    // A stop leaves at once, through every nested pass, with Scanning still set for the tick to
    // see; a failure ends the pass as if it had run out.
    try {
        const ChangeTest test(DetectionDate);
        if (test.valid()) {
            if (scanFileAssociations(WatchedFolder, DetectionDate, test, Handle) == Flow::Stop)
                return;
            if (scanFolderAssociations(WatchedFolder, DetectionDate, Handle) == Flow::Stop)
                return;
        }
    } catch (...) {
        qCWarning(lcEngine) << "Scan pass cut short:" << currentExceptionText();
    }
    m_state.ui.setRunningState(UserInterface::RunningState::Waiting);
    m_state.Scanning = false;
}

Engine::Flow Engine::scanFileAssociations(const QString& watchedFolder,
                                          const QString& detectionDate, const ChangeTest& test,
                                          qint32 handle) {
    // Held, not borrowed: the user may replace the whole set while the pass yields.
    const std::shared_ptr<colBackups> backups = m_state.Backups;
    const int count = backups->Count();
    for (int i = 1; i <= count && i <= backups->Count(); ++i) {
        const auto association = backups->Item(i);
        if (association->Folder || !association->Enabled)
            continue;
        const QString source = association->SourcePath;
        if (!Paths::isDirectlyIn(source, watchedFolder) || !m_state.fso->FileExists(source))
            continue;
        const std::optional<QDateTime> modified = m_state.fso->lastModified(source);
        if (!modified || !handleIfChanged(test, source, *modified, source, i))
            continue;
        if (drainFileAssociation(watchedFolder, detectionDate, handle) == Flow::Stop)
            return Flow::Stop;
    }
    return Flow::Continue;
}

Engine::Flow Engine::drainFileAssociation(const QString& watchedFolder,
                                          const QString& detectionDate, qint32 handle) {
    while (handle != 0 && m_passDepth < MaxNestedPasses) {
        if (stopRequested())
            return Flow::Stop;
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
                                            const QString& detectionDate, qint32 handle) {
    // Held, not borrowed: the user may replace the whole set while the pass yields.
    const std::shared_ptr<colBackups> backups = m_state.Backups;
    const int count = backups->Count();
    for (int i = 1; i <= count && i <= backups->Count(); ++i) {
        const auto association = backups->Item(i);
        if (!Paths::samePath(association->SourcePath, watchedFolder) || !association->Enabled ||
            !association->Folder)
            continue;
        ScanFolder(watchedFolder, i, association->SourcePath, detectionDate,
                   association->Recursive);
        if (stopRequested())
            return Flow::Stop;
        if (drainFolderAssociation(*association, i, detectionDate, handle) == Flow::Stop)
            return Flow::Stop;
    }
    return Flow::Continue;
}

// The watch is not re-armed before the first wait: a change made while the folder was being
// scanned is still pending in it, and re-arming would throw it away unseen.
Engine::Flow Engine::drainFolderAssociation(const clsBackup& association, int index,
                                            const QString& detectionDate, qint32 handle) {
    while (handle != 0) {
        if (stopRequested())
            return Flow::Stop;
        const bool signalled = m_state.watches->wait(handle, m_timing.drainWaitMs);
        if (stopRequested())
            return Flow::Stop;
        if (!signalled)
            break;
        m_state.watches->rearm(handle);
        if (stopRequested())
            return Flow::Stop;
        ScanFolder(association.SourcePath, index, association.SourcePath, detectionDate,
                   association.Recursive);
        if (stopRequested())
            return Flow::Stop;
    }
    return Flow::Continue;
}

// Runs for every qualifying file: the newest-time update always, the copy only the first time
// this version of the file is met in the pass. True when the file was handed to the copy.
bool Engine::handleIfChanged(const ChangeTest& test, const QString& filePath,
                             const QDateTime& modified, const QString& sourceRoot, int assocIndex) {
    if (!test.qualifies(modified))
        return false;
    const qint64 wall = ChangeTest::wallSeconds(modified);
    noteNewest(modified, wall);
    const QString modifiedText = textOfSecond(modified, wall);
    // One version is copied once per association that holds it: a file in both a file and a
    // folder association goes to the destinations of each. The key makes the test a lookup.
    const QString key =
        Paths::PathKey(sourceRoot) + QChar(0) + Paths::PathKey(filePath) + QChar(0) + modifiedText;
    if (m_state.DetectedFiles->Contains(key))
        return false;
    m_state.DetectedFiles->Add(filePath, modifiedText, key);
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
    const colBackups& backups = *m_state.Backups;
    if (assocIndex >= 1 && assocIndex <= backups.Count() &&
        Paths::samePath(backups.Item(assocIndex)->SourcePath, sourcePath))
        return assocIndex;
    const QString key = Paths::PathKey(sourcePath);
    return backups.Contains(key) ? backups.positionOf(key) : 0;
}

bool Engine::stopRequested() const {
    return m_state.StopScanRequested;
}
