#include "platform/Clock.h"

#include "platform/DateTimeText.h"

#include <QLocale>
#include <QThread>
#include <optional>

namespace {

constexpr qint64 msPerSecond = 1000;

} // namespace

QString Clock::nowText() const {
    const qint64 ms = msecsSinceEpoch();
    const qint64 second = ms / msPerSecond - (ms % msPerSecond < 0 ? 1 : 0);
    struct Last {
        qint64 second;
        QLocale locale;
        QString text;
    };
    thread_local std::optional<Last> last;
    const QLocale locale = QLocale::system();
    if (last && last->second == second && last->locale == locale)
        return last->text;
    // Of the instant asked about, not of a second call to now(), which may be in the next second.
    QString text = DateTimeText::format(QDateTime::fromMSecsSinceEpoch(ms), locale);
    last = Last{second, locale, text};
    return text;
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 SystemClock::msecsSinceEpoch() const {
    return QDateTime::currentMSecsSinceEpoch();
}

void SystemClock::sleepMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}
