#include "editing/frmProperties.h"

#include "editing/RuleValidator.h"
#include "editing/frmEditDestVolume.h"
#include "editing/frmEditVolumes.h"
#include "feedback/StepArrows.h"
#include "platform/gui/ShellActions.h"
#include "presentation/DestinationStatus.h"
#include "presentation/ImageList.h"
#include "presentation/TextRules.h"
#include "state/AppState.h"
#include "ui_frmProperties.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <algorithm>

namespace {
const QString volumeTip = QStringLiteral("Volume name of drive on which this folder resides.");
// The warning colour of the status line: a yellow that stays readable on a light background.
const QColor warningColour(0xB0, 0x80, 0x00);
constexpr int folderColumn = 0, volumeColumn = 1, statusColumn = 2;
constexpr int columnPadding = 16;
} // namespace

frmProperties::frmProperties(AppState& state, FilePickers& pickers, PropertiesSession::Hooks hooks,
                             IconLookup icons, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmProperties>()), m_state(state),
      m_session(state, pickers, std::move(hooks)),
      m_icons(icons ? std::move(icons) : IconLookup(&frmProperties::defaultIcon)) {
    m_ui->setupUi(this);
    fitStepArrows(*m_ui->txtVersions, *m_ui->cmdMoreVersions, *m_ui->cmdLessVersions);
    m_ui->txtVersions->setValidator(new RuleValidator(&TextRules::isVersionsText, this));
    buildPopup();
    m_loaded = m_session.load();
    if (m_loaded)
        fill();

    connect(m_ui->chkKeepBackup, &QCheckBox::toggled, this, &frmProperties::keepBackupChanged);
    connect(m_ui->chkRecursive, &QCheckBox::toggled, this, &frmProperties::refreshStatusColumn);
    connect(m_ui->cmdMoreVersions, &QToolButton::clicked, this, [this] {
        m_ui->txtVersions->setText(PropertiesSession::moreVersions(m_ui->txtVersions->text()));
    });
    connect(m_ui->cmdLessVersions, &QToolButton::clicked, this, [this] {
        m_ui->txtVersions->setText(PropertiesSession::lessVersions(m_ui->txtVersions->text()));
    });
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &frmProperties::addDestination);
    connect(m_ui->cmdRemove, &QPushButton::clicked, this, &frmProperties::removeDestination);
    connect(m_ui->cmdDestVolume, &QPushButton::clicked, this,
            &frmProperties::editDestinationVolume);
    connect(m_ui->cmdVolume, &QPushButton::clicked, this, &frmProperties::editSourceVolumes);
    connect(m_ui->cmdOpen, &QPushButton::clicked, this,
            [this] { ShellActions::open(m_state.SelectedSourcePath); });
    connect(m_ui->cmdProperties, &QPushButton::clicked, this,
            [this] { ShellActions::ShowFileProperties(m_ui->txtSource->text()); });
    connect(m_ui->listDestinations, &QTreeWidget::customContextMenuRequested, this,
            &frmProperties::showPopup);
    connect(m_ui->listDestinations, &QTreeWidget::itemDoubleClicked, this,
            &frmProperties::editDestinationVolume);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        if (m_session.confirmSave() && m_session.save(values()))
            accept();
    });
    connect(m_ui->cmdSaveAll, &QPushButton::clicked, this, [this] {
        if (m_session.confirmSave() && m_session.saveToAll(values()))
            accept();
    });
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmProperties::reject);
}

frmProperties::~frmProperties() {
    // A dialog destroyed without being closed still ends its session (unpause, watch, tree).
    if (m_loaded)
        m_session.close();
}

QIcon frmProperties::defaultIcon(const QString& key) {
    static QFileIconProvider provider;
    if (key.startsWith(ImageKeys::folderShared))
        return provider.icon(QFileIconProvider::Network);
    if (ImageKeys::isYellow(key))
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    if (key.startsWith(ImageKeys::drive))
        return provider.icon(QFileIconProvider::Drive);
    if (key.startsWith(ImageKeys::file))
        return provider.icon(QFileIconProvider::File);
    if (key.startsWith(ImageKeys::folder))
        return provider.icon(QFileIconProvider::Folder);
    // A per-path key is the path itself.
    return provider.icon(QFileInfo(key));
}

