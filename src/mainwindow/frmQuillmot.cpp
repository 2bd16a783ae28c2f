#include "mainwindow/frmQuillmot.h"

#include "mainwindow/BackupsTreeView.h"
#include "mainwindow/ElidingPanel.h"
#include "mainwindow/IconStore.h"
#include "mainwindow/ShellCommands.h"
#include "persistence/WindowPrefs.h"
#include "platform/ProgramInfo.h"
#include "platform/gui/ShellActions.h"
#include "presentation/AssociationTree.h"
#include "presentation/HelpFiles.h"
#include "presentation/MenuRules.h"
#include "presentation/StatusTexts.h"
#include "presentation/TrayTexts.h"
#include "presentation/TreeCommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMetaMethod>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QToolBar>

namespace {
constexpr double twipsPerInch = 1440.0;
const QString pauseCaption = QStringLiteral("Pause Program");
const QString unpauseCaption = QStringLiteral("Unpause Program");
const QString manualCaption = QStringLiteral("Users` Manual");
constexpr QSize titleSize(120, 32);
} // namespace

// The artwork is compiled into a static library, whose resources register only when asked to.
static void registerArtwork() {
    Q_INIT_RESOURCE(mainwindow);
}

frmQuillmot::frmQuillmot(QWidget* parent)
    : QMainWindow(parent), m_treeView(new BackupsTreeView(this)) {
    registerArtwork();
    setWindowTitle(ProgramInfo::name);
    setObjectName(QStringLiteral("frmQuillmot"));
    IconStore::chooseIconTheme();
    buildMenus();
    buildToolbar();
    buildPopup();
    buildStatusBar();
    setCentralWidget(m_treeView);
    connect(m_treeView, &BackupsTreeView::viewEditRequested, this, &frmQuillmot::viewEdit);
    connect(m_treeView, &BackupsTreeView::removeRequested, this, &frmQuillmot::removeSelected);
    connect(m_treeView, &BackupsTreeView::popupRequested, this, &frmQuillmot::showPopup);
    m_built = true;
    refreshAvailability();
    centreDefaultSize();
}

frmQuillmot::~frmQuillmot() = default;

QAction* frmQuillmot::addItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    m_actions.insert(name, item);
    return item;
}

// The item runs the hook signal and is enabled only while something is connected to it.
void frmQuillmot::hook(const QString& name, void (frmQuillmot::*signal)()) {
    connect(m_actions.value(name), &QAction::triggered, this, signal);
    m_hooks.insert(name, QMetaMethod::fromSignal(signal));
}

