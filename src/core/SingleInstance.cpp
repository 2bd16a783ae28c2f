#include "core/SingleInstance.h"

#include "core/Log.h"
#include "platform/AppData.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"
#include "platform/UserSession.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {
const QString defaultSocketName = QStringLiteral("quillmot");
const char* const instanceNameVariable = "QUILLMOT_INSTANCE_NAME";
// A name longer than this is no plain name; the socket's whole path must stay well inside the
// 108 bytes a local socket's address holds.
constexpr qsizetype longestInstanceName = 64;

// Where the socket and the lock live: a folder no other user can put a socket into.
QString instanceFolder() {
    const QString runtime = UserSession::privateRuntimeFolder();
    if (!runtime.isEmpty())
        return runtime;
    PrivateFolder::make(AppData::folder());
    return AppData::folder();
}

bool isPlainName(const QString& name) {
    if (name.isEmpty() || name.size() > longestInstanceName || name.startsWith(u'.'))
        return false;
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'.' || c == u'-' || c == u'_';
    };
    return std::all_of(name.begin(), name.end(), plain);
}

// The socket's name, or empty when QUILLMOT_INSTANCE_NAME is not a plain name.
QString socketName() {
    if (!qEnvironmentVariableIsSet(instanceNameVariable))
        return defaultSocketName;
    const QString name = qEnvironmentVariable(instanceNameVariable);
    return isPlainName(name) ? name : QString();
}

int remainingMs(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    addRequest(showRequest, [this] {
        emit showRequested();
        return servedAnswer;
    });
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            admit(socket);
    });
}

SingleInstance::~SingleInstance() {
    // The connections end while the list that holds them is still there.
    qDeleteAll(m_server.findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly));
}

void SingleInstance::addRequest(const QByteArray& request, Handler handler) {
    m_requests.insert(request, std::move(handler));
}

void SingleInstance::admit(QLocalSocket* socket) {
    if (!UserSession::peerIsThisUser(socket->socketDescriptor())) {
        qCWarning(lcCore) << "Refused a request from another user";
        drop(socket);
        return;
    }
    // The newest connection is the likeliest to be a start waiting for its answer; the oldest
    // has had the longest time to say something.
    if (m_held.size() >= maxHeldConnections)
        drop(m_held.constFirst());
    m_held.append(socket);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_held.removeOne(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
    // Whatever state it is in by then, a connection ends here: one that sends nothing would
    // otherwise hold a descriptor for as long as its peer likes.
    QTimer::singleShot(requestTimeLimitMs, socket, [this, socket] { drop(socket); });
    // A request that came with the connection is served now, not a turn of the event loop later:
    // while a long job runs in slices, each turn can take a slice's length. The look does not
    // wait.
    socket->waitForReadyRead(0);
}

void SingleInstance::drop(QLocalSocket* socket) {
    m_held.removeOne(socket);
    socket->abort();
    socket->deleteLater();
}

void SingleInstance::serve(QLocalSocket* socket) {
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > longestRequest)
            drop(socket);
        return;
    }
    const QByteArray request = socket->readLine(longestRequest + 1).trimmed();
    // Answered, it no longer takes one of the places; it ends once the answer is out.
    m_held.removeOne(socket);
    socket->write(answer(request) + '\n');
    // Written out now where the socket takes it, so that the hang-up is not left to a later
    // turn either.
    socket->flush();
    socket->disconnectFromServer();
}

QByteArray SingleInstance::answer(const QByteArray& request) {
    const auto handler = m_requests.constFind(request);
    if (handler == m_requests.cend())
        return unknownAnswer;
    // Served from the event loop: nothing a handler throws may leave it.
    try {
        return (*handler)();
    } catch (const std::exception& e) {
        qCWarning(lcCore) << "The request" << request << "failed:" << e.what();
    } catch (...) {
        qCWarning(lcCore) << "The request" << request << "failed";
    }
    return failedAnswer;
}

QString SingleInstance::instanceNameProblem() {
    if (!socketName().isEmpty())
        return {};
    return QStringLiteral("%1 must be a plain name: 1 to %2 letters, digits, \".\", \"-\" or "
                          "\"_\", not beginning with \".\" (it is \"%3\")")
        .arg(QLatin1String(instanceNameVariable))
        .arg(longestInstanceName)
        .arg(Paths::displayName(qEnvironmentVariable(instanceNameVariable)));
}

QString SingleInstance::serverName() {
    const QString name = socketName();
    return name.isEmpty() ? QString() : Paths::join(instanceFolder(), name);
}

QString SingleInstance::lockPath() {
    const QString name = socketName();
    return name.isEmpty() ? QString()
                          : Paths::join(instanceFolder(), name + QStringLiteral(".lock"));
}

SingleInstance::Answer SingleInstance::ask(const QByteArray& request, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    Answer result;
    const QString server = serverName();
    if (server.isEmpty())
        return result;
    QLocalSocket socket;
    socket.connectToServer(server);
    if (!socket.waitForConnected(remainingMs(deadline)))
        return result;
    // Only this user's own Quillmot may answer: anything else is not a running instance.
    if (!UserSession::peerIsThisUser(socket.socketDescriptor())) {
        qCWarning(lcCore) << "The single-instance socket" << server
                          << "is held by another user; starting anyway";
        return result;
    }
    result.instanceRunning = true;
    socket.write(request + '\n');
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
            return result;
        socket.waitForReadyRead(remainingMs(deadline));
    }
    result.text = socket.readLine().trimmed();
    return result;
}

bool SingleInstance::askRunningInstanceToShow(int timeoutMs) {
    return ask(showRequest, timeoutMs).instanceRunning;
}

bool SingleInstance::listen() {
    if (serverName().isEmpty())
        return false;
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(serverName()))
        return true;
    // Nobody answered before we got here, so a socket file left by a crashed run is stale.
    QLocalServer::removeServer(serverName());
    return m_server.listen(serverName());
}
