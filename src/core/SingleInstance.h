#pragma once
// One Quillmot per user: the first instance listens on a per-user local socket; a later start
// connects, checks that the answer comes from a process of the same user, asks the first to
// bring its main window up, and ends.

#include <QLocalServer>
#include <QObject>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // The socket's full path: "quillmot" in the user's private runtime folder (or, without one,
    // in the configuration folder), which no other user can put a socket into.
    // QUILLMOT_INSTANCE_NAME replaces "quillmot" so that separate runs do not meet each other.
    static QString serverName();
    // The start-up lock beside the socket.
    static QString lockPath();

    // True when another instance answered and was asked to show its window.
    static bool askRunningInstanceToShow(int timeoutMs = 1000);

    // Starts listening; a stale socket left by a crashed run is removed first. False when the
    // socket cannot be made (the program then runs without the single-instance guard).
    bool listen();

signals:
    void showRequested();

private:
    QLocalServer m_server;
};
