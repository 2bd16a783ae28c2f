#pragma once
// The "Add File(s)" and "Add Folder" commands without their widgets: the checks a candidate source
// passes, the defaults of a new association, the properties dialog shown for each, "Save to All"
// over a selection of files, and the store rewrite at the end.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class AppState;
class FilePickers;

class AddAssociations {
public:
    struct Hooks {
        // The network form of a path (GetUNCName).
        std::function<QString(const QString& path)> networkForm;
        // Shows the properties dialog modally for AppState::SelectedSourcePath, with the tray in
        // its dialog state.
        std::function<void()> showProperties;
        // Opens an association's folder watch.
        std::function<void(const QString& path, bool recursive)> openWatch;
        // Brings the tree up to date and selects the node of `path` when it has one.
        std::function<void(const QString& path)> showInTree;
        // The user's documents folder.
        QString documentsFolder;
    };

    AddAssociations(AppState& state, FilePickers& pickers, Hooks hooks);

    // The menu commands: ask for the candidates, then add them.
    void AddFiles();
    void AddFolder();

    // The same with the candidates given.
    void addFiles(const QStringList& paths);
    void addFolder(const QString& path);

    // The checks of one candidate, with their messages; the new association's volume list when
    // it passes. `quiet` gives up without a message (files taken over by "Save to All").
    std::optional<QString> commonChecks(const QString& path, bool folder, bool quiet = false);

private:
    void createAssociation(const QString& path, bool folder, const QString& volume);
    void createAndConfirm(const QString& path, bool folder, const QString& volume);
    void applyToOthers(const QStringList& paths, qsizetype chosen, std::vector<bool>& skipped);
    bool refuse(bool quiet, const QString& text, int icon);
    void saveStores();

    AppState& m_state;
    FilePickers& m_pickers;
    Hooks m_hooks;
};
