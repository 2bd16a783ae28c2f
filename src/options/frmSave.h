#pragma once
// "Save scheme - Quillmot": saves the current associations under a typed name.

#include "options/SchemeDialog.h"

#include <memory>

namespace Ui {
class frmSave;
}

class frmSave : public SchemeDialog {
    Q_OBJECT
public:
    explicit frmSave(SchemeCommands& commands, QWidget* parent = nullptr);
    ~frmSave() override;

private:
    std::unique_ptr<Ui::frmSave> ui;
};
