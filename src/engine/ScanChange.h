#pragma once
// The scan's change test: does a file's last-modified time count as a change since a watched
// folder's detection date? Times compare as local wall-clock texts, to the second.

#include <QDateTime>
#include <QString>

class ChangeTest {
public:
    // Parses the detection date once; an unreadable one lets no file qualify.
    explicit ChangeTest(const QString& detectionDate);

    bool valid() const { return m_valid; }
    // A file qualifies when it was modified at the detection date, or no earlier than one second
    // before it and within the same clock hour or the next one.
    bool qualifies(const QDateTime& modified) const;

    // Local wall-clock seconds of `when` (date and time as its text shows them).
    static qint64 wallSeconds(const QDateTime& when);
    // `when` in local time without its milliseconds, as the texts carry it.
    static QDateTime toSecond(const QDateTime& when);

private:
    bool m_valid = false;
    qint64 m_detection = 0;
};
