#include "editing/frmRename.h"

#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"
#include "support/Mounts.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Answer = MessageBoxes::Answer;

class RenameDialogFixture : public TreeFixture {
protected:
    std::unique_ptr<ItemRenamer> renamer;

    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
        renamer = std::make_unique<ItemRenamer>(*state, *engine);
    }
    std::unique_ptr<frmRename> open(const QString& path, bool isDrive = false) {
        auto dialog =
            std::make_unique<frmRename>(*state, *lifecycle, *renamer, path, isDrive, nullptr);
        dialog->show();
        return dialog;
    }
    static QLineEdit* newName(frmRename& dialog) {
        return dialog.findChild<QLineEdit*>("txtNewName");
    }
    static void typeAndConfirm(frmRename& dialog, const QString& text) {
        newName(dialog)->clear();
        QTest::keyClicks(newName(dialog), text);
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    }
};

} // namespace

TEST_F(RenameDialogFixture, ChangingAFileExtensionIsAskedAndANoKeepsTheOldName) {
    const QString report = file("docs/report.txt");
    auto dialog = open(report);
    EXPECT_EQ(dialog->windowTitle(), "Rename - Quillmot");
    EXPECT_EQ(newName(*dialog)->text(), "report.txt");
    messages.answers = {Answer::No};
    typeAndConfirm(*dialog, "report.doc");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(newName(*dialog)->text(), "report.txt");
    EXPECT_TRUE(messages.texts().first().startsWith("Changing the file extension"));
    EXPECT_TRUE(QFileInfo::exists(report));

    messages.asked.clear();
    messages.answers = {Answer::Yes};
    typeAndConfirm(*dialog, "  .report.doc.  ");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/docs/report.doc"));

    // No dot, or the same extension: no question.
    messages.asked.clear();
    auto again = open(home.path() + "/docs/report.doc");
    typeAndConfirm(*again, "summary");
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/docs/summary"));
}

// Scanning pauses while the dialog is open, and resumes after it unless it was paused before.
TEST_F(RenameDialogFixture, EmptyDotsOnlyAndOverlongNamesAreRefusedAndScanningPausesMeanwhile) {
    const QString folder = home.makeFolder("Data");
    auto dialog = open(folder);
    EXPECT_TRUE(state->Paused);
    messages.answers = {Answer::Ok, Answer::Ok};
    typeAndConfirm(*dialog, "");
    typeAndConfirm(*dialog, "...");
    EXPECT_EQ(messages.texts(), QStringList(2, "Please enter a new name for this file or folder."));
    EXPECT_EQ(messages.asked[0].buttons, MessageBoxes::Buttons::OkCancel);
    EXPECT_TRUE(dialog->isVisible());

    messages.asked.clear();
    newName(*dialog)->setText(QString(100, QChar(0x65e5))); // 300 bytes of UTF-8
    QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_TRUE(messages.texts().value(0).startsWith("The new name is too long"));
    EXPECT_TRUE(QFileInfo::exists(folder));

    messages.answers = {Answer::Cancel};
    typeAndConfirm(*dialog, "");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(QFileInfo::exists(folder));
    EXPECT_FALSE(state->Paused);

    lifecycle->Pause();
    open(folder)->reject();
    EXPECT_TRUE(state->Paused);
}

TEST_F(RenameDialogFixture, ForbiddenCharactersNeitherTypedNorPastedGetIn) {
    auto dialog = open(folder("Data"));
    QLineEdit* box = newName(*dialog);
    box->clear();
    QTest::keyClicks(box, "a/b:c");
    EXPECT_EQ(box->text(), "abc");
    QApplication::clipboard()->setText("x/../y|z");
    box->clear();
    QTest::keySequence(box, QKeySequence::Paste);
    if (box->text().isEmpty())
        GTEST_SKIP() << "this platform has no clipboard";
    EXPECT_EQ(box->text(), "x..yz");
}

TEST_F(RenameDialogFixture, ADriveTakesItsNewVolumeNameAndTheListsFollow) {
    auto disk = ScratchMount::ext4("data", 16);
    SKIP_UNLESS_MOUNTED(disk);
    state->backups->Add(newAssociation(disk->mountPoint(), true,
                                       VolumeList::encode({"DATA"}, false), DateTimeText::never,
                                       state->destinations),
                        Paths::PathKey(disk->mountPoint()));
    state->destinations->Add(disk->mountPoint() + "/copies", disk->mountPoint(), "DATA");

    auto dialog = open(disk->mountPoint(), true);
    EXPECT_EQ(dialog->findChild<QLabel*>("lblOldName")->text(),
              "Old Volumename of " + disk->mountPoint());
    EXPECT_EQ(newName(*dialog)->text(), "data");
    EXPECT_EQ(newName(*dialog)->maxLength(), 32);
    typeAndConfirm(*dialog, "Archive");
    EXPECT_FALSE(dialog->isVisible()) << qPrintable(messages.texts().join('\n'));
    EXPECT_EQ(state->fso->VolumeName(disk->mountPoint()), "Archive");
    EXPECT_EQ(state->backups->Item(1)->Volume, "ARCHIVE");
    EXPECT_EQ(state->destinations->Item(1)->Volume, "ARCHIVE");

    // A name the file system cannot take changes nothing and says why.
    auto tooLong = open(disk->mountPoint(), true);
    typeAndConfirm(*tooLong, "A name of twenty-one");
    EXPECT_TRUE(messages.texts().last().contains("at most 16"));
    EXPECT_EQ(state->fso->VolumeName(disk->mountPoint()), "Archive");
    EXPECT_EQ(state->backups->Item(1)->Volume, "ARCHIVE");
}
