#include "feedback/frmNotification.h"

#include "feedback/SlotGuard.h"
#include "feedback/TrayArtwork.h"
#include "platform/ProgramInfo.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QWindow>
#include <cmath>

namespace {
constexpr int logoMarginTwips = 120; // between the logo and the right edge
constexpr int iconPixels = 16;
constexpr int logoPixels = 40;
const QColor shadeColour(0x24, 0x30, 0x3c);
const QColor borderColour(0x55, 0x60, 0x6a);

QColor rgb(quint32 value) {
    return QColor::fromRgb(QRgb(value));
}

// The text colour a third of the way towards the background: still well above the contrast
// that small text needs, on light and dark palettes.
QColor mutedText(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor back = palette.color(QPalette::Window);
    constexpr double towardsBack = 1.0 / 3;
    auto mix = [](double a, double b) { return int(std::lround(a + (b - a) * towardsBack)); };
    return QColor(mix(text.red(), back.red()), mix(text.green(), back.green()),
                  mix(text.blue(), back.blue()));
}
} // namespace

// A label that asks for the width of its whole text but, given less, shows it shortened in the
// middle, so a long path keeps its beginning and its file name.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString& text) {
        m_full = text;
        setToolTip(text);
        updateGeometry();
        update();
    }
    QSize sizeHint() const override {
        return QSize(fontMetrics().horizontalAdvance(m_full) + 2, QLabel::sizeHint().height());
    }
    QSize minimumSizeHint() const override { return QSize(20, QLabel::sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(m_full, Qt::ElideMiddle, width()));
    }

private:
    QString m_full;
};

frmNotification::frmNotification(bool autoAdvance, std::function<QScreen*()> screen)
    // Outside the window manager's hands: placed exactly, kept out of the task bar, never
    // focused (placing is what Wayland forbids, where the desktop's notifications stand in).
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      m_screen(std::move(screen)) {
    setObjectName(QStringLiteral("frmNotification"));
    setWindowTitle(ProgramInfo::name);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    shpShade = new QFrame(this);
    shpShade->setObjectName(QStringLiteral("shpShade"));
    shpShade->setAutoFillBackground(true);
    QPalette shade = shpShade->palette();
    shade.setColor(QPalette::Window, shadeColour);
    shpShade->setPalette(shade);
    lblStatus = new QLabel(PopupTexts::scanning, shpShade);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont bold = lblStatus->font();
    bold.setBold(true);
    lblStatus->setFont(bold);
    imgCloseArea = new QToolButton(shpShade);
    imgCloseArea->setObjectName(QStringLiteral("imgCloseArea"));
    imgCloseArea->setAutoRaise(true);
    imgCloseArea->setFocusPolicy(Qt::NoFocus);
    imgCloseArea->setIcon(TrayArtwork::closeImage(autoAdvance));
    imgCloseArea->setIconSize(QSize(iconPixels, iconPixels));
    imgCloseArea->setCursor(Qt::PointingHandCursor);
    connect(imgCloseArea, &QToolButton::clicked, this, &frmNotification::closeAreaClicked);
    auto* strip = new QHBoxLayout(shpShade);
    strip->setContentsMargins(8, 2, 2, 2);
    strip->addWidget(lblStatus, 1);
    strip->addWidget(imgCloseArea);

    m_body = new QWidget(this);
    Label1 = new QLabel(PopupTexts::sourceCaption, m_body);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(PopupTexts::destinationCaption, m_body);
    Label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel* caption : {Label1, Label2}) {
        QFont small = caption->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        caption->setFont(small);
        // Muted beside the values, yet readable: the style's disabled grey is too pale for
        // words the user reads.
        QPalette muted = caption->palette();
        muted.setColor(QPalette::WindowText, mutedText(muted));
        caption->setPalette(muted);
    }
    imgSource = new QLabel(m_body);
    imgSource->setObjectName(QStringLiteral("imgSource"));
    lblSource = new ElidedLabel(QStringLiteral("-"), m_body);
    lblSource->setObjectName(QStringLiteral("lblSource"));
    imgDestination = new QLabel(m_body);
    imgDestination->setObjectName(QStringLiteral("imgDestination"));
    lblDestination = new ElidedLabel(QStringLiteral("-"), m_body);
    lblDestination->setObjectName(QStringLiteral("lblDestination"));
    imgQuillmot = new QLabel(m_body);
    imgQuillmot->setObjectName(QStringLiteral("imgQuillmot"));
    imgQuillmot->setPixmap(TrayArtwork::icon(TrayPicture::Normal)
                               .pixmap(QSize(logoPixels, logoPixels), devicePixelRatio()));

    auto* grid = new QGridLayout(m_body);
    const int logoMargin = PopupGeometry::pixels(logoMarginTwips, dpi());
    grid->setContentsMargins(8, 4, logoMargin, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(imgSource, 1, 0);
    grid->addWidget(lblSource, 1, 1);
    grid->addWidget(Label2, 2, 0, 1, 2);
    grid->addWidget(imgDestination, 3, 0);
    grid->addWidget(lblDestination, 3, 1);
    grid->addWidget(imgQuillmot, 0, 2, 4, 1, Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(2, logoPixels + logoMargin / 2);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1); // the border
    root->setSpacing(0);
    root->addWidget(shpShade);
    root->addWidget(m_body, 1);

    resize(PopupGeometry::pixels(PopupGeometry::widthTwips, dpi()),
           PopupGeometry::pixels(PopupGeometry::heightTwips, dpi()));
}

