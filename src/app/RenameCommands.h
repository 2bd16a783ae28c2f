#pragma once
// The main window's "Rename" and "Check for Updates": the rename dialog for the selected node,
// with the tree following the renamed item, and the update check with its menu item disabled
// while a check runs.

#include "presentation/Renaming.h"
#include "presentation/UpdateCheck.h"

#include <QObject>

class AppState;
class AssociationTree;
class Engine;
class Lifecycle;
class TrayIcon;
class frmQuillmot;

class RenameCommands : public QObject {
    Q_OBJECT
public:
    // `tray` may be null (no display).
    RenameCommands(AppState& state, Engine& engine, Lifecycle& lifecycle, AssociationTree& tree,
                   frmQuillmot& window, TrayIcon* tray, QObject* parent = nullptr);

    void rename(const QString& path);
    void checkForUpdates();

private:
    void treeFollows(const QString& oldPath, const QString& newPath);

    AppState& m_state;
    Lifecycle& m_lifecycle;
    AssociationTree& m_tree;
    frmQuillmot& m_window;
    TrayIcon* m_tray;
    ItemRenamer m_renamer;
    UpdateCommand m_updates;
};
