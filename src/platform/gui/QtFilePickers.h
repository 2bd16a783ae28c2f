#pragma once
// The pickers as QFileDialog: a multi-selection of files, a folder dialog with an editable path.

#include "platform/FilePickers.h"

class QWidget;

class QtFilePickers : public FilePickers {
public:
    explicit QtFilePickers(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    QStringList openFiles(const QString& title) override;
    QString folder(const QString& prompt) override;

private:
    QWidget* m_parent;
};
