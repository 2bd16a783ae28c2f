#pragma once
// The open folder watches, addressed by the ids stored in clsDetectFolder::AutoBackup. Ids are
// always greater than 0, so no real file descriptor can be mistaken for "closed" (0) or
// "failed" (-1). A watch whose folder goes away keeps its id and is opened again when the folder
// is back, so that the records never notice.

#include "platform/ChangeWatch.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

class WatchRegistry : public QObject {
    Q_OBJECT
public:
    WatchRegistry();
    ~WatchRegistry() override;

    // Opens a watch on `folder` (and its sub-folders, also those made later, when `subtree`;
    // hidden ones only unless `skipHiddenFolders`). Returns its id (> 0), or -1 when it cannot
    // be opened.
    qint32 open(const QString& folder, bool subtree, bool skipHiddenFolders = false);
    void close(qint32 id);
    void closeAll();
    // True when the watch has signalled within `timeoutMs` (0: poll without blocking).
    bool wait(qint32 id, int timeoutMs);
    // Told from the event loop when the system has events for the watches; the listener reads
    // them with readSignalled(). Nothing polls: without events the program sleeps.
    std::function<void()> onEvents;
    // Reads the waiting events and hands out the ids of the watches that gained changes.
    std::vector<qint32> readSignalled();
    // Re-arms a watch: takes its pending changes into the batch that takeChanges() hands out.
    void rearm(qint32 id);
    ChangeBatch takeChanges(qint32 id);
    // After a mount-table change: a watch whose path now leads to another folder (a file system
    // mounted over it, or unmounted from under it) is opened anew, and one that went away is
    // looked at again at once.
    void recheckFolders();
    int openCount() const { return int(m_watches.size()); }
    // The folder the watch `id` was opened on; empty for an unknown id.
    QString folderOf(qint32 id) const;
    // True when the watch `id` is open and covers what open() with these arguments would.
    bool covers(qint32 id, bool subtree, bool skipHiddenFolders) const;
    // The folders below it that the watch could not cover (the system's limit).
    QStringList unwatchedFolders(qint32 id) const;

    // The system's watch limit was reached at least once; the folders watched before stay
    // watched. The first time, onLimitReached hears which folder is not fully watched.
    bool watchLimitReached() const { return m_limitReached; }
    std::function<void(const QString& folder)> onLimitReached;
    // A watched folder that had gone away is watched again (it may hold changes nobody saw).
    // While one is away it is looked for once a second.
    std::function<void(const QString& folder)> onReturned;

    // Test seams: make chosen folder watches fail as the system would (see ChangeWatch), and
    // lower the number of named paths a watch keeps before it asks for a walk.
    void setWatchFault(ChangeWatch::WatchFault fault) { m_fault = std::move(fault); }
    void setMaxPendingPaths(int paths) { m_maxPendingPaths = paths; }

private:
    struct Entry {
        QString folder;
        ChangeWatch::Scope scope;
        std::unique_ptr<ChangeWatch> watch;
    };

    ChangeWatch::Scope scopeFor(bool subtree, bool skipHiddenFolders) const;
    bool reopen(qint32 id, Entry& entry);
    void lookForReturns();
    void noteLimit(const Entry& entry);
    void forget(qint32 id);
    // Follows the system's event descriptor, which goes when the last watch closes.
    void followEventDescriptor();

    std::map<qint32, Entry> m_watches;
    std::unordered_map<const ChangeWatch*, qint32> m_ids;
    std::unique_ptr<QSocketNotifier> m_events;
    int m_eventsFd = -1;
    QTimer m_returnLook;
    qint32 m_nextId = 1;
    bool m_limitReached = false;
    int m_maxPendingPaths = 0;
    ChangeWatch::WatchFault m_fault;
};
