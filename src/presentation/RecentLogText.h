#pragma once
// The activity log as the recent-activity window shows it, and when the window must render it
// again.

#include <QString>

class colRecent;

namespace RecentLogText {
inline const QString empty = QStringLiteral("(No file operations to display)");

// Rich text, newest entry first, each entry six lines and two empty ones: the time, the source
// volume and path, the destination volume and path (ending with a separator), and "- " with the
// message. Labels carry both label marks (bold and the label class, which the window colours);
// the message line is bold, and an error's or a delay's also carries the class "error" or
// "delay". Values are escaped, so a path that looks like markup shows as it is. An empty log
// shows empty.
QString html(const colRecent& log);
} // namespace RecentLogText

// Remembers the state of the log that was rendered last.
class RecentLogRefresh {
public:
    // True when the log changed since rendered() was last called (or was never called).
    bool needsRender(const colRecent& log) const;
    void rendered(const colRecent& log);

private:
    const colRecent* m_log = nullptr;
    quint64 m_changeCount = 0;
};
