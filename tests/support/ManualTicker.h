#pragma once
// A timer that ticks only when a test says so, and remembers how it was last set.

#include "presentation/Ticker.h"

class ManualTicker : public Ticker {
public:
    void start(int intervalMs) override {
        m_interval = intervalMs;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    int interval() const override { return m_interval; }

    // One tick, as the event loop would deliver it; false when the timer is stopped.
    bool fire() {
        if (!m_active)
            return false;
        tick();
        return true;
    }

private:
    bool m_active = false;
    int m_interval = 0;
};
