#include "core/SingleInstance.h"

#include "core/Log.h"
#include "platform/AppData.h"
#include "platform/Paths.h"
#include "platform/UserSession.h"

#include <QDir>
#include <QLocalSocket>

namespace {
const QByteArray showCommand = "show\n";
const QString defaultSocketName = QStringLiteral("quillmot");

// Where the socket and the lock live: a folder no other user can put a socket into.
QString instanceFolder() {
    const QString runtime = UserSession::privateRuntimeFolder();
    if (!runtime.isEmpty())
        return runtime;
    QDir().mkpath(AppData::folder());
    return AppData::folder();
}

QString socketName() {
    const QByteArray override = qgetenv("QUILLMOT_INSTANCE_NAME");
    return override.isEmpty() ? defaultSocketName : QString::fromUtf8(override);
}
} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!UserSession::peerIsThisUser(socket->socketDescriptor())) {
                qCWarning(lcCore) << "Refused a show request from another user";
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    emit showRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

QString SingleInstance::serverName() {
    return Paths::join(instanceFolder(), socketName());
}

QString SingleInstance::lockPath() {
    return Paths::join(instanceFolder(), socketName() + QStringLiteral(".lock"));
}

bool SingleInstance::askRunningInstanceToShow(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // Only this user's own Quillmot may answer: anything else is not a running instance.
    if (!UserSession::peerIsThisUser(socket.socketDescriptor())) {
        qCWarning(lcCore) << "The single-instance socket" << serverName()
                          << "is held by another user; starting anyway";
        return false;
    }
    socket.write(showCommand);
    socket.waitForBytesWritten(timeoutMs);
    socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(serverName()))
        return true;
    // Nobody answered before we got here, so a socket file left by a crashed run is stale.
    QLocalServer::removeServer(serverName());
    return m_server.listen(serverName());
}
