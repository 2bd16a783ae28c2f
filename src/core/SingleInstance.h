#pragma once
// One Quillmot per user: the first instance listens on a per-user local socket; a later start
// connects, asks the first to bring its main window up, and ends.

#include <QLocalServer>
#include <QObject>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // The per-user socket name ("quillmot-<uid>"); QUILLMOT_INSTANCE_NAME overrides it so that
    // separate test runs do not meet each other.
    static QString serverName();

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
