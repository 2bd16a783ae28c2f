#include "engine/TurnBudget.h"

TurnBudget::TurnBudget(int sliceMs, QObject* parent) : QObject(parent), m_sliceMs(sliceMs) {}

bool TurnBudget::left() {
    if (m_running)
        return m_turn.elapsed() < m_sliceMs;
    m_running = true;
    m_turn.start();
    // Queued before any work that finds the time spent hands itself on, so the next turn's work
    // starts with a fresh slice.
    QMetaObject::invokeMethod(
        this, [this] { m_running = false; }, Qt::QueuedConnection);
    // Whoever asks first always gets on, so that work goes on however short the slice.
    return true;
}
