#pragma once
// The engine's share of one turn of the event loop. Whatever the engine does in bulk on the
// window's thread (serving the changes the watches named, walking source trees, handing settled
// files to the copy, hearing the workers' results) draws on this one budget, so that however many
// of them have work at the same moment, the window gets the thread back after about one slice.
// Work left over waits for a later turn, handed on by a queued call: those run after the events
// that came meanwhile.

#include <QElapsedTimer>
#include <QObject>

class TurnBudget : public QObject {
public:
    explicit TurnBudget(int sliceMs, QObject* parent = nullptr);

    // True while this turn has time left; the first ask of a turn starts its clock and is
    // always granted.
    bool left();

private:
    int m_sliceMs;
    QElapsedTimer m_turn;
    bool m_running = false;
};
