#pragma once
// Every text the copy engine logs or queues, named once, and the choice of the texts for one
// destination's outcome. The odd spellings are part of what users and their filters have seen
// for years, so they stay exactly as they are.

#include "persistence/Options.h"

#include <QString>
#include <optional>

namespace ResultText {

// Copy outcomes.
inline const QString copySaved = QStringLiteral("Copy saved");
inline const QString logCopySaved = QStringLiteral("Success: Copy saved");
inline const QString copySavedPreviousStored =
    QStringLiteral("Copy saved && Previous version stored");
inline const QString logCopySavedPreviousStored =
    QStringLiteral("Success: Copy saved & Previous version stored");
inline const QString previousStored = QStringLiteral("Previous version stored");
inline const QString andPreviousStored = QStringLiteral("... Previous version stored");
inline const QString storeFailed = QStringLiteral("Error: Previous version store unsuccessful");
inline const QString andStoreFailed =
    QStringLiteral("... Error: Previous version store unsuccessful");
inline const QString copySavedStoreFailed =
    QStringLiteral("Copy saved... Error: Previous version store unsuccessful");
inline const QString logCopySavedStoreFailed =
    QStringLiteral("Success: Copy saved... Error: Previous version store unsuccesful");

// Why a copy failed (the copy error text).
inline const QString busyTimedOut = QStringLiteral("Error: File was busy and timed out");
inline const QString diskFull = QStringLiteral("Error: Disk is full");
inline const QString copyError = QStringLiteral("Error occurred in copy");

// Said once when a busy source file starts being retried.
inline const QString busyDelay = QStringLiteral("Delay: Permission required...");

// A destination disk that made no progress for a long while, and its return. Its copies wait.
inline const QString destNotResponding =
    QStringLiteral("Error: Destination disk not responding; its copies wait");
inline const QString destRespondingAgain = QStringLiteral("Destination disk responding again");

// A file whose name the filters block.
inline const QString filteredOut = QStringLiteral("(File skipped due to filter option settings.)");

// A source name that a version folder could have is backed up under another name, so that the
// user's file and the kept versions never mix (the name, then its name in the backup).
inline const QString renamedInMirror =
    QStringLiteral("Note: \"%1\" is backed up as \"%2\", apart from the previous-version folders");

// Check failures.
inline const QString sourceFileMissing = QStringLiteral("Error: Source file no longer exists");
inline const QString loop = QStringLiteral("Error: Would save into recursive source folder");
inline const QString sourceDriveMissing = QStringLiteral("Error: Source drive no longer exists");
inline const QString sourceDriveNotReady = QStringLiteral("Error: Source drive not ready");
inline const QString sourceVolumeMismatch = QStringLiteral("Error: Source volume name mismatch");
inline const QString remoteDestMissing =
    QStringLiteral("Error: Remote destination drive does not exist");
inline const QString remoteDestNotReady =
    QStringLiteral("Error: Remote destination drive is not ready");
inline const QString logRemoteDestNotReady =
    QStringLiteral("Error: Remove destination drive is not ready");
inline const QString destShareMissing =
    QStringLiteral("Error: Destination network share does not exist");
inline const QString destDriveMissing = QStringLiteral("Error: Destination drive no longer exists");
inline const QString destDriveNotReady = QStringLiteral("Error: Destination drive not ready");
inline const QString destVolumeMismatch = QStringLiteral("Error: Destination volume name mismatch");
inline const QString cantCreateFolders = QStringLiteral("Error: Can't create destination folders");
// Below the destination folder, only what is this user's own is entered.
inline const QString linkInDestination =
    QStringLiteral("Error: Destination holds a link where a folder belongs; not followed");
inline const QString otherUsersFolder =
    QStringLiteral("Error: Destination folder belongs to another user; not used");
inline const QString placeTaken =
    QStringLiteral("Error: Not copied, another association's backup is in that place");
inline const QString feedsItsOrigin =
    QStringLiteral("Error: Not copied, it is a copy and would go back into its own source");

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
    LinkInDestination, // a link stands where a mirrored or version folder belongs
    OtherUsersFolder,  // a mirrored or version folder belongs to another user
    PlaceTaken,        // an earlier association's backup stands there for another source file
    FeedsItsOrigin,    // the file is a copy, and this copy would land in a source it came from
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

// The destination volume a result names: the volume the destination's disk must carry, and the
// one found in its place when that is another ("BACKUP_B (the drive holds BACKUP_A)"), so that
// the results of two destinations are told apart.
QString destinationVolumeText(const QString& expected, const QString& found);

ResultChoice chooseCheckResult(CheckFailure failure, const NotifySwitches& notify,
                               const Options& options);
ResultChoice chooseCopyResult(const CopyOutcome& outcome, const NotifySwitches& notify,
                              const Options& options);
