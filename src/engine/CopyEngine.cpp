#include "engine/CopyEngine.h"
#include "engine/Log.h"

#include "engine/BackupLayout.h"
#include "engine/BackupOwners.h"
#include "engine/DestinationWorkers.h"
#include "engine/NameFilters.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QStringList>
#include <algorithm>
#include <exception>

namespace {

// The activity log is cut back once it grows past this many entries...
constexpr int recentLogLimit = 99;
// ...to this many, the newest ones.
constexpr int recentLogKept = 10;

bool inScope(const CopyScope& scope, const QString& destinationPath) {
    if (!scope.onlyDestinations)
        return true;
    const QStringList& paths = *scope.onlyDestinations;
    return std::any_of(paths.begin(), paths.end(),
                       [&](const QString& path) { return Paths::samePath(path, destinationPath); });
}

// The failures that trying again later may mend: not a file that is gone, not a loop.
bool worthRetrying(const DestinationReport& report) {
    if (report.ending == DestinationReport::Ending::Copied)
        return !report.outcome.copyErrorText.isEmpty();
    if (report.ending != DestinationReport::Ending::CheckFailed)
        return false;
    // What the associations are set up to refuse stays refused until the user changes them.
    return report.failure != CheckFailure::SourceFileMissing &&
           report.failure != CheckFailure::Loop && report.failure != CheckFailure::PlaceTaken &&
           report.failure != CheckFailure::FeedsItsOrigin;
}

} // namespace

CopyEngine::CopyEngine(AppState& state, const EngineTiming& timing, DestinationWorkers& workers,
                       QObject* parent)
    : QObject(parent), m_state(state), m_timing(timing), m_workers(workers),
      m_retries({timing.retryFirstMs, timing.retryMaxMs}) {
    m_monotonic.start();
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &CopyEngine::retryDue);
}

void CopyEngine::CopyToDestinations(const QString& SourceRoot, int AssocIndex,
                                    const QString& FilePath, const CopyScope& scope) {
    try {
        CopyToDestinations(SourceRoot, *m_state.backups->Item(AssocIndex), FilePath, scope);
    } catch (const std::exception& e) {
        // An association that went away meanwhile: the next change tries again.
        qCWarning(lcEngine) << "Copy of" << Paths::displayName(FilePath)
                            << "not started:" << e.what();
    }
}

void CopyEngine::CopyToDestinations(const QString& SourceRoot, clsBackup& association,
                                    const QString& FilePath, const CopyScope& scope) {
    if (m_stopped)
        return;
    association.DateLastActivity = m_state.clock.nowText();
    if (!PassesFilters(Paths::fileName(FilePath))) {
        const QString& na = notApplicable;
        log(FilePath, na, na, na, ResultText::filteredOut);
        // Filtered files alone must not let the log grow without end.
        boundRecentLog();
        return;
    }
    const QString prevSaveName = usablePrevSaveName(m_state.options.PrevSaveName);
    const quint64 callId = startCall(association, scope);
    const auto destinations = m_state.destinations->of(SourceRoot);
    if (!destinations.empty())
        noteRenamed(association, SourceRoot, FilePath);
    const BackupOwners::Ownership owners = ownershipOf(prevSaveName, association.SourcePath);
    for (const auto& destination : destinations) {
        if (!inScope(scope, destination->Path))
            continue;
        CopyJob job =
            DestinationCopy::makeJob(association, *destination, SourceRoot, FilePath, prevSaveName);
        job.onlyIfStale = scope.onlyIfStale;
        job.owners = owners;
        submit(callId, job);
    }
    if (m_calls[callId].waiting == 0)
        m_calls.erase(callId);
}

CopyEngine::Call CopyEngine::callFor(const clsBackup& association, const CopyScope& scope) const {
    const Options& options = m_state.options;
    Call call;
    call.notify.success =
        association.NotifyOnSuccess && !options.NotifySuccessDisabled && scope.successNotices;
    call.notify.error = association.NotifyOnError && !options.NotifyErrorDisabled;
    return call;
}

