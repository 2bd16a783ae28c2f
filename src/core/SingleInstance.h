#pragma once
// One Quillmot per user: the first instance listens on a per-user local socket; a later start
// connects, checks that the answer comes from a process of the same user, asks the first to
// bring its main window up, and ends.
//
// The socket serves requests of one line each ("show"), answered with one line, after which the
// connection ends. Any process of the user can connect, so the socket guards the program's
// descriptors: it holds a few connections at a time, a new one ending the oldest, and drops one
// that has not sent a whole request within a second.

#include <QByteArray>
#include <QHash>
#include <QLocalServer>
#include <QObject>
#include <functional>
#include <optional>

class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The request that brings the running instance's window up, and the answer to a request
    // that was served.
    static inline const QByteArray showRequest = "show";
    static inline const QByteArray servedAnswer = "ok";
    static inline const QByteArray unknownAnswer = "unknown request";
    static inline const QByteArray failedAnswer = "failed";

    // How many connections wait for their request at a time, and how long one may take to send
    // it.
    static constexpr int maxHeldConnections = 8;
    static constexpr int requestTimeLimitMs = 1000;
    // The longest request line; a connection that sends more without a line end is dropped.
    static constexpr qsizetype longestRequest = 256;

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Serves `request` with `handler`, whose result is the answer line. "show" is served from
    // the start, by emitting showRequested().
    using Handler = std::function<QByteArray()>;
    void addRequest(const QByteArray& request, Handler handler);

    // Why QUILLMOT_INSTANCE_NAME cannot name the socket, or empty when it can (it is unset, or a
    // plain name). Only a plain name keeps the socket inside the private folder.
    static QString instanceNameProblem();

    // The socket's full path: "quillmot" in the user's private runtime folder (or, without one,
    // in the configuration folder), which no other user can put a socket into.
    // QUILLMOT_INSTANCE_NAME replaces "quillmot" so that separate runs do not meet each other;
    // empty when it is not a plain name.
    static QString serverName();
    // The start-up lock beside the socket; empty when the instance name is not a plain name.
    static QString lockPath();

    // What a running instance said to a request within `timeoutMs`: no text when it ended the
    // connection without an answer (an earlier version does) or did not answer in time.
    struct Answer {
        bool instanceRunning = false;
        std::optional<QByteArray> text;
    };
    static Answer ask(const QByteArray& request, int timeoutMs);

    // True when another instance of this user is running; it was asked to show its window.
    static bool askRunningInstanceToShow(int timeoutMs = 3000);

    // Starts listening; a stale socket left by a crashed run is removed first. False when the
    // socket cannot be made (the program then runs without the single-instance guard).
    bool listen();

signals:
    void showRequested();

private:
    void admit(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    void serve(QLocalSocket* socket);
    QByteArray answer(const QByteArray& request);

    QLocalServer m_server;
    QHash<QByteArray, Handler> m_requests;
    // The connections that wait for their request, oldest first.
    QList<QLocalSocket*> m_held;
};
