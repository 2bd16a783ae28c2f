#pragma once
// Whether each association is backed up right now. A backup that silently does not happen looks
// exactly like one that does, so the state is kept from what the engine reports: the result of
// every copy, each look a destination's worker took at its disk, the workers that stopped
// answering, the changes that settle, the pause. Nothing here looks at a destination disk (a
// hung network disk would freeze the window); only the sources, which the window's thread
// watches anyway, and the mount table are read.
//
// The states, the first that applies: the source is missing, the association is disabled, it
// has no destination, the program is paused, a destination is behind (not connected, another
// disk in its place, read-only, full, failing, not responding), a change is pending, protected.
// A state that lasts (behind for a day, paused for an hour, no destination) is said once.

#include "engine/ResultMessages.h"
#include "platform/MountTable.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppState;
class clsBackup;
class colBackups;
class clsDestination;

enum class Protection {
    Protected,
    Pending,
    Behind,
    Paused,
    NoDestination,
    Disabled,
    SourceMissing
};

// Why a destination cannot be written.
enum class Trouble { None, NotConnected, OtherDisk, ReadOnly, Full, Failing, NotResponding };

struct DestinationState {
    QString path;
    QString volume;
    Trouble trouble = Trouble::None;
    QDateTime since;      // when the trouble began
    QString message;      // the failure the log showed last
    int filesWaiting = 0; // copies that failed and wait to be tried again
    QDateTime lastCopy;   // the newest copy that landed there in this run
};

struct AssociationState {
    QString sourcePath;
    Protection protection = Protection::Protected;
    QDateTime since; // of the pause or of the oldest trouble
    QDateTime lastBackup;
    std::vector<DestinationState> destinations;

    // The user has nothing to worry about: it is protected, or a change is on its way.
    bool fine() const {
        return protection == Protection::Protected || protection == Protection::Pending;
    }
};

// What one look at every association found, for the tray's look and tool tip.
struct StatusTally {
    qsizetype associations = 0;
    qsizetype enabled = 0; // neither disabled nor with the source missing
    qsizetype fine = 0;
    qsizetype pending = 0;
    qsizetype noDestination = 0;
    qsizetype sourceMissing = 0;
    qsizetype behind = 0;  // the others that need the user
    bool troubled = false; // any of them needs the user
    std::optional<AssociationState> firstBehind;
    QDateTime lastCopy;

    void add(const AssociationState& state);
};

class ProtectionStatus : public QObject {
    Q_OBJECT
public:
    struct Timing {
        qint64 behindLastsSecs = 24 * 3600; // behind this long: said once
        qint64 pausedLastsSecs = 3600;      // paused this long: said once
        int refreshMs = 60 * 1000;          // relative times and lasting states move on
        int gatherMs = 200;                 // a burst of reports makes one change
        int sliceMs = 20; // a look at many associations or sources hands the window back
    };

    explicit ProtectionStatus(AppState& state);
    ProtectionStatus(AppState& state, Timing timing);
    ~ProtectionStatus() override;

    // --- what the engine reports
    void copyEnded(const QString& sourceRoot, const QString& filePath,
                   const QString& destinationPath, bool ok, const QString& message);
    // The destination's worker looked at its disk.
    void diskChecked(const QString& destinationPath, CheckFailure failure);
    // The worker of the destination's disk stopped or started answering.
    void diskResponding(const QString& destinationPath, bool responding);
    void changeNoted(const QString& sourceKey);
    // Nothing is settling, queued or being copied any more.
    void engineIdle();
    void pausedChanged(bool paused);
    // The start brought back a pause: it has lasted since the last run already.
    void pauseRestored();
    // Associations or destinations were added, edited or removed, a disk came or went, or a
    // watched folder came back: the sources are looked at again.
    void associationsChanged();
    // Copies that the engine no longer tries again (the file went, the association changed)
    // leave the count of waiting files: `stillWaiting(file, destination)` says which still wait.
    void setWaitingCheck(std::function<bool(const QString&, const QString&)> stillWaiting);

    // --- the state
    AssociationState stateOf(const clsBackup& association) const;
    std::vector<AssociationState> all() const;
    // What the last look at every association found.
    const StatusTally& tally() const { return m_tally; }
    bool paused() const;
    QDateTime pausedSince() const { return m_pausedSince; }
    // The last copy of each association that landed, to keep across runs.
    QHash<QString, QDateTime> lastBackups() const;
    void restoreLastBackups(const QHash<QString, QDateTime>& bySource);

