#include "engine/ResultMessages.h"

namespace {

struct CheckText {
    QString notify;
    QString log;
    bool Options::*option; // the error kind's own notification switch
};

CheckText checkText(CheckFailure failure) {
    using namespace ResultText;
    switch (failure) {
    case CheckFailure::SourceFileMissing:
        return {sourceFileMissing, sourceFileMissing, &Options::ErrorNoSource};
    case CheckFailure::Loop:
        return {loop, loop, &Options::ErrorLoop};
    case CheckFailure::SourceDriveMissing:
        return {sourceDriveMissing, sourceDriveMissing, &Options::ErrorNoSource};
    case CheckFailure::SourceDriveNotReady:
        return {sourceDriveNotReady, sourceDriveNotReady, &Options::ErrorNoSource};
    case CheckFailure::SourceVolumeMismatch:
        return {sourceVolumeMismatch, sourceVolumeMismatch, &Options::ErrorSourceVol};
    case CheckFailure::RemoteDestMissing:
        return {remoteDestMissing, remoteDestMissing, &Options::ErrorNoDest};
    case CheckFailure::RemoteDestNotReady:
        return {remoteDestNotReady, logRemoteDestNotReady, &Options::ErrorNoDest};
    case CheckFailure::DestShareMissing:
        return {destShareMissing, destShareMissing, &Options::ErrorNoDest};
    case CheckFailure::DestDriveMissing:
        return {destDriveMissing, destDriveMissing, &Options::ErrorNoDest};
    case CheckFailure::DestDriveNotReady:
        return {destDriveNotReady, destDriveNotReady, &Options::ErrorNoDest};
    case CheckFailure::DestVolumeMismatch:
        return {destVolumeMismatch, destVolumeMismatch, &Options::ErrorDestVol};
    case CheckFailure::LinkInDestination:
        return {linkInDestination, linkInDestination, &Options::ErrorCreateFolder};
    case CheckFailure::OtherUsersFolder:
        return {otherUsersFolder, otherUsersFolder, &Options::ErrorCreateFolder};
    case CheckFailure::PlaceTaken:
        return {placeTaken, placeTaken, &Options::ErrorLoop};
    case CheckFailure::FeedsItsOrigin:
        return {feedsItsOrigin, feedsItsOrigin, &Options::ErrorLoop};
    case CheckFailure::VersionsNotRotated:
        return {storeFailed, storeFailed, &Options::ErrorPrevSave};
    case CheckFailure::CantCreateFolders:
    case CheckFailure::None:
        break;
    }
    return {cantCreateFolders, cantCreateFolders, &Options::ErrorCreateFolder};
}

ResultChoice copyDone(const CopyOutcome& outcome, const NotifySwitches& notify,
                      const Options& options) {
    using namespace ResultText;
    ResultChoice r;
    r.success = true;
    if (outcome.keepBackup && outcome.storeFailed) {
        r.error = true;
        r.logText = logCopySavedStoreFailed;
        if (notify.success && notify.error)
            r.notifyText = options.ErrorPrevSave ? copySavedStoreFailed : copySaved;
        else if (notify.error && options.ErrorPrevSave)
            r.notifyText = storeFailed;
        else if (notify.success)
            r.notifyText = copySaved;
    } else if (outcome.keepBackup && outcome.previousStored) {
        r.logText = logCopySavedPreviousStored;
        if (notify.success)
            r.notifyText = copySavedPreviousStored;
    } else {
        r.logText = logCopySaved;
        if (notify.success)
            r.notifyText = copySaved;
    }
    return r;
}

ResultChoice copyFailed(const CopyOutcome& outcome, const NotifySwitches& notify,
                        const Options& options) {
    using namespace ResultText;
    const QString& c = outcome.copyErrorText;
    ResultChoice r;
    r.error = true;
    if (outcome.keepBackup && outcome.storeFailed) {
        r.logText = c + andStoreFailed;
        if (notify.error && options.ErrorCopyFailed && options.ErrorPrevSave)
            r.notifyText = c + andStoreFailed;
        else if (notify.error && options.ErrorPrevSave)
            r.notifyText = storeFailed;
        else if (notify.error && options.ErrorCopyFailed)
            r.notifyText = c;
    } else if (outcome.keepBackup && outcome.previousStored) {
        // The earlier copy is safe among the versions, which is itself a success worth telling.
        r.success = true;
        r.logText = c + andPreviousStored;
        if (notify.error && notify.success)
            r.notifyText = options.ErrorCopyFailed ? c + andPreviousStored : previousStored;
        else if (notify.error && options.ErrorCopyFailed)
            r.notifyText = c;
        else if (notify.success)
            r.notifyText = previousStored;
    } else {
        r.logText = c;
        if (notify.error && options.ErrorCopyFailed)
            r.notifyText = c;
    }
    return r;
}

} // namespace

ResultChoice chooseCheckResult(CheckFailure failure, const NotifySwitches& notify,
                               const Options& options) {
    const CheckText text = checkText(failure);
    ResultChoice r;
    r.error = true;
    r.logText = text.log;
    if (notify.error && options.*text.option)
        r.notifyText = text.notify;
    return r;
}

ResultChoice chooseCopyResult(const CopyOutcome& outcome, const NotifySwitches& notify,
                              const Options& options) {
    return outcome.copyErrorText.isEmpty() ? copyDone(outcome, notify, options)
                                           : copyFailed(outcome, notify, options);
}

QString destinationVolumeText(const QString& expected, const QString& found) {
    if (found.isEmpty())
        return expected;
    if (found.compare(expected, Qt::CaseInsensitive) == 0)
        return found;
    return (expected.isEmpty() ? QStringLiteral("no name") : expected) +
           QStringLiteral(" (the drive holds ") + found + QLatin1Char(')');
}
