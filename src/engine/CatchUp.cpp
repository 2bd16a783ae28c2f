#include "engine/CatchUp.h"

#include "engine/CopyDestination.h"
#include "engine/CopyEngine.h"
#include "engine/DriveChecks.h"
#include "engine/Engine.h"
#include "engine/Log.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"
#include "state/WatchRegistry.h"

#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// A file whose stamp still moves after this many settle periods is being written without pause
// (a log, a download): it is left to the watch, which sees its writer close it.
constexpr int maxSettleRounds = 6;

QStringList namesOf(const QStringList& paths) {
    QStringList names;
    names.reserve(paths.size());
    for (const QString& path : paths)
        names << Paths::fileName(path);
    return names;
}

bool upToDate(const FileStamp& source, const std::optional<FileStamp>& copy, qint64 stepNs) {
    return copy && copy->link == source.link && copy->size == source.size &&
           std::llabs(copy->modifiedNs - source.modifiedNs) < stepNs;
}

} // namespace

CatchUp::CatchUp(AppState& state, Engine& engine)
    : m_state(state), m_engine(engine), m_mounts(MountTable::current()) {}

CatchUp::~CatchUp() = default;

// Taken up where a walk may safely be dropped: an unpause can come while a copy yields.
void CatchUp::requestAll() {
    m_restartAll = true;
}

void CatchUp::restartIfAsked() {
    if (!m_restartAll)
        return;
    m_restartAll = false;
    m_walk.reset();
    m_queue.clear();
    for (const auto& association : *m_state.backups)
        if (association->Enabled)
            m_queue.push_back(association->SourcePath);
}

void CatchUp::request(const QString& sourcePath) {
    const bool queued = std::any_of(m_queue.begin(), m_queue.end(), [&](const QString& queuedPath) {
        return Paths::samePath(queuedPath, sourcePath);
    });
    // One under way is queued again all the same: what brought the request (a destination that
    // came back) may be something its walk left out.
    if (!queued)
        m_queue.push_back(sourcePath);
}

bool CatchUp::pending() const {
    return m_restartAll || m_walk || !m_queue.empty();
}

