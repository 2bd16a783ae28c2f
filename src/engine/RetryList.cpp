#include "engine/RetryList.h"

#include "platform/Paths.h"

#include <algorithm>

QString RetryList::keyOf(const QString& filePath, const QString& destinationPath) {
    return Paths::PathKey(filePath) + QChar(0) + Paths::PathKey(destinationPath);
}

void RetryList::failed(const Copy& copy, qint64 nowMs) {
    Waiting& waiting = m_copies[keyOf(copy.filePath, copy.destinationPath)];
    waiting.waitMs =
        waiting.waitMs == 0 ? m_timing.firstMs : std::min(waiting.waitMs * 2, m_timing.maxMs);
    waiting.dueMs = nowMs + waiting.waitMs;
    waiting.copy = copy;
}

void RetryList::succeeded(const QString& filePath, const QString& destinationPath) {
    m_copies.remove(keyOf(filePath, destinationPath));
}

std::optional<QString> RetryList::lastResult(const QString& filePath,
                                             const QString& destinationPath) const {
    const auto it = m_copies.constFind(keyOf(filePath, destinationPath));
    if (it == m_copies.constEnd())
        return std::nullopt;
    return it->copy.lastResult;
}

std::vector<RetryList::Copy> RetryList::takeDue(qint64 nowMs) {
    std::vector<Copy> due;
    for (auto it = m_copies.begin(); it != m_copies.end(); ++it)
        if (it->dueMs <= nowMs && it->dueMs >= 0) {
            due.push_back(it->copy);
            // Kept with its wait, so that a new failure doubles it; marked as taken.
            it->dueMs = -1;
        }
    return due;
}

void RetryList::allDue(qint64 nowMs) {
    for (Waiting& waiting : m_copies)
        if (waiting.dueMs >= 0)
            waiting.dueMs = nowMs;
}

std::optional<qint64> RetryList::nextDueMs() const {
    std::optional<qint64> next;
    for (const Waiting& waiting : m_copies)
        if (waiting.dueMs >= 0 && (!next || waiting.dueMs < *next))
            next = waiting.dueMs;
    return next;
}
