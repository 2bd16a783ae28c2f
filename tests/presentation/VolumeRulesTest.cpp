#include "presentation/TextRules.h"
#include "presentation/VolumeEditing.h"

#include "support/Recorder.h"

#include <gtest/gtest.h>

namespace {
const QChar Nul(u'\0');
}

TEST(SourceVolumes, AddUpperCasesSkipsNamesListedInAnyCaseAndTheListTextRoundTrips) {
    SourceVolumes v(QString("DATA"));
    EXPECT_FALSE(v.add("data"));
    EXPECT_FALSE(v.add(""));
    EXPECT_TRUE(v.add("Backup 2"));
    EXPECT_EQ(v.entries, QStringList({"DATA", "BACKUP 2"}));
    EXPECT_EQ(v.result(), QString("DATA") + Nul + "BACKUP 2");
    EXPECT_FALSE(v.add(QString("A") + Nul)) << "a NUL would split the stored list";

    // The list text round-trips with and without the blank volume box.
    const QString both = QString("A") + Nul + "B" + Nul + Nul;
    SourceVolumes withBox(both);
    EXPECT_TRUE(withBox.noVolume);
    EXPECT_EQ(withBox.entries, QStringList({"A", "B"}));
    EXPECT_EQ(withBox.result(), both);

    SourceVolumes empty{QString()};
    EXPECT_EQ(empty.entries, QStringList({""})) << "an empty list opens with one blank entry";
    EXPECT_FALSE(empty.noVolume);
    EXPECT_EQ(empty.result(), "");

    SourceVolumes onlyBlank(QString(2, Nul));
    EXPECT_TRUE(onlyBlank.noVolume);
    EXPECT_EQ(onlyBlank.result(), QString(2, Nul));
}

TEST(SourceVolumes, TheLastNameCannotGoWhileBlankDrivesAreRefused) {
    ScriptedMessages messages;
    SourceVolumes v(QString("A") + Nul + "B" + Nul + "C");
    EXPECT_FALSE(v.remove({0, 1, 2}, messages));
    EXPECT_EQ(messages.asked.back().text,
              "At least one volume name must be assigned to the source path.");
    EXPECT_EQ(v.entries.size(), 3);
    EXPECT_TRUE(v.remove({2, 0}, messages)) << "several selected names go in one command";
    EXPECT_EQ(v.entries, QStringList({"B"}));

    // The blank entry of an empty list is no name: removing the one real name is refused too.
    SourceVolumes blank{QString()};
    blank.add("X");
    EXPECT_FALSE(blank.remove({1}, messages));

    // Clearing the box with no name listed ticks it again.
    SourceVolumes none(QString(2, Nul));
    EXPECT_TRUE(none.setNoVolume(false, messages));
    EXPECT_TRUE(none.noVolume);
    EXPECT_EQ(messages.asked.size(), 3u);
    // With the box ticked every name may go.
    SourceVolumes ticked(QString("A") + Nul + Nul);
    EXPECT_TRUE(ticked.remove({0}, messages));
    EXPECT_EQ(ticked.result(), QString(2, Nul));
}

TEST(DestinationVolume, ADuplicateIsTheSamePathAndVolumeIgnoringCase) {
    colDestinations dests;
    dests.Add("/media/a/Backup", "/src", "DISK");
    dests.Add("/media/a/backup", "/src", "Other");
    dests.Add("/media/b", "/src", "disk");
    EXPECT_TRUE(duplicatesDestination(dests, 2, "disk"));
    EXPECT_FALSE(duplicatesDestination(dests, 1, "DISK")) << "its own entry does not count";
    EXPECT_FALSE(duplicatesDestination(dests, 3, "DISK"));
}

// Names over 32 characters or with a line break, and versions of three digits, are refused in
// the dialogs' own tests.
TEST(TextRules, AVolumeNameMayBeADrivesUuidAndVersionsAreNeverNegative) {
    EXPECT_TRUE(TextRules::isVolumeName(QString(32, 'A')));
    EXPECT_TRUE(TextRules::isVolumeName("UUID=0b3c6e3e-62ab-4f0b-9d6c-2f6f1d0d1a77"));
    EXPECT_FALSE(TextRules::isVersionsText("-1"));
}
