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

QString QtFilePickers::saveFile(const QString& title, const QString& suggested) {
    // The caller asks before anything is replaced, after it knows what the restore found.
    const QString picked =
        QFileDialog::getSaveFileName(m_parent, title, Paths::join(m_startFolder, suggested),
                                     QString(), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!picked.isEmpty())
        m_startFolder = Paths::parent(picked);
    return picked;
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
