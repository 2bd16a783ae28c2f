#pragma once
// The one source of "now" for the engine, so that tests can place a file's modified time exactly
// against a detection date.

#include <QDateTime>
#include <QString>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same instant as now(), in milliseconds since the epoch. A clock that can tell it
    // without working out the local time overrides this, since that is the costly part.
    virtual qint64 msecsSinceEpoch() const { return now().toMSecsSinceEpoch(); }
    // The date-time text of now (DateTimeText::format). The engine stamps every result and log
    // line, thousands a second in a bulk arrival, and each local-time conversion reads the time
    // zone's rules again: so the text is made anew only when the second has changed since this
    // thread last asked. A new time zone therefore shows from the next second on.
    QString nowText() const;
    // Blocks the calling thread for `ms` milliseconds; never called on the window's thread.
    virtual void sleepMs(int ms) = 0;
};

// Wall clock and real sleeps.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    qint64 msecsSinceEpoch() const override;
    void sleepMs(int ms) override;
};
