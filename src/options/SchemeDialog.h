#pragma once
// What the save and load dialogs share: the scheme folder's file list, its right-click menu with
// "Delete", and the folder check when the dialog opens.

#include <QDialog>

class QAction;
class QListWidget;
class QMenu;
class QStatusBar;
class SchemeCommands;

class SchemeDialog : public QDialog {
    Q_OBJECT
public:
    // Makes the scheme folder and fills the list; false when the folder cannot be used (the user
    // was told, and the dialog is not to be shown).
    bool prepare();
    // prepare(), then shows the dialog modally; Rejected when the folder cannot be used. Every
    // modal showing goes through here, so the list is never shown unfilled.
    int exec() override;

    QMenu* popupMenu() const { return m_popup; }
    QAction* deleteAction() const { return m_delete; }

protected:
    SchemeDialog(SchemeCommands& commands, QWidget* parent);
    // Called by the subclass once its controls exist.
    void attach(QListWidget* list, QStatusBar* status);
    void refreshList();
    // The selected scheme's file name; empty when none is selected.
    QString selectedScheme() const;
    // The selection changed or the list was refilled.
    virtual void selectionChanged() {}
    bool eventFilter(QObject* watched, QEvent* event) override;

    SchemeCommands& m_commands;
    QMenu* m_popup = nullptr;
    QAction* m_delete = nullptr;

private:
    void deleteSelected();

    QListWidget* m_list = nullptr;
    QStatusBar* m_status = nullptr;
};