    // Moves relative times on and says what has lasted, at once.
    void refresh();
    // The same with the sources looked at a slice at a time, so that the window answers
    // meanwhile however many there are (the start and the refresh timer run it).
    void refreshInSlices();

signals:
    // Something the user sees changed (gathered over a moment).
    void changed();
    // A state that lasts, said once: a title and a line per association.
    void lastingState(const QString& summary, const QString& body);

private:
    struct CopyFacts {
        QString destinationPath;
        QHash<QString, QString> waiting; // the files whose copy failed, by key
        Trouble trouble = Trouble::None;
        QDateTime since;
        QString message;
        QDateTime lastCopy;
    };
    struct DiskFacts {
        Trouble trouble = Trouble::None;
        QDateTime since;
        bool notResponding = false;
        QDateTime silentSince;
    };

    DestinationState destinationState(const QString& sourceKey,
                                      const clsDestination& destination) const;
    Trouble troubleOf(const QString& message, const QString& destinationPath) const;
    Trouble checkTrouble(CheckFailure failure, const QString& destinationPath) const;
    // From the mount table alone: asking the disk itself could hang the window.
    std::optional<MountEntry> mountOf(const QString& destinationPath) const;
    bool readOnly(const QString& destinationPath) const;
    void recheckSources();
    // Looks at the sources of the check under way until `sliceEnd`; true once all are seen.
    bool checkSources(const QDeadlineTimer& sliceEnd);
    void checkSourcesSlice();
    // Starts a look at every source; at its end the change is said at once, or with the others
    // of the moment (`gatherAfter`).
    void startSourceCheck(bool gatherAfter);
    bool pruneWaiting();
    // A look at every association, a slice at a time: it tallies their states and says what has
    // lasted, and at its end the change is shown. One asked for while a look is under way follows
    // it.
    void lookAtAll();
    void lookSlice();
    void beginLook();
    // Looks on until `sliceEnd`; true once every association is seen.
    bool lookOn(const QDeadlineTimer& sliceEnd);
    void noteLasting(const AssociationState& state);
    void endLook();
    void gather();
    template <class Step> void guarded(Step step);
    QDateTime now() const;

    AppState& m_state;
    Timing m_timing;
    MountTable m_mounts;
    QHash<QString, CopyFacts> m_copies; // by source key and destination key
    QHash<QString, DiskFacts> m_disks;  // by destination key
    QSet<QString> m_sourcesMissing;     // by source key
    QSet<QString> m_sourcesFailing;     // a copy found the source's drive away or another one
    QSet<QString> m_pending;            // by source key
    QHash<QString, QDateTime> m_lastBackup;
    QDateTime m_pausedSince;
    bool m_pauseRestored = false;
    std::function<bool(const QString&, const QString&)> m_stillWaiting;
    // What was said already: once per pause, per association without a destination, per
    // association behind since a moment.
    bool m_looked = false;
    bool m_pauseSaid = false;
    QHash<QString, QDateTime> m_noDestinationSince;
    QSet<QString> m_noDestinationSaid;
    QHash<QString, QDateTime> m_behindSaid;
    QTimer m_refresh;
    QTimer m_gather;
    StatusTally m_tally;

    // A pass over the association set a slice at a time. It holds the set it began with, so that
    // a set replaced or changed meanwhile shows (`outdated`) and is passed over from the start.
    struct SetWalk {
        std::shared_ptr<const colBackups> set;
        quint64 changes = 0;
        int next = 1;

        explicit SetWalk(const std::shared_ptr<colBackups>& current);
        bool outdated(const std::shared_ptr<colBackups>& current) const;
        // Visits the associations not visited yet until `sliceEnd` (at least one); true once
        // every one is visited.
        template <class Visit> bool on(const QDeadlineTimer& sliceEnd, Visit visit);
    };

    // A look at every association under way, and what it found so far.
    struct Look {
        explicit Look(const std::shared_ptr<colBackups>& current) : walk(current) {}
        SetWalk walk;
        QDateTime at;
        bool firstLook = false;
        qint64 tookMs = 0;
        StatusTally tally;
        QStringList withoutDestination, behind;
        QHash<QString, QDateTime> noDestinationSince, behindSaid;
        QSet<QString> noDestinationSaid;
    };
    std::unique_ptr<Look> m_look;
    bool m_lookAgain = false;
    QTimer m_nextLookSlice;

    // A look at the sources under way, and the drives and folders asked so far.
    struct SourceCheck {
        explicit SourceCheck(const std::shared_ptr<colBackups>& current) : walk(current) {}
        SetWalk walk;
        QHash<QString, bool> driveServes;
        QHash<QString, QString> driveOfFolder;
        QSet<QString> missing;
    };
    std::unique_ptr<SourceCheck> m_sourceCheck;
    bool m_gatherAfterCheck = false;
    QTimer m_nextSourceSlice;
};
