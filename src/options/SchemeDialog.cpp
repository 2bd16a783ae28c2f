#include "options/SchemeDialog.h"

#include "presentation/SchemeCommands.h"

#include <QListWidget>
#include <QMenu>
#include <QStatusBar>

SchemeDialog::SchemeDialog(SchemeCommands& commands, QWidget* parent)
    : QDialog(parent), m_commands(commands) {}

void SchemeDialog::attach(QListWidget* list, QStatusBar* status) {
    m_list = list;
    m_status = status;
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("mnuPopup"));
    m_delete = new QAction(QStringLiteral("Delete"), this);
    m_delete->setObjectName(QStringLiteral("mnuDelete"));
    m_popup->addAction(m_delete);
    connect(m_delete, &QAction::triggered, this, &SchemeDialog::deleteSelected);
    connect(m_list, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        m_delete->setEnabled(!selectedScheme().isEmpty());
        m_popup->popup(m_list->viewport()->mapToGlobal(at));
    });
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    m_status->setSizeGripEnabled(true);
}

bool SchemeDialog::prepare() {
    if (!m_commands.openFolder())
        return false;
    m_status->showMessage(m_commands.folder());
    refreshList();
    return true;
}

int SchemeDialog::exec() {
    return prepare() ? QDialog::exec() : QDialog::Rejected;
}

void SchemeDialog::refreshList() {
    m_list->clear();
    m_list->addItems(m_commands.list());
    selectionChanged();
}

QString SchemeDialog::selectedScheme() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void SchemeDialog::deleteSelected() {
    if (m_commands.remove(selectedScheme()))
        refreshList();
}
