#include "model/VolumeList.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(VolumeListTest, EncodesWithTheUnlabeledMarkLastAndDecodesBack) {
    const QList<std::tuple<QStringList, bool, QString>> cases = {{{"A", "B"}, false, "A\0B"_L1},
                                                                 {{"A", "B"}, true, "A\0B\0\0"_L1},
                                                                 {{}, true, "\0\0"_L1},
                                                                 {{}, false, ""},
                                                                 {{"USB"}, false, "USB"}};
    for (const auto& [names, unlabeled, text] : cases) {
        EXPECT_EQ(VolumeList::encode(names, unlabeled), text);
        const auto decoded = VolumeList::decode(text);
        EXPECT_EQ(decoded.names, names);
        EXPECT_EQ(decoded.acceptUnlabeled, unlabeled);
    }
    EXPECT_EQ(VolumeList::encode({"", "A", ""}, false), "A");
}

TEST(VolumeListTest, AcceptsUnlabeledDrivesOnlyByMarkAndLabelsByPieceIgnoringCase) {
    EXPECT_TRUE(VolumeList::accepts("\0\0"_L1, ""));
    EXPECT_TRUE(VolumeList::accepts("A\0B\0\0"_L1, ""));
    EXPECT_FALSE(VolumeList::accepts("A\0B"_L1, ""));
    EXPECT_FALSE(VolumeList::accepts("\0"_L1, ""));
    EXPECT_FALSE(VolumeList::accepts("", ""));

    EXPECT_TRUE(VolumeList::accepts("Backup\0usb"_L1, "USB"));
    EXPECT_FALSE(VolumeList::accepts("Backup\0\0"_L1, "Other"));
    EXPECT_FALSE(VolumeList::accepts("BackupDisk", "Backup"));
    EXPECT_FALSE(VolumeList::accepts("", "USB"));
}
