#include "presentation/RecentLogText.h"

#include "model/Collections.h"
#include "platform/Paths.h"
#include "presentation/PopupTexts.h"

namespace {
const QString lineBreak = QStringLiteral("<br>");

QString label(const QString& text) {
    return QStringLiteral("<b><span class=\"label\">") + text + QStringLiteral("</span></b>");
}

QString plain(const QString& value) {
    return Paths::displayName(value).toHtmlEscaped();
}

QString openKind(PopupTexts::MessageKind kind) {
    switch (kind) {
    case PopupTexts::MessageKind::Error:
        return QStringLiteral("<span class=\"error\">");
    case PopupTexts::MessageKind::Delay:
        return QStringLiteral("<span class=\"delay\">");
    case PopupTexts::MessageKind::Other:
        break;
    }
    return {};
}

QString closeKind(const QString& message) {
    return PopupTexts::kindOf(message) == PopupTexts::MessageKind::Other
               ? QString()
               : QStringLiteral("</span>");
}

void appendEntry(QString& out, const clsRecent& entry) {
    out += plain(entry.DateAndTime) + lineBreak;
    out += label(QStringLiteral("Source Volume: ")) + plain(entry.SourceVolume) + lineBreak;
    out += label(QStringLiteral("Source Path: ")) + plain(entry.SourcePath) + lineBreak;
    out += label(QStringLiteral("Destination Volume: ")) + plain(entry.DestVolume) + lineBreak;
    out += label(QStringLiteral("Destination Path: ")) +
           plain(entry.DestPath + Paths::separator()) + lineBreak;
    // Failures and delays carry a class the window colours, so they stand out among successes.
    out += QStringLiteral("<b>") + openKind(PopupTexts::kindOf(entry.Message)) +
           QStringLiteral("- ") + plain(entry.Message) + closeKind(entry.Message) +
           QStringLiteral("</b>") + lineBreak + lineBreak + lineBreak;
}
} // namespace

namespace RecentLogText {

QString html(const colRecent& log) {
    if (log.Count() == 0)
        return plain(empty);
    QString out;
    out.reserve(log.Count() * 400);
    out += QStringLiteral("<p style=\"white-space: pre-wrap\">");
    for (int i = log.Count(); i >= 1; --i)
        appendEntry(out, *log.Item(i));
    out += QStringLiteral("</p>");
    return out;
}

} // namespace RecentLogText

bool RecentLogRefresh::needsRender(const colRecent& log) const {
    return m_log != &log || m_changeCount != log.changeCount();
}

void RecentLogRefresh::rendered(const colRecent& log) {
    m_log = &log;
    m_changeCount = log.changeCount();
}
