#include "CopyFixture.h"

namespace {

using FilterTest = CopyFixture;

TEST_F(FilterTest, PiecesBlockByPrefixOrSuffixIgnoringCase) {
    const auto passes = [&](const QString& prefixes, const QString& suffixes, const QString& name) {
        state->options.UseFilters = true;
        state->options.FilterPrefixes = prefixes;
        state->options.FilterSuffixes = suffixes;
        return engine->PassesFilters(name);
    };
    EXPECT_FALSE(passes("~", "", "~$Report.DOCX"));
    EXPECT_TRUE(passes("~", "", "a~b.txt"));
    EXPECT_FALSE(passes("x|TMP", "", "tmpfile"));
    EXPECT_FALSE(passes("", ".bak| .Tmp ", "notes.TMP"));
    EXPECT_TRUE(passes("", ".bak", "bak.notes"));
    EXPECT_TRUE(passes("|   ||", " | ", "a.txt"));
    EXPECT_TRUE(passes("a.txt.old", "xa.txt", "a.txt"));
    EXPECT_FALSE(passes(" a b ", "", "a b.txt")); // inner blanks belong to the piece
    state->options.UseFilters = false;
    EXPECT_TRUE(engine->PassesFilters("~$Report.docx"));
}

TEST_F(FilterTest, FilteredFileGetsOneEntryAndTouchesNoDestination) {
    const QString file = write("src/~lock.txt", "x");
    const QString dst = folder("dst");
    addAssociation(file, false);
    addDestination(file, dst);
    state->options.UseFilters = true;
    state->options.FilterPrefixes = "~";

    copy(file, file);

    ASSERT_EQ(ui.logged.size(), 1u);
    const clsRecent& entry = ui.logged.front();
    EXPECT_EQ(entry.Message, "(File skipped due to filter option settings.)");
    EXPECT_EQ(entry.SourcePath, file);
    EXPECT_EQ(QStringList({entry.SourceVolume, entry.DestPath, entry.DestVolume}),
              QStringList(3, "<n/a>"));
    EXPECT_EQ(state->Recent->Count(), 1);
    EXPECT_EQ(state->Notifiers->Count(), 0);
    EXPECT_TRUE(ui.animations.empty());
    EXPECT_TRUE(QDir(dst).isEmpty());
    EXPECT_EQ(state->Backups->Item(1)->DateLastActivity, DateTimeText::format(clock.now()));
}

} // namespace
