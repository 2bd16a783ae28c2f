#pragma once
// "Restore - Quillmot": an association's backed-up files on the left (with a filter and the
// files no longer in the source marked), the selected file's copies on the right, and the
// commands that open, compare and restore them. It presents and dispatches; the rules are
// RestoreBrowser's.

#include "presentation/RestoreBrowser.h"

#include <QWidget>
#include <memory>

namespace Ui {
class frmRestore;
}
class FittedColumns;
class QProgressDialog;
class RestoreTreeModel;

class frmRestore : public QWidget {
    Q_OBJECT
public:
    frmRestore(BackupSet set, MessageBoxes& messages, FilePickers& pickers,
               QWidget* parent = nullptr);
    ~frmRestore() override;

    RestoreBrowser& browser() { return *m_browser; }
    // The tree's model: a row for each node of the browser.
    RestoreTreeModel& treeModel() { return *m_model; }

private:
    void showTree();
    void showCopies();
    void showProgress(const QString& text, int percent);
    void endProgress();
    void chooseAndRestoreFolder();
    int currentRow() const;
    void enableCommands();

    std::unique_ptr<Ui::frmRestore> m_ui;
    std::unique_ptr<RestoreBrowser> m_browser;
    RestoreTreeModel* m_model;
    FittedColumns* m_columns = nullptr;
    QProgressDialog* m_progress = nullptr;
};
