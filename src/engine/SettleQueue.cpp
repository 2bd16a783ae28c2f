#include "engine/SettleQueue.h"

#include <algorithm>

void SettleQueue::noteEvent(const QString& path, FileEvent last, qint64 nowMs) {
    Waiting& waiting = m_files[path];
    // A change of times or permissions says nothing about the writer: a file still written
    // keeps waiting for its close or its quiet time.
    if (last != FileEvent::Touched)
        waiting.writerOpen = last == FileEvent::Written;
    schedule(waiting, path, nowMs + (waiting.writerOpen ? m_timing.quietMs : m_timing.settleMs));
}

void SettleQueue::noteFound(const QString& path, qint64 modifiedMs, qint64 nowMs) {
    Waiting& waiting = m_files[path];
    // A file that events already follow keeps their verdict.
    if (waiting.serial != 0)
        return;
    // A time ahead of the clock says nothing about the writer: the full settle time then.
    const qint64 since = std::min(modifiedMs, nowMs);
    schedule(waiting, path, std::max(since + m_timing.settleMs, nowMs));
}

void SettleQueue::schedule(Waiting& waiting, const QString& path, qint64 dueMs) {
    waiting.dueMs = dueMs;
    waiting.serial = m_nextSerial++;
    m_due.push(Due{dueMs, waiting.serial, path});
}

std::vector<QString> SettleQueue::takeReady(qint64 nowMs) {
    std::vector<QString> ready;
    for (dropStale(); !m_due.empty() && m_due.top().dueMs <= nowMs; dropStale()) {
        ready.push_back(m_due.top().path);
        m_files.remove(m_due.top().path);
        m_due.pop();
    }
    return ready;
}

std::optional<qint64> SettleQueue::nextDueMs() {
    dropStale();
    if (m_due.empty())
        return std::nullopt;
    return m_due.top().dueMs;
}

void SettleQueue::clear() {
    m_files.clear();
    m_due = {};
}

void SettleQueue::dropStale() {
    while (!m_due.empty()) {
        const auto it = m_files.constFind(m_due.top().path);
        if (it != m_files.constEnd() && it->serial == m_due.top().serial)
            return;
        m_due.pop();
    }
}
