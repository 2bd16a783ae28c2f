#include "platform/DateTimeText.h"
#include "platform/Clock.h"

#include <QScopeGuard>
#include <ctime>
#include <gtest/gtest.h>

// Some locales' texts defeat Qt's own parser (AM/PM words, digits beyond the basic plane); the
// engine must still read back every text it wrote, to the second, compared as wall-clock
// fields, which is what the text carries.
TEST(DateTimeText, EveryKnownLocaleParsesItsOwnTextToTheSecond) {
    const QList<QDateTime> edges = {
        QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2028, 2, 29), QTime(0, 0, 0)),
        QDateTime(QDate(2026, 7, 4), QTime(12, 0, 0)),
        QDateTime(QDate(2026, 1, 9), QTime(12, 34, 56)),
        QDateTime(QDate(2026, 10, 5), QTime(1, 2, 3)),
    };
    const QList<QLocale> all =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(all.size(), 100);
    // A four-digit year and the seconds in the common locales.
    const QList<QLocale> common = {QLocale("C"),     QLocale("en_US"), QLocale("de_DE"),
                                   QLocale("ja_JP"), QLocale("ko_KR"), QLocale("bg_BG")};
    for (const QLocale& locale : all + common) {
        for (const QDateTime& when : edges) {
            const QString text = DateTimeText::format(when, locale);
            const std::optional<QDateTime> back = DateTimeText::parse(text, locale);
            ASSERT_TRUE(back.has_value()) << qPrintable(locale.name() + " '" + text + "'");
            EXPECT_EQ(back->date(), when.date()) << qPrintable(locale.name() + " " + text);
            EXPECT_EQ(back->time(), when.time()) << qPrintable(locale.name() + " " + text);
            if (common.contains(locale)) {
                EXPECT_TRUE(text.contains(QString::number(when.date().year()))) << qPrintable(text);
                EXPECT_TRUE(text.contains(when.time().toString("ss"))) << qPrintable(text);
            }
        }
    }
}

TEST(DateTimeText, DropsMillisecondsAndReadsForeignTextAsNoDate) {
    const QLocale de("de_DE");
    const QDateTime when(QDate(2026, 3, 14), QTime(10, 20, 30, 999));
    EXPECT_EQ(DateTimeText::parse(DateTimeText::format(when, de), de)->time(), QTime(10, 20, 30));
    for (const QString& foreign : {DateTimeText::never, QString(), QString("next Tuesday")})
        EXPECT_FALSE(DateTimeText::parse(foreign, de).has_value()) << qPrintable(foreign);
    EXPECT_EQ(DateTimeText::format(QDateTime(), de), DateTimeText::never);
}

namespace {

// Stands where the test puts it.
struct StandingClock : Clock {
    QDateTime at;
    QDateTime now() const override { return at; }
    void sleepMs(int) override {}
};

void setZone(const QByteArray& zone) {
    if (zone.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    ::tzset();
}

} // namespace

// The clock's text is kept while its second lasts; from the next second on it must be the text
// of that instant, in the zone and daylight-saving time then in force.
TEST(DateTimeText, TheClocksTextFollowsTheSecondTheZoneAndTheChangeOfSummerTime) {
    const auto restoreZone = qScopeGuard([zone = qgetenv("TZ")] { setZone(zone); });
    setZone("UTC0");
    StandingClock clock;
    // One second before Central Europe leaves summer time (01:00 UTC: 03:00 CEST becomes 02:00).
    clock.at = QDateTime(QDate(2026, 10, 25), QTime(0, 59, 58, 100), Qt::UTC);
    const QString first = clock.nowText();
    EXPECT_EQ(first, DateTimeText::format(clock.at));
    clock.at = clock.at.addMSecs(850);
    EXPECT_EQ(clock.nowText(), first);

    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    clock.at = clock.at.addMSecs(100); // 00:59:59 UTC, 02:59:59 summer time
    EXPECT_EQ(clock.nowText(), DateTimeText::format(clock.at));
    EXPECT_EQ(DateTimeText::parse(clock.nowText())->time(), QTime(2, 59, 59));
    clock.at = clock.at.addSecs(1); // 01:00:00 UTC, 02:00:00 winter time
    EXPECT_EQ(clock.nowText(), DateTimeText::format(clock.at));
    EXPECT_EQ(DateTimeText::parse(clock.nowText())->time(), QTime(2, 0, 0));
}
