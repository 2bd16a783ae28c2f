#include "persistence/AssociationStore.h"
#include "persistence/LastBackups.h"
#include "persistence/NodePrefs.h"
#include "persistence/Options.h"
#include "persistence/PausePrefs.h"
#include "persistence/WindowPrefs.h"

#include "support/TempHome.h"

#include <QDir>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

class PrefsTest : public ::testing::Test {
protected:
    TempHome home;
    QString folder = home.appDataFolder();
};

using O = Options;
// The check boxes in file order; lines 1, 3, 14, 24 and 25 hold the other values.
bool O::*const CheckBoxes[] = {
    &O::ShowSplash,          &O::NotifySuccessDisabled,
    &O::NotifyErrorDisabled, &O::TrayNod,
    &O::TrayShake,           &O::TrayShrug,
    &O::ShowScanning,        &O::NotifySourceBusy,
    &O::FullSource,          &O::FullDest,
    &O::AutoAdvance,         &O::ErrorNoSource,
    &O::ErrorSourceVol,      &O::ErrorNoDest,
    &O::ErrorCreateFolder,   &O::ErrorDestVol,
    &O::ErrorCopyFailed,     &O::ErrorPrevSave,
    &O::ErrorLoop,           &O::UseFilters,
};

class OptionsTest : public PrefsTest {
protected:
    Options options;

    // Saves the typical entry changed by `edit`; returns the lines written.
    QStringList saveWith(const std::function<void(OptionsEntry&)>& edit) {
        OptionsEntry entry;
        entry.BusyTimeout = "30";
        entry.PrevSaveName = "PrevSave";
        entry.AdvanceSeconds = "3";
        edit(entry);
        EXPECT_TRUE(saveOptions(options, entry, folder).ok());
        QStringList lines = QString::fromUtf8(readWholeFile(folder + "/opts")).split("\r\n");
        EXPECT_EQ(lines.takeLast(), ""); // every line ends with CR LF
        return lines;
    }
};

} // namespace

TEST_F(PrefsTest, WindowPrefsRoundTripAndRefuseWhatTheyCannotRead) {
    ASSERT_TRUE(saveWindowPrefs({-120, 32767, 5300, 9330}, "", folder).ok());
    EXPECT_EQ(readWholeFile(folder + "/wprefs"),
              crlfLines({"-120", "32767", "5300", "9330", "<n/a>"}));
    ASSERT_TRUE(saveWindowPrefs({1, 2, 3, 4}, "Work", folder).ok());
    const auto stored = loadWindowPrefs(folder);
    ASSERT_TRUE(stored);
    const WindowPlacement& w = stored->window;
    EXPECT_EQ(QList({w.Top, w.Left, w.Height, w.Width}), QList({1, 2, 3, 4}));
    EXPECT_EQ(stored->schemeName, "Work");
    // A window on a 4K screen is wider than 16-bit twips can hold; a run that neither loaded nor
    // saved a scheme keeps the name the status bar showed since the start.
    ASSERT_TRUE(saveWindowPrefs({-2000, 40000, 32400, 57600}, "", folder).ok());
    const auto later = loadWindowPrefs(folder);
    EXPECT_EQ(
        QList({later->window.Top, later->window.Left, later->window.Height, later->window.Width}),
        QList({-2000, 40000, 32400, 57600}));
    EXPECT_EQ(later->schemeName, "Work");

    home.writeAppData("wprefs", crlfLines({"1", "2", "3", "4"}));
    EXPECT_FALSE(loadWindowPrefs(folder));
    home.writeAppData("wprefs", crlfLines({"1", "2", "1e300", "4", "<n/a>"}));
    EXPECT_FALSE(loadWindowPrefs(folder));
}

TEST_F(PrefsTest, NodePrefsAndLastBackupsRoundTrip) {
    EXPECT_TRUE(loadNodePrefs(folder).isEmpty());
    const QStringList keys = {"/", "/home", "/home/ann/Ünïcode", "/media/usb"};
    ASSERT_TRUE(saveNodePrefs(keys, folder).ok());
    EXPECT_EQ(loadNodePrefs(folder), keys);

    EXPECT_TRUE(loadLastBackups(folder).isEmpty());
    const QDateTime when(QDate(2026, 3, 14), QTime(10, 20, 30));
    const QHash<QString, QDateTime> last = {{"/home/ann/Ünïcode", when},
                                            {"/home/ann/notes.txt", when.addDays(-400)}};
    ASSERT_TRUE(saveLastBackups(last, folder).ok());
    EXPECT_EQ(loadLastBackups(folder), last);
    // A line out of step (a name with a line end in it) costs that pair, not the ones after.
    const QString stamp = when.toUTC().toString(Qt::ISODate);
    home.writeAppData("lastbackup", crlfLines({"/a", "b", stamp, "/c", stamp}));
    EXPECT_EQ(loadLastBackups(folder), (QHash<QString, QDateTime>{{"b", when}, {"/c", when}}));
}

