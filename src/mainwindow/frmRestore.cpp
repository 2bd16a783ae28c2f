#include "mainwindow/frmRestore.h"
#include "ui_frmRestore.h"
#include "ui_frmRestoreFolder.h"

#include "feedback/SlotGuard.h"
#include "mainwindow/FittedColumns.h"
#include "mainwindow/RestoreTreeModel.h"
#include "platform/Paths.h"
#include "platform/gui/ShellActions.h"

#include <QHeaderView>
#include <QProgressDialog>
#include <QScreen>

namespace {

// The splitter gives the tree this share of the width at first.
constexpr int treeShare = 1;
constexpr int copiesShare = 2;
constexpr int percentDone = 100;
// The copies' column that takes the spare room: the destination folders' paths vary most.
constexpr int destinationColumn = 1;
// Room at first, in characters and lines of the window's font, for a deep tree beside the
// copies' six columns and a dozen copies; never more of the screen than this share.
constexpr int firstWidthChars = 180;
constexpr int firstHeightLines = 40;
constexpr double mostOfTheScreen = 0.9;

QSize firstSize(const QWidget& window) {
    const QFontMetrics metrics(window.font());
    QSize size(metrics.averageCharWidth() * firstWidthChars,
               metrics.lineSpacing() * firstHeightLines);
    if (const QScreen* screen = window.screen())
        size = size.boundedTo(screen->availableGeometry().size() * mostOfTheScreen);
    return size;
}

} // namespace

frmRestore::frmRestore(BackupSet set, MessageBoxes& messages, FilePickers& pickers, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmRestore>()),
      m_browser(std::make_unique<RestoreBrowser>(std::move(set), messages, pickers)),
      m_model(new RestoreTreeModel(*m_browser, this)) {
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(firstSize(*this));
    m_ui->lblAssociation->setText(Paths::displayName(m_browser->set().sourceRoot()));
    m_ui->treeFiles->setModel(m_model);
    // The name gives way first: a long name loses its middle while the note stays whole.
    m_ui->treeFiles->setTextElideMode(Qt::ElideMiddle);
    m_ui->treeFiles->setItemDelegate(new NoteDelegate(m_ui->treeFiles));
    m_ui->treeFiles->header()->setStretchLastSection(true);
    m_ui->splitter->setStretchFactor(0, treeShare);
    m_ui->splitter->setStretchFactor(1, copiesShare);
    m_columns = new FittedColumns(m_ui->tblCopies, destinationColumn);
    m_ui->tblCopies->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_browser->openWithDesktop = [](const QString& path) { return ShellActions::open(path); };
    m_browser->showInFolder = [](const QString& path) { ShellActions::showInFolder(path); };

    connect(m_browser.get(), &RestoreBrowser::treeChanged, this, &frmRestore::showTree);
    connect(m_browser.get(), &RestoreBrowser::copiesChanged, this, &frmRestore::showCopies);
    connect(m_browser.get(), &RestoreBrowser::restoreProgress, this, &frmRestore::showProgress);
    connect(m_browser.get(), &RestoreBrowser::restoreEnded, this, &frmRestore::endProgress);
    connect(m_ui->txtFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        guarded("filter", [&] { m_browser->setFilter(text); });
    });
    connect(m_ui->treeFiles->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                guarded("select", [&] {
                    m_browser->select(index.isValid() ? index.data(Qt::UserRole).toInt() : -1);
                });
            });
    connect(m_ui->tblCopies, &QTableWidget::itemSelectionChanged, this,
            &frmRestore::enableCommands);
    const auto onRow = [this](void (RestoreBrowser::*command)(int)) {
        return [this, command] {
            guarded("restore command", [&] { (m_browser.get()->*command)(currentRow()); });
        };
    };
    connect(m_ui->cmdOpen, &QPushButton::clicked, this, onRow(&RestoreBrowser::open));
    connect(m_ui->cmdShowInFolder, &QPushButton::clicked, this,
            onRow(&RestoreBrowser::showRowInFolder));
    connect(m_ui->cmdCompare, &QPushButton::clicked, this, onRow(&RestoreBrowser::compare));
    connect(m_ui->cmdRestore, &QPushButton::clicked, this, onRow(&RestoreBrowser::restore));
    connect(m_ui->cmdRestoreTo, &QPushButton::clicked, this, onRow(&RestoreBrowser::restoreTo));
    connect(m_ui->tblCopies, &QTableWidget::cellDoubleClicked, this,
            [this] { guarded("open", [&] { m_browser->open(currentRow()); }); });
    connect(m_ui->cmdRestoreFolder, &QPushButton::clicked, this,
            [this] { guarded("restore folder", [&] { chooseAndRestoreFolder(); }); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QWidget::close);

    m_ui->lblFile->setText(RestoreWindowTexts::listing);
    enableCommands();
    m_browser->start();
}

