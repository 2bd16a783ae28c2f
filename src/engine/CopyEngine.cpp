#include "engine/CopyEngine.h"
#include "engine/Log.h"

#include "engine/CopyDestination.h"
#include "engine/DriveChecks.h"
#include "engine/PreviousVersions.h"
#include "persistence/StoreLines.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QStringList>
#include <algorithm>
#include <climits>
#include <exception>

namespace {

// The activity log is cut back once it grows past this many entries...
constexpr int recentLogLimit = 99;
// ...to this many, the newest ones.
constexpr int recentLogKept = 10;

const QChar filterSeparator = QLatin1Char('|');

// True when one of the "|"-separated pieces of `list` matches `name` by `test`. Blank pieces,
// and pieces longer than the name, match nothing.
template <class Test> bool anyPieceMatches(const QString& list, const QString& name, Test test) {
    const QStringList pieces = list.split(filterSeparator);
    return std::any_of(pieces.begin(), pieces.end(), [&](const QString& raw) {
        const QString piece = StoreLines::trimSpaces(raw);
        return !piece.isEmpty() && piece.size() <= name.size() && test(name, piece);
    });
}

bool inScope(const CopyScope& scope, const QString& destinationPath) {
    if (!scope.onlyDestinations)
        return true;
    const QStringList& paths = *scope.onlyDestinations;
    return std::any_of(paths.begin(), paths.end(),
                       [&](const QString& path) { return Paths::samePath(path, destinationPath); });
}

// The failures that come back by themselves when the drive does.
bool isDriveAway(CheckFailure failure) {
    switch (failure) {
    case CheckFailure::SourceDriveMissing:
    case CheckFailure::SourceDriveNotReady:
    case CheckFailure::SourceVolumeMismatch:
    case CheckFailure::RemoteDestMissing:
    case CheckFailure::RemoteDestNotReady:
    case CheckFailure::DestShareMissing:
    case CheckFailure::DestDriveMissing:
    case CheckFailure::DestDriveNotReady:
    case CheckFailure::DestVolumeMismatch:
        return true;
    default:
        return false;
    }
}

int busyTimeoutMs(double seconds) {
    const double ms = seconds * 1000.0;
    if (!(ms > 0))
        return 0;
    return ms >= double(INT_MAX) ? INT_MAX : qRound(ms);
}

} // namespace

CopyEngine::CopyEngine(AppState& state, const EngineTiming& timing, QObject* parent)
    : QObject(parent), m_state(state), m_timing(timing) {
    connect(&tmrSourceBusy, &QTimer::timeout, this, [this] { BusyTimedOut = true; });
}

void CopyEngine::CopyToDestinations(const QString& SourceRoot, int AssocIndex,
                                    const QString& FilePath, const CopyScope& scope) {
    try {
        copyToAll(SourceRoot, AssocIndex, FilePath, scope);
    } catch (const std::exception& e) {
        // An association that went away meanwhile, or any other broken step: this file's call
        // ends here and the next change tries again.
        qCWarning(lcEngine) << "Copy of" << Paths::displayName(FilePath) << "ended:" << e.what();
        endBusyWait();
    }
}

void CopyEngine::copyToAll(const QString& sourceRoot, int assocIndex, const QString& filePath,
                           const CopyScope& scope) {
    const auto association = m_state.backups->Item(assocIndex);
    association->DateLastActivity = nowText();

    CallState call;
    const Options& options = m_state.options;
    call.notify.success =
        association->NotifyOnSuccess && !options.NotifySuccessDisabled && scope.successNotices;
    call.notify.error = association->NotifyOnError && !options.NotifyErrorDisabled;

    if (!PassesFilters(Paths::fileName(filePath))) {
        const QString& na = notApplicable;
        log(filePath, na, na, na, ResultText::filteredOut);
        // Filtered files alone must not let the log grow without end.
        boundRecentLog();
        return;
    }

    // A snapshot: user commands run while a busy file is retried, and must not shift the
    // destinations under this loop.
    const auto destinations = m_state.destinations->of(sourceRoot);
    for (const auto& destination : destinations) {
        if (!inScope(scope, destination->Path))
            continue;
        // The program is on its way out: what is left is copied at the next change after the
        // restart.
        if (m_state.ExitRequested)
            break;
        serveDestination(call, *association, *destination, sourceRoot, filePath);
    }
    finishCall(call);
}

