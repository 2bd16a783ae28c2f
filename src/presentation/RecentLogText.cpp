#include "presentation/RecentLogText.h"

#include "model/Collections.h"
#include "platform/Paths.h"

namespace {
const QString break = QStringLiteral("<br>");

QString label(const QString& text) {
    return QStringLiteral("<b><span class=\"label\">") + text + QStringLiteral("</span></b>");
}

QString plain(const QString& value) {
    return value.toHtmlEscaped();
}

void appendEntry(QString& out, const clsRecent& entry) {
    out += plain(entry.DateAndTime) + break;
    out += label(QStringLiteral("Source Volume: ")) + plain(entry.SourceVolume) + break;
    out += label(QStringLiteral("Source Path: ")) + plain(entry.SourcePath) + break;
    out += label(QStringLiteral("Destination Volume: ")) + plain(entry.DestVolume) + break;
    out += label(QStringLiteral("Destination Path: ")) +
           plain(entry.DestPath + Paths::separator()) + break;
    out += QStringLiteral("<b>- ") + plain(entry.Message) + QStringLiteral("</b>") + break + break +
           break;
}
} // namespace

namespace RecentLogText {

QString html(const colRecent& log) {
    if (log.Count() == 0)
        return plain(Empty);
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
