#pragma once
// The one source of "now" and of fixed pauses for the engine, so that tests can place a file's
// modified time exactly against a detection date and shorten the described pauses.

#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Blocks the calling thread for `ms` milliseconds (the described fixed pauses).
    virtual void sleepMs(int ms) = 0;
};

// Wall clock and real sleeps.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    void sleepMs(int ms) override;
};
