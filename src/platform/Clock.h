#pragma once
// The one source of "now" for the engine, so that tests can place a file's modified time exactly
// against a detection date.

#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Blocks the calling thread for `ms` milliseconds; never called on the window's thread.
    virtual void sleepMs(int ms) = 0;
};

// Wall clock and real sleeps.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    void sleepMs(int ms) override;
};
