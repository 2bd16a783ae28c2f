#pragma once
// Copies one changed source file to every destination of its association: the mirrored
// destination folder, the loop test, the source and destination checks, previous-version
// storage, the copy with busy retries, and one result per destination into the activity log
// and, under its switches, the notification queue; then the tray animation and the popup.

#include "engine/Engine.h"
#include "engine/ResultMessages.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

class AppState;
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

    // Never throws. A previous-version rotation that stops part-way ends the call without results
    // for this and the later destinations; so does any other unexpected failure.
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath,
                            const CopyScope& scope = {});
    bool PassesFilters(const QString& FileName) const;

    bool BusyActive = false;
    bool BusyTimedOut = false;
    QTimer tmrSourceBusy; // its tick only sets BusyTimedOut

private:
    // Kept across the destinations of one call.
    struct CallState {
        NotifySwitches notify;
        bool AnySuccess = false;
        bool AnyError = false;
    };
    // Starts afresh for every destination.
    struct DestinationState {
        QString DestDir;
        QString SourceVolumeName;
        QString DestVolumeName;
        CopyOutcome outcome;
    };

    void copyToAll(const QString& SourceRoot, int AssocIndex, const QString& FilePath,
                   const CopyScope& scope);
    // False when the call has to end at once (the previous versions could not be rotated).
    bool serveDestination(CallState& call, const clsBackup& association,
                          const clsDestination& destination, const QString& SourceRoot,
                          const QString& FilePath);
    // False when the rotation stopped part-way: the call ends without further results.
    bool storePreviousVersion(const clsBackup& association, DestinationState& dest,
                              const QString& FilePath);
    void copyWithBusyRetries(CallState& call, DestinationState& dest, const QString& FilePath);
    void announceBusy(const CallState& call, const DestinationState& dest, const QString& FilePath);
    void endBusyWait();
    void finishCall(const CallState& call);

    void report(CallState& call, const DestinationState& dest, const QString& FilePath,
                const ResultChoice& result);
    void log(const QString& SourcePath, const QString& SourceVolume, const QString& DestPath,
             const QString& DestVolume, const QString& Message);
    void boundRecentLog();
    QString nowText() const;

    AppState& m_state;
    const EngineTiming& m_timing;
};
