#include "editing/frmEditVolumes.h"

#include "editing/RuleValidator.h"
#include "presentation/TextRules.h"
#include "ui_frmEditVolumes.h"

#include <QKeyEvent>

frmEditVolumes::frmEditVolumes(const QString& gstrVolumes, const QString& sourcePath,
                               const FileSystem& fso, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmEditVolumes>()), m_volumes(gstrVolumes),
      m_sourcePath(sourcePath), m_fso(fso), m_messages(messages) {
    m_ui->setupUi(this);
    m_ui->txtVolume->setValidator(new RuleValidator(&TextRules::isVolumeName, this));
    // Unlabelled file systems are listed by their UUID: the list shows one whole.
    const int uuidWidth = m_ui->lbxVolumes->fontMetrics().horizontalAdvance(
        QStringLiteral("UUID=00000000-0000-0000-0000-000000000000"));
    m_ui->lbxVolumes->setMinimumWidth(uuidWidth + 2 * m_ui->lbxVolumes->frameWidth() + 8);
    m_ui->chkNoVol->setChecked(m_volumes.noVolume);
    showEntries();
    m_ui->lbxVolumes->installEventFilter(this);
    m_ui->txtVolume->installEventFilter(this);
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &frmEditVolumes::add);
    connect(m_ui->cmdRemove, &QPushButton::clicked, this, &frmEditVolumes::remove);
    connect(m_ui->cmdRetrieve, &QPushButton::clicked, this, &frmEditVolumes::retrieve);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmEditVolumes::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmEditVolumes::reject);
    connect(m_ui->chkNoVol, &QCheckBox::clicked, this, [this](bool ticked) {
        const QSignalBlocker block(m_ui->chkNoVol);
        m_ui->chkNoVol->setChecked(m_volumes.setNoVolume(ticked, m_messages));
    });
    m_ui->cmdOK->setDefault(true);
}

frmEditVolumes::~frmEditVolumes() = default;

void frmEditVolumes::showEntries() {
    m_ui->lbxVolumes->clear();
    m_ui->lbxVolumes->addItems(m_volumes.entries);
}

void frmEditVolumes::add() {
    if (m_volumes.add(m_ui->txtVolume->text()))
        showEntries();
    m_ui->txtVolume->setFocus();
}

void frmEditVolumes::remove() {
    QList<int> rows;
    for (const QListWidgetItem* item : m_ui->lbxVolumes->selectedItems())
        rows << m_ui->lbxVolumes->row(item);
    if (rows.isEmpty())
        return;
    if (m_volumes.remove(rows, m_messages))
        showEntries();
}

void frmEditVolumes::retrieve() {
    if (const auto name =
            retrieveVolume(m_fso, m_sourcePath, m_messages, VolumeTexts::driveNotReady))
        m_ui->txtVolume->setText(*name);
}

void frmEditVolumes::accept() {
    m_result = m_volumes.result();
    QDialog::accept();
}

bool frmEditVolumes::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_ui->lbxVolumes && key == Qt::Key_Delete) {
        remove();
        return true;
    }
    // Enter in the name box adds the name: taken by the default button, it would close the
    // dialog and lose what was just typed.
    if (watched == m_ui->txtVolume && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        add();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
