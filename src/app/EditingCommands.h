#pragma once
// Puts the adding commands and the properties dialog together with the main window, its tree,
// the engine's watches and the pause state.

#include <QObject>
#include <functional>

class AddAssociations;
class AppState;
class AssociationTree;
class Engine;
class FilePickers;
class Lifecycle;
class TrayIcon;
class frmQuillmot;

class EditingCommands : public QObject {
    Q_OBJECT
public:
    EditingCommands(AppState& state, Engine& engine, Lifecycle& lifecycle, AssociationTree& tree,
                    frmQuillmot& window, FilePickers& pickers, QObject* parent = nullptr);

    void addFiles();
    void addFolder();
    // The tray, whose picture shows that a dialog is open; may give null (no display).
    std::function<TrayIcon*()> trayOf;

    // View / Edit of an existing association.
    void viewEdit(const QString& sourcePath);

private:
    AddAssociations adding();
    // The properties dialog for AppState::SelectedSourcePath, modal over the main window.
    void showProperties();
    void setNodeImage(const QString& path, const QString& imageKey);
    void showInTree(const QString& path);

    AppState& m_state;
    Engine& m_engine;
    Lifecycle& m_lifecycle;
    AssociationTree& m_tree;
    frmQuillmot& m_window;
    FilePickers& m_pickers;
};
