#include "platform/gui/QtFilePickers.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFileDialog>

QtFilePickers::QtFilePickers(QWidget* parent) : m_parent(parent), m_startFolder(QDir::homePath()) {}

QStringList QtFilePickers::openFiles(const QString& title) {
    const QStringList files = QFileDialog::getOpenFileNames(m_parent, title, m_startFolder,
                                                            QStringLiteral("All Files (*)"));
    if (!files.isEmpty())
        m_startFolder = Paths::parent(files.constFirst());
    return files;
}

QString QtFilePickers::folder(const QString& prompt) {
    // The dialog's own line edit takes a typed or pasted path; the caller checks that it exists.
    QFileDialog dialog(m_parent, prompt, m_startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString picked = dialog.selectedFiles().constFirst();
    m_startFolder = Paths::parent(picked);
    return picked;
}
