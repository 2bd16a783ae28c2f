// The file and folder dialogs open in the home folder first, then where the last pick was made.

#include "platform/gui/QtFilePickers.h"
#include "support/GuiApp.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileDialog>
#include <gtest/gtest.h>

namespace {
// Once the folder dialog is up: notes the folder it shows and picks `answer` in it.
void pickWhenShown(QString& shownFolder, const QString& answer) {
    whenShown<QFileDialog>([&shownFolder, answer](QFileDialog* dialog) {
        shownFolder = dialog->directory().absolutePath();
        dialog->selectFile(answer);
        static_cast<QDialog*>(dialog)->accept(); // accepts as the dialog does
    });
}
} // namespace

TEST(FilePickers, TheFolderDialogOpensAtHomeThenWhereTheLastFolderWasPicked) {
    ensureGuiApp();
    TempHome home;
    const QString work = home.makeFolder("Work/Letters");
    QtFilePickers pickers;

    QString shown;
    pickWhenShown(shown, work);
    EXPECT_EQ(pickers.folder("Please select a folder for backup."), work);
    EXPECT_EQ(shown, QDir::homePath());

    pickWhenShown(shown, work);
    pickers.folder("Please select a destination folder.");
    EXPECT_EQ(shown, home.path() + "/Work");
}
