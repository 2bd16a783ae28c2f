#include "CopyFixture.h"

#include "support/Mounts.h"

namespace {

class CopyReportTest : public CopyFixture {
protected:
    QString file;
    void SetUp() override {
        CopyFixture::SetUp();
        file = write("src/Docs/a.txt", "a");
        addAssociation(file, false);
    }
};

TEST_F(CopyReportTest, EntryDescribesTheCopyAndTheSwitchesDecideThePopup) {
    const QString dst = folder("dst");
    addDestination(file, dst);
    state->Backups->Item(1)->NotifyOnSuccess = false;
    copy(file, file);

    ASSERT_EQ(ui.logged.size(), 1u);
    const clsRecent& entry = ui.logged.front();
    EXPECT_EQ(entry.DateAndTime, DateTimeText::format(clock.now()));
    EXPECT_EQ(QStringList({entry.SourcePath, entry.SourceVolume, entry.DestPath, entry.DestVolume}),
              QStringList({file, volumeOf(file), dst + "/Docs", volumeOf(dst)}));
    EXPECT_EQ(state->Notifiers->Count(), 0);
    EXPECT_EQ(ui.popupShows, 0);
    EXPECT_EQ(ui.animations, std::vector{UserInterface::Animation::Nod});

    state->options.NotifySuccessDisabled = true;
    state->Backups->Item(1)->NotifyOnSuccess = true;
    copy(file, file);
    EXPECT_EQ(ui.popupShows, 0);
}

TEST_F(CopyReportTest, LogPastItsLimitKeepsTheTenNewest) {
    addDestination(file, folder("dst"));
    for (int i = 1; i <= 98; ++i)
        state->Recent->Add("t", "s", "v", "d", "v", QString::number(i));
    copy(file, file);
    EXPECT_EQ(state->Recent->Count(), 99);

    copy(file, file);
    ASSERT_EQ(state->Recent->Count(), 10);
    EXPECT_EQ(logged().first(), "91");
    EXPECT_EQ(logged().mid(8), QStringList(2, "Success: Copy saved"));
}

TEST_F(CopyReportTest, FullDiskKeepsTheOldCopyWhole) {
    QString reason;
    const auto tiny = ScratchMount::tmpfs(64, &reason);
    if (!tiny)
        GTEST_SKIP() << reason.toStdString();
    addDestination(file, tiny->mountPoint());
    copy(file, file);
    write("src/Docs/a.txt", QByteArray(512 * 1024, 'x'));
    copy(file, file);

    EXPECT_EQ(logged(), QStringList({"Success: Copy saved", "Error: Disk is full"}));
    EXPECT_EQ(notified().last(), "Error: Disk is full");
    EXPECT_EQ(QDir(tiny->mountPoint() + "/Docs").entryList(QDir::Files | QDir::Hidden),
              QStringList{"a.txt"});
    EXPECT_EQ(readWholeFile(tiny->mountPoint() + "/Docs/a.txt"), "a");
}

TEST_F(CopyReportTest, ReadOnlyDestinationFailsWithoutStoppingTheOthers) {
    const QString ro = folder("ro/Docs");
    QString reason;
    const auto bind = ScratchMount::readOnlyBind(Paths::parent(ro), &reason);
    if (!bind)
        GTEST_SKIP() << reason.toStdString();
    addDestination(file, bind->mountPoint() + "/new");
    addDestination(file, bind->mountPoint());
    addDestination(file, folder("dst"));
    copy(file, file);

    EXPECT_EQ(logged(), QStringList({"Error: Can't create destination folders",
                                     "Error occurred in copy", "Success: Copy saved"}));
    EXPECT_TRUE(QDir(ro).isEmpty());
    EXPECT_EQ(ui.animations, std::vector{UserInterface::Animation::Shrug});
}

} // namespace
