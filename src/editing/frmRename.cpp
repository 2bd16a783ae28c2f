#include "editing/frmRename.h"

#include "core/Lifecycle.h"
#include "state/AppState.h"
#include "ui_frmRename.h"

frmRename::frmRename(AppState& state, Lifecycle& lifecycle, ItemRenamer& renamer,
                     const QString& oldPath, bool isDrive, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmRename>()), m_state(state),
      m_lifecycle(lifecycle), m_flow(state, renamer, oldPath, isDrive) {
    m_ui->setupUi(this);
    m_ui->lblOldName->setText(m_flow.oldLabel());
    m_ui->txtOldName->setText(m_flow.oldName());
    m_ui->txtNewName->setMaxLength(m_flow.maxLength());
    m_ui->txtNewName->setText(m_flow.oldName());
    m_ui->txtNewName->selectAll();
    // Checked on every change, so a pasted or dropped name is held to the same rule as keys.
    connect(m_ui->txtNewName, &QLineEdit::textEdited, this, &frmRename::keepAllowedCharacters);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmRename::acceptName);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmRename::~frmRename() = default;

void frmRename::showEvent(QShowEvent* event) {
    if (!m_pausedHere) {
        m_wasPaused = m_state.Paused;
        m_lifecycle.Pause();
        m_pausedHere = true;
    }
    QDialog::showEvent(event);
}

void frmRename::done(int result) {
    if (m_pausedHere && !m_wasPaused)
        m_lifecycle.Unpause();
    m_pausedHere = false;
    QDialog::done(result);
}

void frmRename::keepAllowedCharacters(const QString& text) {
    const QString kept = m_flow.withoutRefusedCharacters(text);
    if (kept == text)
        return;
    const int cursor = m_ui->txtNewName->cursorPosition() - int(text.size() - kept.size());
    m_ui->txtNewName->setText(kept);
    m_ui->txtNewName->setCursorPosition(std::max(0, cursor));
}

void frmRename::acceptName() {
    const RenameFlow::Result result = m_flow.ok(m_ui->txtNewName->text());
    m_ui->txtNewName->setText(result.boxText);
    if (result.next == RenameFlow::Next::Close)
        accept();
}
