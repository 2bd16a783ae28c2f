#include "presentation/ProtectionStatus.h"
#include "presentation/Log.h"

#include "model/VolumeList.h"
#include "platform/Paths.h"
#include "presentation/ProtectionTexts.h"
#include "state/AppState.h"

#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <initializer_list>

namespace {

QString factsKey(const QString& sourceKey, const QString& destinationPath) {
    return sourceKey + QChar(0) + Paths::PathKey(destinationPath);
}

bool startsWithAny(const QString& message, std::initializer_list<QString> texts) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const QString& text) { return message.startsWith(text); });
}

// Results that say nothing about the destination: the file went, or would copy into itself.
bool aboutTheFileAlone(const QString& message) {
    return startsWithAny(message, {ResultText::sourceFileMissing, ResultText::loop});
}

bool aboutTheSource(const QString& message) {
    using namespace ResultText;
    return startsWithAny(message, {sourceDriveMissing, sourceDriveNotReady, sourceVolumeMismatch});
}

bool disconnected(CheckFailure failure) {
    switch (failure) {
    case CheckFailure::RemoteDestMissing:
    case CheckFailure::RemoteDestNotReady:
    case CheckFailure::DestShareMissing:
    case CheckFailure::DestDriveMissing:
    case CheckFailure::DestDriveNotReady:
        return true;
    default:
        return false;
    }
}

} // namespace

// The timers' steps run from the event loop: a failing one is reported, and the next runs.
template <class Step> void ProtectionStatus::guarded(Step step) {
    try {
        step();
    } catch (...) {
        qCWarning(lcPresentation) << "The protection status was not brought up to date:"
                                  << currentExceptionText();
    }
}

ProtectionStatus::ProtectionStatus(AppState& state) : ProtectionStatus(state, Timing()) {}

ProtectionStatus::ProtectionStatus(AppState& state, Timing timing)
    : m_state(state), m_timing(timing), m_mounts(MountTable::current()) {
    m_refresh.setInterval(m_timing.refreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ProtectionStatus::refreshInSlices);
    m_refresh.start();
    m_nextSourceSlice.setSingleShot(true);
    m_nextSourceSlice.setInterval(0);
    connect(&m_nextSourceSlice, &QTimer::timeout, this, &ProtectionStatus::checkSourcesSlice);
    m_gather.setSingleShot(true);
    m_gather.setInterval(m_timing.gatherMs);
    connect(&m_gather, &QTimer::timeout, this, &ProtectionStatus::lookAtAll);
    m_nextLookSlice.setSingleShot(true);
    m_nextLookSlice.setInterval(0);
    connect(&m_nextLookSlice, &QTimer::timeout, this, &ProtectionStatus::lookSlice);
}

ProtectionStatus::~ProtectionStatus() = default;

QDateTime ProtectionStatus::now() const {
    return m_state.clock.now();
}

void ProtectionStatus::gather() {
    if (!m_gather.isActive())
        m_gather.start();
}

void ProtectionStatus::copyEnded(const QString& sourceRoot, const QString& filePath,
                                 const QString& destinationPath, bool ok, const QString& message) {
    const QString sourceKey = Paths::PathKey(sourceRoot);
    CopyFacts& facts = m_copies[factsKey(sourceKey, destinationPath)];
    facts.destinationPath = destinationPath;
    const QString fileKey = Paths::PathKey(filePath);
    if (ok) {
        facts.waiting.remove(fileKey);
        facts.lastCopy = now();
        m_lastBackup.insert(sourceKey, facts.lastCopy);
        m_sourcesFailing.remove(sourceKey);
        // A copy landed: whatever a look at the disk found before, it is there now.
        m_disks.remove(Paths::PathKey(destinationPath));
    } else if (aboutTheSource(message)) {
        m_sourcesFailing.insert(sourceKey);
    } else if (aboutTheFileAlone(message)) {
        facts.waiting.remove(fileKey);
    } else {
        if (facts.waiting.isEmpty())
            facts.since = now();
        facts.waiting.insert(fileKey, filePath);
        facts.trouble = troubleOf(message, destinationPath);
        facts.message = message;
    }
    gather();
}

