#include "state/WatchRegistry.h"

#include "platform/Paths.h"

#include <QSocketNotifier>
#include <QtGlobal>
#include <limits>

namespace {

// How often a watch whose folder went away looks for its return: well within the five seconds a
// user may expect, at the cost of one failed look-up a second while the folder is away.
constexpr int returnLookMs = 1000;

} // namespace

WatchRegistry::WatchRegistry() {
    m_returnLook.setInterval(returnLookMs);
    connect(&m_returnLook, &QTimer::timeout, this, &WatchRegistry::lookForReturns);
}

WatchRegistry::~WatchRegistry() {
    m_events.reset();
}

ChangeWatch::Scope WatchRegistry::scopeFor(bool subtree, bool skipHiddenFolders) const {
    ChangeWatch::Scope scope;
    scope.subtree = subtree;
    scope.skipHidden = skipHiddenFolders;
    scope.maxPendingPaths = m_maxPendingPaths;
    scope.fault = m_fault;
    return scope;
}

qint32 WatchRegistry::open(const QString& folder, bool subtree, bool skipHiddenFolders) {
    Entry entry{folder, scopeFor(subtree, skipHiddenFolders), nullptr};
    entry.watch = ChangeWatch::open(folder, entry.scope);
    noteLimit(entry);
    if (!entry.watch->isOpen()) {
        followEventDescriptor();
        return -1;
    }
    // Ids only grow (wrapping after 2^31 opens, past those in use), so the id that a caller
    // still holds for a watch replaced meanwhile does not name the replacement.
    qint32 id;
    do {
        id = m_nextId;
        m_nextId = m_nextId == std::numeric_limits<qint32>::max() ? 1 : m_nextId + 1;
    } while (m_watches.count(id));
    m_ids[entry.watch.get()] = id;
    m_watches.emplace(id, std::move(entry));
    followEventDescriptor();
    return id;
}

void WatchRegistry::forget(qint32 id) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end())
        return;
    m_ids.erase(it->second.watch.get());
    m_watches.erase(it);
}

void WatchRegistry::close(qint32 id) {
    forget(id);
    followEventDescriptor();
}

void WatchRegistry::closeAll() {
    m_watches.clear();
    m_ids.clear();
    m_returnLook.stop();
    followEventDescriptor();
}

void WatchRegistry::followEventDescriptor() {
    const int fd = ChangeWatch::eventDescriptor();
    if (fd == m_eventsFd)
        return;
    m_events.reset();
    m_eventsFd = fd;
    if (fd < 0)
        return;
    m_events = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_events.get(), &QSocketNotifier::activated, this, [this] {
        if (onEvents)
            onEvents();
        else
            ChangeWatch::readEvents(); // nobody listens: the events must not pile up
    });
}

QString WatchRegistry::folderOf(qint32 id) const {
    const auto it = m_watches.find(id);
    return it == m_watches.end() ? QString() : it->second.folder;
}

bool WatchRegistry::covers(qint32 id, bool subtree, bool skipHiddenFolders) const {
    const auto it = m_watches.find(id);
    return it != m_watches.end() && it->second.watch->isOpen() &&
           it->second.scope.subtree == subtree && it->second.scope.skipHidden == skipHiddenFolders;
}

QStringList WatchRegistry::unwatchedFolders(qint32 id) const {
    const auto it = m_watches.find(id);
    return it == m_watches.end() ? QStringList() : it->second.watch->unwatchedFolders();
}

bool WatchRegistry::wait(qint32 id, int timeoutMs) {
    const auto it = m_watches.find(id);
    if (it == m_watches.end())
        return false;
    Entry& entry = it->second;
    if (!entry.watch->isOpen())
        return false;
    const bool signalled = entry.watch->wait(timeoutMs);
    noteLimit(entry);
    return signalled;
}

std::vector<qint32> WatchRegistry::readSignalled() {
    std::vector<qint32> ids;
    ChangeWatch::readEvents();
    for (const ChangeWatch* watch : ChangeWatch::takeSignalled()) {
        const auto it = m_ids.find(watch);
        if (it == m_ids.end())
            continue;
        Entry& entry = m_watches.at(it->second);
        noteLimit(entry);
        if (!entry.watch->isOpen() && !m_returnLook.isActive())
            m_returnLook.start();
        ids.push_back(it->second);
    }
    return ids;
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
    // Reads what the watches were told, so that one whose file system went (the same device may
    // come back with the same numbers) knows it is gone.
    ChangeWatch::readEvents();
    for (auto& [id, entry] : m_watches) {
        if (!entry.watch->isOpen()) {
            if (reopen(id, entry) && onReturned)
                onReturned(entry.folder);
            continue;
        }
        if (!entry.watch->stillAt(entry.folder) && reopen(id, entry) && onReturned)
            onReturned(entry.folder);
    }
    lookForReturns();
}

// A watch that was opened once and lost its folder comes back without a word while the folder
// is simply absent.
void WatchRegistry::lookForReturns() {
    bool anyAway = false;
    for (auto& [id, entry] : m_watches) {
        if (entry.watch->isOpen())
            continue;
        if (reopen(id, entry)) {
            if (onReturned)
                onReturned(entry.folder);
        } else {
            anyAway = true;
        }
    }
    if (!anyAway)
        m_returnLook.stop();
    else if (!m_returnLook.isActive())
        m_returnLook.start();
}

bool WatchRegistry::reopen(qint32 id, Entry& entry) {
    std::unique_ptr<ChangeWatch> watch = ChangeWatch::open(entry.folder, entry.scope);
    if (!watch->isOpen())
        return false;
    m_ids.erase(entry.watch.get());
    entry.watch = std::move(watch);
    m_ids[entry.watch.get()] = id;
    noteLimit(entry);
    followEventDescriptor();
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
