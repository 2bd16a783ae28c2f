#pragma once
// Message boxes titled "Quillmot", shown with QMessageBox.

#include "platform/MessageBox.h"

class QWidget;

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    Answer ask(const QString& text, Icon icon, Buttons buttons) override;
    Answer askDefaultNo(const QString& text, Icon icon, Buttons buttons) override;

private:
    Answer show(const QString& text, Icon icon, Buttons buttons, bool defaultNo);
    QWidget* m_parent;
};
