#include "platform/SlicedSteps.h"

#include "platform/Log.h"

#include <QTimer>
#include <exception>

SlicedSteps::SlicedSteps(int sliceMs, QObject* parent) : QObject(parent), m_sliceMs(sliceMs) {}

void SlicedSteps::add(const QString& name, Step step) {
    m_steps.push_back({name, std::move(step)});
}

void SlicedSteps::start() {
    m_running = true;
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &SlicedSteps::runSlice);
}

void SlicedSteps::cancel() {
    m_steps.clear();
    m_running = false;
}

QString SlicedSteps::current() const {
    return m_steps.empty() ? QString() : m_steps.front().name;
}

void SlicedSteps::runSlice() {
    m_scheduled = false;
    const QDeadlineTimer sliceEnd(m_sliceMs, Qt::PreciseTimer);
    while (m_running && !m_steps.empty()) {
        bool finished = true;
        try {
            finished = m_steps.front().step(sliceEnd);
        } catch (const std::exception& e) {
            // A step that fails is not tried again forever: the next one still runs.
            qCWarning(lcPlatform) << "Step" << m_steps.front().name << "failed:" << e.what();
        }
        if (!m_running) // cancelled by the step itself
            return;
        if (finished)
            m_steps.pop_front();
        if (sliceEnd.hasExpired())
            break;
    }
    if (!m_running)
        return;
    if (!m_steps.empty()) {
        m_scheduled = true;
        QTimer::singleShot(0, this, &SlicedSteps::runSlice);
        return;
    }
    m_running = false;
    emit finished();
}
