#pragma once
// The desktop's notification service (where the program cannot place a window of its own, as
// under Wayland): one notification at a time, each new one replacing the one shown before.

#include <QObject>
#include <QString>

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    enum class Urgency { Low = 0, Normal = 1, Critical = 2 };

    using QObject::QObject;

    // Shows a notification in place of the previous one. `timeoutMs` 0 keeps it until the user
    // closes it; -1 leaves the time to the service.
    virtual void show(const QString& summary, const QString& body, Urgency urgency,
                      int timeoutMs) = 0;
    // Takes the shown notification away.
    virtual void close() = 0;

signals:
    // The user closed the shown notification.
    void dismissed();
};