BackupOwners::Ownership CopyEngine::ownershipOf(const QString& prevSaveName,
                                                const QString& sourcePath) {
    if (!ownersAreCurrent(prevSaveName))
        rememberOwners(std::make_shared<const BackupOwners::Owners>(
            *m_state.backups, *m_state.destinations, prevSaveName));
    return m_owners->owners->of(sourcePath);
}

void CopyEngine::rememberOwners(std::shared_ptr<const BackupOwners::Owners> owners) {
    m_owners = KnownOwners{std::move(owners), m_state.backups.get(), m_state.backups->changeCount(),
                           m_state.destinations.get(), m_state.destinations->changeCount()};
}

bool CopyEngine::ownersAreCurrent(const QString& versionBase) const {
    return m_owners && m_owners->owners->versionBase() == versionBase &&
           m_owners->backups == m_state.backups.get() &&
           m_owners->backupChanges == m_state.backups->changeCount() &&
           m_owners->destinations == m_state.destinations.get() &&
           m_owners->destinationChanges == m_state.destinations->changeCount();
}

quint64 CopyEngine::startCall(const clsBackup& association, const CopyScope& scope, bool retry) {
    const quint64 id = m_nextCall++;
    Call call = callFor(association, scope);
    call.retry = retry;
    m_calls.emplace(id, call);
    return id;
}

void CopyEngine::submit(quint64 callId, const CopyJob& job) {
    ++m_calls[callId].waiting;
    m_workers.submit(SaveJob{callId, job});
}

bool CopyEngine::busy() const {
    return !m_calls.empty() || m_busyWaits > 0;
}

void CopyEngine::onNews(const WorkerNews& news) {
    switch (news.kind) {
    case WorkerNews::Kind::SaveDone:
        onSaveDone(news);
        break;
    case WorkerNews::Kind::SaveMerged:
        endOneDestination(news.save.callId);
        break;
    case WorkerNews::Kind::CatchUpCopied:
        onCatchUpCopied(news);
        break;
    default:
        break;
    }
}

void CopyEngine::onSaveDone(const WorkerNews& news) {
    const auto it = m_calls.find(news.save.callId);
    if (it == m_calls.end())
        return;
    Call& call = it->second;
    if (news.report.ending == DestinationReport::Ending::Busy && !m_stopped) {
        waitWhileBusy(news.save.callId, call, news);
        return;
    }
    conclude(call, news.save.copy, news.report);
    endOneDestination(news.save.callId);
}

// A week of changes must not become a popup for each file: a catch-up's successes are only
// logged. Each of its copies is a change of its own for the tray.
void CopyEngine::onCatchUpCopied(const WorkerNews& news) {
    const QString key = Paths::PathKey(news.save.copy.sourceRoot);
    if (!m_state.backups->contains(key))
        return;
    CopyScope scope;
    scope.successNotices = false;
    Call call = callFor(*m_state.backups->Item(key), scope);
    if (news.report.ending == DestinationReport::Ending::Busy) {
        // Left for the retries: a catch-up does not wait for one file.
        noteForRetry(news.save.copy, news.report, ResultText::busyTimedOut);
        return;
    }
    conclude(call, news.save.copy, news.report);
    finishCall(call);
}

// Only a file really in use is worth waiting for: it is tried again once a second, with one
// notice, until the busy time-out.
void CopyEngine::waitWhileBusy(quint64 callId, Call& call, const WorkerNews& news) {
    const qint64 now = nowMs();
    if (call.busySinceMs < 0)
        call.busySinceMs = now;
    if (!call.busyAnnounced) {
        call.busyAnnounced = true;
        announceBusy(call, news.save.copy, news.report);
    }
    if (now - call.busySinceMs >= qint64(m_state.options.BusyTimeout * 1000.0)) {
        DestinationReport timedOut = news.report;
        timedOut.ending = DestinationReport::Ending::Copied;
        timedOut.outcome.keepBackup = news.save.copy.association.KeepBackup;
        timedOut.outcome.copyErrorText = ResultText::busyTimedOut;
        conclude(call, news.save.copy, timedOut);
        endOneDestination(callId);
        return;
    }
    ++m_busyWaits;
    QTimer::singleShot(m_timing.busyRetryMs, this, [this, callId, job = news.save.copy] {
        --m_busyWaits;
        if (m_stopped || !m_calls.count(callId)) {
            endOneDestination(callId);
            return;
        }
        // Sent again as a new try of the same change; it counts once.
        --m_calls[callId].waiting;
        submit(callId, job);
    });
}

