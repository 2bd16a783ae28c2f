#include "options/frmOptions.h"

#include "ui_frmOptions.h"

#include "feedback/StepArrows.h"
#include "options/TextRuleValidator.h"
#include "persistence/Options.h"
#include "platform/AppData.h"
#include "platform/MessageBox.h"
#include "platform/StartupShortcut.h"
#include "presentation/OptionsForm.h"
#include "state/AppState.h"

#include <QMouseEvent>

namespace {

const QString startupFailedText =
    QStringLiteral("Quillmot could not change its start-up entry in %1. The other options were "
                   "saved.");
const QString saveFailedText = QStringLiteral(
    "Quillmot could not write its options file in %1. The options apply until Quillmot stops.");

// Each check box and the Boolean option it shows.
struct CheckBoxOption {
    QCheckBox* Ui::frmOptions::*box;
    bool Options::*option;
};
const CheckBoxOption checkBoxOptions[] = {
    {&Ui::frmOptions::chkSplash, &Options::ShowSplash},
    {&Ui::frmOptions::chkNotifySuccessDisabled, &Options::NotifySuccessDisabled},
    {&Ui::frmOptions::chkNotifyErrorDisabled, &Options::NotifyErrorDisabled},
    {&Ui::frmOptions::chkTrayNod, &Options::TrayNod},
    {&Ui::frmOptions::chkTrayShake, &Options::TrayShake},
    {&Ui::frmOptions::chkTrayShrug, &Options::TrayShrug},
    {&Ui::frmOptions::chkShowScanning, &Options::ShowScanning},
    {&Ui::frmOptions::chkSourceIsBusy, &Options::NotifySourceBusy},
    {&Ui::frmOptions::chkFullSource, &Options::FullSource},
    {&Ui::frmOptions::chkFullDest, &Options::FullDest},
    {&Ui::frmOptions::chkAdvance, &Options::AutoAdvance},
    {&Ui::frmOptions::chkErrorNoSource, &Options::ErrorNoSource},
    {&Ui::frmOptions::chkErrorSourceVol, &Options::ErrorSourceVol},
    {&Ui::frmOptions::chkErrorNoDest, &Options::ErrorNoDest},
    {&Ui::frmOptions::chkErrorCreateFolder, &Options::ErrorCreateFolder},
    {&Ui::frmOptions::chkErrorDestVol, &Options::ErrorDestVol},
    {&Ui::frmOptions::chkErrorCopyFailed, &Options::ErrorCopyFailed},
    {&Ui::frmOptions::chkErrorPrevSave, &Options::ErrorPrevSave},
    {&Ui::frmOptions::chkErrorLoop, &Options::ErrorLoop},
    {&Ui::frmOptions::chkUseFilters, &Options::UseFilters},
};

} // namespace

frmOptions::frmOptions(AppState& state, IconSink& tray, StartupTarget startup, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmOptions>()), m_state(state),
      m_startup(std::move(startup)), m_preview(tray, m_previewTimer) {
    ui->setupUi(this);
    fitStepArrows(*ui->txtAdvance, *ui->cmdMoreAdv, *ui->cmdLessAdv);
    setModal(false);
    connectRules();
}

frmOptions::~frmOptions() = default;

void frmOptions::connectRules() {
    ui->txtBusyTimeout->setValidator(new TextRuleValidator(OptionsForm::isNumberText, this));
    ui->txtAdvance->setValidator(new TextRuleValidator(OptionsForm::isNumberText, this));
    ui->txtPrevSave->setValidator(new TextRuleValidator(OptionsForm::isPrevSaveText, this));
    ui->txtPrevSave->setMaxLength(OptionsForm::prevSaveLongest);
    ui->txtAdvance->setMaxLength(OptionsForm::advanceLongest);

    connect(ui->chkAdvance, &QCheckBox::toggled, ui->txtAdvance, &QWidget::setEnabled);
    connect(ui->chkUseFilters, &QCheckBox::toggled, ui->txtPrefixes, &QWidget::setEnabled);
    connect(ui->chkUseFilters, &QCheckBox::toggled, ui->txtSuffixes, &QWidget::setEnabled);
    connect(ui->cmdMoreAdv, &QToolButton::clicked, this, [this] {
        ui->txtAdvance->setText(OptionsForm::steppedAdvance(ui->txtAdvance->text(), +1));
    });
    connect(ui->cmdLessAdv, &QToolButton::clicked, this, [this] {
        ui->txtAdvance->setText(OptionsForm::steppedAdvance(ui->txtAdvance->text(), -1));
    });
    for (QCheckBox* box : {ui->chkTrayNod, ui->chkTrayShake, ui->chkTrayShrug})
        box->installEventFilter(this);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmOptions::accept);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmOptions::reject);
}

