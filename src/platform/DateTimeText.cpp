#include "platform/DateTimeText.h"

#include <functional>
#include <optional>

namespace DateTimeText {

namespace {

// Calls `visit(start, length, letter)` for every run of one repeated pattern letter outside quoted
// literal text, so that rewriting a format never touches a locale's literal words.
void forEachField(const QString& format,
                  const std::function<void(qsizetype, qsizetype, QChar)>& visit) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < format.size() && format[end] == c)
            ++end;
        if (!quoted && c.isLetter())
            visit(i, end - i, c);
        i = end;
    }
}

// Two-digit years cannot be parsed back to the same century, so every year field is "yyyy".
QString withFourDigitYear(const QString& dateFormat) {
    QString out;
    qsizetype copied = 0;
    forEachField(dateFormat, [&](qsizetype start, qsizetype length, QChar letter) {
        if (letter != QLatin1Char('y'))
            return;
        out += dateFormat.mid(copied, start - copied) + QStringLiteral("yyyy");
        copied = start + length;
    });
    return out + dateFormat.mid(copied);
}

// Short time formats stop at the minutes; the change test needs the second, so seconds follow the
// minutes with the same separator that stands between hours and minutes.
QString withSeconds(const QString& timeFormat) {
    bool hasSeconds = false;
    qsizetype hourEnd = -1, minuteStart = -1, minuteEnd = -1;
    forEachField(timeFormat, [&](qsizetype start, qsizetype length, QChar letter) {
        if (letter == QLatin1Char('s'))
            hasSeconds = true;
        else if ((letter == QLatin1Char('h') || letter == QLatin1Char('H')) && minuteStart < 0)
            hourEnd = start + length;
        else if (letter == QLatin1Char('m') && minuteStart < 0) {
            minuteStart = start;
            minuteEnd = start + length;
        }
    });
    if (hasSeconds)
        return timeFormat;
    if (minuteStart < 0)
        return timeFormat + QStringLiteral(":mm:ss");
    QString separator = QStringLiteral(":");
    if (hourEnd >= 0 && hourEnd < minuteStart) {
        const QString between = timeFormat.mid(hourEnd, minuteStart - hourEnd);
        if (!between.contains(QLatin1Char('\'')) && !between.contains(QLatin1Char(' ')))
            separator = between;
    }
    QString out = timeFormat;
    out.insert(minuteEnd, separator + QStringLiteral("ss"));
    return out;
}

// Without the AM/PM marker, whose parsing some locales' texts defeat.
QString twentyFourHour(const QString& format) {
    QString out;
    qsizetype copied = 0;
    QChar previous;
    forEachField(format, [&](qsizetype start, qsizetype length, QChar letter) {
        const bool marker = letter == QLatin1Char('A') || letter == QLatin1Char('a') ||
                            ((letter == QLatin1Char('P') || letter == QLatin1Char('p')) &&
                             (previous == QLatin1Char('A') || previous == QLatin1Char('a')));
        previous = letter;
        if (!marker && letter != QLatin1Char('h'))
            return;
        out += format.mid(copied, start - copied);
        if (!marker)
            out += QString(length, QLatin1Char('H'));
        copied = start + length;
    });
    return (out + format.mid(copied)).simplified();
}

struct Candidate {
    QLocale locale;
    QString format;
};

// The locale's own form comes first and is what every common locale gets. The others exist
// because Qt cannot parse back every locale's text (some AM/PM words, digits outside the basic
// plane): format() takes the first candidate whose text parses back to the same second, and
// parse() tries them in the same order, so the text of format() always parses.
QList<Candidate> makeCandidates(const QLocale& locale) {
    const QString own = withFourDigitYear(locale.dateFormat(QLocale::ShortFormat)) +
                        QLatin1Char(' ') + withSeconds(locale.timeFormat(QLocale::ShortFormat));
    return {{locale, own},
            {locale, twentyFourHour(own)},
            {QLocale::c(), twentyFourHour(own)},
            {QLocale::c(), QStringLiteral("yyyy-MM-dd HH:mm:ss")}};
}

// The forms depend on the locale alone; the engine formats and parses with the same one all day.
const QList<Candidate>& candidates(const QLocale& locale) {
    thread_local QLocale cachedLocale = QLocale::c();
    thread_local QList<Candidate> cached = makeCandidates(cachedLocale);
    if (locale != cachedLocale) {
        cachedLocale = locale;
        cached = makeCandidates(locale);
    }
    return cached;
}

std::optional<QDateTime> parseWith(const QList<Candidate>& forms, const QString& text) {
    for (const Candidate& c : forms) {
        const QDateTime when = c.locale.toDateTime(text, c.format);
        if (when.isValid())
            return when;
    }
    return std::nullopt;
}

} // namespace

QString format(const QDateTime& when, const QLocale& locale) {
    if (!when.isValid())
        return never;
    const QDateTime local = when.toLocalTime();
    const QTime time(local.time().hour(), local.time().minute(), local.time().second());
    // The check below parses the text back, which costs far more than the formatting; the
    // engine asks for the same second many times over (a start that opens thousands of watches,
    // a log line per copy), so the last answer is kept.
    struct Last {
        QLocale locale;
        QDate date;
        QTime time;
        QString text;
    };
    thread_local std::optional<Last> last;
    if (last && last->date == local.date() && last->time == time && last->locale == locale)
        return last->text;
    const QList<Candidate>& forms = candidates(locale);
    QString text;
    for (const Candidate& c : forms) {
        text = c.locale.toString(QDateTime(local.date(), time), c.format);
        // Compared as wall-clock fields: in the repeated hour of a clock change the instant may
        // differ while the text is still exactly this second.
        const std::optional<QDateTime> back = parseWith(forms, text);
        if (back && back->date() == local.date() && back->time() == time)
            break;
    }
    last = Last{locale, local.date(), time, text};
    return text;
}

std::optional<QDateTime> parse(const QString& text, const QLocale& locale) {
    if (text.isEmpty() || text == never)
        return std::nullopt;
    return parseWith(candidates(locale), text);
}

} // namespace DateTimeText
