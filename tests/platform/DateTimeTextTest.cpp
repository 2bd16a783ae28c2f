#include "platform/DateTimeText.h"

#include <gtest/gtest.h>

namespace {

const QList<QDateTime> Edges = {
    QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
    QDateTime(QDate(2028, 2, 29), QTime(0, 0, 0)),
    QDateTime(QDate(2026, 7, 4), QTime(12, 0, 0)),
    QDateTime(QDate(2026, 1, 9), QTime(12, 34, 56)),
    QDateTime(QDate(2026, 10, 5), QTime(1, 2, 3)),
};

// Compared as wall-clock fields, which is what the text carries.
void expectRoundTrip(const QDateTime& when, const QLocale& locale) {
    const QString text = DateTimeText::format(when, locale);
    const std::optional<QDateTime> back = DateTimeText::parse(text, locale);
    ASSERT_TRUE(back.has_value()) << qPrintable(locale.name()) << " '" << qPrintable(text) << "'";
    EXPECT_EQ(back->date(), when.date()) << qPrintable(locale.name()) << " " << qPrintable(text);
    EXPECT_EQ(back->time(), when.time()) << qPrintable(locale.name()) << " " << qPrintable(text);
}

} // namespace

class DateTimeTextIn : public testing::TestWithParam<const char*> {};

TEST_P(DateTimeTextIn, ParsesItsOwnTextToTheSecondWithAFourDigitYear) {
    const QLocale locale(QString::fromLatin1(GetParam()));
    for (const QDateTime& when : Edges) {
        expectRoundTrip(when, locale);
        const QString text = DateTimeText::format(when, locale);
        EXPECT_TRUE(text.contains(QString::number(when.date().year()))) << qPrintable(text);
        EXPECT_TRUE(text.contains(when.time().toString("ss"))) << qPrintable(text);
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTimeTextIn,
                         testing::Values("C", "en_US", "de_DE", "ja_JP", "ko_KR", "bg_BG"));

TEST(DateTimeText, KeepsTheLocalesClockStyle) {
    const QDateTime midnight(QDate(2026, 3, 14), QTime(0, 0, 0));
    const QDateTime lastSecond(QDate(1999, 12, 31), QTime(23, 59, 59));
    const QString us = DateTimeText::format(midnight, QLocale("en_US"));
    EXPECT_TRUE(us.startsWith("3/14/2026 12:00:00")) << qPrintable(us);
    EXPECT_TRUE(us.endsWith("AM")) << qPrintable(us);
    EXPECT_EQ(DateTimeText::format(midnight, QLocale("de_DE")), "14.03.2026 00:00:00");
    EXPECT_EQ(DateTimeText::format(lastSecond, QLocale("ja_JP")), "1999/12/31 23:59:59");
    EXPECT_EQ(DateTimeText::format(lastSecond, QLocale::c()), "31 Dec 1999 23:59:59");
}

// Some locales' texts defeat Qt's own parser (AM/PM words, digits beyond the basic plane);
// the engine must still read back every text it wrote.
TEST(DateTimeText, EveryKnownLocaleParsesItsOwnText) {
    const QList<QLocale> all =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(all.size(), 100);
    for (const QLocale& locale : all) {
        for (const QDateTime& when : {Edges[0], Edges[2], Edges[3]})
            expectRoundTrip(when, locale);
    }
}

TEST(DateTimeText, DropsMillisecondsAndRefusesWhatItDidNotWrite) {
    const QLocale de("de_DE");
    const QDateTime when(QDate(2026, 3, 14), QTime(10, 20, 30, 999));
    EXPECT_EQ(DateTimeText::parse(DateTimeText::format(when, de), de)->time(), QTime(10, 20, 30));
    EXPECT_FALSE(DateTimeText::parse(DateTimeText::Never, de).has_value());
    EXPECT_FALSE(DateTimeText::parse("", de).has_value());
    EXPECT_FALSE(DateTimeText::parse("next Tuesday", de).has_value());
    EXPECT_EQ(DateTimeText::format(QDateTime(), de), DateTimeText::Never);
}
