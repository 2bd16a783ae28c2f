#include "platform/AppData.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

TEST(AppData, LivesInTheUsersConfigFolder) {
    TempHome home;
    EXPECT_EQ(AppData::folder(), home.appDataFolder());
    EXPECT_EQ(AppData::filePath("usrdatab"), home.appDataFolder() + "/usrdatab");
    const QString name = AppData::computerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LE(name.size(), 255);
    EXPECT_FALSE(name.contains(QChar(u'\0')));
}
