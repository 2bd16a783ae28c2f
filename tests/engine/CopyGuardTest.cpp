// What the copy refuses or keeps private whoever set it up: a destination that feeds the source
// however it is written, a file the user may not read, folders that would open a private source
// to other users.

#include "EngineFixture.h"

#include "support/Mounts.h"
#include "support/OtherUser.h"

#include <QCoreApplication>
#include <sys/stat.h>

namespace {

unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

using CopyGuardTest = CopyFixture;
const QString LoopText = "Error: Would save into recursive source folder";

TEST_F(CopyGuardTest, TheLoopTestSeesThroughSpellingsLinksAndBindMounts) {
    const QString source = folder("src/Docs");
    const QString file = write("src/Docs/a.txt", "a");
    ASSERT_TRUE(QFile::link(source, home.path() + "/link"));
    addAssociation(source, true, true);
    const QString volume = volumeOf(source);
    addDestination(source, home.path() + "/src/../src/Docs/bk", volume);
    addDestination(source, "/" + source + "/bk", volume);
    addDestination(source, home.path() + "/link/bk", volume);
    addDestination(source, home.path() + "/link/./x/../bk", volume);
    copy(source, file);
    EXPECT_EQ(logged(), QStringList(4, LoopText));

    const auto bind = ScratchMount::readOnlyBind(source);
    if (!bind)
        GTEST_SKIP() << ScratchMount::refusal();
    state->destinations->Clear();
    addDestination(source, bind->mountPoint() + "/bk", volume);
    copy(source, file);
    EXPECT_EQ(logged().mid(4), QStringList{LoopText});
    EXPECT_EQ(everything(source), QStringList{"a.txt"});
}

TEST_F(CopyGuardTest, ADestinationThatIsTheSourceFileItselfIsRefused) {
    const QString file = write("src/Docs/n.txt", "mine");
    const auto association = addAssociation(file, false);
    association->KeepBackup = true;
    addDestination(file, home.path() + "/src");
    copy(file, file);
    EXPECT_EQ(logged(), QStringList{LoopText});
    EXPECT_EQ(readWholeFile(file), "mine");
    EXPECT_EQ(everything(home.path() + "/src/Docs"), QStringList{"n.txt"});

    // A non-recursive folder association may keep its copies inside itself, but not over a file.
    const QString docs = home.path() + "/src/Docs";
    addAssociation(docs, true, false);
    addDestination(docs, home.path() + "/src");
    addDestination(docs, docs + "/backup");
    copy(docs, file);
    EXPECT_EQ(logged().mid(1), QStringList({LoopText, "Success: Copy saved"}));
    EXPECT_EQ(readWholeFile(docs + "/backup/Docs/n.txt"), "mine");
}

TEST_F(CopyGuardTest, AFileTheUserMayNotReadFailsAtOnceInsteadOfBeingWaitedFor) {
    QString reason;
    const auto other = OtherUser::create(&reason);
    if (!other)
        GTEST_SKIP() << reason.toStdString();
    const QString file = write("src/Docs/a.txt", "secret");
    addAssociation(file, false);
    addDestination(file, folder("dst"));
    other->own(home.path());
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0), 0);
    state->options.BusyTimeout = 0.05;
    ui.onProcessEvents = [] { QCoreApplication::processEvents(); };
    {
        OtherUser::Acting as(*other);
        copy(file, file);
    }
    EXPECT_EQ(logged(), QStringList{"Error occurred in copy"});
    EXPECT_EQ(clock.sleptMs, 0);
    EXPECT_TRUE(everything(home.path() + "/dst/Docs").isEmpty());
}

TEST_F(CopyGuardTest, FoldersItMakesAreNoWiderThanTheSourceFoldersWhateverTheUmask) {
    const QString source = folder("src/Private");
    const QString file = write("src/Private/shared/a.txt", "a");
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source + "/shared").constData(), 0750), 0);
    const auto association = addAssociation(source, true, true);
    association->KeepBackup = true;
    association->Versions = 2;
    const QString dst = home.path() + "/dst/new";
    addDestination(source, dst, volumeOf(home.path()));
    const mode_t umaskBefore = ::umask(0);
    copy(source, file);
    copy(source, file);
    ::umask(umaskBefore);

    EXPECT_EQ(logged().last(), "Success: Copy saved & Previous version stored");
    EXPECT_EQ(modeOf(home.path() + "/dst"), 0700u);
    EXPECT_EQ(modeOf(dst + "/Private"), 0700u);
    EXPECT_EQ(modeOf(dst + "/Private/shared"), 0750u);
    EXPECT_EQ(modeOf(dst + "/Private/shared/PrevSave-1"), 0750u);
}

} // namespace