void CopyEngine::serveDestination(CallState& call, const clsBackup& association,
                                  const clsDestination& destination, const QString& sourceRoot,
                                  const QString& filePath) {
    FileSystem& fso = *m_state.fso;
    DestinationState dest;
    dest.destFolder = destination.Path;
    dest.destVolume = destination.Volume;
    dest.DestDir = destination.Path;
    const auto fail = [&](CheckFailure failure) {
        if (isDriveAway(failure) && onDriveAway)
            onDriveAway(sourceRoot);
        report(call, dest, filePath, chooseCheckResult(failure, call.notify, m_state.options));
    };

    // A link is there as long as the link is, whatever it points to: it is backed up as itself.
    if (!fso.stamp(filePath))
        return fail(CheckFailure::SourceFileMissing);
    const CopyDestination::Mirror mirror = CopyDestination::mirrorOf(
        destination.Path, sourceRoot, association.Folder, Paths::parent(filePath));
    dest.DestDir = mirror.destDir;
    dest.localDir = fso.localPathOf(dest.DestDir);
    if (CopyDestination::wouldLoop(fso, association, dest.localDir, filePath))
        return fail(CheckFailure::Loop);
    if (const CheckFailure f =
            DriveChecks::checkSource(fso, filePath, association.Volume, dest.SourceVolumeName);
        f != CheckFailure::None)
        return fail(f);
    if (const CheckFailure f = DriveChecks::checkDestination(fso, mirror, destination.Volume,
                                                             dest.DestVolumeName, dest.folder);
        f != CheckFailure::None)
        return fail(f);

    removeStaleTemporaries(dest);
    dest.outcome.keepBackup = association.KeepBackup;
    // The new copy is made whole first: a copy that fails leaves the old copy and every version
    // as they were.
    StagedCopy staged;
    copyWithBusyRetries(call, dest, filePath, staged);
    if (dest.sourceChanged)
        return;
    if (dest.outcome.copyErrorText.isEmpty()) {
        stepDone();
        if (const CheckFailure f = storeAndReplace(association, dest, filePath, staged);
            f != CheckFailure::None)
            return fail(f);
    }
    report(call, dest, filePath, chooseCopyResult(dest.outcome, call.notify, m_state.options));
}

CheckFailure CopyEngine::storeAndReplace(const clsBackup& association, DestinationState& dest,
                                         const QString& filePath, StagedCopy& staged) {
    FileSystem& fso = *m_state.fso;
    if (association.KeepBackup) {
        // The versions give what the folder they lie in gives, which follows the source folder.
        PreviousVersions versions(
            usablePrevSaveName(m_state.options.PrevSaveName), association.Versions,
            dest.folder.access().value_or(FolderAccess{}), [this] { stepDone(); });
        switch (versions.store(dest.folder, Paths::fileName(filePath))) {
        case PreviousVersions::Outcome::RotationFailed:
            return CheckFailure::VersionsNotRotated;
        case PreviousVersions::Outcome::LinkInTheWay:
            return CheckFailure::LinkInDestination;
        case PreviousVersions::Outcome::OtherUsersFolder:
            return CheckFailure::OtherUsersFolder;
        case PreviousVersions::Outcome::StoreFailed:
            dest.outcome.storeFailed = true;
            break;
        case PreviousVersions::Outcome::Stored:
            dest.outcome.previousStored = true;
            break;
        case PreviousVersions::Outcome::NoPrevious:
            break;
        }
    }
    const CopyResult placed = fso.commitCopy(staged);
    if (!placed.ok())
        dest.outcome.copyErrorText =
            placed.error == CopyError::DiskFull ? ResultText::diskFull : ResultText::copyError;
    else
        stepDone();
    return CheckFailure::None;
}

