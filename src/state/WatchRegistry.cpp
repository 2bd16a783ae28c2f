#include "state/WatchRegistry.h"

#include <QtGlobal>
#include <limits>

WatchRegistry::WatchRegistry() = default;

WatchRegistry::~WatchRegistry() = default;

qint32 WatchRegistry::open(const QString& folder, bool subtree) {
    std::unique_ptr<ChangeWatch> watch = ChangeWatch::open(folder, subtree, m_fault);
    noteLimit(*watch);
    if (!watch->isOpen())
        return -1;
    // Ids only grow (wrapping after 2^31 opens, past those in use), so the id that a scan pass
    // still holds for a watch replaced meanwhile does not name the replacement.
    qint32 id;
    do {
        id = m_nextId;
        m_nextId = m_nextId == std::numeric_limits<qint32>::max() ? 1 : m_nextId + 1;
    } while (m_watches.count(id));
    m_watches.emplace(id, std::move(watch));
    return id;
}

void WatchRegistry::close(qint32 id) {
    m_watches.erase(id);
}

void WatchRegistry::closeAll() {
    m_watches.clear();
}

bool WatchRegistry::wait(qint32 id, int timeoutMs) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end())
        return false;
    const bool signalled = it->second->wait(timeoutMs);
    noteLimit(*it->second);
    return signalled;
}

void WatchRegistry::rearm(qint32 id) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end())
        return;
    it->second->rearm();
    noteLimit(*it->second);
}

void WatchRegistry::noteLimit(const ChangeWatch& watch) {
    if (!watch.limitReached() || m_limitReached)
        return;
    m_limitReached = true;
    qWarning("Quillmot: the system's limit on watched folders is reached "
             "(fs.inotify.max_user_watches, max_user_instances); folders watched so far stay "
             "watched, changes in the others are not seen");
}
