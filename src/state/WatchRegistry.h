#pragma once
// The open folder watches, addressed by the ids stored in clsDetectFolder::AutoBackup. Ids are
// always greater than 0, so no real file descriptor can be mistaken for "closed" (0) or
// "failed" (-1).

#include "platform/ChangeWatch.h"

#include <QString>
#include <map>
#include <memory>

class WatchRegistry {
public:
    WatchRegistry();
    ~WatchRegistry();

    // Opens a watch on `folder` (and its sub-folders, also those made later, when `subtree`).
    // Returns its id (> 0), or -1 when it cannot be opened.
    qint32 open(const QString& folder, bool subtree);
    void close(qint32 id);
    void closeAll();
    // True when the watch has signalled within `timeoutMs` (0: poll without blocking).
    bool wait(qint32 id, int timeoutMs);
    // Re-arms a watch: drains its pending events, adding watches for new sub-folders.
    void rearm(qint32 id);
    int openCount() const { return int(m_watches.size()); }

    // The system's watch limit was reached at least once (reported once, as a warning); the
    // folders watched before stay watched.
    bool watchLimitReached() const { return m_limitReached; }
    // Test seam: makes chosen folder watches fail as the system would (see ChangeWatch).
    void setWatchFault(ChangeWatch::WatchFault fault) { m_fault = std::move(fault); }

private:
    void noteLimit(const ChangeWatch& watch);

    std::map<qint32, std::unique_ptr<ChangeWatch>> m_watches;
    qint32 m_nextId = 1;
    bool m_limitReached = false;
    ChangeWatch::WatchFault m_fault;
};