void frmQuillmot::buildMenus() {
    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("mnuFile"));
    addItem(window, QStringLiteral("mnuOptions"), QStringLiteral("Options"))
        ->setIcon(IconStore::artwork(QStringLiteral("options")));
    addItem(window, QStringLiteral("mnuLog"), QStringLiteral("Recent Activity"));
    window->addSeparator();
    connect(addItem(window, QStringLiteral("mnuShowHide"), MenuRules::showHideCaption(false)),
            &QAction::triggered, this, &frmQuillmot::showOrHide);
    QAction* exit = addItem(window, QStringLiteral("mnuExit"), QStringLiteral("Stop and Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &frmQuillmot::exitRequested);
    window->addSeparator();
    addItem(window, QStringLiteral("mnuAbout"), TrayTexts::about);
    hook(QStringLiteral("mnuAbout"), &frmQuillmot::aboutRequested);
    hook(QStringLiteral("mnuOptions"), &frmQuillmot::optionsRequested);
    hook(QStringLiteral("mnuLog"), &frmQuillmot::recentActivityRequested);
    connect(window, &QMenu::aboutToShow, this, &frmQuillmot::refreshAvailability);

    QMenu* backUp = menuBar()->addMenu(QStringLiteral("&Back-up"));
    backUp->setObjectName(QStringLiteral("mnuBackup"));
    addItem(backUp, QStringLiteral("mnuLoad"), QStringLiteral("Load Scheme"));
    addItem(backUp, QStringLiteral("mnuSave"), QStringLiteral("Save Scheme"));
    backUp->addSeparator();
    addItem(backUp, QStringLiteral("mnuAddFiles"), QStringLiteral("Add File(s)"))
        ->setIcon(IconStore::artwork(QStringLiteral("addfile")));
    addItem(backUp, QStringLiteral("mnuAddFolder"), QStringLiteral("Add Folder"))
        ->setIcon(IconStore::artwork(QStringLiteral("addfolder")));
    backUp->addSeparator();
    connect(addItem(backUp, QStringLiteral("mnuEdit"), QStringLiteral("View / Edit")),
            &QAction::triggered, this, &frmQuillmot::viewEdit);
    connect(addItem(backUp, QStringLiteral("mnuEnabled"), MenuRules::disable), &QAction::triggered,
            this, &frmQuillmot::toggleEnabled);
    QAction* remove = addItem(backUp, QStringLiteral("mnuRemove"), QStringLiteral("Remove"));
    remove->setShortcut(Qt::Key_Delete);
    connect(remove, &QAction::triggered, this, &frmQuillmot::removeSelected);
    backUp->addSeparator();
    QAction* restore = addItem(backUp, QStringLiteral("mnuRestore"), QStringLiteral("Restore…"));
    restore->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    restore->setIcon(QIcon::fromTheme(QStringLiteral("document-revert")));
    connect(restore, &QAction::triggered, this, &frmQuillmot::restoreSelected);
    m_hooks.insert(QStringLiteral("mnuRestore"),
                   QMetaMethod::fromSignal(&frmQuillmot::restoreRequested));
    hook(QStringLiteral("mnuLoad"), &frmQuillmot::loadSchemeRequested);
    hook(QStringLiteral("mnuSave"), &frmQuillmot::saveSchemeRequested);
    hook(QStringLiteral("mnuAddFiles"), &frmQuillmot::addFilesRequested);
    hook(QStringLiteral("mnuAddFolder"), &frmQuillmot::addFolderRequested);
    m_hooks.insert(QStringLiteral("mnuEdit"),
                   QMetaMethod::fromSignal(&frmQuillmot::viewEditRequested));
    connect(backUp, &QMenu::aboutToShow, this, &frmQuillmot::refreshAvailability);

    QMenu* actions = menuBar()->addMenu(QStringLiteral("&Actions"));
    actions->setObjectName(QStringLiteral("mnuSpecial"));
    connect(addItem(actions, QStringLiteral("mnuOpen"), QStringLiteral("Open")),
            &QAction::triggered, this, [this] {
                if (const TreeNode* n = selectedNode())
                    ShellActions::open(n->path);
            });
    connect(addItem(actions, QStringLiteral("mnuProperties"), QStringLiteral("Properties")),
            &QAction::triggered, this, [this] {
                if (const TreeNode* n = selectedNode())
                    ShellActions::ShowFileProperties(n->path);
            });
    QAction* rename = addItem(actions, QStringLiteral("mnuRename"), MenuRules::rename);
    rename->setShortcut(Qt::Key_F2);
    connect(rename, &QAction::triggered, this, &frmQuillmot::renameSelected);
    m_hooks.insert(QStringLiteral("mnuRename"),
                   QMetaMethod::fromSignal(&frmQuillmot::renameRequested));
    actions->addSeparator();
    connect(addItem(actions, QStringLiteral("mnuExpandTree"), QStringLiteral("Expand Tree")),
            &QAction::triggered, this, [this] {
                if (m_tree)
                    m_tree->setAllExpanded(true);
            });
    connect(addItem(actions, QStringLiteral("mnuCollapseTree"), QStringLiteral("Collapse Tree")),
            &QAction::triggered, this, [this] {
                if (m_tree)
                    m_tree->setAllExpanded(false);
            });
    actions->addSeparator();
    connect(addItem(actions, QStringLiteral("mnuPaused"), pauseCaption), &QAction::triggered, this,
            &frmQuillmot::pauseToggleRequested);
    connect(actions, &QMenu::aboutToShow, this, &frmQuillmot::refreshAvailability);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuInfo"));
    connect(addItem(help, QStringLiteral("mnuWeb"), QStringLiteral("Home Page")),
            &QAction::triggered, this, [this] { ShellCommands::openHomePage(*m_messages); });
    addItem(help, QStringLiteral("mnuUpdates"), QStringLiteral("Check for Updates"));
    hook(QStringLiteral("mnuUpdates"), &frmQuillmot::checkForUpdatesRequested);
    help->addSeparator();
    QAction* manual = addItem(help, QStringLiteral("mnuHelp"), manualCaption);
    manual->setIcon(IconStore::artwork(QStringLiteral("help")));
    manual->setShortcut(Qt::Key_F1);
    connect(manual, &QAction::triggered, this,
            [this] { ShellCommands::openHelp(HelpFiles::manual, *m_messages); });
    connect(addItem(help, QStringLiteral("mnuConversion"), QStringLiteral("Conversion Readme")),
            &QAction::triggered, this,
            [this] { ShellCommands::openHelp(HelpFiles::readme, *m_messages); });
}

void frmQuillmot::buildToolbar() {
    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("tlbrMain"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(24, 24));
    struct Button {
        const char* key;
        const char* caption;
        const char* tip;
        const char* picture;
        const char* twin; // the menu item it runs
    };
    static const Button buttons[] = {
        {"*Options", "Options", "Change optional settings", "options", "mnuOptions"},
        {"*AddFiles", "Add File(s)", "Add file(s) to be automatically backed up", "addfile",
         "mnuAddFiles"},
        {"*AddFolder", "Add Folder", "Add a folder to be automatically backed up", "addfolder",
         "mnuAddFolder"},
        {"*Remove", "Remove", "Remove backup association", "remove", "mnuRemove"},
        {"*Restore", "Restore", "Bring back a backed-up file or folder", "", "mnuRestore"},
        {"*Help", "Manual", "Open HTML help document", "help", "mnuHelp"},
    };
    for (const Button& b : buttons) {
        // A button without artwork of its own takes its menu twin's icon from the desktop.
        const QIcon icon = *b.picture ? IconStore::artwork(QString::fromLatin1(b.picture))
                                      : m_actions.value(QString::fromLatin1(b.twin))->icon();
        QAction* button = bar->addAction(icon, QString::fromLatin1(b.caption));
        const QString key = QString::fromLatin1(b.key), twin = QString::fromLatin1(b.twin);
        button->setObjectName(key);
        button->setToolTip(QString::fromLatin1(b.tip));
        m_actions.insert(key, button);
        // Signal to signal: the button runs its twin's command even while the twin's menu,
        // decided when it last opened, shows it disabled.
        connect(button, &QAction::triggered, m_actions.value(twin), &QAction::triggered);
        if (m_hooks.contains(twin))
            m_hooks.insert(key, m_hooks.value(twin));
    }
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_title = new QLabel(bar);
    m_title->setObjectName(QStringLiteral("imgTitle"));
    showWordmark();
    m_title->setToolTip(QStringLiteral("Quillmot v") + ProgramInfo::versionText());
    bar->addWidget(m_title);
}

void frmQuillmot::showWordmark() {
    m_title->setPixmap(
        IconStore::wordmark(palette().color(QPalette::WindowText), titleSize, devicePixelRatioF()));
}

void frmQuillmot::buildPopup() {
    m_popup = new QMenu(QStringLiteral("Popup Menu"), this);
    m_popup->setObjectName(QStringLiteral("mnuPopup"));
    QAction* edit = addItem(m_popup, QStringLiteral("mnuPopupEdit"), QStringLiteral("View / Edit"));
    connect(edit, &QAction::triggered, this, &frmQuillmot::viewEdit);
    m_hooks.insert(edit->objectName(), m_hooks.value(QStringLiteral("mnuEdit")));
    m_popup->setDefaultAction(edit);
    m_popup->addSeparator();
    // The popup's twins run the same code as the menu bar's items.
    for (const char* twin : {"Open", "Properties", "Rename"}) {
        const QString name = QStringLiteral("mnuPopup") + QString::fromLatin1(twin);
        QAction* bar = m_actions.value(QStringLiteral("mnu") + QString::fromLatin1(twin));
        connect(addItem(m_popup, name, bar->text()), &QAction::triggered, bar, &QAction::triggered);
    }
    m_hooks.insert(QStringLiteral("mnuPopupRename"), m_hooks.value(QStringLiteral("mnuRename")));
    QAction* restore = addItem(m_popup, QStringLiteral("mnuPopupRestore"),
                               m_actions.value(QStringLiteral("mnuRestore"))->text());
    connect(restore, &QAction::triggered, this, &frmQuillmot::restoreSelected);
    m_hooks.insert(restore->objectName(), m_hooks.value(QStringLiteral("mnuRestore")));
    m_popup->addSeparator();
    connect(addItem(m_popup, QStringLiteral("mnuPopupEnabled"), QStringLiteral("Enabled")),
            &QAction::triggered, this, &frmQuillmot::toggleEnabled);
    connect(addItem(m_popup, QStringLiteral("mnuPopupRemove"), QStringLiteral("Remove")),
            &QAction::triggered, this, &frmQuillmot::removeSelected);
}

void frmQuillmot::buildStatusBar() {
    auto panel = [this](const QString& name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return label;
    };
    m_backups = panel(QStringLiteral("Backups"), QString());
    m_running = panel(QStringLiteral("Running"),
                      StatusTexts::running(UserInterface::RunningState::Initializing));
    // A volume's name can be a long "UUID=…": that panel gives way before the others do.
    m_volume = new ElidingPanel(this);
    m_volume->setObjectName(QStringLiteral("Volume"));
    m_volume->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_volume->setFullText(StatusTexts::volume(notApplicable));
    m_scheme = panel(QStringLiteral("Scheme"), StatusTexts::scheme(QString()));
    // A click on the "Running" panel pauses, a second one unpauses.
    m_running->installEventFilter(this);
    m_running->setCursor(Qt::PointingHandCursor);
    statusBar()->addWidget(m_backups);
    statusBar()->addWidget(m_running);
    statusBar()->addWidget(m_volume);
    statusBar()->addWidget(m_scheme, 1);
}

void frmQuillmot::attachTree(AssociationTree* tree, TreeCommands* commands) {
    m_tree = tree;
    m_commands = commands;
    m_icons = std::make_unique<IconStore>(tree->images());
    tree->images().removed = [this](const QStringList& keys) { m_icons->forget(keys); };
    m_treeView->setTree(tree, m_icons.get());
    // The shortcuts of the items act on the selection, so the items follow it at once.
    connect(m_treeView->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        refreshVolumePanel();
        refreshAvailability();
    });
    refreshAvailability();
}

