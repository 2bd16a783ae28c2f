#include "options/SchemeDialog.h"

#include "presentation/SchemeCommands.h"

#include <QKeyEvent>
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
    m_list->installEventFilter(this);
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

// The keyboard chooses the scheme it points at: after a move, also where there was nowhere to
// move (a list of one), and before Enter reaches the default button.
bool SchemeDialog::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    if (watched == m_list && (press || event->type() == QEvent::KeyRelease)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const bool move = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home ||
                          key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
        QListWidgetItem* current = m_list->currentItem();
        if (current && !current->isSelected() && ((enter && press) || (move && !press)))
            current->setSelected(true);
    }
    return QDialog::eventFilter(watched, event);
}

QString SchemeDialog::selectedScheme() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void SchemeDialog::deleteSelected() {
    if (m_commands.remove(selectedScheme()))
        refreshList();
}
