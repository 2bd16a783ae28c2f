// Real inotify watches on temporary folders.

#include "engine/WatchRegistry.h"
#include "platform/FileSystem.h"
#include "support/TempHome.h"

#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

constexpr int ComingMs = 2000; // for an event that is on its way
constexpr int QuietMs = 100;   // to see that none comes

class WatchChangeTest : public ::testing::Test {
protected:
    TempHome home;
    QString top = home.makeFolder("top");

    void append(const QString& relative) {
        QFile file(home.path() + "/" + relative);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("more");
    }
    std::unique_ptr<ChangeWatch> open(bool subtree, const ChangeWatch::WatchFault& fault = {}) {
        auto watch = ChangeWatch::open(top, subtree, fault);
        EXPECT_TRUE(watch->isOpen());
        return watch;
    }
};

TEST_F(WatchChangeTest, AWriteSignalsUntilRearmDrainsIt) {
    auto watch = open(false);
    append("top/a.txt");
    EXPECT_TRUE(watch->wait(ComingMs));
    EXPECT_TRUE(watch->wait(0));
    watch->rearm();
    EXPECT_FALSE(watch->wait(0));
    append("top/a.txt");
    EXPECT_TRUE(watch->wait(ComingMs));
}

TEST_F(WatchChangeTest, SubFoldersSignalOnlyWithTheSubtreeAndLinksAreNotFollowed) {
    home.makeFolder("top/sub/deeper");
    home.makeFolder("outside");
    ASSERT_TRUE(QFile::link(home.path() + "/outside", top + "/link"));
    auto flat = open(false);
    auto tree = open(true);
    EXPECT_EQ(tree->watchedFolders(), 3);

    append("outside/a.txt");
    append("top/sub/deeper/a.txt");
    EXPECT_TRUE(tree->wait(ComingMs));
    EXPECT_FALSE(flat->wait(QuietMs));
}

TEST_F(WatchChangeTest, ASubFolderMadeLaterIsWatchedAndItsAdditionSignals) {
    auto watch = open(true);
    home.makeFolder("top/new/inner");
    EXPECT_TRUE(watch->wait(ComingMs)) << "files may already be in a new folder";
    watch->rearm();
    EXPECT_EQ(watch->watchedFolders(), 3);
    append("top/new/inner/a.txt");
    EXPECT_TRUE(watch->wait(ComingMs));

    // A folder first met while re-arming leaves the watch signalled all the same.
    watch->rearm();
    home.makeFolder("top/later");
    watch->rearm();
    EXPECT_EQ(watch->watchedFolders(), 4);
    EXPECT_TRUE(watch->wait(0));
}

TEST_F(WatchChangeTest, OwnTemporaryFilesNeverSignalButTheirRenameOverTheRealFileDoes) {
    auto watch = open(true);
    const QString temp = top + "/" + OwnTempPrefix + "copy";
    home.writeFile("top/" + OwnTempPrefix + "copy", "partial");
    QFile::setPermissions(temp, QFileDevice::ReadOwner);
    EXPECT_FALSE(watch->wait(QuietMs));
    ASSERT_TRUE(QFile::rename(temp, top + "/real.txt"));
    EXPECT_TRUE(watch->wait(ComingMs));
}

TEST_F(WatchChangeTest, TheWatchLimitKeepsTheFoldersWatchedBeforeIt) {
    for (const char* sub : {"top/a", "top/b", "top/c"})
        home.makeFolder(sub);
    int additions = 0;
    auto watch = open(true, [&](const QString&) { return ++additions > 2 ? ENOSPC : 0; });
    EXPECT_TRUE(watch->limitReached());
    EXPECT_EQ(watch->watchedFolders(), 2);
    append("top/x.txt");
    EXPECT_TRUE(watch->wait(ComingMs));

    WatchRegistry registry;
    registry.setWatchFault([&](const QString& path) { return path == top ? 0 : ENOSPC; });
    EXPECT_GT(registry.open(top, true), 0);
    EXPECT_TRUE(registry.watchLimitReached());
    EXPECT_EQ(registry.open(home.path() + "/missing", false), -1);
}

} // namespace