TEST_F(PrefsTest, PausePrefsRoundTripAndAnUnreadableFileDecidesNeither) {
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Unpause);
    ASSERT_TRUE(savePausePrefs(true, folder).ok());
    EXPECT_EQ(readWholeFile(folder + "/pprefs"), "1\r\n");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Pause);
    ASSERT_TRUE(savePausePrefs(false, folder).ok());
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Unpause);
    for (const auto& [content, start] : {std::pair{"TRUE\r\n", PauseAtStart::Unpause},
                                         {"1\n0\n", PauseAtStart::Pause},
                                         {"", PauseAtStart::Neither}}) {
        home.writeAppData("pprefs", content);
        EXPECT_EQ(loadPausePrefs(folder), start) << content;
    }
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/pprefs");
    EXPECT_EQ(loadPausePrefs(folder), PauseAtStart::Neither);
}

TEST(WindowPlacementTest, EdgesAreLeftStoredSizesKeptUnlessTooLargeAndNothingStoredIsCentred) {
    constexpr int W = 19200, H = 10800; // a work area of 1280 x 720 pixels in twips
    constexpr int X = W / 2 - 9330 / 2, Y = H / 2 - 5300 / 2;
    // Stored top, left, height and width; the window's current width and height; the placing.
    const struct {
        WindowPlacement stored;
        int width, height;
        WindowPlacement placed;
    } cases[] = {
        {{H, W + 5, 5000, 9000}, 9000, 5000, {0, 0, 5000, 9000}},
        {{H - 1, W - 1, 5000, 9000}, 9000, 5000, {H - 1, W - 1, 5000, 9000}},
        {{100, 100, 20000, 30000}, 9330, 5300, {100, 100, 20000, 30000}},
        {{100, 100, 4000, 6000}, W + 1, H + 1, {100, 100, H, W}},
        {{0, 0, 0, 0}, 4000, 3000, {Y, X, 5300, 9330}},
        {{H + 10, 0, 0, 0}, 4000, 3000, {Y, X, 5300, 9330}},
    };
    for (const auto& c : cases) {
        const WindowPlacement p = placeWindow(c.stored, W, H, c.width, c.height);
        EXPECT_EQ(QList({p.Top, p.Left, p.Height, p.Width}),
                  QList({c.placed.Top, c.placed.Left, c.placed.Height, c.placed.Width}))
            << c.stored.Top << " " << c.stored.Left;
    }
}