void ProtectionStatus::diskChecked(const QString& destinationPath, CheckFailure failure) {
    DiskFacts& disk = m_disks[Paths::PathKey(destinationPath)];
    const Trouble trouble = checkTrouble(failure, destinationPath);
    if (trouble != disk.trouble)
        disk.since = trouble == Trouble::None ? QDateTime() : now();
    disk.trouble = trouble;
    gather();
}

void ProtectionStatus::diskResponding(const QString& destinationPath, bool responding) {
    DiskFacts& disk = m_disks[Paths::PathKey(destinationPath)];
    if (disk.notResponding != !responding)
        disk.silentSince = responding ? QDateTime() : now();
    disk.notResponding = !responding;
    gather();
}

void ProtectionStatus::changeNoted(const QString& sourceKey) {
    if (!m_pending.contains(sourceKey)) {
        m_pending.insert(sourceKey);
        gather();
    }
}

void ProtectionStatus::engineIdle() {
    const bool wasPending = !m_pending.isEmpty();
    m_pending.clear();
    if (pruneWaiting() || wasPending)
        gather();
}

void ProtectionStatus::setWaitingCheck(
    std::function<bool(const QString&, const QString&)> stillWaiting) {
    m_stillWaiting = std::move(stillWaiting);
}

// Copies the engine gave up (the file went, the destination or association changed) no longer
// wait.
bool ProtectionStatus::pruneWaiting() {
    if (!m_stillWaiting)
        return false;
    bool pruned = false;
    for (CopyFacts& facts : m_copies) {
        for (auto it = facts.waiting.begin(); it != facts.waiting.end();) {
            if (m_stillWaiting(it.value(), facts.destinationPath)) {
                ++it;
                continue;
            }
            it = facts.waiting.erase(it);
            pruned = true;
        }
    }
    return pruned;
}

void ProtectionStatus::pausedChanged(bool paused) {
    if (paused && !m_pausedSince.isValid())
        m_pausedSince = now();
    if (!paused) {
        m_pausedSince = {};
        m_pauseRestored = false;
        m_pauseSaid = false;
    }
    gather();
}

void ProtectionStatus::pauseRestored() {
    m_pauseRestored = true;
    pausedChanged(true);
}

void ProtectionStatus::associationsChanged() {
    m_mounts = MountTable::current();
    startSourceCheck(true);
}

void ProtectionStatus::refresh() {
    recheckSources();
    m_nextLookSlice.stop();
    beginLook();
    lookOn(QDeadlineTimer(QDeadlineTimer::Forever));
    endLook();
}

void ProtectionStatus::refreshInSlices() {
    startSourceCheck(false);
}

// A set that takes less than a slice is seen at once; a larger one a slice at a time.
void ProtectionStatus::startSourceCheck(bool gatherAfter) {
    m_sourceCheck.reset();
    m_nextSourceSlice.stop();
    m_gatherAfterCheck = gatherAfter;
    checkSourcesSlice();
}

void ProtectionStatus::checkSourcesSlice() {
    guarded([this] {
        if (!checkSources(QDeadlineTimer(m_timing.sliceMs, Qt::PreciseTimer))) {
            m_nextSourceSlice.start();
            return;
        }
        if (m_gatherAfterCheck)
            return gather();
        lookAtAll();
    });
}

void ProtectionStatus::recheckSources() {
    m_sourceCheck.reset();
    m_nextSourceSlice.stop();
    checkSources(QDeadlineTimer(QDeadlineTimer::Forever));
}

ProtectionStatus::SetWalk::SetWalk(const std::shared_ptr<colBackups>& current)
    : set(current), changes(current->changeCount()) {}

bool ProtectionStatus::SetWalk::outdated(const std::shared_ptr<colBackups>& current) const {
    return set != current || changes != current->changeCount();
}