void CopyEngine::conclude(Call& call, const CopyJob& job, const DestinationReport& dest) {
    const Options& options = m_state.options;
    ResultChoice result;
    switch (dest.ending) {
    case DestinationReport::Ending::CheckFailed:
        if (dest.driveAway() && onDriveAway)
            onDriveAway(job.sourceRoot);
        result = chooseCheckResult(dest.failure, call.notify, options);
        break;
    case DestinationReport::Ending::Copied:
        result = chooseCopyResult(dest.outcome, call.notify, options);
        break;
    case DestinationReport::Ending::UpToDate:
        m_retries.succeeded(job.filePath, job.destination.Path);
        return;
    case DestinationReport::Ending::SourceChanged:
        // A copy of a moment in the middle of a write is never kept: the file is copied again
        // once its writer is done.
        emit sourceChanged(job.sourceRoot, job.filePath);
        return;
    case DestinationReport::Ending::Busy:
    case DestinationReport::Ending::Cancelled:
    case DestinationReport::Ending::NotStarted:
        // Abandoned on the way out: the old copy stays, and the next start catches up.
        return;
    }
    const bool ok =
        dest.ending == DestinationReport::Ending::Copied && dest.outcome.copyErrorText.isEmpty();
    if (ok) {
        m_retries.succeeded(job.filePath, job.destination.Path);
    } else if (worthRetrying(dest)) {
        // A failure said once is not said again at every try; a new one is.
        const std::optional<QString> before =
            m_retries.lastResult(job.filePath, job.destination.Path);
        noteForRetry(job, dest, result.logText);
        if (call.retry && before && *before == result.logText)
            return;
    } else {
        m_retries.succeeded(job.filePath, job.destination.Path);
    }
    report(call, job, dest, result);
    emit destinationDone(job.sourceRoot, job.filePath, job.destination.Path, ok, result.logText);
}

void CopyEngine::endOneDestination(quint64 callId) {
    const auto it = m_calls.find(callId);
    if (it == m_calls.end())
        return;
    if (--it->second.waiting > 0)
        return;
    const Call call = it->second;
    m_calls.erase(it);
    finishCall(call);
    emit callFinished();
}

void CopyEngine::noteForRetry(const CopyJob& job, const DestinationReport&,
                              const QString& message) {
    if (m_stopped)
        return;
    m_retries.failed({job.sourceRoot, job.filePath, job.destination.Path, message}, nowMs());
    armRetryTimer();
}

void CopyEngine::retryNow() {
    m_retries.allDue(nowMs());
    retryDue();
}

void CopyEngine::stopRetries() {
    m_stopped = true;
    m_retries.clear();
    m_retryTimer.stop();
}

// The association and its destination as they are now: one that changed or went meanwhile
// drops its retries.
void CopyEngine::retryDue() {
    for (const RetryList::Copy& copy : m_retries.takeDue(nowMs())) {
        const QString key = Paths::PathKey(copy.sourceRoot);
        if (!m_state.backups->contains(key)) {
            m_retries.succeeded(copy.filePath, copy.destinationPath);
            continue;
        }
        const auto association = m_state.backups->Item(key);
        std::shared_ptr<clsDestination> destination;
        for (const auto& candidate : m_state.destinations->of(copy.sourceRoot))
            if (Paths::samePath(candidate->Path, copy.destinationPath))
                destination = candidate;
        if (!association->Enabled || !destination || !m_state.fso->FileExists(copy.filePath)) {
            m_retries.succeeded(copy.filePath, copy.destinationPath);
            continue;
        }
        // The file may have reached its copy meanwhile (a catch-up after the same mount).
        const quint64 callId = startCall(*association, {}, true);
        const QString prevSaveName = usablePrevSaveName(m_state.options.PrevSaveName);
        CopyJob job = DestinationCopy::makeJob(*association, *destination, copy.sourceRoot,
                                               copy.filePath, prevSaveName);
        job.onlyIfStale = true;
        job.owners = ownershipOf(prevSaveName, association->SourcePath);
        submit(callId, job);
    }
    armRetryTimer();
}