QScreen* frmNotification::targetScreen() const {
    QScreen* s = m_screen ? m_screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

double frmNotification::dpi() const {
    const QScreen* s = targetScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

void frmNotification::showNotification(const PopupContent& content) {
    QPalette status = lblStatus->palette();
    status.setColor(QPalette::WindowText, rgb(PopupTexts::colourOf(content.kind)));
    lblStatus->setPalette(status);
    lblStatus->setText(content.status);
    lblSource->setFullText(content.source);
    lblDestination->setFullText(content.destination);

    static QFileIconProvider icons;
    const QIcon sourceIcon = content.sourceExists ? icons.icon(QFileInfo(content.sourcePath))
                                                  : icons.icon(QFileIconProvider::File);
    imgSource->setPixmap(sourceIcon.pixmap(QSize(iconPixels, iconPixels), devicePixelRatio()));
    imgDestination->setPixmap(icons.icon(QFileIconProvider::Folder)
                                  .pixmap(QSize(iconPixels, iconPixels), devicePixelRatio()));
    imgSource->show();
    imgDestination->show();
    m_body->show();

    relayout();
    const int height =
        std::max(PopupGeometry::pixels(PopupGeometry::heightTwips, dpi()), sizeHint().height());
    placeAtCorner(height);
    showNoActivate();
}

void frmNotification::showScanningStrip() {
    QPalette status = lblStatus->palette();
    status.setColor(QPalette::WindowText, rgb(PopupTexts::scanningColour));
    lblStatus->setPalette(status);
    lblStatus->setText(PopupTexts::scanning);
    lblSource->setFullText(QStringLiteral("-"));
    lblDestination->setFullText(QStringLiteral("-"));
    imgSource->hide();
    imgDestination->hide();
    m_body->hide();
    relayout();
    placeAtCorner(shpShade->sizeHint().height() + 2 +
                  PopupGeometry::pixels(PopupGeometry::stripMarginTwips, dpi()));
}

// The new texts' widths count at once, not when the layout request is delivered later.
void frmNotification::relayout() {
    shpShade->layout()->invalidate();
    m_body->layout()->invalidate();
    layout()->invalidate();
    layout()->activate();
}

void frmNotification::placeAtCorner(int height) {
    const QRect area = targetScreen()->availableGeometry();
    const int needed = std::max(shpShade->sizeHint().width(),
                                !m_body->isHidden() ? m_body->sizeHint().width() : 0) +
                       2; // the border
    const int width = PopupGeometry::grownWidth(this->width(), needed, area.width());
    const QRect place = PopupGeometry::bottomRight(area, QSize(width, height));
    // The frameless window's own geometry is its outer one.
    setMinimumSize(0, 0);
    setGeometry(place);
}

void frmNotification::showNoActivate() {
    if (!isVisible())
        show();
    raise();
}

void frmNotification::setTopMost(bool topMost) {
    // Changing the flag on the native window keeps it mapped (a widget flag change would hide
    // it and could hand it the focus when shown again).
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, topMost);
    if (topMost && isVisible())
        raise();
}

void frmNotification::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(borderColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

PopupWindow::PopupWindow(std::function<QScreen*()> screen, std::function<void()> closeClicked)
    : m_screen(std::move(screen)), m_closeClicked(std::move(closeClicked)) {}

PopupWindow::~PopupWindow() = default;

void PopupWindow::load(bool autoAdvance) {
    m_window = std::make_unique<frmNotification>(autoAdvance, m_screen);
    QObject::connect(m_window.get(), &frmNotification::closeAreaClicked,
                     [this] { guarded("the popup's close area", [&] { m_closeClicked(); }); });
}

void PopupWindow::showNotification(const PopupContent& content) {
    if (m_window)
        m_window->showNotification(content);
}

void PopupWindow::showScanningStrip() {
    if (m_window)
        m_window->showScanningStrip();
}

void PopupWindow::showNoActivate() {
    if (m_window)
        m_window->showNoActivate();
}

void PopupWindow::hide() {
    if (m_window)
        m_window->hide();
}

void PopupWindow::unload() {
    // The click that unloads the popup comes from inside it: delete it once that has returned.
    if (!m_window)
        return;
    m_window->hide();
    m_window.release()->deleteLater();
}

void PopupWindow::setTopMost(bool topMost) {
    if (m_window)
        m_window->setTopMost(topMost);
}
