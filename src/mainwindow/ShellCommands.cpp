#include "mainwindow/ShellCommands.h"

#include "platform/gui/ShellActions.h"
#include "presentation/HelpFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace ShellCommands {

void openHelp(const QString& name, MessageBoxes& messages) {
    HelpFiles::show(name, QCoreApplication::applicationDirPath(), &ShellActions::open, messages);
}

void openHomePage(MessageBoxes& messages) {
    HelpFiles::showHomePage(
        [](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); }, messages);
}

} // namespace ShellCommands