void frmProperties::buildPopup() {
    m_popup = new QMenu(this);
    m_mnuVolume = m_popup->addAction(QStringLiteral("Edit Volume"), this,
                                     &frmProperties::editDestinationVolume);
    m_mnuVolume->setObjectName(QStringLiteral("mnuVolume"));
    m_popup->setDefaultAction(m_mnuVolume);
    m_mnuRemove =
        m_popup->addAction(QStringLiteral("Remove"), this, &frmProperties::removeDestination);
    m_mnuRemove->setObjectName(QStringLiteral("mnuRemove"));
    m_popup->addSeparator()->setObjectName(QStringLiteral("mnuSpace1"));
    m_mnuOpen = m_popup->addAction(QStringLiteral("Open"), this, [this] {
        if (const int p = selectedPosition())
            ShellActions::open(m_session.gcolWorkingDests->Item(p)->Path);
    });
    m_mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    m_mnuProperties = m_popup->addAction(QStringLiteral("Properties"), this, [this] {
        if (const int p = selectedPosition())
            ShellActions::ShowFileProperties(m_session.gcolWorkingDests->Item(p)->Path);
    });
    m_mnuProperties->setObjectName(QStringLiteral("mnuProperties"));
    m_popup->setObjectName(QStringLiteral("mnuPopup"));
}

void frmProperties::fill() {
    const clsBackup& a = m_session.association();
    setWindowTitle(m_session.caption);
    setWindowIcon(m_icons(m_session.windowIconKey));
    m_ui->cmdSaveAll->setEnabled(m_session.saveAllEnabled);
    (m_session.saveAllEnabled ? m_ui->cmdSaveAll : m_ui->cmdOK)->setDefault(true);
    // The keyboard starts on the first switch, not on a button above it that Enter would press.
    m_ui->chkEnabled->setFocus();
    m_ui->txtStatus->setText(m_session.statusText);
    if (m_session.statusWarning) {
        QPalette p = m_ui->txtStatus->palette();
        p.setColor(QPalette::Text, warningColour);
        m_ui->txtStatus->setPalette(p);
    }
    m_ui->txtSource->setText(a.SourcePath);
    m_ui->txtCreated->setText(a.DateCreated);
    m_ui->txtActivity->setText(a.DateLastActivity);
    m_ui->chkRecursive->setEnabled(a.Folder);
    m_ui->chkHidden->setEnabled(a.Folder);
    m_ui->chkRecursive->setChecked(a.Recursive);
    m_ui->chkEnabled->setChecked(a.Enabled);
    m_ui->chkHidden->setChecked(a.CopyHidden);
    m_ui->chkNotifySuccess->setChecked(a.NotifyOnSuccess);
    m_ui->chkNotifyError->setChecked(a.NotifyOnError);
    m_ui->chkKeepBackup->setChecked(a.KeepBackup);
    keepBackupChanged(a.KeepBackup);
    m_ui->txtVersions->setText(QString::number(a.Versions).trimmed());

    QTreeWidget& list = *m_ui->listDestinations;
    list.header()->setStretchLastSection(true);
    showDestinations(0);
}

void frmProperties::showDestinations(int selectPosition) {
    QTreeWidget& list = *m_ui->listDestinations;
    list.clear();
    const colDestinations& dests = *m_session.gcolWorkingDests;
    for (int p = 1; p <= dests.Count(); ++p) {
        const auto d = dests.Item(p);
        auto* row = new QTreeWidgetItem(&list, QStringList{d->Path, d->Volume});
        row->setIcon(folderColumn, m_icons(PropertiesSession::destinationIconKey(d->Path)));
        row->setToolTip(folderColumn, d->Path);
        row->setToolTip(volumeColumn, volumeTip);
        if (p == selectPosition)
            list.setCurrentItem(row);
    }
    // Short folders leave the room to the status, which names what is wrong.
    for (const auto& [column, widest] :
         {std::pair(folderColumn, 250), std::pair(volumeColumn, 110)}) {
        list.resizeColumnToContents(column);
        list.setColumnWidth(column, std::min(list.columnWidth(column) + columnPadding, widest));
    }
    refreshStatusColumn();
}

