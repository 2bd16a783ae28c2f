#include "ScanFixture.h"

#include "engine/ScanChange.h"

namespace {

TEST(ChangeTestRule, OneSecondBeforeCountsWithinTheHourAndTheNextHourIsTheLast) {
    const QDate day(2026, 3, 14);
    const ChangeTest test(DateTimeText::format(QDateTime(day, QTime(11, 0, 0))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(10, 59, 59))));
    EXPECT_TRUE(test.qualifies(QDateTime(day, QTime(12, 59, 59, 999))));
    EXPECT_FALSE(test.qualifies(QDateTime(day, QTime(13, 0, 0))));
    EXPECT_FALSE(ChangeTest(DateTimeText::Never).qualifies(QDateTime(day, QTime(11, 0, 0))));
}

class ScanChangeTest : public ScanFixture {};

TEST_F(ScanChangeTest, FilesQualifyFromOneSecondBeforeTheDetectionDateToTwoHoursAfter) {
    associate(docs, true);
    writeAt("docs/at.txt", 0);
    writeAt("docs/oneBefore.txt", -1);
    writeAt("docs/twoBefore.txt", -2);
    writeAt("docs/twoHoursAfter.txt", 2 * 60 * 60);
    const QString detection = detectionNow();
    const QString oneSecondLater = DateTimeText::format(clock.now().addSecs(1));

    engine->ScanFolder(docs, 1, docs, detection, false);
    EXPECT_EQ(copiedNames(), (QStringList{"at.txt", "oneBefore.txt"}));
    EXPECT_EQ(engine->NewDetectionDate, oneSecondLater);
}

} // namespace