template <class Visit>
bool ProtectionStatus::SetWalk::on(const QDeadlineTimer& sliceEnd, Visit visit) {
    const int count = set->Count();
    while (next <= count) {
        visit(*set->Item(next++));
        if (next <= count && sliceEnd.hasExpired())
            return false;
    }
    return true;
}

// A source is there when it exists on a ready drive that carries one of its accepted names;
// each drive is asked once.
bool ProtectionStatus::checkSources(const QDeadlineTimer& sliceEnd) {
    if (!m_sourceCheck || m_sourceCheck->walk.outdated(m_state.backups))
        m_sourceCheck = std::make_unique<SourceCheck>(m_state.backups);
    SourceCheck& check = *m_sourceCheck;
    const FileSystem& fso = *m_state.fso;
    // Files of one folder lie on its drive: the folder is resolved once, not each of its files.
    const auto driveOf = [&](const clsBackup& source) {
        if (source.Folder)
            return fso.GetDriveName(source.SourcePath);
        const QString folder = Paths::parent(source.SourcePath);
        const QString key = Paths::PathKey(folder);
        auto it = check.driveOfFolder.constFind(key);
        if (it == check.driveOfFolder.constEnd())
            it = check.driveOfFolder.insert(key, fso.GetDriveName(folder));
        return it.value();
    };
    const bool seen = check.walk.on(sliceEnd, [&](const clsBackup& source) {
        bool there =
            source.Folder ? fso.FolderExists(source.SourcePath) : fso.FileExists(source.SourcePath);
        if (there) {
            const QString drive = driveOf(source);
            const QString driveKey = drive + QChar(0) + source.Volume;
            if (!check.driveServes.contains(driveKey))
                check.driveServes.insert(
                    driveKey, fso.DriveIsReady(drive) &&
                                  VolumeList::accepts(source.Volume, fso.VolumeName(drive)));
            there = check.driveServes.value(driveKey);
        }
        if (!there)
            check.missing.insert(Paths::PathKey(source.SourcePath));
    });
    if (!seen)
        return false;
    m_sourcesMissing = std::move(check.missing);
    m_sourceCheck.reset();
    return true;
}

Trouble ProtectionStatus::troubleOf(const QString& message, const QString& destinationPath) const {
    using namespace ResultText;
    if (startsWithAny(message, {destDriveMissing, destDriveNotReady, remoteDestMissing,
                                logRemoteDestNotReady, destShareMissing}))
        return Trouble::NotConnected;
    if (message.startsWith(destVolumeMismatch))
        return checkTrouble(CheckFailure::DestVolumeMismatch, destinationPath);
    if (message.startsWith(diskFull))
        return Trouble::Full;
    return readOnly(destinationPath) ? Trouble::ReadOnly : Trouble::Failing;
}

Trouble ProtectionStatus::checkTrouble(CheckFailure failure, const QString& destinationPath) const {
    if (failure == CheckFailure::None)
        return readOnly(destinationPath) ? Trouble::ReadOnly : Trouble::None;
    if (disconnected(failure))
        return Trouble::NotConnected;
    if (failure != CheckFailure::DestVolumeMismatch)
        return Trouble::Failing;
    // The folder of an unplugged disk falls back to the disk that held its mount point: the
    // system's or the home folder's. Another disk there is one plugged in instead.
    const std::optional<MountEntry> holder = mountOf(destinationPath);
    for (const QString& fallback : {QDir::rootPath(), QDir::homePath()}) {
        const std::optional<MountEntry> mount = m_mounts.mountOf(fallback);
        if (!holder || (mount && mount->id == holder->id))
            return Trouble::NotConnected;
    }
    return Trouble::OtherDisk;
}

std::optional<MountEntry> ProtectionStatus::mountOf(const QString& destinationPath) const {
    return m_mounts.mountOf(m_state.fso->localPathOf(destinationPath));
}

bool ProtectionStatus::readOnly(const QString& destinationPath) const {
    const std::optional<MountEntry> mount = mountOf(destinationPath);
    return mount && mount->readOnly;
}

