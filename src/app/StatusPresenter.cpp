#include "app/StatusPresenter.h"

#include "core/Lifecycle.h"
#include "feedback/SlotGuard.h"
#include "feedback/TrayIcon.h"
#include "persistence/LastBackups.h"
#include "presentation/AssociationTree.h"
#include "presentation/ProtectionStatus.h"
#include "presentation/ProtectionTexts.h"
#include "presentation/StatusCommand.h"
#include "presentation/StatusFeed.h"
#include "state/AppState.h"

#include <QSystemTrayIcon>
#include <cstdio>

#if !defined(_WIN32)
#include "platform/linux/DesktopNotifierLinux.h"
#endif

namespace {
// A notice of a state that lasts stays until the user closes it: it is said only once.
constexpr int untilClosed = 0;
} // namespace

StatusPresenter::StatusPresenter(AppState& state, Engine& engine, Lifecycle& lifecycle,
                                 AssociationTree& tree, TrayIcon* tray, bool desktop,
                                 std::unique_ptr<DesktopNotifier> notifier)
    : m_state(state), m_tray(tray), m_desktop(desktop),
      m_status(std::make_unique<ProtectionStatus>(state)),
      m_feed(std::make_unique<StatusFeed>(state, engine, lifecycle, *m_status)),
      m_notifier(std::move(notifier)) {
    tree.setStatus(m_status.get());
    connect(m_status.get(), &ProtectionStatus::changed, &tree, &AssociationTree::statusChanged);
    // Every edit of the associations ends in the tree.
    connect(&tree, &AssociationTree::associationsShown, m_feed.get(),
            &StatusFeed::associationsChanged);
    connect(m_status.get(), &ProtectionStatus::lastingState, this, &StatusPresenter::tell);
    if (m_tray) {
        connect(m_status.get(), &ProtectionStatus::changed, this, &StatusPresenter::showOnTray);
        connect(m_tray, &TrayIcon::pauseToggleRequested, &lifecycle, &Lifecycle::togglePause);
        connect(&lifecycle, &Lifecycle::pausedChanged, m_tray, &TrayIcon::setPaused);
    }
#if !defined(_WIN32)
    if (m_desktop && !m_notifier)
        m_notifier = std::make_unique<DbusDesktopNotifier>();
#endif
}

StatusPresenter::~StatusPresenter() = default;

void StatusPresenter::started() {
    if (m_state.Paused)
        m_status->pauseRestored();
    m_feed->checkDisks();
    m_status->refreshInSlices();
}

void StatusPresenter::showOnTray() {
    guarded("showing the status on the tray", [&] {
        const StatusTally& tally = m_status->tally();
        const bool paused = m_status->paused();
        m_tray->setLook(ProtectionTexts::trayLook(tally, paused));
        m_tray->setToolTip(ProtectionTexts::trayToolTip(tally, paused, m_status->pausedSince(),
                                                        m_state.clock.now()));
    });
}

// Said where the user will see it: the tray's balloon while a tray host shows the icon, else
// the desktop's notifications, and without a display on standard output.
void StatusPresenter::tell(const QString& summary, const QString& body) {
    if (m_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray->showNotice(summary, body);
    } else if (m_notifier) {
        m_notifier->show(summary, body, DesktopNotifier::Urgency::Critical, untilClosed);
    } else if (!m_desktop) {
        const QByteArray line = (summary + QStringLiteral(": ") + body).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
}

QByteArray StatusPresenter::statusAnswer() const {
    return StatusCommand::answer(m_status->all(), m_status->paused(), m_state.clock.now());
}

void StatusPresenter::loadLastBackups(const QString& folder) {
    m_status->restoreLastBackups(::loadLastBackups(folder));
}

void StatusPresenter::saveLastBackups(const QString& folder) const {
    ::saveLastBackups(m_status->lastBackups(), folder);
}
