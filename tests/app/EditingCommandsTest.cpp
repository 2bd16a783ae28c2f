// Adding from the main window: the folder picked, the properties dialog saved, and the new
// branch of the tree drawn with its pictures.

#include "app/EditingCommands.h"

#include "core/Lifecycle.h"
#include "editing/frmProperties.h"
#include "mainwindow/IconStore.h"
#include "mainwindow/frmQuillmot.h"
#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"
#include "support/ScriptedPickers.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class EditingCommandsFixture : public TreeFixture {
protected:
    std::unique_ptr<Lifecycle> lifecycle;
    std::unique_ptr<frmQuillmot> window;
    ScriptedPickers pickers;
    std::unique_ptr<EditingCommands> editing;

    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
        lifecycle = std::make_unique<Lifecycle>(*state, *engine);
        window = std::make_unique<frmQuillmot>();
        window->attachTree(tree.get(), commands.get());
        editing =
            std::make_unique<EditingCommands>(*state, *engine, *lifecycle, *tree, *window, pickers);
    }
    void TearDown() override {
        editing.reset();
        window.reset();
        TreeFixture::TearDown();
    }
    // Presses Save in the properties dialog once it is up.
    static void saveThePropertiesDialog() {
        auto answer = std::make_shared<std::function<void()>>();
        *answer = [answer] {
            auto* dialog = qobject_cast<frmProperties*>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(10, *answer);
                return;
            }
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        };
        QTimer::singleShot(0, *answer);
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
