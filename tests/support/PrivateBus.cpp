#include "support/PrivateBus.h"

#include <QUuid>

PrivateBus::PrivateBus() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(5000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : m_names)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString& name) const {
    const QString unique = name + QUuid::createUuid().toString(QUuid::Id128);
    const_cast<QStringList&>(m_names).append(unique);
    return QDBusConnection::connectToBus(m_address, unique);
}

bool FakeNotificationService::registerOn(QDBusConnection bus) {
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllSignals) &&
           bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotificationService::Notify(const QString&, uint replacesId, const QString& appIcon,
                                     const QString& summary, const QString& body,
                                     const QStringList&, const QVariantMap& hints, int timeout) {
    shown.push_back({replacesId, summary, body, hints.value("urgency", -1).toInt(), timeout,
                     appIcon, hints.value("desktop-entry").toString()});
    return replacesId != 0 ? replacesId : m_nextId++;
}

void FakeNotificationService::CloseNotification(uint id) {
    emit NotificationClosed(id, 3);
}

void FakeNotificationService::dismiss(uint id) {
    emit NotificationClosed(id, 2);
}