// Every reader of the application-data folder loads what it can from any bytes and never
// crashes.
TEST_F(PrefsTest, EveryReaderLoadsWhatItCanFromAnyBytes) {
    std::mt19937 random(20260314);
    QByteArray noise(1 << 16, Qt::Uninitialized);
    for (char& c : noise)
        c = char(random());
    for (const QByteArray& content :
         {QByteArray(), QByteArray(5'000'000, '9'), noise,
          QByteArray(3, '\0') + "\r\n" + QByteArray(2'000'000, '\0') + "\r\n\xff\xfe\xc3(\r\n",
          QByteArray("\r\n\r\n\n\r\r\r\n").repeated(20'000)}) {
        for (const char* name :
             {"usrdatab", "usrdatad", "opts", "wprefs", "nprefs", "pprefs", "lastbackup"})
            home.writeAppData(name, content);
        auto destinations = std::make_shared<colDestinations>();
        colBackups backups(destinations);
        loadAssociations(backups, destinations, folder, {});
        loadDestinations(*destinations, folder);
        Options options;
        options.setDefaults();
        loadOptions(options, folder);
        loadWindowPrefs(folder);
        loadNodePrefs(folder);
        loadPausePrefs(folder);
        loadLastBackups(folder);
        if (content.startsWith("99999")) { // a first line far beyond any number
            EXPECT_EQ(options.BusyTimeout, 30);
        }
    }
}

TEST_F(OptionsTest, EveryCheckBoxReachesItsOwnLineAndReadsBack) {
    for (bool O::*only : CheckBoxes) {
        const QStringList lines = saveWith([&](OptionsEntry& e) { e.checkBoxes.*only = true; });
        ASSERT_EQ(lines.size(), 25);
        Options reread;
        loadOptions(reread, folder);
        int line = 0;
        for (bool O::*box : CheckBoxes) {
            while (QList{1, 3, 14, 24, 25}.contains(++line)) {
            }
            EXPECT_EQ(lines[line - 1], box == only ? "1" : "0") << "line " << line;
            EXPECT_EQ(reread.*box, box == only) << "line " << line;
        }
    }
}

TEST_F(OptionsTest, TypedValuesAreTrimmedAndNormalisedBeforeTheyAreStoredAndWritten) {
    // The busy time-out, the advance time and the name as typed; lines 1, 3 and 14 as written;
    // the two numbers as stored (the name is stored as written).
    const auto expect = [&](const QString& busy, const QString& advance, const QString& name,
                            const QStringList& written, double busyValue, double advanceValue) {
        const QStringList lines = saveWith([&](OptionsEntry& e) {
            e.BusyTimeout = busy;
            e.AdvanceSeconds = advance;
            e.PrevSaveName = name;
        });
        EXPECT_EQ(QStringList({lines[0], lines[2], lines[13]}), written) << busy.toStdString();
        EXPECT_EQ(options.BusyTimeout, busyValue) << busy.toStdString();
        EXPECT_EQ(options.AdvanceSeconds, advanceValue) << advance.toStdString();
        EXPECT_EQ(options.PrevSaveName, written[1]);
    };
    expect("  2.5 ", "4 sec", "  Old versions ", {"2.5", "Old versions", "4 sec"}, 2.5, 4);
    for (const QString zero : {"0", "", "abc", "-0", "1e999"})
        expect(zero, zero, "   ", {"1", "PrevSave", "0.001"}, 1, 0.001);
    expect("30", "-3", "x", {"30", "x", "0.001"}, 30, 0.001);
    expect("30", "0.002", "x", {"30", "x", "0.002"}, 30, 0.002);
    // Names the boxes let through that would lead out of the destination.
    for (const QString name : {"..", " . "})
        expect("30", "1", name, {"30", "PrevSave", "1"}, 30, 1);

    const char* boxes[][2] = {{"~\r\n.tmp", "~|.tmp"},
                              {"~\n.tmp", "~|.tmp"},
                              {"  ~\r\n$  ", "~|$"},
                              {"~\r\n", "~|"},
                              {"a b\r\n\r\nc", "a b||c"}};
    for (const auto& [box, line] : boxes) {
        const QStringList lines = saveWith([&](OptionsEntry& e) {
            e.FilterPrefixes = box;
            e.FilterSuffixes = box;
        });
        EXPECT_EQ(options.FilterPrefixes, line);
        EXPECT_EQ(lines.mid(23), (QStringList{line, line}));
    }
}

// Whatever opts does not say readably keeps its default: a short, empty or unreadable file must
// not turn off the error notices, the tray animations or the busy retries.
TEST_F(OptionsTest, ReadingStopsAtTheFileEndOrABadNumberAndTheRestKeepsItsDefault) {
    home.writeAppData("opts",
                      crlfLines({"12", "1", "Versions", "1", "1", "0", "1", "0", "1", "0"}));
    loadOptions(options, folder);
    EXPECT_EQ(options.BusyTimeout, 12);
    EXPECT_EQ(options.PrevSaveName, "Versions");
    EXPECT_FALSE(options.TrayNod || options.NotifySourceBusy);
    EXPECT_TRUE(options.TrayShake && options.NotifyErrorDisabled);
    EXPECT_TRUE(options.AutoAdvance && options.ErrorLoop && options.ErrorCopyFailed);
    EXPECT_FALSE(options.FullSource || options.UseFilters);
    EXPECT_EQ(options.AdvanceSeconds, 3);

    QStringList lines(25, "1");
    lines[13] = "1e999";
    home.writeAppData("opts", crlfLines(lines));
    Options overflow;
    loadOptions(overflow, folder);
    EXPECT_TRUE(overflow.AutoAdvance && overflow.FullSource);
    EXPECT_EQ(overflow.AdvanceSeconds, 3);
    EXPECT_TRUE(overflow.ErrorNoSource);
    EXPECT_FALSE(overflow.UseFilters);

    // Everything takes its default but the splash switch, which stays as it was.
    const auto expectDefaults = [&](const char* what) {
        Options read;
        read.ShowSplash = true;
        read.UseFilters = true;
        read.FilterPrefixes = "~";
        loadOptions(read, folder);
        Options defaults;
        defaults.setDefaults();
        defaults.ShowSplash = true;
        EXPECT_EQ(read.BusyTimeout, 30) << what;
        EXPECT_EQ(read.AdvanceSeconds, 3) << what;
        EXPECT_EQ(read.PrevSaveName, "PrevSave") << what;
        EXPECT_TRUE(read.FilterPrefixes.isEmpty() && read.FilterSuffixes.isEmpty()) << what;
        for (bool O::*box : CheckBoxes)
            EXPECT_EQ(read.*box, defaults.*box) << what;
    };
    QFile::remove(folder + "/opts");
    expectDefaults("missing");
    home.writeAppData("opts", "");
    expectDefaults("empty");
    home.writeAppData("opts", crlfLines({"99999e999", "0", "x"}));
    expectDefaults("bad first number");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/opts"); // exists, cannot be read
    expectDefaults("unreadable");
}

TEST_F(OptionsTest, APreviousVersionNameThatWouldLeaveTheDestinationReadsAsPrevSave) {
    const QStringList unusable = {"../../../escape", "a/b", "/abs", ".", "..", ""};
    for (const QString& name : unusable + QStringList{"Old versions", "..old", "v.2"}) {
        QStringList lines(25, "1");
        lines[2] = name;
        home.writeAppData("opts", crlfLines(lines));
        Options read;
        loadOptions(read, folder);
        EXPECT_EQ(read.PrevSaveName, unusable.contains(name) ? "PrevSave" : name)
            << name.toStdString();
    }
}
