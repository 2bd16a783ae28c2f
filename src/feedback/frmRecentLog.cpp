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
#include <cmath>

namespace {
constexpr int columns = 90;
constexpr int lines = 32;
const QColor errorOnLight(0xb0, 0x10, 0x10), errorOnDark(0xff, 0x8a, 0x80);
const QColor delayOnLight(0x8a, 0x5a, 0x00), delayOnDark(0xff, 0xd0, 0x70);
const QColor labelOnLight(0x1a, 0x4a, 0x9a), labelOnDark(0x8a, 0xb4, 0xf8);
// How far apart the brightness of text and its background must be to read well.
constexpr double leastBrightnessStep = 0.4;

// Brightness as the eye weighs the three primaries, from 0 (black) to 1 (white).
double brightness(const QColor& c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}
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
    // The second label mark is the style's link colour; failures and delays take a red and an
    // amber. Each is chosen for the box's own background, a style sheet's included.
    rtfLog->ensurePolished();
    const QPalette box = rtfLog->palette();
    const double base = brightness(box.color(QPalette::Base));
    const bool darkBox = base < 0.5;
    QColor label = box.color(QPalette::Link);
    if (std::abs(brightness(label) - base) < leastBrightnessStep)
        label = darkBox ? labelOnDark : labelOnLight;
    rtfLog->document()->setDefaultStyleSheet(
        QStringLiteral(".label { color: %1; } .error { color: %2; } .delay { color: %3; }")
            .arg(label.name(), (darkBox ? errorOnDark : errorOnLight).name(),
                 (darkBox ? delayOnDark : delayOnLight).name()));
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
