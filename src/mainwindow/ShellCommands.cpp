#include "mainwindow/ShellCommands.h"

#include "platform/Paths.h"
#include "presentation/HelpFiles.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace ShellCommands {

void open(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void showProperties(const QString& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // A short limit: an activatable file manager answers at once, a missing one fails at once.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return;
    const QString parent = Paths::parent(path);
    open(parent.isEmpty() || QFileInfo(path).isDir() ? path : parent);
}

void openHelp(const QString& name) {
    const QString path = HelpFiles::find(name, QCoreApplication::applicationDirPath());
    if (!path.isEmpty())
        open(path);
}

void openHomePage() {
    QDesktopServices::openUrl(QUrl(HelpFiles::homePage()));
}

} // namespace ShellCommands
