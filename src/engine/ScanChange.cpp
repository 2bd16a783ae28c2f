#include "engine/ScanChange.h"

#include "platform/DateTimeText.h"

namespace {

constexpr qint64 secondsPerDay = 24 * 60 * 60;
constexpr qint64 secondsPerHour = 60 * 60;
// A file saved in the second before the detection date still counts: the date is taken at a
// tick, and the save may have landed just before it.
constexpr qint64 earliestSecondsBefore = -1;
// About two hours: the detection date's clock hour and the next one.
constexpr qint64 latestHourBoundaries = 1;

} // namespace

ChangeTest::ChangeTest(const QString& detectionDate) {
    if (const auto parsed = DateTimeText::parse(detectionDate)) {
        m_valid = true;
        m_detection = wallSeconds(*parsed);
    }
}

bool ChangeTest::qualifies(const QDateTime& modified) const {
    if (!m_valid)
        return false;
    const qint64 m = wallSeconds(modified);
    if (m == m_detection)
        return true;
    const qint64 hours = m / secondsPerHour - m_detection / secondsPerHour;
    return m - m_detection >= earliestSecondsBefore && hours >= 0 && hours <= latestHourBoundaries;
}

qint64 ChangeTest::wallSeconds(const QDateTime& when) {
    const QDateTime local = when.toLocalTime();
    return local.date().toJulianDay() * secondsPerDay + local.time().msecsSinceStartOfDay() / 1000;
}

QDateTime ChangeTest::toSecond(const QDateTime& when) {
    const QDateTime local = when.toLocalTime();
    return local.addMSecs(-local.time().msec());
}
