#include "state/WatchRegistry.h"

#include "platform/Paths.h"

#include <QFile>
#include <QtGlobal>
#include <limits>
#include <sys/stat.h>

namespace {

// How often a watch whose folder went away looks for its return: well within the five seconds a
// user may expect, at the cost of one failed look-up a second while the folder is away.
constexpr auto returnLookInterval = std::chrono::seconds(1);

} // namespace

WatchRegistry::WatchRegistry() = default;

WatchRegistry::~WatchRegistry() = default;

ChangeWatch::Scope WatchRegistry::scopeFor(bool subtree, bool skipHiddenFolders) const {
    ChangeWatch::Scope scope;
    scope.subtree = subtree;
    scope.skipHidden = skipHiddenFolders;
    scope.maxPendingPaths = m_maxPendingPaths;
    scope.fault = m_fault;
    return scope;
}

qint32 WatchRegistry::open(const QString& folder, bool subtree, bool skipHiddenFolders) {
    Entry entry{folder, scopeFor(subtree, skipHiddenFolders), nullptr, Clock::now()};
    entry.watch = ChangeWatch::open(folder, entry.scope);
    noteLimit(entry);
    if (!entry.watch->isOpen())
        return -1;
    // Ids only grow (wrapping after 2^31 opens, past those in use), so the id that a scan pass
    // still holds for a watch replaced meanwhile does not name the replacement.
    qint32 id;
    do {
        id = m_nextId;
        m_nextId = m_nextId == std::numeric_limits<qint32>::max() ? 1 : m_nextId + 1;
    } while (m_watches.count(id));
    m_watches.emplace(id, std::move(entry));
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
    Entry& entry = it->second;
    if (!entry.watch->isOpen()) {
        lookForReturn(entry, false);
        return false;
    }
    const bool signalled = entry.watch->wait(timeoutMs);
    noteLimit(entry);
    return signalled;
}

bool WatchRegistry::anySignalled() {
    bool eventsRead = false;
    for (auto& [id, entry] : m_watches) {
        if (!entry.watch->isOpen())
            continue;
        if (!eventsRead) {
            // Polling one watch routes the events of all of them.
            eventsRead = true;
            if (entry.watch->wait(0))
                return true;
        } else if (entry.watch->signalled()) {
            return true;
        }
    }
    return false;
}

void WatchRegistry::rearm(qint32 id) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end())
        return;
    it->second.watch->rearm();
    noteLimit(it->second);
}

ChangeBatch WatchRegistry::takeChanges(qint32 id) {
    const auto it = m_watches.find(id);
    return it == m_watches.end() ? ChangeBatch{} : it->second.watch->take();
}

void WatchRegistry::recheckFolders() {
    for (auto& [id, entry] : m_watches) {
        // Reads what the watches were told, so that one whose file system went (the same device
        // may come back with the same numbers) knows it is gone.
        if (entry.watch->isOpen())
            entry.watch->wait(0);
        if (!entry.watch->isOpen()) {
            lookForReturn(entry, true);
            continue;
        }
        struct stat st {};
        const bool same = ::stat(Paths::toNative(entry.folder).constData(), &st) == 0 &&
                          quint64(st.st_dev) == entry.watch->topDevice() &&
                          quint64(st.st_ino) == entry.watch->topInode();
        if (!same && reopen(entry) && onReturned)
            onReturned(entry.folder);
    }
}

// A watch that was opened once and lost its folder comes back without a word while the folder
// is simply absent.
void WatchRegistry::lookForReturn(Entry& entry, bool now) {
    const Clock::time_point at = Clock::now();
    if (!now && at - entry.lastLook < returnLookInterval)
        return;
    entry.lastLook = at;
    if (reopen(entry) && onReturned)
        onReturned(entry.folder);
}

bool WatchRegistry::reopen(Entry& entry) {
    std::unique_ptr<ChangeWatch> watch = ChangeWatch::open(entry.folder, entry.scope);
    if (!watch->isOpen())
        return false;
    entry.watch = std::move(watch);
    noteLimit(entry);
    return true;
}

void WatchRegistry::noteLimit(const Entry& entry) {
    if (!entry.watch->limitReached() || m_limitReached)
        return;
    m_limitReached = true;
    if (onLimitReached)
        onLimitReached(entry.folder);
    else
        qWarning("Quillmot: the system's limit on watched folders is reached at %s",
                 qPrintable(entry.folder));
}
