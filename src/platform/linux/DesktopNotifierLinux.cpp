#include "platform/linux/DesktopNotifierLinux.h"

#include "platform/ProgramInfo.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString notificationsInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr uint dismissedByUser = 2;
} // namespace

DbusDesktopNotifier::DbusDesktopNotifier(QDBusConnection bus, QObject* parent)
    : DesktopNotifier(parent), m_bus(std::move(bus)) {
    m_bus.connect(notificationsService, notificationsPath, notificationsInterface,
                  QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
}

void DbusDesktopNotifier::show(const QString& summary, const QString& body, Urgency urgency,
                               int timeoutMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        notificationsService, notificationsPath, notificationsInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(urgency)));
    // The installed desktop entry and theme icon, so that the desktop shows whose it is.
    hints.insert(QStringLiteral("desktop-entry"), ProgramInfo::appId);
    call << ProgramInfo::name << m_id << ProgramInfo::appId << summary << body << QStringList()
         << hints << timeoutMs;
    m_pending = true;
    m_closeWhenKnown = false;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                done->deleteLater();
                m_pending = false;
                // Without a service nothing is shown; the next notification tries again.
                if (reply.isError())
                    return;
                m_id = reply.value();
                if (m_closeWhenKnown)
                    close();
            });
}

void DbusDesktopNotifier::close() {
    if (m_pending) {
        m_closeWhenKnown = true;
        return;
    }
    if (m_id == 0)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(notificationsService, notificationsPath,
                                       notificationsInterface, QStringLiteral("CloseNotification"));
    call << m_id;
    m_bus.asyncCall(call);
    m_id = 0;
}

void DbusDesktopNotifier::notificationClosed(uint id, uint reason) {
    if (id == 0 || id != m_id)
        return;
    m_id = 0;
    if (reason == dismissedByUser)
        emit dismissed();
}
