#include "mainwindow/frmQuillmot.h"

#include "presentation/StatusTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

namespace {
constexpr double TwipsPerInch = 1440.0;
const QString PauseCaption = QStringLiteral("Pause Program");
const QString UnpauseCaption = QStringLiteral("Unpause Program");
} // namespace

frmQuillmot::frmQuillmot(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quillmot"));
    setObjectName(QStringLiteral("frmQuillmot"));
    buildMenus();
    buildStatusBar();
    centreDefaultSize();
}

void frmQuillmot::buildMenus() {
    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    m_showHideAction = window->addAction(QStringLiteral("Hide Window"), this, [this] {
        if (isMinimized() || !isVisible())
            showNormalAndActivate();
        else
            close();
    });
    QAction* exit = window->addAction(QStringLiteral("Stop and Exit"));
    connect(exit, &QAction::triggered, this, &frmQuillmot::exitRequested);
    connect(window, &QMenu::aboutToShow, this, [this] {
        m_showHideAction->setText(isMinimized() ? QStringLiteral("Show Window")
                                                : QStringLiteral("Hide Window"));
    });

    QMenu* actions = menuBar()->addMenu(QStringLiteral("&Actions"));
    m_pauseAction = actions->addAction(PauseCaption);
    connect(m_pauseAction, &QAction::triggered, this, &frmQuillmot::pauseToggleRequested);
}

void frmQuillmot::buildStatusBar() {
    auto panel = [this](const QString& name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    };
    m_backups = panel(QStringLiteral("Backups"), QString());
    m_running = panel(QStringLiteral("Running"),
                      StatusTexts::running(UserInterface::RunningState::Initializing));
    m_volume = panel(QStringLiteral("Volume"), QStringLiteral("Selected Drive Volume: <n/a> "));
    m_scheme = panel(QStringLiteral("Scheme"), StatusTexts::scheme(QString()));
    // A click on the "Running" panel pauses, a second one unpauses.
    m_running->installEventFilter(this);
    m_running->setCursor(Qt::PointingHandCursor);
    statusBar()->addWidget(m_backups);
    statusBar()->addWidget(m_running);
    statusBar()->addWidget(m_volume);
    statusBar()->addWidget(m_scheme, 1);
}

bool frmQuillmot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_running && event->type() == QEvent::MouseButtonRelease)
        emit pauseToggleRequested();
    return QMainWindow::eventFilter(watched, event);
}

void frmQuillmot::setPausedLook(bool paused) {
    m_pauseAction->setText(paused ? UnpauseCaption : PauseCaption);
    m_pauseAction->setIcon(
        style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    m_running->setToolTip(m_pauseAction->text());
}

void frmQuillmot::setPauseCommandEnabled(bool enabled) {
    m_pauseAction->setEnabled(enabled);
}

double frmQuillmot::twipsPerPixel() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInch() : 96.0;
    return TwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

QRect frmQuillmot::workAreaTwips() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    const double t = twipsPerPixel();
    return QRect(qRound(area.x() * t), qRound(area.y() * t), qRound(area.width() * t),
                 qRound(area.height() * t));
}

// The place is the frame's (what move() takes) and the size the window's own (what resize()
// takes), so a stored geometry restores exactly instead of growing by the frame each run.
std::optional<QRect> frmQuillmot::geometryTwips() const {
    if (!isVisible() || isMinimized())
        return std::nullopt;
    const double t = twipsPerPixel();
    return QRect(qRound(pos().x() * t), qRound(pos().y() * t), qRound(width() * t),
                 qRound(height() * t));
}

QSize frmQuillmot::sizeTwips() const {
    const double t = twipsPerPixel();
    return QSize(qRound(width() * t), qRound(height() * t));
}

void frmQuillmot::setGeometryTwips(const QRect& twips) {
    const double t = twipsPerPixel();
    move(qRound(twips.x() / t), qRound(twips.y() / t));
    resize(qRound(twips.width() / t), qRound(twips.height() / t));
}

void frmQuillmot::centreDefaultSize() {
    const QRect area = workAreaTwips();
    const int left = std::max(0, (area.width() - DefaultWidthTwips) / 2);
    const int top = std::max(0, (area.height() - DefaultHeightTwips) / 2);
    setGeometryTwips(QRect(area.x() + left, area.y() + top, DefaultWidthTwips, DefaultHeightTwips));
}

void frmQuillmot::showNormalAndActivate() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void frmQuillmot::changeEvent(QEvent* event) {
    // Window preferences are written only once the user has seen the window in this run.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_activatedOnce = true;
    QMainWindow::changeEvent(event);
}

void frmQuillmot::closeEvent(QCloseEvent* event) {
    emit closing();
    if (exitingQuery && exitingQuery()) {
        event->accept();
        return;
    }
    // Closing is hiding: the program keeps watching from the tray.
    event->ignore();
    setWindowState(windowState() | Qt::WindowMinimized);
    hide();
}
