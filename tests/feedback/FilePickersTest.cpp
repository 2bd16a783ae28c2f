// The file and folder dialogs open in the home folder first, then where the last pick was made.

#include "platform/gui/QtFilePickers.h"
#include "support/GuiApp.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// Once the folder dialog is up: notes the folder it shows and picks `answer` in it.
void pickWhenShown(QString& shownFolder, const QString& answer) {
    auto step = std::make_shared<std::function<void()>>();
    *step = [&shownFolder, answer, step] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, *step);
            return;
        }
        shownFolder = dialog->directory().absolutePath();
        dialog->selectFile(answer);
        static_cast<QDialog*>(dialog)->accept(); // accepts as the dialog does
    };
    QTimer::singleShot(0, *step);
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
