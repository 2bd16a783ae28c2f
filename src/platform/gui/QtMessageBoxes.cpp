#include "platform/gui/QtMessageBoxes.h"

#include "platform/ProgramInfo.h"

#include <QMessageBox>

MessageBoxes::Answer QtMessageBoxes::ask(const QString& text, Icon icon, Buttons buttons) {
    return show(text, icon, buttons, false);
}

MessageBoxes::Answer QtMessageBoxes::askDefaultNo(const QString& text, Icon icon, Buttons buttons) {
    return show(text, icon, buttons, true);
}

MessageBoxes::Answer QtMessageBoxes::show(const QString& text, Icon icon, Buttons buttons,
                                          bool defaultNo) {
    QMessageBox box(m_parent);
    box.setWindowTitle(ProgramInfo::name);
    box.setText(text);
    // Paths in a message can be copied into a file manager or a browser.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (defaultNo && (box.standardButtons() & QMessageBox::No))
        box.setDefaultButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::Ok;
    }
}
