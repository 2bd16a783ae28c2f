#include "persistence/Options.h"

#include "StoreFiles.h"
#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class OptionsTest : public ::testing::Test {
protected:
    TempHome home;
    QString folder = home.appDataFolder();
    Options options;

    QStringList writtenLines() const {
        QStringList lines = QString::fromUtf8(readWholeFile(folder + "/opts")).split("\r\n");
        EXPECT_EQ(lines.takeLast(), ""); // every line ends with CR LF
        return lines;
    }
    // Saves the typical entry changed by `edit`; returns the lines written.
    template <class Edit> QStringList saveWith(Edit edit) {
        OptionsEntry entry;
        entry.BusyTimeout = "30";
        entry.PrevSaveName = "PrevSave";
        entry.AdvanceSeconds = "3";
        edit(entry);
        EXPECT_TRUE(saveOptions(options, entry, folder));
        return writtenLines();
    }
};

struct CheckBoxLine {
    int line;
    bool Options::*option;
};
#define CHECK_BOX(line, name)                                                                      \
    { line, &Options::name }
const CheckBoxLine CheckBoxLines[] = {
    CHECK_BOX(2, ShowSplash),          CHECK_BOX(4, NotifySuccessDisabled),
    CHECK_BOX(5, NotifyErrorDisabled), CHECK_BOX(6, TrayNod),
    CHECK_BOX(7, TrayShake),           CHECK_BOX(8, TrayShrug),
    CHECK_BOX(9, ShowScanning),        CHECK_BOX(10, NotifySourceBusy),
    CHECK_BOX(11, FullSource),         CHECK_BOX(12, FullDest),
    CHECK_BOX(13, AutoAdvance),        CHECK_BOX(15, ErrorNoSource),
    CHECK_BOX(16, ErrorSourceVol),     CHECK_BOX(17, ErrorNoDest),
    CHECK_BOX(18, ErrorCreateFolder),  CHECK_BOX(19, ErrorDestVol),
    CHECK_BOX(20, ErrorCopyFailed),    CHECK_BOX(21, ErrorPrevSave),
    CHECK_BOX(22, ErrorLoop),          CHECK_BOX(23, UseFilters),
};
#undef CHECK_BOX

} // namespace

TEST_F(OptionsTest, WithoutAnOptsFileEveryOptionTakesItsDefaultButTheSplashSwitchStays) {
    options.ShowSplash = true;
    options.UseFilters = true;
    options.FilterPrefixes = "~";
    loadOptions(options, folder);
    EXPECT_EQ(options.BusyTimeout, 30);
    EXPECT_TRUE(options.ShowSplash);
    EXPECT_EQ(options.PrevSaveName, "PrevSave");
    EXPECT_FALSE(options.NotifySuccessDisabled || options.NotifyErrorDisabled ||
                 options.ShowScanning || options.FullSource || options.FullDest ||
                 options.UseFilters);
    EXPECT_TRUE(options.TrayNod && options.TrayShake && options.TrayShrug &&
                options.NotifySourceBusy && options.AutoAdvance);
    EXPECT_EQ(options.AdvanceSeconds, 3);
    EXPECT_TRUE(options.ErrorNoSource && options.ErrorSourceVol && options.ErrorNoDest &&
                options.ErrorCreateFolder && options.ErrorDestVol && options.ErrorCopyFailed &&
                options.ErrorPrevSave && options.ErrorLoop);
    EXPECT_TRUE(options.FilterPrefixes.isEmpty() && options.FilterSuffixes.isEmpty());
}

TEST_F(OptionsTest, EveryCheckBoxReachesItsOwnLineAndReadsBack) {
    for (const CheckBoxLine& only : CheckBoxLines) {
        const QStringList lines =
            saveWith([&](OptionsEntry& e) { e.checkBoxes.*only.option = true; });
        ASSERT_EQ(lines.size(), 25);
        Options reread;
        loadOptions(reread, folder);
        for (const CheckBoxLine& box : CheckBoxLines) {
            EXPECT_EQ(lines[box.line - 1], box.line == only.line ? "1" : "0")
                << "line " << box.line << " with only line " << only.line << " ticked";
            EXPECT_EQ(reread.*box.option, box.line == only.line) << "line " << box.line;
        }
    }
}

