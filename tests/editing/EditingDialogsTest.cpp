#include "editing/frmEditDestVolume.h"
#include "editing/frmEditVolumes.h"
#include "editing/frmProperties.h"

#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/DetachedWork.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "support/GuiApp.h"
#include "support/Recorder.h"
#include "support/ScriptedPickers.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// A control of a dialog by its name.
template <class T> T* child(QWidget* dialog, const char* name) {
    T* found = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

class DialogTest : public StateOverHome {
protected:
    ScriptedPickers pickers;
    int unpauses = 0;

    void SetUp() override {
        ensureGuiApp();
        makeState();
    }
    // The dialog's disk checks end before the next test's home is made.
    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([] { return DetachedWork::underWay() == 0; }));
    }
    std::unique_ptr<frmProperties> open(const QString& source, bool fresh) {
        clsBackup association = newAssociation(source, true, VolumeList::encode({"V"}, false), "c",
                                               state->destinations);
        if (!fresh)
            association.DateLastModified = "saved";
        state->backups->Add(std::move(association), Paths::PathKey(source));
        state->SelectedSourcePath = source;
        state->NewAssociationPending = fresh;
        PropertiesSession::Hooks hooks;
        hooks.unpause = [this] { ++unpauses; };
        auto dialog = std::make_unique<frmProperties>(*state, pickers, hooks);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }
};

} // namespace