// Each row says "Checking..." until its disk answered; an answer for rows shown before the list
// changed again is dropped.
void frmProperties::refreshStatusColumn() {
    QTreeWidget& list = *m_ui->listDestinations;
    const quint64 generation = ++m_statusGeneration;
    const auto show = [&list](int row, const QString& status) {
        if (QTreeWidgetItem* item = list.topLevelItem(row)) {
            item->setText(statusColumn, status);
            item->setToolTip(statusColumn, status);
        }
    };
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        show(i, DestinationStatus::checking);
        m_session.checkDestination(i + 1, m_ui->chkRecursive->isChecked(), this,
                                   [this, show, generation, i](const QString& status) {
                                       if (generation == m_statusGeneration)
                                           show(i, status);
                                   });
    }
}

int frmProperties::selectedPosition() const {
    const QList<QTreeWidgetItem*> selected = m_ui->listDestinations->selectedItems();
    if (selected.isEmpty())
        return 0;
    return m_ui->listDestinations->indexOfTopLevelItem(selected.constFirst()) + 1;
}

PropertiesValues frmProperties::values() const {
    PropertiesValues v;
    v.enabled = m_ui->chkEnabled->isChecked();
    v.recursive = m_ui->chkRecursive->isChecked();
    v.hidden = m_ui->chkHidden->isChecked();
    v.notifySuccess = m_ui->chkNotifySuccess->isChecked();
    v.notifyError = m_ui->chkNotifyError->isChecked();
    v.keepBackup = m_ui->chkKeepBackup->isChecked();
    v.versionsText = m_ui->txtVersions->text();
    return v;
}

void frmProperties::keepBackupChanged(bool ticked) {
    m_ui->txtVersions->setEnabled(ticked);
    m_ui->cmdMoreVersions->setEnabled(ticked);
    m_ui->cmdLessVersions->setEnabled(ticked);
}

void frmProperties::addDestination() {
    if (const std::optional<int> position = m_session.addDestination())
        showDestinations(*position);
}

void frmProperties::removeDestination() {
    const int position = selectedPosition();
    if (position && m_session.removeDestination(position))
        showDestinations(0);
}

void frmProperties::editDestinationVolume() {
    const int position = selectedPosition();
    if (!position)
        return;
    frmEditDestVolume editor(*m_session.gcolWorkingDests, position, *m_state.fso, m_state.messages,
                             this);
    editor.exec();
    showDestinations(position);
}

void frmProperties::editSourceVolumes() {
    frmEditVolumes editor(m_session.gstrVolumes, m_state.SelectedSourcePath, *m_state.fso,
                          m_state.messages, this);
    if (editor.exec() == QDialog::Accepted)
        m_session.gstrVolumes = editor.volumes();
}

void frmProperties::showPopup(const QPoint& at) {
    QTreeWidget& list = *m_ui->listDestinations;
    // A click beside every row clears the selection, so the menu offers nothing to act on.
    if (!list.itemAt(at))
        list.clearSelection();
    const bool selected = selectedPosition() != 0;
    for (QAction* a : {m_mnuVolume, m_mnuRemove, m_mnuOpen, m_mnuProperties})
        a->setEnabled(selected);
    if (selected)
        m_popup->popup(list.viewport()->mapToGlobal(at), m_mnuVolume);
}

void frmProperties::done(int result) {
    // However the dialog ends (Save, Cancel, Escape, the close box) the session closes once;
    // without Save that is a Cancel in full.
    if (m_loaded && !m_session.closed()) {
        if (result != QDialog::Accepted)
            m_session.cancel();
        m_session.close();
    }
    QDialog::done(result);
}
