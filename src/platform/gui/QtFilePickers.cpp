#include "platform/gui/QtFilePickers.h"

#include <QFileDialog>

QStringList QtFilePickers::openFiles(const QString& title) {
    return QFileDialog::getOpenFileNames(m_parent, title, QString(),
                                         QStringLiteral("All Files (*)"));
}

QString QtFilePickers::folder(const QString& prompt) {
    // The dialog's own line edit takes a typed or pasted path; the caller checks that it exists.
    QFileDialog dialog(m_parent, prompt);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