TEST_F(OptionsTest, TypedValuesAreTrimmedAndNormalisedBeforeTheyAreStoredAndWritten) {
    auto lines = saveWith([](OptionsEntry& e) {
        e.BusyTimeout = "  2.5 ";
        e.AdvanceSeconds = "4 sec";
        e.PrevSaveName = "  Old versions ";
    });
    EXPECT_EQ(options.BusyTimeout, 2.5);
    EXPECT_EQ(options.AdvanceSeconds, 4);
    EXPECT_EQ(options.PrevSaveName, "Old versions");
    EXPECT_EQ(lines[0], "2.5");
    EXPECT_EQ(lines[2], "Old versions");
    EXPECT_EQ(lines[13], "4 sec");

    for (const QString zero : {"0", "", "abc", "-0", "1e999"}) {
        lines = saveWith([&](OptionsEntry& e) {
            e.BusyTimeout = zero;
            e.AdvanceSeconds = zero;
            e.PrevSaveName = "   ";
        });
        EXPECT_EQ(options.BusyTimeout, 1) << zero.toStdString();
        EXPECT_EQ(options.AdvanceSeconds, 0.001) << zero.toStdString();
        EXPECT_EQ(options.PrevSaveName, "PrevSave");
        EXPECT_EQ(lines.mid(0, 3), (QStringList{"1", "0", "PrevSave"}));
        EXPECT_EQ(lines[13], "0.001");
    }
    EXPECT_EQ(saveWith([](OptionsEntry& e) { e.AdvanceSeconds = "-3"; })[13], "0.001");
    EXPECT_EQ(saveWith([](OptionsEntry& e) { e.AdvanceSeconds = "0.002"; })[13], "0.002");
}

TEST_F(OptionsTest, FilterBoxLinesAreJoinedWithBars) {
    const QList<std::pair<QString, QString>> cases = {{"~\r\n.tmp", "~|.tmp"},
                                                      {"~\n.tmp", "~|.tmp"},
                                                      {"  ~\r\n$  ", "~|$"},
                                                      {"~\r\n", "~|"},
                                                      {"a b\r\n\r\nc", "a b||c"}};
    for (const auto& [box, line] : cases) {
        const QStringList lines = saveWith([&](OptionsEntry& e) {
            e.FilterPrefixes = box;
            e.FilterSuffixes = box;
        });
        EXPECT_EQ(options.FilterPrefixes, line);
        EXPECT_EQ(lines.mid(23), (QStringList{line, line}));
    }
}

TEST_F(OptionsTest, ReadingStopsAtTheFileEndOrABadNumberLeavingTheRestAsItWas) {
    home.writeFile(".config/Quillmot/opts",
                   crlfLines({"12", "1", "Versions", "1", "1", "0", "1", "0", "1", "0"}));
    options.setDefaults();
    loadOptions(options, folder);
    EXPECT_EQ(options.BusyTimeout, 12);
    EXPECT_EQ(options.PrevSaveName, "Versions");
    EXPECT_FALSE(options.NotifySourceBusy);
    EXPECT_TRUE(options.AutoAdvance && options.ErrorLoop);
    EXPECT_EQ(options.AdvanceSeconds, 3);

    Options fresh;
    loadOptions(fresh, folder);
    EXPECT_FALSE(fresh.AutoAdvance || fresh.ErrorLoop || fresh.FullSource);
    EXPECT_EQ(fresh.AdvanceSeconds, 0);

    QStringList lines(25, "1");
    lines[13] = "1e999";
    home.writeFile(".config/Quillmot/opts", crlfLines(lines));
    Options overflow;
    loadOptions(overflow, folder);
    EXPECT_TRUE(overflow.AutoAdvance);
    EXPECT_EQ(overflow.AdvanceSeconds, 0);
    EXPECT_FALSE(overflow.ErrorNoSource);

    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/opts"); // exists, cannot be read
    Options unreadable;
    loadOptions(unreadable, folder);
    EXPECT_EQ(unreadable.BusyTimeout, 0);
}