DestinationState ProtectionStatus::destinationState(const QString& sourceKey,
                                                    const clsDestination& destination) const {
    DestinationState state;
    state.path = destination.Path;
    state.volume = destination.Volume;
    const auto copies = m_copies.constFind(factsKey(sourceKey, destination.Path));
    const auto disk = m_disks.constFind(Paths::PathKey(destination.Path));
    if (copies != m_copies.constEnd()) {
        state.lastCopy = copies->lastCopy;
        state.filesWaiting = int(copies->waiting.size());
        if (!copies->waiting.isEmpty()) {
            state.trouble = copies->trouble;
            state.since = copies->since;
            state.message = copies->message;
        }
    }
    if (disk != m_disks.constEnd()) {
        // The disk's own state comes first: it says why the copies wait.
        const bool silent = disk->notResponding;
        const Trouble trouble = silent ? Trouble::NotResponding : disk->trouble;
        if (trouble != Trouble::None) {
            const QDateTime since = silent ? disk->silentSince : disk->since;
            if (state.trouble == Trouble::None || since < state.since)
                state.since = since;
            state.trouble = trouble;
        }
    }
    return state;
}

AssociationState ProtectionStatus::stateOf(const clsBackup& association) const {
    AssociationState state;
    state.sourcePath = association.SourcePath;
    const QString key = Paths::PathKey(association.SourcePath);
    state.lastBackup = m_lastBackup.value(key);
    for (const auto& destination : m_state.destinations->of(association.SourcePath))
        state.destinations.push_back(destinationState(key, *destination));
    QDateTime troubleSince;
    for (const DestinationState& destination : state.destinations)
        if (destination.trouble != Trouble::None &&
            (!troubleSince.isValid() || destination.since < troubleSince))
            troubleSince = destination.since;

    if (m_sourcesMissing.contains(key) || m_sourcesFailing.contains(key)) {
        state.protection = Protection::SourceMissing;
    } else if (!association.Enabled) {
        state.protection = Protection::Disabled;
    } else if (state.destinations.empty()) {
        state.protection = Protection::NoDestination;
    } else if (paused()) {
        state.protection = Protection::Paused;
        state.since = m_pausedSince;
    } else if (troubleSince.isValid()) {
        state.protection = Protection::Behind;
        state.since = troubleSince;
    } else if (m_pending.contains(key)) {
        state.protection = Protection::Pending;
    }
    return state;
}

std::vector<AssociationState> ProtectionStatus::all() const {
    std::vector<AssociationState> states;
    states.reserve(size_t(m_state.backups->Count()));
    for (const auto& association : *m_state.backups)
        states.push_back(stateOf(*association));
    return states;
}

bool ProtectionStatus::paused() const {
    return m_state.Paused;
}

QHash<QString, QDateTime> ProtectionStatus::lastBackups() const {
    QHash<QString, QDateTime> bySource;
    for (const auto& association : *m_state.backups) {
        const QDateTime last = m_lastBackup.value(Paths::PathKey(association->SourcePath));
        if (last.isValid())
            bySource.insert(association->SourcePath, last);
    }
    return bySource;
}

void ProtectionStatus::restoreLastBackups(const QHash<QString, QDateTime>& bySource) {
    for (auto it = bySource.begin(); it != bySource.end(); ++it)
        m_lastBackup.insert(Paths::PathKey(it.key()), it.value());
    gather();
}

void StatusTally::add(const AssociationState& state) {
    ++associations;
    const bool needsTheUser = ProtectionTexts::troubled(state);
    troubled = troubled || needsTheUser;
    if (state.protection == Protection::NoDestination)
        ++noDestination;
    else if (state.protection == Protection::SourceMissing)
        ++sourceMissing;
    else if (needsTheUser && behind++ == 0)
        firstBehind = state;
    if (state.protection != Protection::Disabled && state.protection != Protection::SourceMissing)
        ++enabled;
    fine += state.fine() ? 1 : 0;
    pending += state.protection == Protection::Pending ? 1 : 0;
    if (state.lastBackup.isValid() && (!lastCopy.isValid() || state.lastBackup > lastCopy))
        lastCopy = state.lastBackup;
}

