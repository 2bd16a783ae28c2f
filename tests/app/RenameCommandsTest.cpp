// Renaming from the main window: the dialog opens for the selected node and the tree follows the
// renamed item; "Check for Updates" stays disabled while a check runs.

#include "app/RenameCommands.h"

#include "app/MainWindowFixture.h"
#include "editing/frmRename.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

namespace {

class RenameCommandsFixture : public MainWindowFixture {
protected:
    std::unique_ptr<RenameCommands> renameCommands;

    void SetUp() override {
        MainWindowFixture::SetUp();
        renameCommands =
            std::make_unique<RenameCommands>(*state, *engine, *lifecycle, *tree, *window, nullptr);
    }
    void TearDown() override {
        renameCommands.reset();
        MainWindowFixture::TearDown();
    }
    // Answers the rename dialog, once it is up, with `newName` and OK.
    static void answerRenameWith(const QString& newName) {
        whenShown<frmRename>([newName](frmRename* dialog) {
            dialog->findChild<QLineEdit*>("txtNewName")->setText(newName);
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
    }
};

} // namespace

TEST_F(RenameCommandsFixture, TheTreeFollowsARenamedFolderWithItsAssociations) {
    const QString data = folder("Data");
    file("Data/sub/a.txt");
    folder("Database");
    associate(data, true);
    associate(data + "/sub/a.txt", false);
    associate(missing("Database"), true);
    tree->UpdateTreeLocal();
    ASSERT_TRUE(node(data + "/sub/a.txt"));

    answerRenameWith("Work");
    emit window->renameRequested(data);

    EXPECT_FALSE(node(data));
    EXPECT_FALSE(node(data + "/sub/a.txt"));
    const QString work = home.path() + "/Work";
    ASSERT_TRUE(node(work + "/sub/a.txt"));
    EXPECT_TRUE(tree->BackupExists(work) && tree->BackupExists(work + "/sub/a.txt"));
    EXPECT_TRUE(node(home.path() + "/Database"));
    EXPECT_FALSE(state->Paused); // scanning resumed after the dialog
}

TEST_F(RenameCommandsFixture, CheckForUpdatesIsDisabledWhileACheckRuns) {
    QTcpServer silent; // accepts and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    qputenv("QUILLMOT_UPDATE_URL",
            QStringLiteral("http://127.0.0.1:%1/v.txt").arg(silent.serverPort()).toUtf8());
    QAction* updates = window->action("mnuUpdates");
    ASSERT_TRUE(updates && updates->isEnabled());
    emit window->checkForUpdatesRequested();
    EXPECT_FALSE(updates->isEnabled());
    qunsetenv("QUILLMOT_UPDATE_URL");
}
