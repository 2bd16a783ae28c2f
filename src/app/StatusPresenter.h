#pragma once
// Puts the protection status where the user sees it: the tree's columns, the tray's look, tool
// tip and Pause / Resume item, the notices of states that last (in the tray's balloon, as a
// desktop notification where no tray host shows the icon, or on standard output without a
// display), and the answer to `quillmot status`.

#include <QObject>
#include <QString>
#include <memory>

class AppState;
class AssociationTree;
class DesktopNotifier;
class Engine;
class Lifecycle;
class ProtectionStatus;
class StatusFeed;
class TrayIcon;

class StatusPresenter : public QObject {
    Q_OBJECT
public:
    // `tray` is null without a display; `desktop` says whether there is one. Where no tray host
    // shows the icon, lasting states go to `notifier` (the desktop's service by default).
    StatusPresenter(AppState& state, Engine& engine, Lifecycle& lifecycle, AssociationTree& tree,
                    TrayIcon* tray, bool desktop,
                    std::unique_ptr<DesktopNotifier> notifier = nullptr);
    ~StatusPresenter() override;

    // After the stores, the pause and the watches are in place: a pause brought back from the
    // last run is said, and every destination's disk is looked at.
    void started();
    ProtectionStatus& status() { return *m_status; }
    // The answer to the single-instance socket's status request.
    QByteArray statusAnswer() const;
    // The last backups kept across runs.
    void loadLastBackups(const QString& folder);
    void saveLastBackups(const QString& folder) const;

private:
    void showOnTray();
    void tell(const QString& summary, const QString& body);

    AppState& m_state;
    TrayIcon* m_tray;
    bool m_desktop;
    std::unique_ptr<ProtectionStatus> m_status;
    std::unique_ptr<StatusFeed> m_feed;
    std::unique_ptr<DesktopNotifier> m_notifier;
};