void frmOptions::showOptions() {
    if (!isVisible())
        loadControls();
    show();
    raise();
    activateWindow();
}

void frmOptions::loadControls() {
    ui->tbsOptions->setCurrentWidget(ui->fraGeneral);
    CheckStartup();
    const Options& options = m_state.options;
    const OptionsEntry shown = OptionsForm::boxTextsOf(options);
    ui->txtBusyTimeout->setText(shown.BusyTimeout);
    ui->txtPrevSave->setText(shown.PrevSaveName);
    ui->txtAdvance->setText(shown.AdvanceSeconds);
    ui->txtPrefixes->setPlainText(shown.FilterPrefixes);
    ui->txtSuffixes->setPlainText(shown.FilterSuffixes);
    for (const CheckBoxOption& pair : checkBoxOptions)
        (ui.get()->*pair.box)->setChecked(shown.checkBoxes.*pair.option);
    ui->txtAdvance->setEnabled(ui->chkAdvance->isChecked());
    ui->txtPrefixes->setEnabled(ui->chkUseFilters->isChecked());
    ui->txtSuffixes->setEnabled(ui->chkUseFilters->isChecked());
}

void frmOptions::CheckStartup() {
    m_startupAtLoad = StartupShortcut::CheckStartup(m_startup.programPath);
    ui->chkStartup->setChecked(m_startupAtLoad);
}

bool frmOptions::SaveOptions() {
    OptionsEntry typed;
    typed.BusyTimeout = ui->txtBusyTimeout->text();
    typed.PrevSaveName = ui->txtPrevSave->text();
    typed.AdvanceSeconds = ui->txtAdvance->text();
    typed.FilterPrefixes = ui->txtPrefixes->toPlainText();
    typed.FilterSuffixes = ui->txtSuffixes->toPlainText();
    for (const CheckBoxOption& pair : checkBoxOptions)
        typed.checkBoxes.*pair.option = (ui.get()->*pair.box)->isChecked();
    return saveOptions(m_state.options, typed, AppData::folder()).ok();
}

void frmOptions::accept() {
    // The entry is touched only when the box changed, so an OK with the box as it was never
    // adds a second entry beside one under another name.
    const bool wanted = ui->chkStartup->isChecked();
    const bool startupDone =
        wanted == m_startupAtLoad ||
        StartupShortcut::UpdateStartupShortcut(wanted, m_startup.programPath, m_startup.iconPath);
    const bool saved = SaveOptions();
    QDialog::accept();
    if (!startupDone)
        m_state.messages.ask(startupFailedText.arg(StartupShortcut::startupFolder()),
                             MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
    if (!saved)
        m_state.messages.ask(saveFailedText.arg(AppData::folder()), MessageBoxes::Icon::Exclamation,
                             MessageBoxes::Buttons::Ok);
}

void frmOptions::done(int result) {
    m_preview.stop();
    QDialog::done(result);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (watched == ui->chkTrayNod)
            m_preview.play(UserInterface::Animation::Nod);
        else if (watched == ui->chkTrayShake)
            m_preview.play(UserInterface::Animation::Shake);
        else if (watched == ui->chkTrayShrug)
            m_preview.play(UserInterface::Animation::Shrug);
    }
    return QDialog::eventFilter(watched, event);
}