TEST_F(DialogTest, TheVersionsBoxTakesDigitsOnlyTypedOrPasted) {
    auto d = open(home.makeFolder("S"), false);
    auto* versions = child<QLineEdit>(d.get(), "txtVersions");
    auto* more = child<QToolButton>(d.get(), "cmdMoreVersions");
    EXPECT_FALSE(versions->isEnabled()) << "off until Keep is ticked";
    QTest::mouseClick(child<QCheckBox>(d.get(), "chkKeepBackup"), Qt::LeftButton);
    EXPECT_TRUE(versions->isEnabled() && more->isEnabled());
    versions->selectAll();
    QTest::keyClicks(versions, "a4-x7z9");
    EXPECT_EQ(versions->text(), "47") << "letters are dropped, two digits at most";
    versions->clear();
    QApplication::clipboard()->setText("1\n2");
    versions->paste();
    EXPECT_EQ(versions->text(), "") << "a pasted line break gets no further than a key";
    versions->setText("98");
    QTest::mouseClick(more, Qt::LeftButton);
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_EQ(versions->text(), "99");

    // Without a destination nothing would be backed up: Save asks, and No keeps the dialog.
    QTest::mouseClick(child<QPushButton>(d.get(), "cmdOK"), Qt::LeftButton);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(
        messages.asked[0].text.contains("Nothing will be backed up until a destination is added"));
    EXPECT_TRUE(d->isVisible());
    EXPECT_NE(state->backups->Item(home.path() + "/S")->Versions, 99);
    messages.answers = {MessageBoxes::Answer::Yes};
    QTest::mouseClick(child<QPushButton>(d.get(), "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(state->backups->Item(home.path() + "/S")->Versions, 99);
    EXPECT_TRUE(d->isHidden());
    EXPECT_EQ(unpauses, 1);
}

TEST_F(DialogTest, TheCloseBoxCancelsANewAssociationInFullAndEscapeLeavesASavedOneAlone) {
    const QString fresh = home.makeFolder("New");
    auto d = open(fresh, true);
    EXPECT_TRUE(child<QPushButton>(d.get(), "cmdSaveAll")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(d.get(), "cmdSaveAll")->isDefault());
    d->close();
    EXPECT_FALSE(state->backups->contains(fresh));
    EXPECT_TRUE(state->PropertiesCanceled);
    EXPECT_EQ(unpauses, 1);

    const QString saved = home.makeFolder("Old");
    d = open(saved, false);
    EXPECT_FALSE(child<QPushButton>(d.get(), "cmdSaveAll")->isEnabled());
    QTest::mouseClick(child<QCheckBox>(d.get(), "chkEnabled"), Qt::LeftButton);
    QTest::keyClick(d.get(), Qt::Key_Escape);
    ASSERT_TRUE(state->backups->contains(saved));
    EXPECT_TRUE(state->backups->Item(saved)->Enabled);
    EXPECT_TRUE(state->PropertiesCanceled);
}

// The real file system, except that a disk whose path names "Hung" does not answer until let go.
class HungDisk : public FileSystem {
public:
    bool DriveExists(const QString& drive) const override {
        if (!drive.contains("Hung"))
            return FileSystem::DriveExists(drive);
        std::unique_lock lock(m_mutex);
        m_released.wait_for(lock, std::chrono::seconds(5), [this] { return m_letGo; });
        return true;
    }
    QString GetDriveName(const QString& path) const override {
        return path.contains("Hung") ? path : FileSystem::GetDriveName(path);
    }
    void letGo() {
        const std::lock_guard lock(m_mutex);
        m_letGo = true;
        m_released.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    bool m_letGo = false;
};

TEST_F(DialogTest, DestinationRowsShowFolderVolumeAndStatusAndTheMenuFollowsTheSelection) {
    auto fso = std::make_unique<HungDisk>();
    HungDisk& disk = *fso;
    makeState(std::move(fso));
    const QString source = home.makeFolder("S"), dest = home.makeFolder("D");
    state->destinations->Add(dest, source, "VOLX");
    state->destinations->Add(home.makeFolder("Hung"), source, "NET");
    state->destinations->Add(dest, source, "TWIN");
    // A disk that does not answer leaves the dialog usable and its own row checking; the others
    // show their status meanwhile.
    auto d = open(source, false);
    QTreeWidget& list = *child<QTreeWidget>(d.get(), "listDestinations");
    ASSERT_EQ(list.topLevelItemCount(), 3);
    EXPECT_EQ(list.topLevelItem(0)->text(1), "VOLX");
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.topLevelItem(0)->text(2) != "Checking..."; }));
    EXPECT_FALSE(list.topLevelItem(0)->text(2).isEmpty());
    EXPECT_EQ(list.topLevelItem(1)->text(2), "Checking...");
    disk.letGo();
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.topLevelItem(1)->text(2) != "Checking..."; }));

    // Edit Volume with nothing selected does nothing; with the row selected it opens the editor,
    // which stays open on a name that would make the row a twin of another.
    QTest::mouseClick(child<QPushButton>(d.get(), "cmdDestVolume"), Qt::LeftButton);
    list.setCurrentItem(list.topLevelItem(0));
    QTimer::singleShot(0, [&] {
        auto* editor = d->findChild<frmEditDestVolume*>();
        ASSERT_TRUE(editor);
        EXPECT_EQ(child<QLineEdit>(editor, "txtDestPath")->text(), dest);
        EXPECT_EQ(child<QLineEdit>(editor, "txtVolume")->text(), "VOLX");
        child<QLineEdit>(editor, "txtVolume")->setText("twin");
        QTest::mouseClick(child<QPushButton>(editor, "cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(messages.asked.size(), 1u);
        child<QLineEdit>(editor, "txtVolume")->setText("lower case");
        QTest::mouseClick(child<QPushButton>(editor, "cmdOK"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(d.get(), "cmdDestVolume"), Qt::LeftButton);
    EXPECT_EQ(list.topLevelItem(0)->text(1), "lower case") << "stored as typed";
    EXPECT_EQ(state->destinations->of(source)[0]->Volume, "VOLX") << "nothing saved yet";
}

TEST_F(DialogTest, TheSourceVolumeEditorTakesKeysAsTheButtons) {
    ScriptedMessages msgs;
    const QChar nul(u'\0');
    frmEditVolumes editor(QString("A") + nul + "B" + nul + "C", "/", *state->fso, msgs);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    auto* name = child<QLineEdit>(&editor, "txtVolume");
    auto* list = child<QListWidget>(&editor, "lbxVolumes");
    QTest::keyClicks(name, "new");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(editor.isVisible()) << "Enter in the name box adds the name, not closes";
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(3)->text(), "NEW");
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->count(), 2);
    // A pasted name with a line break or over 32 characters does not get into the box.
    name->clear();
    for (const QString& pasted : {QString("TWO\nLINES"), QString(33, 'L')}) {
        QApplication::clipboard()->setText(pasted);
        name->paste();
        EXPECT_EQ(name->text(), "") << pasted.toStdString();
    }
    QTest::mouseClick(child<QPushButton>(&editor, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(editor.volumes(), QString("B") + nul + "NEW");

    frmEditVolumes other(QString("A"), "/", *state->fso, msgs);
    other.show();
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_TRUE(other.volumes().isEmpty());
}
