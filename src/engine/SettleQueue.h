#pragma once
// When a changed file is ready to be copied. A copy taken while a program still writes the file
// is a torn copy, and storing it would push a real previous version out; nothing on Linux locks
// a file that is being written, so the file's own events tell. A file is ready once its writer
// has closed it and nothing has happened to it for the settle time (some programs truncate and
// close, then open again and write), or, when it is written without ever being closed (a log, a
// database kept open), once it has been quiet for the longer quiet time.
//
// Times are milliseconds of a monotonic clock that the caller reads, so tests choose them.

#include "platform/ChangeWatch.h"

#include <QHash>
#include <QString>
#include <optional>
#include <queue>
#include <vector>

class SettleQueue {
public:
    struct Timing {
        qint64 settleMs = 500; // after the writer closed the file
        qint64 quietMs = 5000; // for a file written without a close
    };

    explicit SettleQueue(Timing timing) : m_timing(timing) {}

    // Events named `path` at `nowMs`; `last` is what the newest of them said.
    void noteEvent(const QString& path, FileEvent last, qint64 nowMs);
    // A changed file that no event named (found by a walk): its quiet time counts from its own
    // last modification, as far as that lies in the past.
    void noteFound(const QString& path, qint64 modifiedMs, qint64 nowMs);

    // The files ready at `nowMs`, in the order they became ready, each taken out of the queue. A
    // file that changes again later comes back as a new change.
    std::vector<QString> takeReady(qint64 nowMs);
    // When the next file will be ready, if any is waiting.
    std::optional<qint64> nextDueMs();

    bool empty() const { return m_files.isEmpty(); }
    int size() const { return int(m_files.size()); }
    bool contains(const QString& path) const { return m_files.contains(path); }
    void clear();

private:
    struct Waiting {
        bool writerOpen = false;
        qint64 dueMs = 0;
        quint64 serial = 0; // which heap entry is the live one
    };
    struct Due {
        qint64 dueMs;
        quint64 serial;
        QString path;
        bool operator>(const Due& other) const {
            return dueMs != other.dueMs ? dueMs > other.dueMs : serial > other.serial;
        }
    };

    void schedule(Waiting& waiting, const QString& path, qint64 dueMs);
    // Drops heap entries that a later event replaced.
    void dropStale();

    Timing m_timing;
    QHash<QString, Waiting> m_files;
    // Every schedule pushes an entry; the one whose serial matches the file's is live.
    std::priority_queue<Due, std::vector<Due>, std::greater<>> m_due;
    quint64 m_nextSerial = 1;
};
