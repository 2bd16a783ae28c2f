#pragma once
// A private D-Bus session bus for one test (its own dbus-daemon), and a small notification
// service on it that records what it was asked to show.

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    // Empty when dbus-daemon could not be started (the test skips).
    QString address() const { return m_address; }
    // A new connection to the bus under `name`.
    QDBusConnection connect(const QString& name) const;

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint replacesId;
        QString summary;
        QString body;
        int urgency;
        int timeout;
        QString icon;
        QString desktopEntry;
    };
    std::vector<Shown> shown;

    // Registers the service on `bus`; false when the name is taken.
    bool registerOn(QDBusConnection bus);
    // The user closes notification `id`.
    void dismiss(uint id);

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }

signals:
    void NotificationClosed(uint id, uint reason);

private:
    uint m_nextId = 1;
};