const TreeNode* frmQuillmot::selectedNode() const {
    return m_tree ? m_tree->nodeAt(m_treeView->currentIndex()) : nullptr;
}

void frmQuillmot::selectFirstAssociationIfNone() {
    if (m_tree && !m_treeView->currentIndex().isValid()) {
        // Not a root: Remove on a root would offer to take every association below it.
        const TreeNode* first = m_tree->firstAssociationNode();
        if (!first && m_tree->rowCount() > 0)
            first = m_tree->nodeAt(m_tree->index(0, 0));
        if (first) {
            m_tree->revealNodes({first->path});
            m_treeView->setCurrentIndex(m_tree->indexOf(first));
        }
    }
    refreshVolumePanel();
}

void frmQuillmot::selectNode(const TreeNode* node) {
    if (m_tree && node)
        m_treeView->setCurrentIndex(m_tree->indexOf(node));
    refreshVolumePanel();
}

void frmQuillmot::refreshVolumePanel() {
    if (m_tree)
        m_volume->setFullText(m_tree->volumePanelText(selectedNode()));
}

bool frmQuillmot::wired(const QString& name) const {
    const auto it = m_hooks.constFind(name);
    return it == m_hooks.cend() || isSignalConnected(it.value());
}

void frmQuillmot::applyState(const QHash<QString, ItemState>& state) {
    for (auto it = state.cbegin(); it != state.cend(); ++it) {
        QAction* item = m_actions.value(it.key());
        item->setEnabled(it.value().enabled && wired(it.key()));
        if (!it.value().caption.isEmpty())
            item->setText(it.value().caption);
    }
}