frmRestore::~frmRestore() = default;

void frmRestore::showTree() {
    const QSignalBlocker quiet(m_ui->treeFiles->selectionModel());
    m_model->reload();
    const std::vector<BrowserNode>& nodes = m_browser->nodes();
    // A filter shows its finds opened up; a whole tree starts at its top level.
    if (!m_ui->txtFilter->text().isEmpty())
        m_ui->treeFiles->expandAll();
    if (m_browser->selected() >= 0)
        m_ui->treeFiles->setCurrentIndex(m_model->indexOf(m_browser->selected()));
    if (nodes.empty() || m_browser->selected() < 0)
        showCopies();
}

void frmRestore::showCopies() {
    const int node = m_browser->selected();
    const std::vector<CopyRow>& rows = m_browser->rows();
    m_ui->tblCopies->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const CopyRow& row = rows[size_t(r)];
        const QStringList cells = {row.disk, row.where, row.version, row.time, row.size, row.same};
        for (int c = 0; c < cells.size(); ++c)
            m_ui->tblCopies->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_columns->refit();
    if (!rows.empty() && currentRow() < 0)
        m_ui->tblCopies->selectRow(0);
    QString heading;
    if (m_browser->listing())
        heading = RestoreWindowTexts::listing;
    else if (node >= 0)
        heading = Paths::displayName(m_browser->nodes()[size_t(node)].sourcePath);
    else if (m_browser->nodes().empty())
        heading = RestoreWindowTexts::noCopies;
    else
        heading = RestoreWindowTexts::selectSomething;
    m_ui->lblFile->setText(heading);
    m_ui->lblUnplugged->setText(m_browser->unpluggedTexts().join('\n'));
    m_ui->lblUnplugged->setVisible(!m_browser->unpluggedTexts().isEmpty());
    enableCommands();
}

int frmRestore::currentRow() const {
    const QList<QTableWidgetItem*> chosen = m_ui->tblCopies->selectedItems();
    return chosen.isEmpty() ? -1 : chosen.first()->row();
}

void frmRestore::enableCommands() {
    const bool row = currentRow() >= 0 && !m_browser->restoring();
    for (QPushButton* b : {m_ui->cmdOpen, m_ui->cmdShowInFolder, m_ui->cmdCompare, m_ui->cmdRestore,
                           m_ui->cmdRestoreTo})
        b->setEnabled(row);
    m_ui->cmdRestoreFolder->setEnabled(!m_browser->listing() && !m_browser->restoring() &&
                                       !m_browser->nodes().empty());
}

void frmRestore::chooseAndRestoreFolder() {
    QDialog dialog(this);
    Ui::frmRestoreFolder ui;
    ui.setupUi(&dialog);
    const int node = m_browser->selected();
    const bool folder = node >= 0 && m_browser->nodes()[size_t(node)].folder;
    ui.lblFolder->setText(Paths::displayName(folder ? m_browser->nodes()[size_t(node)].sourcePath
                                                    : m_browser->set().sourceRoot()));
    ui.dtpAsOf->setDateTime(QDateTime::currentDateTime());
    for (const auto& [path, shown] : m_browser->destinationChoices())
        ui.cboFrom->addItem(shown, path);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FolderChoice choice;
    if (ui.optAsOf->isChecked())
        choice.asOf = ui.dtpAsOf->dateTime();
    choice.from = ui.cboFrom->currentData().toString();
    m_browser->restoreFolder(choice);
}

void frmRestore::showProgress(const QString& text, int percent) {
    if (!m_progress) {
        m_progress = new QProgressDialog(this);
        m_progress->setWindowTitle(RestoreWindowTexts::title);
        m_progress->setMinimumDuration(0);
        m_progress->setRange(0, percentDone);
        connect(m_progress, &QProgressDialog::canceled, this,
                [this] { m_browser->cancelRestore(); });
    }
    m_progress->setLabelText(text.isEmpty() ? RestoreWindowTexts::listing : text);
    m_progress->setValue(percent < 0 ? 0 : percent);
    enableCommands();
}

void frmRestore::endProgress() {
    if (m_progress) {
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    enableCommands();
}
