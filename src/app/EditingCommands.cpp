#include "app/EditingCommands.h"

#include "core/Lifecycle.h"
#include "editing/frmProperties.h"
#include "engine/Engine.h"
#include "feedback/TrayIcon.h"
#include "mainwindow/BackupsTreeView.h"
#include "mainwindow/IconStore.h"
#include "mainwindow/frmQuillmot.h"
#include "platform/Paths.h"
#include "platform/ShareLookup.h"
#include "presentation/AddAssociations.h"
#include "presentation/AssociationTree.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

EditingCommands::EditingCommands(AppState& state, Engine& engine, Lifecycle& lifecycle,
                                 AssociationTree& tree, frmQuillmot& window, FilePickers& pickers,
                                 QObject* parent)
    : QObject(parent), m_state(state), m_engine(engine), m_lifecycle(lifecycle), m_tree(tree),
      m_window(window), m_pickers(pickers) {
    connect(&window, &frmQuillmot::addFilesRequested, this, &EditingCommands::addFiles);
    connect(&window, &frmQuillmot::addFolderRequested, this, &EditingCommands::addFolder);
    connect(&window, &frmQuillmot::viewEditRequested, this, &EditingCommands::viewEdit);
}

AddAssociations EditingCommands::adding() {
    AddAssociations::Hooks hooks;
    hooks.networkForm = [this](const QString& p) {
        return GetUNCName(p, m_state.LocalComputerName);
    };
    hooks.showProperties = [this] { showProperties(); };
    hooks.openWatch = [this](const QString& p, bool r) { m_engine.CreateDetectFolder(p, r); };
    hooks.showInTree = [this](const QString& p) { showInTree(p); };
    hooks.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return AddAssociations(m_state, m_pickers, hooks);
}

void EditingCommands::addFiles() {
    adding().AddFiles();
    // The pickers may have changed the current folder; the program keeps its own.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
}

void EditingCommands::addFolder() {
    adding().AddFolder();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
}

void EditingCommands::viewEdit(const QString& sourcePath) {
    if (!m_state.backups->contains(sourcePath))
        return;
    m_state.SelectedSourcePath = sourcePath;
    showProperties();
    m_window.refreshAvailability();
    m_window.refreshVolumePanel();
}

void EditingCommands::showProperties() {
    PropertiesSession::Hooks hooks;
    hooks.pause = [this] { m_lifecycle.Pause(); };
    hooks.unpause = [this] { m_lifecycle.Unpause(); };
    hooks.openWatch = [this](const QString& p, bool r) { m_engine.CreateDetectFolder(p, r); };
    hooks.setNodeImage = [this](const QString& p, const QString& key) { setNodeImage(p, key); };
    hooks.refreshTree = [this] {
        m_tree.UpdateTreeLocal();
        m_tree.RemoveUnusedImages(m_tree.gintNonIconsLocal);
    };
    hooks.shareLocalPath = [this](const QString& p) {
        return GetShareLocalPath(p, m_state.LocalComputerName);
    };
    auto icons = [this](const QString& key) {
        if (!ImageKeys::isGeneric(key))
            m_tree.EnsurePathIcon(key);
        const QIcon icon = m_window.icons()->icon(key);
        return icon.isNull() ? frmProperties::defaultIcon(key) : icon;
    };
    const DialogOpenScope dialogOpen(m_state, trayOf ? trayOf() : nullptr);
    frmProperties dialog(m_state, m_pickers, hooks, icons, &m_window);
    if (dialog.loaded())
        dialog.exec();
}

void EditingCommands::setNodeImage(const QString& path, const QString& imageKey) {
    TreeNode* node = m_tree.nodeAtPath(Paths::withoutTrailingSeparator(path));
    if (!node)
        return;
    if (!ImageKeys::isGeneric(imageKey)) {
        m_tree.EnsurePathIcon(path);
        m_tree.EnsureStatusIcons(path);
    }
    m_tree.setNodeImage(*node, imageKey);
}

void EditingCommands::showInTree(const QString& path) {
    m_tree.UpdateTreeLocal();
    // A folder whose node was already there as a container keeps its container picture through
    // UpdateTreeLocal; it is an association now.
    if (m_tree.HasChildNodes(path))
        m_tree.applyIconRule(path);
    if (const int index = m_tree.FindTreeIndexFromFullPath(path); index >= 0) {
        const QModelIndex at = m_tree.indexOf(m_tree.node(index));
        m_window.treeView()->scrollTo(at);
        m_window.treeView()->setCurrentIndex(at);
    }
    m_window.refreshVolumePanel();
    m_window.refreshAvailability();
}