void CopyEngine::copyWithBusyRetries(CallState& call, DestinationState& dest,
                                     const QString& filePath, StagedCopy& staged) {
    // Between chunks the user interface stays alive; an exit asked for meanwhile stops the copy,
    // rather than waiting minutes for a large file to reach a slow disk.
    const auto between = [this] {
        m_state.ui.processEvents();
        return !m_state.ExitRequested;
    };
    for (;;) {
        const CopyResult copied = m_state.fso->stageCopy(
            filePath, dest.folder, Paths::fileName(filePath), staged, between);
        if (copied.error == CopyError::None)
            break;
        if (copied.error == CopyError::SourceChanged) {
            dest.sourceChanged = true;
            break;
        }
        if (copied.error == CopyError::DiskFull) {
            dest.outcome.copyErrorText = ResultText::diskFull;
            break;
        }
        // Only a file really in use is worth waiting for; a denied permission stays denied.
        if (copied.error != CopyError::Busy) {
            dest.outcome.copyErrorText = ResultText::copyError;
            break;
        }
        if (!BusyActive) {
            BusyActive = true;
            announceBusy(call, dest, filePath);
            tmrSourceBusy.start(busyTimeoutMs(m_state.options.BusyTimeout));
        } else if (BusyTimedOut || m_state.ExitRequested) {
            // An exit does not wait out the rest of the busy time-out: the file is reported as
            // timed out and copied at its next change after the restart.
            dest.outcome.copyErrorText = ResultText::busyTimedOut;
            break;
        }
        // The program holding the file needs time, and the user interface must stay alive
        // (and the busy timer's tick must get through) while it has it.
        m_state.clock.sleepMs(m_timing.busyRetryMs);
        m_state.ui.processEvents();
    }
    endBusyWait();
}

void CopyEngine::removeStaleTemporaries(const DestinationState& dest) {
    const QString key = Paths::PathKey(dest.localDir);
    if (m_sweptFolders.contains(key))
        return;
    dest.folder.removeStaleTemporaries();
    m_sweptFolders.insert(key);
}

void CopyEngine::stepDone() {
    if (afterEachStep)
        afterEachStep();
}

void CopyEngine::announceBusy(const CallState& call, const DestinationState& dest,
                              const QString& filePath) {
    if (!m_state.options.NotifySourceBusy)
        return;
    if (call.notify.success || call.notify.error) {
        queue(dest, filePath, ResultText::busyDelay);
        // The wait may be long: the notice has to be seen now, not after it.
        m_state.ui.showPopupNoActivate();
    }
    log(filePath, dest.SourceVolumeName, dest.DestDir,
        destinationVolumeText(dest.destVolume, dest.DestVolumeName), ResultText::busyDelay);
}

void CopyEngine::endBusyWait() {
    tmrSourceBusy.stop();
    BusyActive = false;
    // A tick that came after the last refusal must not cut the next file's wait short.
    BusyTimedOut = false;
}

void CopyEngine::finishCall(const CallState& call) {
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

void CopyEngine::report(CallState& call, const DestinationState& dest, const QString& filePath,
                        const ResultChoice& result) {
    if (result.notifyText)
        queue(dest, filePath, *result.notifyText);
    log(filePath, dest.SourceVolumeName, dest.DestDir,
        destinationVolumeText(dest.destVolume, dest.DestVolumeName), result.logText);
    call.AnySuccess = call.AnySuccess || result.success;
    call.AnyError = call.AnyError || result.error;
}

void CopyEngine::queue(const DestinationState& dest, const QString& filePath,
                       const QString& message) {
    const auto notifier = m_state.notifiers->Add(filePath, dest.DestDir, message);
    notifier->DestFolder = dest.destFolder;
    notifier->DestVolume = dest.destVolume;
    m_state.ui.notificationsChanged();
}

void CopyEngine::log(const QString& sourcePath, const QString& sourceVolume,
                     const QString& destPath, const QString& destVolume, const QString& message) {
    // The log is read by people: a name that is not UTF-8 shows its odd bytes as "\xNN".
    const auto entry = m_state.recent->Add(nowText(), Paths::displayName(sourcePath), sourceVolume,
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

QString CopyEngine::nowText() const {
    return DateTimeText::format(m_state.clock.now());
}

bool CopyEngine::PassesFilters(const QString& FileName) const {
    const Options& options = m_state.options;
    if (!options.UseFilters)
        return true;
    const auto begins = [](const QString& name, const QString& piece) {
        return name.startsWith(piece, Qt::CaseInsensitive);
    };
    const auto ends = [](const QString& name, const QString& piece) {
        return name.endsWith(piece, Qt::CaseInsensitive);
    };
    return !anyPieceMatches(options.FilterPrefixes, FileName, begins) &&
           !anyPieceMatches(options.FilterSuffixes, FileName, ends);
}
