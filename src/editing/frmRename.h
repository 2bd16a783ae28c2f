#pragma once
// "Rename - Quillmot": renames the item behind a tree node, or a drive's volume name. Scanning
// pauses while it is open and resumes when it closes, unless it was paused before.

#include "presentation/RenameFlow.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmRename;
}
class AppState;
class Lifecycle;

class frmRename : public QDialog {
    Q_OBJECT
public:
    frmRename(AppState& state, Lifecycle& lifecycle, ItemRenamer& renamer, const QString& oldPath,
              bool isDrive, QWidget* parent = nullptr);
    ~frmRename() override;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void keepAllowedCharacters(const QString& text);
    void acceptName();

    std::unique_ptr<Ui::frmRename> m_ui;
    AppState& m_state;
    Lifecycle& m_lifecycle;
    RenameFlow m_flow;
    bool m_wasPaused = false;
    bool m_pausedHere = false;
};
