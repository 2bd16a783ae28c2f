#include "feedback/TrayIcon.h"

#include "feedback/SlotGuard.h"
#include "feedback/TrayArtwork.h"
#include "presentation/TrayTexts.h"
#include "state/AppState.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

namespace {
// How often the program looks for a tray host that was not there (or went away).
constexpr int hostWatchMs = 2000;
} // namespace

TrayIcon::TrayIcon(AppState& state, QWidget* mainWindow, QObject* parent)
    : QObject(parent), m_state(state), m_mainWindow(mainWindow),
      m_animations(*this, state.options, tmrNod, tmrShake, tmrShrug) {
    m_tray.setIcon(TrayArtwork::icon(TrayPicture::Normal));
    m_tray.setToolTip(TrayTexts::toolTip);
    buildMenu();
    connect(&m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Only the left click is ours: the host opens the menu itself, and a
                // StatusNotifierItem host may never report other clicks.
                if (reason == QSystemTrayIcon::Trigger)
                    click();
            });
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::buildMenu() {
    m_menu = std::make_unique<QMenu>();
    m_menu->setObjectName(QStringLiteral("mnuSystemTray"));
    m_menu->setTitle(QStringLiteral("System Tray"));
    auto add = [this](const char* name, const QString& caption, void (TrayIcon::*signal)()) {
        QAction* action = m_menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (signal)
            connect(action, &QAction::triggered, this, [this, signal] {
                guarded("a tray menu command", [&] { emit(this->*signal)(); });
            });
        return action;
    };
    add("mnuAbout", TrayTexts::about, &TrayIcon::aboutRequested);
    m_menu->addSeparator();
    mnuShowHide = add("mnuShowHide", TrayTexts::showWindow, nullptr);
    connect(mnuShowHide, &QAction::triggered, this, [this] {
        guarded("Show/Hide Window", [&] {
            if (mnuShowHide->text() == TrayTexts::hideWindow)
                emit hideWindowRequested();
            else
                emit showWindowRequested();
        });
    });
    mnuPause = add("mnuPause", TrayTexts::pause, &TrayIcon::pauseToggleRequested);
    add("mnuExit", TrayTexts::exit, &TrayIcon::exitRequested);
    m_menu->addSeparator();
    mnuOptions = add("mnuOptions", TrayTexts::optionsItem, &TrayIcon::optionsRequested);
    mnuOptions->setEnabled(false);
    add("mnuBlank", QString(), nullptr);
    m_menu->setDefaultAction(mnuShowHide);
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        guarded("opening the tray menu", [&] {
            updateShowHideCaption();
            emit menuOpening();
        });
    });
    updateShowHideCaption();
    // Set once: the tray host draws the menu itself where it can.
    m_tray.setContextMenu(m_menu.get());
}

void TrayIcon::updateShowHideCaption() {
    const bool visible = m_mainWindow && m_mainWindow->isVisible();
    const bool minimized = m_mainWindow && m_mainWindow->isMinimized();
    mnuShowHide->setText(TrayTexts::showHideCaption(visible, minimized));
}

void TrayIcon::setOptionsAvailable(bool available) {
    mnuOptions->setEnabled(available);
}

void TrayIcon::click() {
    guarded("the tray click", [&] {
        if (!m_state.DialogOpen)
            emit showWindowRequested();
    });
}

void TrayIcon::install() {
    m_installed = true;
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_tray.show();
    watchForTrayHost();
}

// Qt adds the icon when it is shown; a tray host that starts later (or restarts) gets it when
// the icon is shown again.
void TrayIcon::watchForTrayHost() {
    m_hostWatch.setInterval(hostWatchMs);
    connect(&m_hostWatch, &QTimer::timeout, this, [this] {
        guarded("looking for the tray", [&] {
            const bool available = QSystemTrayIcon::isSystemTrayAvailable();
            if (available && !m_trayAvailable && m_installed) {
                m_tray.hide();
                m_tray.show();
            }
            m_trayAvailable = available;
        });
    });
    m_hostWatch.start();
}

void TrayIcon::remove() {
    m_installed = false;
    m_hostWatch.stop();
    m_tray.hide();
}

void TrayIcon::showPicture(TrayPicture picture) {
    if (picture == TrayPicture::Normal && m_state.DialogOpen)
        picture = TrayPicture::Dialog;
    if (picture == m_shown)
        return;
    m_shown = picture;
    m_tray.setIcon(TrayArtwork::icon(picture, m_look));
}

void TrayIcon::setLook(TrayLook look) {
    if (look == m_look)
        return;
    m_look = look;
    // An animation under way ends on the new look; the dialog picture stays.
    if (m_shown == TrayPicture::Normal)
        m_tray.setIcon(TrayArtwork::icon(TrayPicture::Normal, m_look));
}

void TrayIcon::setToolTip(const QString& text) {
    m_tray.setToolTip(text);
}

void TrayIcon::setPaused(bool paused) {
    mnuPause->setText(paused ? TrayTexts::resume : TrayTexts::pause);
}

void TrayIcon::showNotice(const QString& summary, const QString& body) {
    m_tray.showMessage(summary, body, QSystemTrayIcon::Warning);
}

void TrayIcon::setDialogPicture(bool dialogOpen) {
    if (dialogOpen)
        showPicture(TrayPicture::Dialog);
    else if (m_shown == TrayPicture::Dialog)
        showPicture(TrayPicture::Normal);
}

QScreen* TrayIcon::screen() const {
    const QRect where = m_tray.geometry();
    if (where.isValid())
        if (QScreen* s = QGuiApplication::screenAt(where.center()))
            return s;
    return QGuiApplication::primaryScreen();
}

DialogOpenScope::DialogOpenScope(AppState& state, TrayIcon* tray)
    : m_state(state), m_tray(tray), m_wasOpen(state.DialogOpen) {
    m_state.DialogOpen = true;
    if (m_tray)
        m_tray->setDialogPicture(true);
}

DialogOpenScope::~DialogOpenScope() {
    m_state.DialogOpen = m_wasOpen;
    if (m_tray && !m_wasOpen)
        m_tray->setDialogPicture(false);
}
