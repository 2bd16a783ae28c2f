// The activity log's text and when an open log window must render it again.

#include "presentation/RecentLogText.h"
#include "model/Collections.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// The rendered text as the reader sees it: markup dropped, entities resolved.
QString visible(const QString& html) {
    QString text = html;
    text.replace("<br>", "\n");
    text.remove(QRegularExpression("<[^>]*>"));
    return text.replace("&lt;", "<")
        .replace("&gt;", ">")
        .replace("&quot;", "\"")
        .replace("&amp;", "&");
}
} // namespace

// A name's newline cannot start a line of its own that would read as another result.
TEST(RecentLogText, NewestFirstInSixLinesWithLabelsEmphasisedAndNamesOnOneLine) {
    colRecent log;
    log.Add("1.1.26 10:00:00", "/home/a.txt", "root", "/media/usb/Docs", "USB", "Backup one");
    log.Add("1.1.26 10:00:01", "/home/<b>&c\n- Backup one.txt", "root", "<n/a>", "<n/a>",
            "Error: no destination");
    const QString html = RecentLogText::html(log);
    EXPECT_EQ(visible(html), "1.1.26 10:00:01\n"
                             "Source Volume: root\n"
                             "Source Path: /home/<b>&c\\n- Backup one.txt\n"
                             "Destination Volume: <n/a>\n"
                             "Destination Path: <n/a>/\n"
                             "- Error: no destination\n\n\n"
                             "1.1.26 10:00:00\n"
                             "Source Volume: root\n"
                             "Source Path: /home/a.txt\n"
                             "Destination Volume: USB\n"
                             "Destination Path: /media/usb/Docs/\n"
                             "- Backup one\n\n\n");
    EXPECT_TRUE(html.contains("<b><span class=\"label\">Source Path: </span></b>"));
    EXPECT_TRUE(html.contains("<b>- Backup one</b>"));
    // A failure stands out from the successes around it; its text stays as it is.
    EXPECT_TRUE(html.contains("<b><span class=\"error\">- Error: no destination</span></b>"));
}

TEST(RecentLogRefresh, RendersAgainWhenTheBoundLeavesTheCountUnchanged) {
    colRecent log;
    RecentLogRefresh refresh;
    EXPECT_TRUE(refresh.needsRender(log));
    for (int i = 0; i < 10; ++i)
        log.Add("t", "s", "v", "d", "v", QString::number(i));
    refresh.rendered(log);
    EXPECT_FALSE(refresh.needsRender(log));

    // Ninety more results, then the bound cuts the log back to ten: the same count, new entries.
    for (int i = 10; i < 100; ++i)
        log.Add("t", "s", "v", "d", "v", QString::number(i));
    while (log.Count() > 10)
        log.Remove(1);
    EXPECT_EQ(log.Count(), 10);
    EXPECT_TRUE(refresh.needsRender(log));
    refresh.rendered(log);
    EXPECT_FALSE(refresh.needsRender(log));
}
