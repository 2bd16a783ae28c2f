#include "presentation/DesktopNotificationView.h"

#include "platform/DesktopNotifier.h"

#include <QObject>

namespace {
// Results that advance by themselves leave the time to the service; without automatic advance
// a result stays until the user closes it, as the popup does.
constexpr int serviceTimeout = -1;
constexpr int untilClosed = 0;

DesktopNotifier::Urgency urgencyOf(PopupTexts::MessageKind kind) {
    return kind == PopupTexts::MessageKind::Error ? DesktopNotifier::Urgency::Critical
                                                  : DesktopNotifier::Urgency::Normal;
}
} // namespace

DesktopNotificationView::DesktopNotificationView(DesktopNotifier& notifier,
                                                 std::function<void()> closeClicked)
    : m_notifier(notifier) {
    QObject::connect(&notifier, &DesktopNotifier::dismissed, &notifier,
                     [clicked = std::move(closeClicked)] { clicked(); });
}

void DesktopNotificationView::load(bool autoAdvance) {
    m_autoAdvance = autoAdvance;
}

QString DesktopNotificationView::body(const PopupContent& content) {
    return PopupTexts::sourceCaption + QStringLiteral(": ") + content.source + QLatin1Char('\n') +
           PopupTexts::destinationCaption + QStringLiteral(": ") + content.destination;
}

void DesktopNotificationView::showNotification(const PopupContent& content) {
    // Services that read markup in the body would take a "<" in a file name for a tag.
    QString text = body(content);
    text.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
        .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
        .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    m_notifier.show(content.status, text, urgencyOf(content.kind),
                    m_autoAdvance ? serviceTimeout : untilClosed);
}
