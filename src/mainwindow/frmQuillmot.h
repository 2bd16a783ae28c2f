#pragma once
// The main window: menus, toolbar, the association tree and the status bar with its four
// panels. It presents and dispatches: tree operations and availability rules live in
// presentation/. Closing it hides it; the program goes on in the tray.
//
// Commands whose dialogs live elsewhere are signals. Connecting to one enables its menu items
// and buttons (they stay disabled while nothing is connected); see `Hooks` below.

#include "platform/gui/QtMessageBoxes.h"

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class AssociationTree;
class BackupsTreeView;
class ElidingPanel;
class IconStore;
class QAction;
class QMenu;
class TreeCommands;
struct TreeNode;
struct ItemState;

class frmQuillmot : public QMainWindow {
    Q_OBJECT
public:
    explicit frmQuillmot(QWidget* parent = nullptr);
    ~frmQuillmot() override;

    // Shows `tree` (owned by the caller, as are the commands) in `treeBackupsLocal`.
    void attachTree(AssociationTree* tree, TreeCommands* commands);
    AssociationTree* tree() const { return m_tree; }
    BackupsTreeView* treeView() const { return m_treeView; }
    IconStore* icons() const { return m_icons.get(); }

    // A menu item, toolbar button or popup item by its object name ("mnuRemove", "*Remove").
    QAction* action(const QString& objectName) const { return m_actions.value(objectName); }
    QMenu* popupMenu() const { return m_popup; }

    // The selected node, null when none is.
    const TreeNode* selectedNode() const;
    // Selects the topmost association (shown) when nothing is selected, then fills the "Volume"
    // panel.
    void selectFirstAssociationIfNone();
    // Makes `node` the selected one and fills the "Volume" panel for it.
    void selectNode(const TreeNode* node);
    void refreshVolumePanel();
    // Applies the availability rules of every menu (each menu also does so as it opens).
    void refreshAvailability();

    // Twips are the unit of the stored window preferences: 15 per pixel at 96 DPI.
    double twipsPerPixel() const;
    QRect workAreaTwips() const;
    std::optional<QRect> geometryTwips() const; // while visible and not minimised
    QSize sizeTwips() const;
    void setGeometryTwips(const QRect& twips);
    void centreDefaultSize();

    void setRunningText(const QString& text) { m_running->setText(text); }
    void setBackupsText(const QString& text) { m_backups->setText(text); }
    void setSchemeText(const QString& text) { m_scheme->setText(text); }
    void setPausedLook(bool paused);
    void setPauseCommandEnabled(bool enabled);

    // Where the window's own commands ask and tell (message boxes over the window by default).
    void setMessages(MessageBoxes& messages) { m_messages = &messages; }

    // Brings the window up in its normal state (tray click, a second start).
    void showNormalAndActivate();
    // Show / Hide: a minimised window comes up; otherwise it is put away.
    void showOrHide();
    // Minimises the window and, where a tray icon can bring it back, hides it. Without a tray
    // host a hidden window would leave the program running with nothing on screen.
    void putAway();
    bool activatedOnce() const { return m_activatedOnce; }

signals:
    void pauseToggleRequested();
    void exitRequested();
    // The close query: preferences and stores are to be written now.
    void closing();

    // Hooks: the commands other windows carry out. Connecting enables the items.
    void optionsRequested();                           // mnuOptions, "*Options"
    void recentActivityRequested();                    // mnuLog
    void aboutRequested();                             // mnuAbout
    void loadSchemeRequested();                        // mnuLoad
    void saveSchemeRequested();                        // mnuSave
    void addFilesRequested();                          // mnuAddFiles, "*AddFiles"
    void addFolderRequested();                         // mnuAddFolder, "*AddFolder"
    void viewEditRequested(const QString& sourcePath); // mnuEdit, mnuPopupEdit, double-click
    void renameRequested(const QString& path);         // mnuRename, mnuPopupRename
    void checkForUpdatesRequested();                   // mnuUpdates
    void restoreRequested(const QString& sourcePath);  // mnuRestore, mnuPopupRestore, "*Restore"

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildPopup();
    void buildStatusBar();
    void showWordmark();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);
    void hook(const QString& name, void (frmQuillmot::*signal)());
    void applyState(const QHash<QString, ItemState>& state);
    bool wired(const QString& name) const;

    void viewEdit();
    void removeSelected();
    void toggleEnabled();
    void renameSelected();
    void restoreSelected();
    void showPopup(const QPoint& globalPos);

    QLabel* m_backups;
    QLabel* m_running;
    ElidingPanel* m_volume;
    QLabel* m_scheme;
    QLabel* m_title = nullptr;
    QMenu* m_popup = nullptr;
    QHash<QString, QAction*> m_actions;
    // Item -> the hook signal it needs connected before it is enabled.
    QHash<QString, QMetaMethod> m_hooks;
    BackupsTreeView* m_treeView;
    std::unique_ptr<IconStore> m_icons;
    AssociationTree* m_tree = nullptr;
    TreeCommands* m_commands = nullptr;
    QtMessageBoxes m_ownMessages{this};
    MessageBoxes* m_messages = &m_ownMessages;
    bool m_activatedOnce = false;
    bool m_built = false; // every item exists: hooks may be connected

public:
    // Answers whether a close is the program's exit (then the window really closes).
    std::function<bool()> exitingQuery;
    // Answers whether a tray host shows the program's icon (by default, whether the desktop has
    // a tray).
    std::function<bool()> trayHostQuery;
};
