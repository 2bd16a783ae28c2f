#pragma once
// The file and folder pickers, behind an interface so that commands run and are tested without a
// display; the GUI answers with real dialogs.

#include <QString>
#include <QStringList>

class FilePickers {
public:
    virtual ~FilePickers() = default;
    // Existing files chosen in one folder, as full paths in the dialog's order; empty when the
    // user cancelled.
    virtual QStringList openFiles(const QString& title) = 0;
    // One folder, which the user may also type or paste; empty when cancelled.
    virtual QString folder(const QString& prompt) = 0;
    // A file to write, which may exist already (the caller asks before replacing it), offered
    // as `suggested` first; empty when cancelled.
    virtual QString saveFile(const QString& title, const QString& suggested) = 0;
};
