#include "core/SingleInstance.h"

#include "platform/UserSession.h"

#include <QLocalSocket>

namespace {
const QByteArray ShowCommand = "show\n";
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    emit showRequested();
                socket->disconnectFromServer();
            });
        }
    });
}

QString SingleInstance::serverName() {
    const QByteArray override = qgetenv("QUILLMOT_INSTANCE_NAME");
    if (!override.isEmpty())
        return QString::fromUtf8(override);
    return QStringLiteral("quillmot-") + UserSession::userId();
}

bool SingleInstance::askRunningInstanceToShow(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(ShowCommand);
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
