#pragma once
// The pickers as QFileDialog: a multi-selection of files, a folder dialog with an editable path.
// Each opens where the previous pick was made, and in the home folder the first time (the
// program's own working folder means nothing to the user).

#include "platform/FilePickers.h"

class QWidget;

class QtFilePickers : public FilePickers {
public:
    explicit QtFilePickers(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    QStringList openFiles(const QString& title) override;
    QString folder(const QString& prompt) override;
    QString saveFile(const QString& title, const QString& suggested) override;

private:
    QWidget* m_parent;
    QString m_startFolder;
};
