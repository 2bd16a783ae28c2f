#pragma once
// Copies one changed source file to every destination of its association, each on the worker of
// its disk, and tells the user how each went: one result per destination into the activity log
// and, under its switches, the notification queue; once every destination has answered, the
// tray animation and the popup. A source file that another program holds is tried again once a
// second until the busy time-out, and a copy that failed is tried again later (RetryList).

#include "engine/DestinationCopy.h"
#include "engine/DestinationWorker.h"
#include "engine/Engine.h"
#include "engine/ResultMessages.h"
#include "engine/RetryList.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class AppState;
class DestinationWorkers;

// How far one call reaches; the default is a change the watch saw.
struct CopyScope {
    // Only the destinations with these paths; every destination of the association when unset.
    std::optional<QStringList> onlyDestinations;
    // False: success results go to the activity log only, never to the notification queue.
    bool successNotices = true;
    // A destination whose copy already has the file's size and time is left alone: the file
    // was found by a look at the times, not named by an event of its writer.
    bool onlyIfStale = false;
};

class CopyEngine : public QObject {
    Q_OBJECT
public:
    CopyEngine(AppState& state, const EngineTiming& timing, DestinationWorkers& workers,
               QObject* parent = nullptr);

    // Who owns which place is worked out once for every copy and catch-up until the
    // associations change: added or removed ones are seen by their collections' change counts,
    // changes in place (enabled, destinations edited) are told here.
    void associationsChanged() { m_owners.reset(); }
    // Takes ownership rules already worked out (on a worker, at start) for the associations and
    // destinations held now.
    void rememberOwners(std::shared_ptr<const BackupOwners::Owners> owners);

    // Who owns which place, for the copies of the association of `sourcePath`; read once per
    // round while one is under way.
    BackupOwners::Ownership ownershipOf(const QString& prevSaveName, const QString& sourcePath);

    // Never throws. Hands the file to the worker of each destination; the results come later.
    void CopyToDestinations(const QString& SourceRoot, int AssocIndex, const QString& FilePath,
                            const CopyScope& scope = {});
    void CopyToDestinations(const QString& SourceRoot, clsBackup& association,
                            const QString& FilePath, const CopyScope& scope);
    bool PassesFilters(const QString& FileName) const;

    // A worker's news about a copy.
    void onNews(const WorkerNews& news);
    // Copies asked for and not yet answered, or waiting to be tried again soon.
    bool busy() const;
    // True while the failed copy of `filePath` into `destinationPath` waits to be tried again.
    bool retrying(const QString& filePath, const QString& destinationPath) const {
        return m_retries.lastResult(filePath, destinationPath).has_value();
    }
    // Every failed copy is tried again now (a disk was mounted).
    void retryNow();
    // The exit: no copy is tried again.
    void stopRetries();

    // Told when a copy found the association's source or destination drive away (absent, not
    // ready, or another volume in its place): the copy waits for the drive's return.
    std::function<void(const QString& SourceRoot)> onDriveAway;

signals:
    // Every destination of one change has answered.
    void callFinished();
    // The source of a copy was written while it was read; nothing was kept.
    void sourceChanged(const QString& sourceRoot, const QString& filePath);
    // One destination of a copy of `filePath` ended; `ok` when the new copy is in place.
    void destinationDone(const QString& sourceRoot, const QString& filePath,
                         const QString& destinationPath, bool ok, const QString& message);

private:
    // One change of one file: its destinations report to it.
    struct Call {
        NotifySwitches notify;
        int waiting = 0;
        bool AnySuccess = false;
        bool AnyError = false;
        bool retry = false;         // a failed copy tried again: the same failure stays quiet
        bool busyAnnounced = false; // the busy notice was given for this change
        qint64 busySinceMs = -1;
    };

    Call callFor(const clsBackup& association, const CopyScope& scope) const;
    quint64 startCall(const clsBackup& association, const CopyScope& scope, bool retry = false);
    void submit(quint64 callId, const CopyJob& job);
    void onSaveDone(const WorkerNews& news);
    void onCatchUpCopied(const WorkerNews& news);
    void waitWhileBusy(quint64 callId, Call& call, const WorkerNews& news);
    void conclude(Call& call, const CopyJob& job, const DestinationReport& report);
    void endOneDestination(quint64 callId);
    void announceBusy(const Call& call, const CopyJob& job, const DestinationReport& dest);
    void finishCall(const Call& call);
    void noteForRetry(const CopyJob& job, const DestinationReport& report, const QString& message);
    void retryDue();
    void armRetryTimer();

    void report(Call& call, const CopyJob& job, const DestinationReport& dest,
                const ResultChoice& result);
    // Puts a notice about one destination of `job` into the notification queue.
    void queue(const CopyJob& job, const DestinationReport& dest, const QString& message);
    void log(const QString& sourcePath, const QString& sourceVolume, const QString& destPath,
             const QString& destVolume, const QString& message);
    void boundRecentLog();
    // Says once per association and name that a name like the version folders' is backed up
    // under a name of its own.
    void noteRenamed(const clsBackup& association, const QString& sourceRoot,
                     const QString& filePath);
    qint64 nowMs() const { return m_monotonic.elapsed(); }

    AppState& m_state;
    const EngineTiming& m_timing;
    DestinationWorkers& m_workers;
    std::unordered_map<quint64, Call> m_calls;
    quint64 m_nextCall = 1;
    int m_busyWaits = 0; // busy sources waiting for their next try
    RetryList m_retries;
    QTimer m_retryTimer;
    QElapsedTimer m_monotonic;
    bool m_stopped = false;
    QSet<QString> m_notedRenames; // association and source path keys, once said
    // The ownership rules, and what they were read from.
    struct KnownOwners {
        std::shared_ptr<const BackupOwners::Owners> owners;
        const colBackups* backups = nullptr;
        quint64 backupChanges = 0;
        const colDestinations* destinations = nullptr;
        quint64 destinationChanges = 0;
    };
    bool ownersAreCurrent(const QString& versionBase) const;
    std::optional<KnownOwners> m_owners;
};
