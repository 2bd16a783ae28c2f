#include "persistence/NodePrefs.h"
#include "persistence/PausePrefs.h"
#include "persistence/WindowPrefs.h"

#include "StoreFiles.h"
#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class PrefsTest : public ::testing::Test {
protected:
    TempHome home;
    QString folder = home.appDataFolder();
    void writePref(const QString& name, const QByteArray& content) {
        home.writeFile(".config/Quillmot/" + name, content);
    }
};

// A work area of 1280 x 720 pixels in twips.
constexpr int WorkW = 19200, WorkH = 10800;

} // namespace

TEST_F(PrefsTest, WindowPrefsRoundTripAndRefuseShortOrHugeFiles) {
    ASSERT_TRUE(saveWindowPrefs(-120, 32767, 5300, 9330, "", folder));
    EXPECT_EQ(readWholeFile(folder + "/wprefs"),
              crlfLines({"-120", "32767", "5300", "9330", "<n/a>"}));
    ASSERT_TRUE(saveWindowPrefs(1, 2, 3, 4, "Work", folder));
    const auto stored = loadWindowPrefs(folder);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->window.Top, 1);
    EXPECT_EQ(stored->window.Left, 2);
    EXPECT_EQ(stored->window.Height, 3);
    EXPECT_EQ(stored->window.Width, 4);
    EXPECT_EQ(stored->SchemeName, "Work");

    writePref("wprefs", crlfLines({"1", "2", "3", "4"}));
    EXPECT_FALSE(loadWindowPrefs(folder));
    writePref("wprefs", crlfLines({"1", "2", "1e300", "4", "<n/a>"}));
    EXPECT_FALSE(loadWindowPrefs(folder));
}

TEST(WindowPlacementTest, APositionAtOrBeyondTheWorkAreaMovesToItsEdge) {
    const auto beyond = placeWindow({WorkH, WorkW + 5, 5000, 9000}, WorkW, WorkH, 9000, 5000);
    EXPECT_EQ(beyond.Top, 0);
    EXPECT_EQ(beyond.Left, 0);
    const auto inside = placeWindow({WorkH - 1, WorkW - 1, 5000, 9000}, WorkW, WorkH, 9000, 5000);
    EXPECT_EQ(inside.Top, WorkH - 1);
    EXPECT_EQ(inside.Left, WorkW - 1);
}

TEST(WindowPlacementTest, TheStoredSizeAppliesUnlessTheWindowIsAlreadyLargerThanTheWorkArea) {
    const auto fits = placeWindow({100, 100, 20000, 30000}, WorkW, WorkH, 9330, 5300);
    EXPECT_EQ(fits.Width, 30000);
    EXPECT_EQ(fits.Height, 20000);
    const auto tooLarge = placeWindow({100, 100, 4000, 6000}, WorkW, WorkH, WorkW + 1, WorkH + 1);
    EXPECT_EQ(tooLarge.Width, WorkW);
    EXPECT_EQ(tooLarge.Height, WorkH);
}

TEST(WindowPlacementTest, AllZeroAfterTheRulesRestoresTheDefaultSizeCentred) {
    for (const WindowPlacement stored : {WindowPlacement{0, 0, 0, 0}, {WorkH + 10, 0, 0, 0}}) {
        const auto placed = placeWindow(stored, WorkW, WorkH, 4000, 3000);
        EXPECT_EQ(placed.Width, 9330);
        EXPECT_EQ(placed.Height, 5300);
        EXPECT_EQ(placed.Left, WorkW / 2 - 9330 / 2);
        EXPECT_EQ(placed.Top, WorkH / 2 - 5300 / 2);
    }
}

TEST_F(PrefsTest, NodePrefsRoundTripInOrder) {
    EXPECT_TRUE(loadNodePrefs(folder).isEmpty());
    const QStringList keys = {"/", "/home", "/home/ann/Ünïcode", "/media/usb"};
    ASSERT_TRUE(saveNodePrefs(keys, folder));
    EXPECT_EQ(loadNodePrefs(folder), keys);
}

TEST_F(PrefsTest, PausePrefsTellPauseUnpauseOrNeither) {
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Unpause);
    ASSERT_TRUE(savePausePrefs(true, folder));
    EXPECT_EQ(readWholeFile(folder + "/pprefs"), "1\r\n");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Pause);
    ASSERT_TRUE(savePausePrefs(false, folder));
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Unpause);

    writePref("pprefs", "TRUE\r\n");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Unpause);
    writePref("pprefs", "1\n0\n");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Pause);
    writePref("pprefs", "");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Neither);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/pprefs");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Neither);
}
