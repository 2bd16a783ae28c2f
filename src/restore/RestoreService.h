#pragma once
// The looks at the backups and the restores, each run on a thread of its own so that the window's
// thread never touches a destination: a network disk that stops answering holds up only the job
// that waits for it, never the window. Every job reads only the values it was given; its result
// comes back as a queued call on the service's thread, where the signals are emitted. Once the
// service is gone, nothing a job finishes is delivered.

#include "restore/RestoreRun.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class FileSystem;

// What a folder picked to receive a restore holds.
struct TargetState {
    bool exists = false;
    bool empty = true;
    bool insideBackup = false;
};

class RestoreService : public QObject {
    Q_OBJECT
public:
    explicit RestoreService(QObject* parent = nullptr);
    // Asks the jobs under way to stop and never waits for them: a job holds only what it was
    // given and the state it shares with the other jobs, so one stuck on a disk that does not
    // answer ends on its own, whenever that is.
    ~RestoreService() override;

    // Each returns the job's number, which its result carries.
    quint64 listTree(const BackupSet& set);
    quint64 listCopies(const BackupSet& set, const QString& sourceFile);
    quint64 compareContent(const KeptCopy& copy, const QString& sourcePath);
    quint64 inspectTarget(const BackupSet& set, const QString& folder);
    quint64 restore(const RestoreRequest& request);
    // Writes `copy` as a read-only file named `name` into the private folder `folder`.
    quint64 extract(const BackupSet& set, const KeptCopy& copy, const QString& folder,
                    const QString& name);
    // Asks every job under way to stop at its next step.
    void cancelAll();
    // Jobs under way.
    int running() const;

signals:
    void treeListed(quint64 job, const BackedUpTree& tree);
    void copiesListed(quint64 job, const FileCopies& copies);
    void contentCompared(quint64 job, bool same);
    void targetInspected(quint64 job, const TargetState& state);
    void progressed(quint64 job, const RestoreProgress& progress);
    void restored(quint64 job, const RestoreSummary& summary);
    // `path` of the file written, or empty with `error` saying why.
    void extracted(quint64 job, const QString& path, const QString& error);

private:
    struct Shared;
    // Hands a job's result to the service's thread, where it runs if the service still exists.
    using Deliver = std::function<void(std::function<void(RestoreService&)>)>;
    using Work = std::function<void(FileSystem&, const std::atomic<bool>& cancel, const Deliver&)>;
    // Runs `work` on a thread of its own; its number.
    quint64 start(Work work);

    std::shared_ptr<Shared> m_shared;
    quint64 m_nextJob = 1;
};
