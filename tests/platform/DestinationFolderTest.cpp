// Folders below a destination: entered and made one at a time, never through a link, only when
// they are the user's own, with exactly the access asked for; and the sweep of stale temporary
// files through them.

#include "platform/DestinationFolder.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"

#include "support/FileStat.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Refusal = DestinationFolder::Refusal;

// Someone else's, as far as ownership goes.
constexpr uid_t strangerUid = 54321;

TEST(DestinationFolder, EntersOnlyTheUsersOwnFoldersAndNeverALink) {
    TempHome home;
    const QString top = home.makeFolder("top");
    const QString elsewhere = home.makeFolder("elsewhere");
    ASSERT_TRUE(QFile::link(top, home.path() + "/chosen-link"));
    ASSERT_EQ(::chmod(native(home.makeFolder("top/own")), 0755), 0);
    home.writeFile("top/file", "f");
    ASSERT_EQ(::symlink(native(elsewhere), native(top + "/link")), 0);
    ASSERT_EQ(::symlink("nowhere", native(top + "/dangling")), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        home.makeFolder("top/theirs");
        ASSERT_EQ(::chown(native(top + "/theirs"), strangerUid, strangerUid), 0);
    }
    // The folder the user chose may be a link the user made.
    const DestinationFolder chosen = DestinationFolder::openChosen(home.path() + "/chosen-link");
    ASSERT_TRUE(chosen.isOpen());

    const FolderAccess access{0750, std::nullopt};
    const struct {
        const char* name;
        Refusal refusal;
        bool made;
    } cases[] = {{"new", Refusal::None, true},        {"own", Refusal::None, false},
                 {"link", Refusal::Link, false},      {"dangling", Refusal::Link, false},
                 {"file", Refusal::NotFolder, false}, {"theirs", Refusal::OtherOwner, false}};
    const mode_t umaskBefore = ::umask(0);
    for (const auto& c : cases) {
        if (!root && QString(c.name) == "theirs")
            continue;
        SCOPED_TRACE(c.name);
        DestinationFolder into;
        bool made = false;
        EXPECT_EQ(chosen.enterOrMake(c.name, access, into, &made), c.refusal);
        EXPECT_EQ(made, c.made);
        EXPECT_EQ(into.isOpen(), c.refusal == Refusal::None);
    }
    ::umask(umaskBefore);
    EXPECT_EQ(modeOf(top + "/new"), 0750u) << "exactly as asked, whatever the umask";
    EXPECT_EQ(modeOf(top + "/own"), 0755u) << "entered as it was";
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

// Only files by the exact rule that are this user's and that no copy holds go, here and in the
// user's own folders below, never through a link and never in another user's folder.
TEST(DestinationFolder, TheSweepTakesOnlyStaleTemporariesOfTheUsersOwn) {
    TempHome home;
    const QString top = home.makeFolder("top");
    const QString elsewhere = home.makeFolder("elsewhere");
    const QString stale = OwnTemporaryNames::fresh();
    const QString held = OwnTemporaryNames::fresh();
    for (const QString& path : {top + "/" + stale, top + "/sub/deeper/" + stale, top + "/" + held,
                                top + "/.quillmot-notes.tmp", elsewhere + "/" + stale})
        home.writeFile(QDir(home.path()).relativeFilePath(path), "x");
    ASSERT_EQ(::symlink(native(elsewhere), native(top + "/sub/link")), 0);
    // Another user's folder, where ownership can be given away.
    const bool root = ::geteuid() == 0;
    const QString theirs = home.path() + "/top/theirs/" + stale;
    if (root) {
        home.writeFile("top/theirs/" + stale, "x");
        ASSERT_EQ(::chown(native(Paths::parent(theirs)), strangerUid, strangerUid), 0);
    }
    const int lock = ::open(native(top + "/" + held), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const DestinationFolder folder = DestinationFolder::openChosen(top);

    EXPECT_EQ(folder.removeStaleTemporaries(), 1);
    EXPECT_EQ(folder.removeStaleTemporariesBelow(), 1);
    ::close(lock);
    QStringList kept{".quillmot-notes.tmp", held, "sub"};
    if (root)
        kept << "theirs";
    kept.sort();
    EXPECT_EQ(everything(top), kept);
    EXPECT_EQ(everything(top + "/sub/deeper"), QStringList());
    EXPECT_EQ(everything(elsewhere), QStringList{stale});
    EXPECT_EQ(QFile::exists(theirs), root);
}

TEST(OwnTemporaryNames, OneExactRule) {
    EXPECT_TRUE(OwnTemporaryNames::matches(OwnTemporaryNames::fresh()));
    EXPECT_TRUE(OwnTemporaryNames::matches(QByteArrayView(".quillmot-0123456789abcdef.tmp")));
    for (const char* name : {".quillmot-zz9.tmp", ".quillmot-0123456789ABCDEF.tmp",
                             ".quillmot-0123456789abcdef0.tmp", ".quillmot-0123456789abcdef.txt"})
        EXPECT_FALSE(OwnTemporaryNames::matches(QString(name))) << name;
}

} // namespace
