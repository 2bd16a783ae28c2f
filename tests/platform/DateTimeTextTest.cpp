#include "platform/DateTimeText.h"

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
