#include "presentation/Ticker.h"

#include "presentation/Log.h"

QtTicker::QtTicker() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        // A tick runs from the event loop: nothing may escape it.
        try {
            tick();
        } catch (...) {
            qCWarning(lcPresentation) << "A feedback timer step failed:" << currentExceptionText();
        }
    });
}
