// Every dialog without a mouse: the focus starts on something the user can change, Tab never
// stops on a field that only shows a value, and each Alt+letter reaches one control only.

#include "editing/frmEditDestVolume.h"
#include "editing/frmEditVolumes.h"
#include "editing/frmProperties.h"
#include "editing/frmRename.h"
#include "options/frmLoad.h"
#include "options/frmSave.h"

#include "presentation/SchemeCommands.h"
#include "presentation/TreeFixture.h"
#include "support/GuiApp.h"
#include "support/ScriptedPickers.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

namespace {

bool onlyShowsAValue(const QWidget* w) {
    const auto* line = qobject_cast<const QLineEdit*>(w);
    return line && line->isReadOnly();
}

// What is wrong with the dialog for a keyboard user, one entry per fault.
QStringList keyboardFaults(QDialog& dialog) {
    dialog.show();
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog))
        return {"not active"};
    QStringList faults;
    if (!dialog.focusWidget() || onlyShowsAValue(dialog.focusWidget()))
        faults << "first focus on a field that only shows a value";
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
        if (w->isVisibleTo(&dialog) && (w->focusPolicy() & Qt::TabFocus) && onlyShowsAValue(w))
            faults << "Tab stops on " + w->objectName();
    // The letter after a single "&" of each visible button's caption.
    static const QRegularExpression mnemonic(QStringLiteral("(?<!&)&([^&])"));
    QHash<QString, QString> owners;
    for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        const auto match = mnemonic.match(b->text());
        if (!match.hasMatch() || !b->isVisibleTo(&dialog))
            continue;
        const QString letter = match.captured(1).toLower();
        if (owners.contains(letter))
            faults << "Alt+" + letter + " on " + owners[letter] + " and " + b->objectName();
        owners.insert(letter, b->objectName());
    }
    dialog.reject();
    return faults;
}

struct DialogKeyboardTest : TreeFixture {
    void SetUp() override {
        ensureGuiApp();
        TreeFixture::SetUp();
    }
};

} // namespace

TEST_F(DialogKeyboardTest, EveryDialogIsUsableWithoutAMouse) {
    const QString source = folder("Docs"), backup = folder("Backup");
    associate(source, true);
    state->SelectedSourcePath = source;
    state->destinations->Add(backup, source, "USB");
    colDestinations working;
    working.Add(backup, source, "USB");
    ScriptedPickers pickers;
    ItemRenamer renamer(*state, *engine);
    SchemeCommands schemes(*state, *lifecycle, *engine);

    frmProperties properties(*state, pickers, {});
    frmEditVolumes sourceVolumes("USB", source, *state->fso, messages);
    frmEditDestVolume destinationVolume(working, 1, *state->fso, messages);
    frmRename rename(*state, *lifecycle, renamer, source, false);
    frmLoad load(schemes);
    frmSave save(schemes);
    for (QDialog* dialog : std::initializer_list<QDialog*>{
             &properties, &sourceVolumes, &destinationVolume, &rename, &load, &save})
        EXPECT_EQ(keyboardFaults(*dialog).join("; ").toStdString(), "")
            << qPrintable(dialog->metaObject()->className());
}
