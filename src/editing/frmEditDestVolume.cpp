#include "editing/frmEditDestVolume.h"

#include "editing/RuleValidator.h"
#include "platform/MessageBox.h"
#include "presentation/TextRules.h"
#include "presentation/VolumeEditing.h"
#include "ui_frmEditDestVolume.h"

frmEditDestVolume::frmEditDestVolume(colDestinations& working, int glngDestIndex,
                                     const FileSystem& fso, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmEditDestVolume>()), m_working(working),
      m_index(glngDestIndex), m_fso(fso), m_messages(messages) {
    m_ui->setupUi(this);
    m_ui->txtVolume->setValidator(new RuleValidator(&TextRules::isVolumeName, this));
    const auto destination = m_working.Item(m_index);
    m_ui->txtDestPath->setText(destination->Path);
    m_ui->txtVolume->setText(destination->Volume);
    connect(m_ui->cmdRetrieve, &QPushButton::clicked, this, &frmEditDestVolume::retrieve);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmEditDestVolume::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmEditDestVolume::reject);
    m_ui->cmdOK->setDefault(true);
}

frmEditDestVolume::~frmEditDestVolume() = default;

void frmEditDestVolume::retrieve() {
    if (const auto name = retrieveVolume(m_fso, m_working.Item(m_index)->Path, m_messages,
                                         VolumeTexts::driveIsNotReady))
        m_ui->txtVolume->setText(*name);
}

void frmEditDestVolume::accept() {
    const QString volume = m_ui->txtVolume->text();
    if (duplicatesDestination(m_working, m_index, volume)) {
        m_messages.ask(VolumeTexts::duplicate, MessageBoxes::Icon::Information,
                       MessageBoxes::Buttons::Ok);
        return;
    }
    // Stored as typed: a destination's name is compared exactly on network shares.
    m_working.Item(m_index)->Volume = volume;
    QDialog::accept();
}
