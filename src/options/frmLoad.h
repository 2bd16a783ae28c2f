#pragma once
// "Load scheme - Quillmot": replaces the current associations with a saved scheme.

#include "options/SchemeDialog.h"

#include <memory>

namespace Ui {
class frmLoad;
}

class frmLoad : public SchemeDialog {
    Q_OBJECT
public:
    explicit frmLoad(SchemeCommands& commands, QWidget* parent = nullptr);
    ~frmLoad() override;

    QAction* openAction() const { return m_open; }

protected:
    void selectionChanged() override;

private:
    void openSelected();

    std::unique_ptr<Ui::frmLoad> ui;
    QAction* m_open = nullptr;
};
