// The options dialog driven as a user would: every option shown from opts and stored back, the
// boxes' key and paste rules, the step buttons, the tray previews, and the start at log-in.

#include "options/frmOptions.h"

#include "persistence/Options.h"
#include "platform/StartupShortcut.h"
#include "state/AppState.h"
#include "support/GuiApp.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct RecordingSink : IconSink {
    std::vector<TrayPicture> shown;
    void showPicture(TrayPicture picture) override { shown.push_back(picture); }
};

// An opts file in which every Boolean differs from its neighbours' pattern, so two options
// swapped between their boxes cannot round-trip unnoticed.
const QStringList HandWritten = {"45", "1", "Old", "0", "1", "0", "1",           "1", "0",
                                 "1",  "0", "1",   "0", "7", "1", "0",           "0", "1",
                                 "0",  "1", "1",   "0", "1", "~", "ab|.tmp|.bak"};

struct OptionsDialogTest : ::testing::Test {
    bool guiReady = (ensureGuiApp(), true); // before any widget member
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    ManualClock clock;
    AppState state{ui, messages, clock};
    RecordingSink tray;
    QString program = makeProgram();
    frmOptions dialog{state, tray, {program, home.path() + "/bin/quillmot.svg"}};

    QString makeProgram() {
        const QString path = home.writeFile("bin/quillmot", "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    template <class W> W* control(const char* name) {
        W* w = dialog.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
    QCheckBox* check(const char* name) { return control<QCheckBox>(name); }
    // A check box takes a click on its square and caption only, not on the rest of its row.
    void click(const char* name) {
        auto* button = control<QAbstractButton>(name);
        const bool isCheckBox = qobject_cast<QCheckBox*>(button) != nullptr;
        QTest::mouseClick(button, Qt::LeftButton, {},
                          isCheckBox ? QPoint(6, button->height() / 2) : button->rect().center());
    }
    void open() {
        loadOptions(state.options, home.appDataFolder());
        dialog.showOptions();
    }
    QByteArray opts() const { return readWholeFile(home.appDataFolder() + "/opts"); }
    QString autostart() const { return home.path() + "/.config/autostart"; }
};

} // namespace

TEST_F(OptionsDialogTest, EveryOptionShowsInItsControlAndAnUntouchedOkWritesTheSameFile) {
    home.writeAppData("opts", crlfLines(HandWritten));
    open();
    EXPECT_EQ(box("txtBusyTimeout")->text(), "45");
    EXPECT_EQ(box("txtPrevSave")->text(), "Old");
    EXPECT_EQ(box("txtAdvance")->text(), "7");
    EXPECT_EQ(control<QPlainTextEdit>("txtSuffixes")->toPlainText(), "ab\n.tmp\n.bak");
    EXPECT_TRUE(check("chkSplash")->isChecked());
    EXPECT_FALSE(check("chkAdvance")->isChecked());
    EXPECT_FALSE(box("txtAdvance")->isEnabled());
    EXPECT_TRUE(control<QToolButton>("cmdMoreAdv")->isEnabled());
    EXPECT_TRUE(control<QPlainTextEdit>("txtPrefixes")->isEnabled());
    EXPECT_FALSE(check("chkStartup")->isChecked());

    QFile::remove(home.appDataFolder() + "/opts");
    click("cmdOK");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(opts(), crlfLines(HandWritten));
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_FALSE(QFileInfo::exists(autostart())); // the box did not change
}

TEST_F(OptionsDialogTest, EditsApplyAtOnceOnOkAndCancelKeepsEverything) {
    open(); // no opts: the defaults
    auto* prefixes = control<QPlainTextEdit>("txtPrefixes");
    const auto edit = [&] {
        click("chkUseFilters");
        click("chkTrayShake");
        control<QTabWidget>("tbsOptions")->setCurrentIndex(3);
        prefixes->setFocus();
        QTest::keyClicks(prefixes, "~");
        QTest::keyClick(prefixes, Qt::Key_Return);
        QTest::keyClicks(prefixes, ".tmp");
    };
    edit();
    click("cmdCancel");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(state.options.UseFilters);
    EXPECT_TRUE(opts().isEmpty());

    dialog.showOptions(); // filled again: the cancelled edits are gone
    EXPECT_EQ(prefixes->toPlainText(), "");
    EXPECT_FALSE(prefixes->isEnabled());
    edit();
    click("cmdOK");
    EXPECT_TRUE(state.options.UseFilters);
    EXPECT_EQ(state.options.FilterPrefixes, "~|.tmp");
    EXPECT_FALSE(state.options.TrayShake);

    dialog.showOptions();
    EXPECT_EQ(prefixes->toPlainText(), "~\n.tmp");
}

TEST_F(OptionsDialogTest, BoxesRefuseTypedAndPastedCharacters) {
    open();
    QLineEdit* busy = box("txtBusyTimeout");
    busy->clear();
    QTest::keyClicks(busy, "1a2.-3 ");
    EXPECT_EQ(busy->text(), "123");
    QLineEdit* prevSave = box("txtPrevSave");
    prevSave->clear();
    QTest::keyClicks(prevSave, "Old:\\Ver/s*i?o\"n<s>|");
    EXPECT_EQ(prevSave->text(), "OldVersions");
    QGuiApplication::clipboard()->setText("../../escape");
    prevSave->selectAll();
    prevSave->paste();
    EXPECT_EQ(prevSave->text(), "OldVersions");
    EXPECT_EQ(prevSave->maxLength(), 254);
    click("cmdOK");
    EXPECT_EQ(state.options.PrevSaveName, "OldVersions");
}

TEST_F(OptionsDialogTest, TheStepButtonsKeepTheirLimits) {
    open();
    QLineEdit* advance = box("txtAdvance");
    EXPECT_EQ(advance->maxLength(), 2);
    advance->setText("98");
    click("cmdMoreAdv");
    click("cmdMoreAdv");
    EXPECT_EQ(advance->text(), "99");
    advance->setText("2");
    click("cmdLessAdv");
    click("cmdLessAdv");
    EXPECT_EQ(advance->text(), "1");
    advance->setText("0"); // typed 0 never steps below zero, and is stored as the shortest time
    click("cmdLessAdv");
    EXPECT_EQ(advance->text(), "0");
    click("chkAdvance");
    EXPECT_FALSE(advance->isEnabled());
    click("cmdOK");
    EXPECT_EQ(state.options.AdvanceSeconds, 0.001);
}

// Values an edited file holds that the boxes cannot show come up as the nearest they can; the
// name that would lead out of the destination is the reading's own test.
TEST_F(OptionsDialogTest, OutOfRangeValuesFromAnEditedFileShowNormalised) {
    // Lines 1 and 14 as edited; the busy time-out and the advance time as shown.
    const QStringList rows[] = {{"-5", "0.001", "1", "1"}, {"45", "250.5", "45", "99"}};
    for (const QStringList& row : rows) {
        QStringList edited = HandWritten;
        edited[0] = row[0];
        edited[13] = row[1];
        home.writeAppData("opts", crlfLines(edited));
        open();
        EXPECT_EQ(box("txtBusyTimeout")->text(), row[2]);
        EXPECT_EQ(box("txtAdvance")->text(), row[3]);
        dialog.reject();
    }
}

TEST_F(OptionsDialogTest, RightClickOnAnAnimationBoxPreviewsItAndClosingEndsTheNormalIcon) {
    open();
    control<QTabWidget>("tbsOptions")->setCurrentIndex(1);
    const bool nodWas = check("chkTrayNod")->isChecked();
    QTest::mouseClick(check("chkTrayShrug"), Qt::RightButton);
    QTest::mouseClick(check("chkTrayNod"), Qt::RightButton);
    // The shrug stopped on the normal picture before it showed one frame; the nod plays.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.shown.size() >= 3; }, 10000));
    EXPECT_EQ(std::vector(tray.shown.begin(), tray.shown.begin() + 3),
              std::vector({TrayPicture::Normal, TrayPicture::Normal, TrayPicture::Nod}));
    EXPECT_EQ(check("chkTrayNod")->isChecked(), nodWas); // a preview is not a click
    EXPECT_TRUE(dialog.preview().isRunning());
    click("cmdCancel");
    EXPECT_EQ(tray.shown.back(), TrayPicture::Normal);
    EXPECT_FALSE(dialog.preview().isRunning());
}

// Which entries count and which go when the box is cleared is the start-up entry's own test.
TEST_F(OptionsDialogTest, StartAtLogInFollowsTheBoxAndAFolderThatCannotBeMadeRefusesOnlyIt) {
    open();
    click("chkStartup");
    click("cmdOK");
    dialog.showOptions();
    EXPECT_TRUE(check("chkStartup")->isChecked());
    click("cmdOK");
    EXPECT_TRUE(StartupShortcut::CheckStartup(program));
    dialog.showOptions();
    click("chkStartup");
    click("cmdOK");
    EXPECT_FALSE(StartupShortcut::CheckStartup(program));

    // A start-up folder that cannot be made: the box's change is refused, the rest is saved.
    QDir(autostart()).removeRecursively();
    home.writeFile(".config/autostart", "a file");
    dialog.showOptions();
    click("chkStartup");
    click("chkSplash");
    click("cmdOK");
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.startsWith("Quillmot could not change its start-up entry"));
    EXPECT_TRUE(state.options.ShowSplash);
    EXPECT_EQ(QString::fromUtf8(opts()).split("\r\n").value(1), "1");
}
