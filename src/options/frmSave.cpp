#include "options/frmSave.h"

#include "ui_frmSave.h"

#include "options/TextRuleValidator.h"
#include "persistence/SchemeFiles.h"
#include "presentation/SchemeCommands.h"

namespace {
// Typed or pasted, a scheme name never holds a refused or control character.
bool isSchemeNameText(QStringView text) {
    for (const QChar c : text)
        if (SchemeFiles::isRefusedNameCharacter(c) || c.category() == QChar::Other_Control)
            return false;
    return true;
}
} // namespace

frmSave::frmSave(SchemeCommands& commands, QWidget* parent)
    : SchemeDialog(commands, parent), ui(std::make_unique<Ui::frmSave>()) {
    ui->setupUi(this);
    attach(ui->flbSave, ui->sbrStatus);
    ui->txtSchemeName->setValidator(new TextRuleValidator(isSchemeNameText, this));
    connect(ui->flbSave, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        ui->txtSchemeName->setText(SchemeFiles::typedNameOf(item->text()));
    });
    // Chosen with the keyboard, a scheme gives its name as a click does.
    connect(ui->flbSave, &QListWidget::itemSelectionChanged, this, [this] {
        if (const QString chosen = selectedScheme(); !chosen.isEmpty())
            ui->txtSchemeName->setText(SchemeFiles::typedNameOf(chosen));
    });
    connect(ui->cmdSave, &QPushButton::clicked, this, [this] {
        if (m_commands.save(ui->txtSchemeName->text()))
            accept();
    });
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmSave::~frmSave() = default;
