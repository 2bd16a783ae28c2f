#include "feedback/frmRecentLog.h"

#include "feedback/SlotGuard.h"
#include "feedback/TrayArtwork.h"
#include "state/AppState.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
constexpr int columns = 90;
constexpr int lines = 32;
} // namespace

frmRecentLog::frmRecentLog(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Window), m_state(state) {
    setObjectName(QStringLiteral("frmRecentLog"));
    setWindowTitle(QStringLiteral("Quillmot's Recent Activity"));
    setWindowIcon(TrayArtwork::icon(TrayPicture::Normal));
    setAttribute(Qt::WA_DeleteOnClose);

    rtfLog = new QTextBrowser(this);
    rtfLog->setObjectName(QStringLiteral("rtfLog"));
    rtfLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    rtfLog->setOpenLinks(false);
    // The second label mark: the style's link colour reads on light and dark themes alike.
    rtfLog->document()->setDefaultStyleSheet(
        QStringLiteral(".label { color: %1; }").arg(palette().color(QPalette::Link).name()));
    rtfLog->setPlainText(RecentLogText::empty);

    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    sbStatus = new QStatusBar(this);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(rtfLog, 1);
    layout->addLayout(buttons);
    layout->addWidget(sbStatus);

    const QFontMetrics metrics(rtfLog->font());
    resize(metrics.horizontalAdvance(QLatin1Char('M')) * columns, metrics.lineSpacing() * lines);

    render();
    tmrRefresh.setInterval(refreshMs);
    connect(&tmrRefresh, &QTimer::timeout, this,
            [this] { guarded("the log refresh", [&] { refresh(); }); });
    tmrRefresh.start();
}

void frmRecentLog::refresh() {
    if (m_rendered.needsRender(*m_state.recent))
        render();
}

void frmRecentLog::logChanged() {
    if (m_sinceRender.isValid() && m_sinceRender.elapsed() < refreshMs)
        return; // the refresh timer catches it
    QTimer::singleShot(0, this, [this] { guarded("the log refresh", [&] { refresh(); }); });
}

void frmRecentLog::render() {
    const colRecent& log = *m_state.recent;
    // An empty log keeps what the box shows.
    if (log.Count() > 0)
        rtfLog->setHtml(RecentLogText::html(log));
    m_rendered.rendered(log);
    m_sinceRender.start();
    tmrRefresh.start(refreshMs);
}