void ProtectionStatus::lookAtAll() {
    if (m_look) {
        m_lookAgain = true;
        return;
    }
    beginLook();
    lookSlice();
}

void ProtectionStatus::lookSlice() {
    bool more = false;
    guarded([&] {
        more = !lookOn(QDeadlineTimer(m_timing.sliceMs, Qt::PreciseTimer));
        if (!more)
            endLook();
    });
    if (more)
        m_nextLookSlice.start();
    else
        m_look.reset(); // a look that failed is not left standing in the way of the next
}

void ProtectionStatus::beginLook() {
    m_look = std::make_unique<Look>(m_state.backups);
    m_look->at = now();
    m_look->firstLook = !m_looked;
}

bool ProtectionStatus::lookOn(const QDeadlineTimer& sliceEnd) {
    if (m_look->walk.outdated(m_state.backups))
        beginLook();
    QElapsedTimer took;
    took.start();
    Look& look = *m_look;
    const bool seen = look.walk.on(sliceEnd, [&](const clsBackup& association) {
        const AssociationState state = stateOf(association);
        look.tally.add(state);
        noteLasting(state);
    });
    look.tookMs += took.elapsed();
    return seen;
}

// Each lasting state is said once: an association without a destination once while it stays
// so, one behind once per time it fell behind. What was so already at the first look (the
// start) has lasted since the last run.
void ProtectionStatus::noteLasting(const AssociationState& state) {
    Look& look = *m_look;
    const QString key = Paths::PathKey(state.sourcePath);
    if (state.protection == Protection::NoDestination) {
        const QDateTime since =
            m_noDestinationSince.value(key, look.firstLook ? QDateTime() : look.at);
        look.noDestinationSince.insert(key, since);
        const bool lasts = !since.isValid() || since.secsTo(look.at) >= m_timing.pausedLastsSecs;
        if (lasts || m_noDestinationSaid.contains(key))
            look.noDestinationSaid.insert(key);
        if (lasts && !m_noDestinationSaid.contains(key))
            look.withoutDestination << ProtectionTexts::noDestinationLine(state);
    }
    if (state.protection == Protection::Behind) {
        look.behindSaid.insert(key, m_behindSaid.value(key));
        if (state.since.secsTo(look.at) >= m_timing.behindLastsSecs &&
            m_behindSaid.value(key) != state.since) {
            look.behindSaid.insert(key, state.since);
            look.behind << ProtectionTexts::behindLine(state, look.at);
        }
    }
}

// A pause is said once per pause. The look's findings take effect together, and the change
// is shown.
void ProtectionStatus::endLook() {
    const std::unique_ptr<Look> look = std::move(m_look);
    m_looked = true;
    if (paused() && !m_pauseSaid && m_pausedSince.isValid() &&
        (m_pauseRestored || m_pausedSince.secsTo(look->at) >= m_timing.pausedLastsSecs)) {
        m_pauseSaid = true;
        emit lastingState(ProtectionTexts::pausedSummary,
                          ProtectionTexts::pausedBody(m_pauseRestored, m_pausedSince, look->at));
    }
    m_noDestinationSince = std::move(look->noDestinationSince);
    m_noDestinationSaid = std::move(look->noDestinationSaid);
    m_behindSaid = std::move(look->behindSaid);
    m_tally = std::move(look->tally);
    if (!look->withoutDestination.isEmpty())
        emit lastingState(ProtectionTexts::noDestinationSummary,
                          look->withoutDestination.join(u'\n'));
    if (!look->behind.isEmpty())
        emit lastingState(ProtectionTexts::behindSummary(int(look->behind.size())),
                          look->behind.join(u'\n'));
    // Looking at every association costs in proportion to their number: with many of them, a
    // steady stream of reports would keep the window's thread looking. The next look waits at
    // least four times as long as this one took, so it never takes more than a fifth.
    m_gather.setInterval(std::max(m_timing.gatherMs, int(look->tookMs * 4)));
    emit changed();
    if (std::exchange(m_lookAgain, false))
        gather();
}
