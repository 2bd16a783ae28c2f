// The main window's commands as the program wires them: adding draws the new branch with its
// pictures, renaming moves the tree along, and "Check for Updates" waits for the running check.

#include "app/EditingCommands.h"
#include "app/RenameCommands.h"
#include "app/StatusPresenter.h"

#include "editing/frmProperties.h"
#include "editing/frmRename.h"
#include "mainwindow/IconStore.h"
#include "mainwindow/MainWindowFixture.h"
#include "platform/linux/DesktopNotifierLinux.h"
#include "support/PrivateBus.h"
#include "support/ScriptedPickers.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTest>

namespace {

class MainWindowCommandsTest : public MainWindowFixture {
protected:
    ScriptedPickers pickers;
    std::unique_ptr<EditingCommands> editing;
    std::unique_ptr<RenameCommands> renaming;

    void SetUp() override {
        MainWindowFixture::SetUp();
        editing =
            std::make_unique<EditingCommands>(*state, *engine, *lifecycle, *tree, *window, pickers);
        renaming =
            std::make_unique<RenameCommands>(*state, *engine, *lifecycle, *tree, *window, nullptr);
    }
    void TearDown() override {
        editing.reset();
        renaming.reset();
        MainWindowFixture::TearDown();
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

TEST_F(MainWindowCommandsTest, AnAddedFolderAndItsDriveAreDrawnWithTheirPictures) {
    const QString data = folder("Data");
    pickers.folders = {data, folder("Backup")};
    whenShown<frmProperties>([](frmProperties* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    editing->addFolder();

    ASSERT_TRUE(tree->BackupExists(data));
    EXPECT_EQ(nodesWithoutPicture().join("; ").toStdString(), "");
}

TEST_F(MainWindowCommandsTest, TheTreeFollowsARenamedFolderWithItsAssociations) {
    const QString data = folder("Data");
    file("Data/sub/a.txt");
    folder("Database");
    associate(data, true);
    associate(data + "/sub/a.txt", false);
    associate(missing("Database"), true);
    tree->UpdateTreeLocal();
    ASSERT_TRUE(node(data + "/sub/a.txt"));
    window->selectNode(node(data));

    whenShown<frmRename>([](frmRename* dialog) {
        dialog->findChild<QLineEdit*>("txtNewName")->setText("Work");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    emit window->renameRequested(data);

    EXPECT_FALSE(node(data));
    EXPECT_FALSE(node(data + "/sub/a.txt"));
    const QString work = home.path() + "/Work";
    ASSERT_TRUE(node(work + "/sub/a.txt"));
    EXPECT_TRUE(tree->BackupExists(work) && tree->BackupExists(work + "/sub/a.txt"));
    EXPECT_TRUE(node(home.path() + "/Database"));
    EXPECT_EQ(window->selectedNode(), node(work)) << "the selection stays on the renamed folder";
    EXPECT_FALSE(state->Paused); // scanning resumed after the dialog
}

TEST_F(MainWindowCommandsTest, CheckForUpdatesIsDisabledWhileACheckRuns) {
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

// Without a tray host the status had nowhere to show: a state that lasts comes as a desktop
// notification.
TEST_F(MainWindowCommandsTest, WithoutATrayHostALastingStateComesAsADesktopNotification) {
    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon could not be started";
    FakeNotificationService service;
    ASSERT_TRUE(service.registerOn(bus.connect("service")));
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen desktop has a tray";
    const QString lonely = file("Docs/lonely.txt");
    associate(lonely, false);
    StatusPresenter presenter(*state, *engine, *lifecycle, *tree, nullptr, true,
                              std::make_unique<DbusDesktopNotifier>(bus.connect("client")));
    presenter.started();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.shown.empty(); }, 5000));
    EXPECT_EQ(service.shown[0].summary, "Nothing is backed up");
    EXPECT_EQ(service.shown[0].body, Paths::displayName(lonely) + " has no destination.");
}
