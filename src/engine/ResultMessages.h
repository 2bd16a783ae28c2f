#pragma once
// Every text the copy engine logs or queues, named once, and the choice of the texts for one
// destination's outcome. The odd spellings are part of what users and their filters have seen
// for years, so they stay exactly as they are.

#include "persistence/Options.h"

#include <QString>
#include <optional>

namespace ResultText {

// Copy outcomes.
inline const QString CopySaved = QStringLiteral("Copy saved");
inline const QString LogCopySaved = QStringLiteral("Success: Copy saved");
inline const QString CopySavedPreviousStored =
    QStringLiteral("Copy saved && Previous version stored");
inline const QString LogCopySavedPreviousStored =
    QStringLiteral("Success: Copy saved & Previous version stored");
inline const QString PreviousStored = QStringLiteral("Previous version stored");
inline const QString AndPreviousStored = QStringLiteral("... Previous version stored");
inline const QString StoreFailed = QStringLiteral("Error: Previous version store unsuccessful");
inline const QString AndStoreFailed =
    QStringLiteral("... Error: Previous version store unsuccessful");
inline const QString CopySavedStoreFailed =
    QStringLiteral("Copy saved... Error: Previous version store unsuccessful");
inline const QString LogCopySavedStoreFailed =
    QStringLiteral("Success: Copy saved... Error: Previous version store unsuccesful");

// Why a copy failed (the copy error text).
inline const QString BusyTimedOut = QStringLiteral("Error: File was busy and timed out");
inline const QString DiskFull = QStringLiteral("Error: Disk is full");
inline const QString CopyError = QStringLiteral("Error occurred in copy");

// Said once when a busy source file starts being retried.
inline const QString BusyDelay = QStringLiteral("Delay: Permission required...");

// A file whose name the filters block.
inline const QString FilteredOut = QStringLiteral("(File skipped due to filter option settings.)");

// Check failures.
inline const QString SourceFileMissing = QStringLiteral("Error: Source file no longer exists");
inline const QString Loop = QStringLiteral("Error: Would save into recursive source folder");
inline const QString SourceDriveMissing = QStringLiteral("Error: Source drive no longer exists");
inline const QString SourceDriveNotReady = QStringLiteral("Error: Source drive not ready");
inline const QString SourceVolumeMismatch = QStringLiteral("Error: Source volume name mismatch");
inline const QString RemoteDestMissing =
    QStringLiteral("Error: Remote destination drive does not exist");
inline const QString RemoteDestNotReady =
    QStringLiteral("Error: Remote destination drive is not ready");
inline const QString LogRemoteDestNotReady =
    QStringLiteral("Error: Remove destination drive is not ready");
inline const QString DestShareMissing =
    QStringLiteral("Error: Destination network share does not exist");
inline const QString DestDriveMissing = QStringLiteral("Error: Destination drive no longer exists");
inline const QString DestDriveNotReady = QStringLiteral("Error: Destination drive not ready");
inline const QString DestVolumeMismatch = QStringLiteral("Error: Destination volume name mismatch");
inline const QString CantCreateFolders = QStringLiteral("Error: Can't create destination folders");

} // namespace ResultText

// A check that stopped a destination before its copy.
enum class CheckFailure {
    None,
    SourceFileMissing,
    Loop,
    SourceDriveMissing,
    SourceDriveNotReady,
    SourceVolumeMismatch,
    RemoteDestMissing,
    RemoteDestNotReady,
    DestShareMissing,
    DestDriveMissing,
    DestDriveNotReady,
    DestVolumeMismatch,
    CantCreateFolders,
    // Not a check, but ends the destination the same way: the previous versions could not be
    // rotated, so the new copy was not put in place.
    VersionsNotRotated,
};

// What one result puts into the log, the notification queue and the tray animation.
struct ResultChoice {
    QString logText;
    std::optional<QString> notifyText; // queued only when set
    bool success = false;              // counts towards the nod
    bool error = false;                // counts towards the shake
};

// The association's notification switches, each already combined with the program's
// "disabled" option.
struct NotifySwitches {
    bool success = false;
    bool error = false;
};

// How a destination that reached its copy came out.
struct CopyOutcome {
    bool keepBackup = false;     // the association keeps previous versions
    bool previousStored = false; // an earlier copy existed and went into the first version folder
    bool storeFailed = false;    // the first version folder could not be made
    QString copyErrorText;       // empty when the copy was done
};

ResultChoice chooseCheckResult(CheckFailure failure, const NotifySwitches& notify,
                               const Options& options);
ResultChoice chooseCopyResult(const CopyOutcome& outcome, const NotifySwitches& notify,
                              const Options& options);
