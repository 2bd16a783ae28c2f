#pragma once
// A repeating timer as the feedback logic sees it. The program uses QtTicker; tests fire ticks
// by hand, so the animation and popup timing is checked without waiting.

#include <QObject>
#include <QTimer>
#include <functional>

class Ticker {
public:
    virtual ~Ticker() = default;
    // (Re)starts the timer: the next tick comes `intervalMs` from now, then every `intervalMs`.
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;

    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

protected:
    void tick() {
        if (m_handler)
            m_handler();
    }

private:
    std::function<void()> m_handler;
};

class QtTicker : public Ticker {
public:
    QtTicker();
    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    int interval() const override { return m_timer.interval(); }

private:
    QTimer m_timer;
};