void CatchUp::tick() {
    if (pending() && !m_state.Paused && !stopRequested())
        runSlice();
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
// would only fail.
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
        const std::optional<MountEntry> holder = now.find(fso.GetDriveName(path));
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

// A stop leaves at once with Scanning still set, for the tick's tail to see, as a scan pass
// does. Between slices the status keeps "Scanning... " while work is left.
void CatchUp::runSlice() {
    m_state.Scanning = true;
    m_state.ui.setRunningState(UserInterface::RunningState::Scanning);
    m_sliceEnd = m_state.clock.now().addMSecs(m_engine.timing().catchUpSliceMs);
    m_sinceClockCheck = 0;
    while (pending()) {
        restartIfAsked();
        Flow flow = Flow::Continue;
        try {
            if (!m_walk) {
                if (m_queue.empty())
                    break;
                const QString source = m_queue.front();
                m_queue.pop_front();
                if (!begin(source))
                    continue;
            }
            flow = walkOn();
        } catch (...) {
            // A broken step ends this association's catch-up; the others still get theirs.
            qCWarning(lcEngine) << "Catch-up step cut short:" << currentExceptionText();
            m_walk.reset();
        }
        if (flow == Flow::Stop)
            return;
        if (flow == Flow::SliceOver)
            break;
    }
    if (!pending())
        m_state.ui.setRunningState(UserInterface::RunningState::Waiting);
    m_state.Scanning = false;
}

// Prepares the walk of one association: false when there is nothing it could do now. A source or
// destination drive that is absent or carries another volume name is left out without a word:
// copying every file into a refusal would bury the log, and the mount that brings the drive back
// asks for this catch-up again.
bool CatchUp::begin(const QString& sourcePath) {
    FileSystem& fso = *m_state.fso;
    const QString key = Paths::PathKey(sourcePath);
    if (!m_state.backups->contains(key))
        return false;
    const auto association = m_state.backups->Item(key);
    if (!association->Enabled)
        return false;
    QString volumeName;
    if (DriveChecks::checkSource(fso, association->SourcePath, association->Volume, volumeName) !=
        CheckFailure::None)
        return false;

    Walk walk;
    walk.source = association->SourcePath;
    walk.folder = association->Folder;
    walk.recursive = association->Folder && association->Recursive;
    walk.copyHidden = association->CopyHidden;
    for (const auto& destination : m_state.destinations->of(walk.source)) {
        // Every file of such a destination would be refused as a loop.
        if (CopyDestination::insideRecursiveSource(fso, *association, destination->Path))
            continue;
        if (DriveChecks::checkDestinationDrive(fso, destination->Path, destination->Volume,
                                               volumeName) != CheckFailure::None)
            continue;
        walk.targets.append({destination->Path, fso.modifiedTimeStepNs(destination->Path)});
    }
    if (walk.targets.isEmpty())
        return false;
    if (walk.folder) {
        if (!fso.FolderExists(walk.source))
            return false;
        enter(walk, walk.source, namesOf(fso.files(walk.source)));
    } else {
        if (!fso.FileExists(walk.source))
            return false;
        enter(walk, Paths::parent(walk.source), {Paths::fileName(walk.source)});
    }
    m_walk = std::move(walk);
    return true;
}

void CatchUp::enter(Walk& walk, const QString& folder, const QStringList& names) {
    const FileSystem& fso = *m_state.fso;
    Frame frame;
    frame.folder = folder;
    // The walk's own name rules, before any look-up on the disk.
    for (const QString& name : names)
        if (!walk.folder ||
            (!OwnTemporaryNames::matches(name) && (walk.copyHidden || !isHiddenName(name))))
            frame.names << name;
    frame.sources = fso.stampsIn(folder, frame.names);
    if (walk.recursive)
        frame.subFolders = fso.subFolders(folder);
    for (const Target& target : walk.targets) {
        const QString mirror =
            CopyDestination::mirroredFolderOf(fso, target.path, walk.source, walk.folder, folder);
        frame.mirrors << mirror;
        frame.copies.push_back(fso.copyStampsIn(target.path, mirror, frame.names));
    }
    walk.frames.push_back(std::move(frame));
}

// Depth-first, each folder's files before its sub-folders, as a walk goes.
CatchUp::Flow CatchUp::walkOn() {
    Walk& walk = *m_walk;
    while (!walk.frames.empty()) {
        Frame& frame = walk.frames.back();
        if (frame.nextFile < frame.names.size()) {
            if (const Flow flow = visit(walk, frame, frame.nextFile++); flow != Flow::Continue)
                return flow;
            if (!m_walk || m_restartAll) // gone while the copy yielded, or to start over
                return Flow::Continue;
            continue;
        }
        if (frame.nextSubFolder < frame.subFolders.size()) {
            const QString subFolder = frame.subFolders[frame.nextSubFolder++];
            m_state.ui.processEvents();
            if (stopRequested())
                return Flow::Stop;
            enter(walk, subFolder, namesOf(m_state.fso->files(subFolder)));
            continue;
        }
        walk.frames.pop_back();
    }
    m_walk.reset();
    return Flow::Continue;
}

CatchUp::Flow CatchUp::visit(const Walk& walk, const Frame& frame, qsizetype file) {
    m_engine.yieldBetweenFiles();
    if (stopRequested())
        return Flow::Stop;
    const QString& name = frame.names[file];
    const std::optional<FileStamp>& seen = frame.sources[size_t(file)];
    if (!seen || !m_engine.copier().PassesFilters(name))
        return sliceCheck(false);
    bool anyStale = false;
    for (size_t t = 0; t < frame.copies.size() && !anyStale; ++t)
        anyStale =
            !upToDate(*seen, frame.copies[t][size_t(file)], walk.targets[qsizetype(t)].stepNs);
    if (!anyStale)
        return sliceCheck(false);

    const QString path = Paths::join(frame.folder, name);
    std::optional<FileStamp> source = m_state.fso->stamp(path);
    if (source)
        source = settled(path, *source);
    if (stopRequested())
        return Flow::Stop;
    if (!source)
        return sliceCheck(false);
    const QStringList stale = staleTargets(walk, frame, name, *source);
    const int index = currentIndexOf(walk.source);
    if (index == 0) {
        m_walk.reset();
        return Flow::Continue;
    }
    if (!stale.isEmpty()) {
        // A week of changes must not become a popup for each file: successes are only logged.
        CopyScope scope;
        scope.onlyDestinations = stale;
        scope.successNotices = false;
        m_engine.copier().CopyToDestinations(walk.source, index, path, scope);
    }
    if (stopRequested())
        return Flow::Stop;
    return sliceCheck(true);
}

QStringList CatchUp::staleTargets(const Walk& walk, const Frame& frame, const QString& name,
                                  const FileStamp& source) const {
    QStringList stale;
    for (qsizetype i = 0; i < walk.targets.size(); ++i) {
        const Target& target = walk.targets[i];
        const std::optional<FileStamp> copy =
            m_state.fso->copyStampsIn(target.path, frame.mirrors[i], {name}).front();
        if (!upToDate(source, copy, target.stepNs))
            stale << target.path;
    }
    return stale;
}

// A file saved moments ago may still be written: like a folder association's walk, the catch-up
// gives its writer the settle time, here counted from the file's own last write, and takes the
// file once its stamp stood still that long. Empty when the file went away, kept changing, or a
// stop came.
std::optional<FileStamp> CatchUp::settled(const QString& file, FileStamp stamp) {
    const qint64 settleNs = qint64(m_engine.timing().topFolderSettleMs) * nsPerMs;
    for (int round = 0; round < maxSettleRounds; ++round) {
        const qint64 age = m_state.clock.now().toMSecsSinceEpoch() * nsPerMs - stamp.modifiedNs;
        if (age >= settleNs)
            return stamp;
        // A time ahead of the clock says nothing about the writer; the stamp standing still for a
        // whole settle period does.
        const qint64 waitNs = settleNs - std::max<qint64>(age, 0);
        if (!pauseMs(int((waitNs + nsPerMs - 1) / nsPerMs)))
            return std::nullopt;
        const std::optional<FileStamp> fresh = m_state.fso->stamp(file);
        if (!fresh || *fresh == stamp)
            return fresh;
        stamp = *fresh;
    }
    return std::nullopt;
}

// Sleeps in the walk's pause steps, letting the event loop run between them; false on a stop.
bool CatchUp::pauseMs(int ms) {
    const int step = std::max(1, m_engine.timing().yieldPauseMs);
    while (ms > 0) {
        const int now = std::min(ms, step);
        m_state.clock.sleepMs(now);
        ms -= now;
        m_state.ui.processEvents();
        if (stopRequested())
            return false;
    }
    return true;
}

// Reading the clock costs more than looking at a file, so it is read only after a copy and after
// every yield group. A watch that signalled ends the slice there too: the user's save is served
// by the next tick instead of waiting for the rest of the slice.
CatchUp::Flow CatchUp::sliceCheck(bool copied) {
    if (!copied && ++m_sinceClockCheck < m_engine.timing().yieldEveryFiles)
        return Flow::Continue;
    m_sinceClockCheck = 0;
    if (m_state.watches && m_state.watches->anySignalled())
        return Flow::SliceOver;
    return m_state.clock.now() >= m_sliceEnd ? Flow::SliceOver : Flow::Continue;
}

// The association's position as it is now: the user may have added or removed associations
// while the catch-up yielded. 0 when it is gone or disabled.
int CatchUp::currentIndexOf(const QString& sourcePath) const {
    const colBackups& backups = *m_state.backups;
    const QString key = Paths::PathKey(sourcePath);
    if (!backups.contains(key) || !backups.Item(key)->Enabled)
        return 0;
    return backups.positionOf(key);
}

bool CatchUp::stopRequested() const {
    return m_state.StopScanRequested;
}