void frmQuillmot::refreshAvailability() {
    // Items whose command is carried out elsewhere wait for their hook.
    for (auto it = m_hooks.cbegin(); it != m_hooks.cend(); ++it)
        m_actions.value(it.key())->setEnabled(wired(it.key()));
    m_actions.value(QStringLiteral("mnuShowHide"))
        ->setText(MenuRules::showHideCaption(isMinimized() || !isVisible()));
    const SelectionFacts facts =
        m_commands ? m_commands->factsOf(selectedNode()) : SelectionFacts();
    applyState(MenuRules::backUpMenu(facts));
    applyState(MenuRules::actionsMenu(facts));
    applyState(MenuRules::popupMenu(facts));
    m_actions.value(QStringLiteral("*Remove"))->setEnabled(true);
}

void frmQuillmot::connectNotify(const QMetaMethod& signal) {
    QMainWindow::connectNotify(signal);
    if (m_built)
        refreshAvailability();
}

// Qt tells of a disconnection while it still holds the lock that asking about connections
// takes, so the items follow a moment later.
void frmQuillmot::disconnectNotify(const QMetaMethod& signal) {
    QMainWindow::disconnectNotify(signal);
    if (m_built)
        QMetaObject::invokeMethod(this, &frmQuillmot::refreshAvailability, Qt::QueuedConnection);
}

void frmQuillmot::showPopup(const QPoint& globalPos) {
    activateWindow();
    refreshAvailability();
    m_popup->exec(globalPos);
}

