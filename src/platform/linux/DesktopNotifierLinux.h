#pragma once
// org.freedesktop.Notifications over D-Bus. Calls never block: the id of the shown notification,
// which the next one replaces, arrives with the answer.

#include "platform/DesktopNotifier.h"

#include <QDBusConnection>

class DbusDesktopNotifier : public DesktopNotifier {
    Q_OBJECT
public:
    explicit DbusDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);

    void show(const QString& summary, const QString& body, Urgency urgency, int timeoutMs) override;
    void close() override;
    // The service's id of the notification on show; 0 when none is (or not yet known).
    uint shownId() const { return m_id; }

private slots:
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    uint m_id = 0;          // the notification shown last, as the service named it
    bool m_pending = false; // an answer to Notify is still on its way
    bool m_closeWhenKnown = false;
};
