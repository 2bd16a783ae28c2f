#include "presentation/Ticker.h"

#include <QtGlobal>
#include <exception>

QtTicker::QtTicker() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        // A tick runs from the event loop: nothing may escape it.
        try {
            tick();
        } catch (const std::exception& e) {
            qWarning("Quillmot: a feedback timer step failed: %s", e.what());
        } catch (...) {
            qWarning("Quillmot: a feedback timer step failed");
        }
    });
}
