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
        return {SourceFileMissing, SourceFileMissing, &Options::ErrorNoSource};
    case CheckFailure::Loop:
        return {Loop, Loop, &Options::ErrorLoop};
    case CheckFailure::SourceDriveMissing:
        return {SourceDriveMissing, SourceDriveMissing, &Options::ErrorNoSource};
    case CheckFailure::SourceDriveNotReady:
        return {SourceDriveNotReady, SourceDriveNotReady, &Options::ErrorNoSource};
    case CheckFailure::SourceVolumeMismatch:
        return {SourceVolumeMismatch, SourceVolumeMismatch, &Options::ErrorSourceVol};
    case CheckFailure::RemoteDestMissing:
        return {RemoteDestMissing, RemoteDestMissing, &Options::ErrorNoDest};
    case CheckFailure::RemoteDestNotReady:
        return {RemoteDestNotReady, LogRemoteDestNotReady, &Options::ErrorNoDest};
    case CheckFailure::DestShareMissing:
        return {DestShareMissing, DestShareMissing, &Options::ErrorNoDest};
    case CheckFailure::DestDriveMissing:
        return {DestDriveMissing, DestDriveMissing, &Options::ErrorNoDest};
    case CheckFailure::DestDriveNotReady:
        return {DestDriveNotReady, DestDriveNotReady, &Options::ErrorNoDest};
    case CheckFailure::DestVolumeMismatch:
        return {DestVolumeMismatch, DestVolumeMismatch, &Options::ErrorDestVol};
    case CheckFailure::VersionsNotRotated:
        return {StoreFailed, StoreFailed, &Options::ErrorPrevSave};
    case CheckFailure::CantCreateFolders:
    case CheckFailure::None:
        break;
    }
    return {CantCreateFolders, CantCreateFolders, &Options::ErrorCreateFolder};
}

ResultChoice copyDone(const CopyOutcome& outcome, const NotifySwitches& notify,
                      const Options& options) {
    using namespace ResultText;
    ResultChoice r;
    r.success = true;
    if (outcome.keepBackup && outcome.storeFailed) {
        r.error = true;
        r.logText = LogCopySavedStoreFailed;
        if (notify.success && notify.error)
            r.notifyText = options.ErrorPrevSave ? CopySavedStoreFailed : CopySaved;
        else if (notify.error && options.ErrorPrevSave)
            r.notifyText = StoreFailed;
        else if (notify.success)
            r.notifyText = CopySaved;
    } else if (outcome.keepBackup && outcome.previousStored) {
        r.logText = LogCopySavedPreviousStored;
        if (notify.success)
            r.notifyText = CopySavedPreviousStored;
    } else {
        r.logText = LogCopySaved;
        if (notify.success)
            r.notifyText = CopySaved;
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
        r.logText = c + AndStoreFailed;
        if (notify.error && options.ErrorCopyFailed && options.ErrorPrevSave)
            r.notifyText = c + AndStoreFailed;
        else if (notify.error && options.ErrorPrevSave)
            r.notifyText = StoreFailed;
        else if (notify.error && options.ErrorCopyFailed)
            r.notifyText = c;
    } else if (outcome.keepBackup && outcome.previousStored) {
        // The earlier copy is safe among the versions, which is itself a success worth telling.
        r.success = true;
        r.logText = c + AndPreviousStored;
        if (notify.error && notify.success)
            r.notifyText = options.ErrorCopyFailed ? c + AndPreviousStored : PreviousStored;
        else if (notify.error && options.ErrorCopyFailed)
            r.notifyText = c;
        else if (notify.success)
            r.notifyText = PreviousStored;
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