void frmQuillmot::viewEdit() {
    const TreeNode* n = selectedNode();
    if (!n)
        return;
    m_treeView->expand(m_treeView->currentIndex().siblingAtColumn(0));
    const QString source = m_commands->selectedSourcePath(n);
    if (!source.isEmpty())
        emit viewEditRequested(source);
}

void frmQuillmot::restoreSelected() {
    const TreeNode* n = selectedNode();
    const QString source = n && m_commands ? m_commands->selectedSourcePath(n) : QString();
    if (!source.isEmpty())
        emit restoreRequested(source);
}

void frmQuillmot::removeSelected() {
    if (m_commands)
        m_commands->Remove(selectedNode());
    refreshVolumePanel();
}

void frmQuillmot::toggleEnabled() {
    if (m_commands)
        m_commands->toggleEnabled(selectedNode());
}

void frmQuillmot::renameSelected() {
    if (const TreeNode* n = selectedNode())
        emit renameRequested(n->path);
}

bool frmQuillmot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_running && event->type() == QEvent::MouseButtonRelease)
        emit pauseToggleRequested();
    return QMainWindow::eventFilter(watched, event);
}

void frmQuillmot::setPausedLook(bool paused) {
    QAction* pause = m_actions.value(QStringLiteral("mnuPaused"));
    pause->setText(paused ? unpauseCaption : pauseCaption);
    pause->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    m_running->setToolTip(pause->text());
}

void frmQuillmot::setPauseCommandEnabled(bool enabled) {
    m_actions.value(QStringLiteral("mnuPaused"))->setEnabled(enabled);
}

double frmQuillmot::twipsPerPixel() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInch() : 96.0;
    return twipsPerInch / (dpi > 0 ? dpi : 96.0);
}

QRect frmQuillmot::workAreaTwips() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    const double t = twipsPerPixel();
    return QRect(qRound(area.x() * t), qRound(area.y() * t), qRound(area.width() * t),
                 qRound(area.height() * t));
}

// The place is the frame's (what move() takes) and the size the window's own (what resize()
// takes), so a stored geometry restores exactly instead of growing by the frame each run.
std::optional<QRect> frmQuillmot::geometryTwips() const {
    if (!isVisible() || isMinimized())
        return std::nullopt;
    const double t = twipsPerPixel();
    return QRect(qRound(pos().x() * t), qRound(pos().y() * t), qRound(width() * t),
                 qRound(height() * t));
}

QSize frmQuillmot::sizeTwips() const {
    const double t = twipsPerPixel();
    return QSize(qRound(width() * t), qRound(height() * t));
}

void frmQuillmot::setGeometryTwips(const QRect& twips) {
    const double t = twipsPerPixel();
    move(qRound(twips.x() / t), qRound(twips.y() / t));
    resize(qRound(twips.width() / t), qRound(twips.height() / t));
}

void frmQuillmot::centreDefaultSize() {
    const QRect area = workAreaTwips();
    // No smaller than what shows the toolbar, the status bar and the empty tree's text whole
    // (larger fonts, a narrower style), and never larger than the work area.
    const QSize wanted = sizeHint() * twipsPerPixel();
    const int width = std::min(std::max(defaultWindowWidth, wanted.width()), area.width());
    const int height = std::min(std::max(defaultWindowHeight, wanted.height()), area.height());
    const int left = std::max(0, (area.width() - width) / 2);
    const int top = std::max(0, (area.height() - height) / 2);
    setGeometryTwips(QRect(area.x() + left, area.y() + top, width, height));
}

void frmQuillmot::showNormalAndActivate() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void frmQuillmot::showOrHide() {
    if (isMinimized() || !isVisible()) {
        showNormalAndActivate();
        return;
    }
    putAway();
}

void frmQuillmot::putAway() {
    const bool trayHost =
        trayHostQuery ? trayHostQuery() : QSystemTrayIcon::isSystemTrayAvailable();
    if (trayHost) {
        setWindowState(windowState() | Qt::WindowMinimized);
        hide();
    } else {
        showMinimized();
    }
}

void frmQuillmot::changeEvent(QEvent* event) {
    // Window preferences are written only once the user has seen the window in this run.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_activatedOnce = true;
    // A desktop switched to a dark theme (or back) gets a wordmark that reads on it.
    if (event->type() == QEvent::PaletteChange && m_title)
        showWordmark();
    QMainWindow::changeEvent(event);
}

void frmQuillmot::closeEvent(QCloseEvent* event) {
    emit closing();
    if (exitingQuery && exitingQuery()) {
        event->accept();
        return;
    }
    // Closing puts the window away: the program keeps watching.
    event->ignore();
    putAway();
}
