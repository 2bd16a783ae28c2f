#pragma once
// The open folder watches, addressed by the ids stored in clsDetectFolder::AutoBackup. Ids are
// always greater than 0, so no real file descriptor can be mistaken for "closed" (0) or
// "failed" (-1). A watch whose folder goes away keeps its id and is opened again when the folder
// is back, so that the records never notice.

#include "platform/ChangeWatch.h"

#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

class WatchRegistry {
public:
    WatchRegistry();
    ~WatchRegistry();

    // Opens a watch on `folder` (and its sub-folders, also those made later, when `subtree`;
    // hidden ones only unless `skipHiddenFolders`). Returns its id (> 0), or -1 when it cannot
    // be opened.
    qint32 open(const QString& folder, bool subtree, bool skipHiddenFolders = false);
    void close(qint32 id);
    void closeAll();
    // True when the watch has signalled within `timeoutMs` (0: poll without blocking). A watch
    // whose folder went away is looked at again here, at most once a second.
    bool wait(qint32 id, int timeoutMs);
    // Re-arms a watch: takes its pending changes into the batch that takeChanges() hands out.
    void rearm(qint32 id);
    // True when any open watch has signalled; one look at the system's events serves them all.
    bool anySignalled();
    ChangeBatch takeChanges(qint32 id);
    // After a mount-table change: a watch whose path now leads to another folder (a file system
    // mounted over it, or unmounted from under it) is opened anew, and one that went away is
    // looked at again at once.
    void recheckFolders();
    int openCount() const { return int(m_watches.size()); }

    // The system's watch limit was reached at least once; the folders watched before stay
    // watched. The first time, onLimitReached hears which folder is not fully watched.
    bool watchLimitReached() const { return m_limitReached; }
    std::function<void(const QString& folder)> onLimitReached;
    // A watched folder that had gone away is watched again (it may hold changes nobody saw).
    std::function<void(const QString& folder)> onReturned;

    // Test seams: make chosen folder watches fail as the system would (see ChangeWatch), and
    // lower the number of named paths a watch keeps before it asks for a walk.
    void setWatchFault(ChangeWatch::WatchFault fault) { m_fault = std::move(fault); }
    void setMaxPendingPaths(int paths) { m_maxPendingPaths = paths; }

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        QString folder;
        ChangeWatch::Scope scope;
        std::unique_ptr<ChangeWatch> watch;
        Clock::time_point lastLook;
    };

    ChangeWatch::Scope scopeFor(bool subtree, bool skipHiddenFolders) const;
    bool reopen(Entry& entry);
    void lookForReturn(Entry& entry, bool now);
    void noteLimit(const Entry& entry);

    std::map<qint32, Entry> m_watches;
    qint32 m_nextId = 1;
    bool m_limitReached = false;
    int m_maxPendingPaths = 0;
    ChangeWatch::WatchFault m_fault;
};
