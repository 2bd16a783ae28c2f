#pragma once
// The properties dialog of one association. It presents the session's working copies and passes
// every command to it; the rules live in PropertiesSession.

#include "presentation/PropertiesSession.h"

#include <QDialog>
#include <QIcon>
#include <functional>
#include <memory>

namespace Ui {
class frmProperties;
}
class QMenu;
class QAction;
class QTreeWidgetItem;

class frmProperties : public QDialog {
    Q_OBJECT
public:
    // The icon of an image key of the tree's vocabulary ("*Folder", "*FolderShared", a path key).
    using IconLookup = std::function<QIcon(const QString& key)>;

    frmProperties(AppState& state, FilePickers& pickers, PropertiesSession::Hooks hooks,
                  IconLookup icons = {}, QWidget* parent = nullptr);
    ~frmProperties() override;

    // False when AppState::SelectedSourcePath names no association; the dialog is not shown.
    bool loaded() const { return m_loaded; }
    PropertiesSession& session() { return m_session; }
    QMenu& mnuPopup() { return *m_popup; }

    // The icon used when the opener gives none: the desktop's file, folder and drive icons.
    static QIcon defaultIcon(const QString& key);

    void done(int result) override;

private:
    void fill();
    void showDestinations(int selectPosition);
    void refreshStatusColumn();
    int selectedPosition() const;
    PropertiesValues values() const;
    void keepBackupChanged(bool ticked);
    void addDestination();
    void removeDestination();
    void editDestinationVolume();
    void editSourceVolumes();
    void showPopup(const QPoint& at);
    void buildPopup();

    std::unique_ptr<Ui::frmProperties> m_ui;
    AppState& m_state;
    PropertiesSession m_session;
    IconLookup m_icons;
    QMenu* m_popup = nullptr;
    QAction* m_mnuVolume = nullptr;
    QAction* m_mnuRemove = nullptr;
    quint64 m_statusGeneration = 0; // the Status column's latest round of checks
    QAction* m_mnuOpen = nullptr;
    QAction* m_mnuProperties = nullptr;
    bool m_loaded = false;
};
