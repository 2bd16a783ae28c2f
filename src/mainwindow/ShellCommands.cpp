#include "mainwindow/ShellCommands.h"

#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "presentation/HelpFiles.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
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

void showAbout(QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("frmAbout"));
    box->setWindowTitle(QStringLiteral("About Quillmot"));
    box->setIconPixmap(QIcon(QStringLiteral(":/mainwindow/art/title.svg")).pixmap(120, 32));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<p><b>Quillmot - Autobackup Software</b><br>Version %1</p>"
                                "<p>Copies every file you save to the destinations you chose, "
                                "on the disks you named.</p>"
                                "<p>Built with Qt %2.</p><p><a href=\"%3\">%3</a></p>")
                     .arg(ProgramInfo::versionText(), QString::fromLatin1(qVersion()),
                          HelpFiles::homePage().toHtmlEscaped()));
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box->setStandardButtons(QMessageBox::Ok);
    box->setModal(false);
    box->show();
}

} // namespace ShellCommands
