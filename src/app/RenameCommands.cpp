#include "app/RenameCommands.h"

#include "editing/frmRename.h"
#include "feedback/TrayIcon.h"
#include "mainwindow/frmQuillmot.h"
#include "presentation/AssociationTree.h"
#include "state/AppState.h"

#include <QAction>
#include <QDesktopServices>

RenameCommands::RenameCommands(AppState& state, Engine& engine, Lifecycle& lifecycle,
                               AssociationTree& tree, frmQuillmot& window, TrayIcon* tray,
                               QObject* parent)
    : QObject(parent), m_state(state), m_lifecycle(lifecycle), m_tree(tree), m_window(window),
      m_tray(tray), m_renamer(state, engine),
      m_updates(state.messages, [](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    m_renamer.treeFollows = [this](const QString& oldPath, const QString& newPath) {
        treeFollows(oldPath, newPath);
    };
    connect(&m_window, &frmQuillmot::renameRequested, this, &RenameCommands::rename);
    connect(&m_window, &frmQuillmot::checkForUpdatesRequested, this,
            &RenameCommands::checkForUpdates);
    connect(&m_updates, &UpdateCommand::runningChanged, this, [this](bool running) {
        if (QAction* item = m_window.action(QStringLiteral("mnuUpdates")))
            item->setEnabled(!running);
    });
}

void RenameCommands::rename(const QString& path) {
    const TreeNode* node = m_tree.nodeAtPath(path);
    if (!node)
        return;
    const bool isDrive = node->isRoot();
    const DialogOpenScope dialogOpen(m_state, m_tray);
    frmRename dialog(m_state, m_lifecycle, m_renamer, path, isDrive, &m_window);
    if (dialog.exec() == QDialog::Accepted && isDrive) {
        // The volume lists changed: every association on the drive is judged again.
        m_tree.RefreshNodeIcons();
        m_window.refreshVolumePanel();
    }
}

void RenameCommands::checkForUpdates() {
    m_updates.run();
}

void RenameCommands::treeFollows(const QString& oldPath, const QString& newPath) {
    // The renamed branch is built again from the moved associations; its nodes were open
    // before, so they are open after, and the renamed node, which the user had selected to
    // rename it, stays the selected one.
    const bool wasExpanded = m_tree.nodeAtPath(oldPath) && m_tree.nodeAtPath(oldPath)->expanded;
    if (const TreeNode* old = m_tree.nodeAtPath(oldPath))
        m_tree.DestroyBranchToNode(old->index);
    m_tree.UpdateTreeLocal();
    m_tree.RefreshNodeIcons();
    m_tree.RemoveUnusedImages(m_tree.gintNonIconsLocal);
    m_tree.revealNodes({newPath});
    TreeNode* renamed = m_tree.nodeAtPath(newPath);
    if (renamed && wasExpanded)
        m_tree.setExpanded(*renamed, true);
    m_window.selectNode(renamed);
}
