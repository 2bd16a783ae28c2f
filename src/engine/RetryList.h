#pragma once
// Copies that failed, waiting to be tried again. A destination remounted read-only and then
// writable again, a disk that was full, a process out of file descriptors: the failure goes
// away without the file changing, so the copy is tried again after a while, and each failure
// doubles the wait up to a limit. A mount change makes every waiting copy due at once.
//
// Times are milliseconds of a monotonic clock that the caller reads.

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

class RetryList {
public:
    struct Timing {
        qint64 firstMs = 10000;
        qint64 maxMs = 600000;
    };
    // A failed copy: which file of which association, into which destination.
    struct Copy {
        QString sourceRoot;
        QString filePath;
        QString destinationPath;
        QString lastResult; // what the log said of its last failure
    };

    explicit RetryList(Timing timing) : m_timing(timing) {}

    // The copy failed at `nowMs` with `result`; it is tried again after its wait.
    void failed(const Copy& copy, qint64 nowMs);
    // The copy got through (or no longer needs to): it leaves the list.
    void succeeded(const QString& filePath, const QString& destinationPath);
    // The result its last failure logged, when it is in the list.
    std::optional<QString> lastResult(const QString& filePath,
                                      const QString& destinationPath) const;
    // The copies due at `nowMs`, taken out of the list (a new failure puts one back).
    std::vector<Copy> takeDue(qint64 nowMs);
    // Every copy is due now (a disk was mounted).
    void allDue(qint64 nowMs);
    std::optional<qint64> nextDueMs() const;
    void clear() { m_copies.clear(); }
    bool empty() const { return m_copies.isEmpty(); }

private:
    struct Waiting {
        Copy copy;
        qint64 dueMs = 0;
        qint64 waitMs = 0;
    };
    static QString keyOf(const QString& filePath, const QString& destinationPath);

    Timing m_timing;
    QHash<QString, Waiting> m_copies;
};
