#include "options/frmLoad.h"

#include "ui_frmLoad.h"

#include "presentation/SchemeCommands.h"

#include <QMenu>

frmLoad::frmLoad(SchemeCommands& commands, QWidget* parent)
    : SchemeDialog(commands, parent), ui(std::make_unique<Ui::frmLoad>()) {
    ui->setupUi(this);
    attach(ui->flbLoad, ui->sbrStatus);
    m_open = new QAction(QStringLiteral("&Load"), this);
    m_open->setObjectName(QStringLiteral("mnuOpen"));
    m_popup->insertAction(m_delete, m_open);
    m_popup->setDefaultAction(m_open);
    connect(m_open, &QAction::triggered, this, &frmLoad::openSelected);
    connect(ui->flbLoad, &QListWidget::itemDoubleClicked, this, &frmLoad::openSelected);
    connect(ui->cmdOpen, &QPushButton::clicked, this, &frmLoad::openSelected);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    ui->cmdOpen->setEnabled(false);
}

frmLoad::~frmLoad() = default;

void frmLoad::selectionChanged() {
    const bool selected = !selectedScheme().isEmpty();
    ui->cmdOpen->setEnabled(selected);
    m_open->setEnabled(selected);
}

void frmLoad::openSelected() {
    if (m_commands.load(selectedScheme()))
        accept();
}