void CopyEngine::armRetryTimer() {
    const std::optional<qint64> due = m_retries.nextDueMs();
    if (!due || m_stopped) {
        m_retryTimer.stop();
        return;
    }
    m_retryTimer.start(int(std::clamp<qint64>(*due - nowMs(), 0, m_timing.retryMaxMs)));
}

void CopyEngine::announceBusy(const Call& call, const CopyJob& job, const DestinationReport& dest) {
    if (!m_state.options.NotifySourceBusy)
        return;
    if (call.notify.success || call.notify.error) {
        queue(job, dest, ResultText::busyDelay);
        // The wait may be long: the notice has to be seen now, not after it.
        m_state.ui.showPopupNoActivate();
    }
    log(job.filePath, dest.sourceVolumeName, dest.destDir,
        destinationVolumeText(job.destination.Volume, dest.destVolumeName), ResultText::busyDelay);
}

void CopyEngine::finishCall(const Call& call) {
    boundRecentLog();
    if (call.AnySuccess && call.AnyError)
        m_state.ui.startAnimation(UserInterface::Animation::Shrug);
    else if (call.AnySuccess)
        m_state.ui.startAnimation(UserInterface::Animation::Nod);
    else if (call.AnyError)
        m_state.ui.startAnimation(UserInterface::Animation::Shake);
    if (m_state.notifiers->Count() > 0)
        m_state.ui.showPopupNoActivate();
}

void CopyEngine::report(Call& call, const CopyJob& job, const DestinationReport& dest,
                        const ResultChoice& result) {
    if (result.notifyText)
        queue(job, dest, *result.notifyText);
    log(job.filePath, dest.sourceVolumeName, dest.destDir,
        destinationVolumeText(job.destination.Volume, dest.destVolumeName), result.logText);
    call.AnySuccess = call.AnySuccess || result.success;
    call.AnyError = call.AnyError || result.error;
}

void CopyEngine::queue(const CopyJob& job, const DestinationReport& dest, const QString& message) {
    const auto notifier = m_state.notifiers->Add(job.filePath, dest.destDir, message);
    notifier->DestFolder = job.destination.Path;
    notifier->DestVolume = job.destination.Volume;
    m_state.ui.notificationsChanged();
}

void CopyEngine::noteRenamed(const clsBackup& association, const QString& sourceRoot,
                             const QString& filePath) {
    const BackupLayout layout(sourceRoot, association.Folder,
                              usablePrevSaveName(m_state.options.PrevSaveName));
    // Asked for every copy, and almost never the case: the placement is worked out only when a
    // name on the way may need it.
    if (!layout.mayRenameOnTheWayTo(filePath))
        return;
    for (const QString& renamed : layout.placeFile(QString(), filePath).renamed) {
        const QString key =
            Paths::PathKey(association.SourcePath) + QChar(u'\0') + Paths::PathKey(renamed);
        if (m_notedRenames.contains(key))
            continue;
        m_notedRenames.insert(key);
        const QString name = Paths::fileName(renamed);
        log(renamed, notApplicable, notApplicable, notApplicable,
            ResultText::renamedInMirror.arg(name, layout.mirroredName(name)));
    }
}

void CopyEngine::log(const QString& sourcePath, const QString& sourceVolume,
                     const QString& destPath, const QString& destVolume, const QString& message) {
    // The log is read by people: a name that is not UTF-8 shows its odd bytes as "\xNN".
    const auto entry =
        m_state.recent->Add(m_state.clock.nowText(), Paths::displayName(sourcePath), sourceVolume,
                            Paths::displayName(destPath), destVolume, message);
    m_state.ui.resultLogged(*entry);
    m_state.ui.logChanged();
}

void CopyEngine::boundRecentLog() {
    colRecent& recent = *m_state.recent;
    if (recent.Count() <= recentLogLimit)
        return;
    // The oldest go: what just happened is what the user opens the log to see.
    while (recent.Count() > recentLogKept)
        recent.Remove(1);
    m_state.ui.logChanged();
}

bool CopyEngine::PassesFilters(const QString& FileName) const {
    return passesFilters(m_state.options, FileName);
}
