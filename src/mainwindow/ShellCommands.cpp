#include "mainwindow/ShellCommands.h"

#include "platform/gui/ShellActions.h"
#include "presentation/HelpFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace ShellCommands {

void openHelp(const QString& name) {
    const QString path = HelpFiles::find(name, QCoreApplication::applicationDirPath());
    if (!path.isEmpty())
        ShellActions::open(path);
}

void openHomePage() {
    QDesktopServices::openUrl(QUrl(HelpFiles::homePage()));
}

} // namespace ShellCommands
