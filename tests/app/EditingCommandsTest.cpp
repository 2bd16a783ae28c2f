// Adding from the main window: the folder picked, the properties dialog saved, and the new
// branch of the tree drawn with its pictures.

#include "app/EditingCommands.h"

#include "app/MainWindowFixture.h"
#include "editing/frmProperties.h"
#include "mainwindow/IconStore.h"
#include "support/ScriptedPickers.h"

#include <QPushButton>
#include <QTest>

namespace {

class EditingCommandsFixture : public MainWindowFixture {
protected:
    ScriptedPickers pickers;
    std::unique_ptr<EditingCommands> editing;

    void SetUp() override {
        MainWindowFixture::SetUp();
        editing =
            std::make_unique<EditingCommands>(*state, *engine, *lifecycle, *tree, *window, pickers);
    }
    void TearDown() override {
        editing.reset();
        MainWindowFixture::TearDown();
    }
    // Presses Save in the properties dialog once it is up.
    static void saveThePropertiesDialog() {
        whenShown<frmProperties>([](frmProperties* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
    }
    // The name and image key of every node whose picture the window cannot draw.
    QStringList nodesWithoutPicture(const QModelIndex& parent = {}) const {
        QStringList blank;
        for (int row = 0; row < tree->rowCount(parent); ++row) {
            const QModelIndex at = tree->index(row, 0, parent);
            const QString key = at.data(AssociationTree::ImageKeyRole).toString();
            if (window->icons()->icon(key).isNull())
                blank << at.data().toString() + " (" + key + ")";
            blank << nodesWithoutPicture(at);
        }
        return blank;
    }
};

} // namespace

TEST_F(EditingCommandsFixture, AnAddedFolderAndItsDriveAreDrawnWithTheirPictures) {
    const QString data = folder("Data");
    pickers.folders = {data, folder("Backup")};
    saveThePropertiesDialog();
    // The dialog asks for the first destination itself when the association has none.
    editing->addFolder();

    ASSERT_TRUE(tree->BackupExists(data));
    EXPECT_EQ(nodesWithoutPicture().join("; ").toStdString(), "");
}
