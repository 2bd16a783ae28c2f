#pragma once
// Long work on the window's thread done a slice at a time: each step runs until its slice's end
// and is called again on a later turn of the event loop until it says it is finished, so that
// the program answers (its window, its single-instance socket, a signal) while the work goes on.

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

class SlicedSteps : public QObject {
    Q_OBJECT
public:
    // Returns true once the step is finished; false when its slice ran out first.
    using Step = std::function<bool(const QDeadlineTimer& sliceEnd)>;

    explicit SlicedSteps(int sliceMs, QObject* parent = nullptr);

    // Steps run in the order they were added; one added while running goes after the others.
    void add(const QString& name, Step step);
    // The first slice runs on the next turn of the event loop.
    void start();
    // The steps not finished yet are dropped; finished() is not emitted.
    void cancel();
    bool running() const { return m_running; }
    // The step under way, for a message or a log line.
    QString current() const;

signals:
    void finished();

private:
    void runSlice();

    struct Named {
        QString name;
        Step step;
    };
    int m_sliceMs;
    std::deque<Named> m_steps;
    bool m_running = false;
    bool m_scheduled = false;
};
