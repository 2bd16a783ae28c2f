#pragma once
// Copies one changed source file to every destination of its association: the mirrored
// destination folder, the loop test, the source and destination checks, previous-version
// storage, the copy with busy retries, and one result per destination into the activity log
// and, under its switches, the notification queue; then the tray animation and the popup.

#include "engine/Engine.h"
#include "engine/ResultMessages.h"
#include "platform/DestinationFolder.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class AppState;
class StagedCopy;
class clsBackup;
class clsDestination;

// How far one call reaches; the default is a change the watch saw.
struct CopyScope {
    // Only the destinations with these paths; every destination of the association when unset.
    std::optional<QStringList> onlyDestinations;
    // False: success results go to the activity log only, never to the notification queue.
    bool successNotices = true;
};

class CopyEngine : public QObject {
    Q_OBJECT
public:
    CopyEngine(AppState& state, const EngineTiming& timing, QObject* parent = nullptr);

    // Never throws. Each destination gets its result, also when its previous versions could not
    // be rotated; an unexpected failure ends the call quietly. Once the exit is requested, the
    // copy under way stops (the old copy stays) and no further destination is served.
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath,
                            const CopyScope& scope = {});
    bool PassesFilters(const QString& FileName) const;

    // Told when a copy found the association's source or destination drive away (absent, not
    // ready, or another volume in its place): the copy waits for the drive's return.
    std::function<void(const QString& SourceRoot)> onDriveAway;

    bool BusyActive = false;
    bool BusyTimedOut = false;
    QTimer tmrSourceBusy; // its tick only sets BusyTimedOut

    // Test seam: runs after each step that changes a destination (the new copy's data complete
    // in its temporary file, each version moved, the old copy kept, the new copy in place), so a
    // test can kill the process there.
    std::function<void()> afterEachStep;

private:
    // Kept across the destinations of one call.
    struct CallState {
        NotifySwitches notify;
        bool AnySuccess = false;
        bool AnyError = false;
    };
    // Starts afresh for every destination.
    struct DestinationState {
        QString destFolder; // the destination as the user gave it
        QString destVolume; // the volume its disk must carry
        QString DestDir;
        QString localDir; // DestDir as the local file system reaches it
        QString SourceVolumeName;
        QString DestVolumeName;
        CopyOutcome outcome;
        DestinationFolder folder; // DestDir, open once the checks made it
        // The source was written to while it was read: no result yet, it is copied again once
        // its writer is done.
        bool sourceChanged = false;
    };

    void copyToAll(const QString& sourceRoot, int assocIndex, const QString& filePath,
                   const CopyScope& scope);
    void serveDestination(CallState& call, const clsBackup& association,
                          const clsDestination& destination, const QString& sourceRoot,
                          const QString& filePath);
    // Stores the old copy as the newest previous version and puts the staged copy in place.
    // A failure when the versions could not be rotated: nothing was replaced.
    CheckFailure storeAndReplace(const clsBackup& association, DestinationState& dest,
                                 const QString& filePath, StagedCopy& staged);
    void copyWithBusyRetries(CallState& call, DestinationState& dest, const QString& filePath,
                             StagedCopy& staged);
    void removeStaleTemporaries(const DestinationState& dest);
    void stepDone();
    void announceBusy(const CallState& call, const DestinationState& dest, const QString& filePath);
    void endBusyWait();
    void finishCall(const CallState& call);

    void report(CallState& call, const DestinationState& dest, const QString& filePath,
                const ResultChoice& result);
    // Puts a notice about `dest` into the notification queue.
    void queue(const DestinationState& dest, const QString& filePath, const QString& message);
    void log(const QString& sourcePath, const QString& sourceVolume, const QString& destPath,
             const QString& destVolume, const QString& message);
    void boundRecentLog();
    QString nowText() const;

    AppState& m_state;
    const EngineTiming& m_timing;
    // Folders already cleared of temporary files left by a killed run: only a crash leaves one,
    // so each folder is looked through once per run.
    QSet<QString> m_sweptFolders;
};
