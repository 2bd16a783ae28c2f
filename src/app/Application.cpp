#include "app/Application.h"

#include "app/EditingCommands.h"
#include "app/GuiUserInterface.h"
#include "app/RenameCommands.h"
#include "app/StatusPresenter.h"
#include "core/Lifecycle.h"
#include "engine/CopyEngine.h"
#include "engine/Engine.h"
#include "feedback/Feedback.h"
#include "feedback/TrayArtwork.h"
#include "feedback/TrayIcon.h"
#include "mainwindow/BackupsTreeView.h"
#include "mainwindow/frmQuillmot.h"
#include "mainwindow/frmRestore.h"
#include "options/frmLoad.h"
#include "options/frmOptions.h"
#include "options/frmSave.h"
#include "persistence/WindowPrefs.h"
#include "platform/AppData.h"
#include "platform/Clock.h"
#include "platform/DetachedWork.h"
#include "platform/PrivateFolder.h"
#include "platform/ProcessEnd.h"
#include "platform/SlicedSteps.h"
#include "platform/gui/QtFilePickers.h"
#include "platform/gui/QtMessageBoxes.h"
#include "presentation/AssociationTree.h"
#include "presentation/ProgramIcon.h"
#include "presentation/SchemeCommands.h"
#include "presentation/ScreenPlacement.h"
#include "presentation/StatusCommand.h"
#include "presentation/TreeCommands.h"
#include "restore/SourceKeeper.h"
#include "state/AppState.h"
#include "state/WatchRegistry.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// The options dialog's previews play on the tray icon's pictures.
class TrayPictureSink : public IconSink {
public:
    explicit TrayPictureSink(Feedback* feedback) : m_feedback(feedback) {}
    void showPicture(TrayPicture picture) override {
        if (m_feedback)
            m_feedback->tray().showPicture(picture);
    }

private:
    Feedback* m_feedback;
};

// Tells the engine each time the main window moves or changes its size, so that the place kept
// for the next start is the last one the user saw.
class PlaceWatcher : public QObject {
public:
    PlaceWatcher(QObject* window, std::function<void()> moved)
        : QObject(window), m_moved(std::move(moved)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            m_moved();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_moved;
};

qsizetype enabledAssociations(const colBackups& backups) {
    qsizetype enabled = 0;
    for (const auto& association : backups)
        enabled += association->Enabled ? 1 : 0;
    return enabled;
}

// Printed once the watches are open, so that a script or a test that starts the program knows
// when a save is seen.
void announceWatching(int folders) {
    const QByteArray line =
        QStringLiteral("Quillmot: watches open (%1 folders)\n").arg(folders).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

namespace {
// Six flashes of 200 ms at start, one when the tray brings the window up.
constexpr int startupFlashMs = 6 * 200;
constexpr int trayFlashMs = 200;
// The start takes in the stores in slices this long, so that a click or a second start is
// answered between them.
constexpr int startSliceMs = 20;
} // namespace

Application::Application() = default;

Application::~Application() {
    m_startSteps.reset();
    // The windows that read the state go first, then the engine's watches, then the state.
    m_options.reset();
    if (m_ui)
        m_ui->setFeedback(nullptr);
    m_statusPresenter.reset();
    m_editingCommands.reset();
    m_schemes.reset();
    m_renameCommands.reset();
    m_feedback.reset();
    m_treeCommands.reset();
    m_tree.reset();
    m_lifecycle.reset();
    m_engine.reset();
    m_state.reset();
}

void Application::start(const StartOptions& options) {
    m_desktop = options.desktop;
    m_window = std::make_unique<frmQuillmot>();
    m_ui = std::make_unique<GuiUserInterface>(*m_window, options.printResults);
    m_messages = std::make_unique<QtMessageBoxes>(m_window.get());
    m_clock = std::make_unique<SystemClock>();
    m_state = std::make_unique<AppState>(*m_ui, *m_messages, *m_clock);
    m_engine = std::make_unique<Engine>(*m_state);
    m_lifecycle = std::make_unique<Lifecycle>(*m_state, *m_engine);
    m_tree = std::make_unique<AssociationTree>(*m_state, m_engine.get());
    m_treeCommands = std::make_unique<TreeCommands>(*m_state, m_engine.get(), *m_tree);

    // The start-up entry runs this program file, by the path it was installed to.
    m_programPath = QCoreApplication::applicationFilePath();
    m_programIcon = ProgramIcon::find(QCoreApplication::applicationDirPath());
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    m_state->LocalComputerName = AppData::computerName();
    // What an older run wrote may still be readable by others; from here on it is not.
    PrivateFolder::tighten(AppData::folder());
    m_lifecycle->loadOptions();

    loadMainWindow();
    m_statusPresenter =
        std::make_unique<StatusPresenter>(*m_state, *m_engine, *m_lifecycle, *m_tree,
                                          m_feedback ? &m_feedback->tray() : nullptr, m_desktop);
    m_statusPresenter->loadLastBackups(AppData::folder());
    if (options.hidden) {
        m_window->setWindowState(m_window->windowState() | Qt::WindowMinimized);
        // Without a tray the window is the way in: it waits minimised in the task list.
        if (m_desktop && !QSystemTrayIcon::isSystemTrayAvailable())
            m_window->showMinimized();
    } else {
        m_window->show();
        // The start-up flash draws the eye to the window that just came up.
        QApplication::alert(m_window.get(), startupFlashMs);
    }

    m_lifecycle->restorePauseState();
    // The stores are read on a worker and taken in a slice at a time, so that the window, the
    // tray and a second start are answered from the first moment, however many associations
    // there are. Until the start is over the commands that change them stay unavailable.
    m_window->treeView()->setReading(true);
    m_startSteps = std::make_unique<SlicedSteps>(startSliceMs);
    connect(m_startSteps.get(), &SlicedSteps::finished, this, &Application::finishStart);
    connect(m_lifecycle.get(), &Lifecycle::exitBegun, m_startSteps.get(), &SlicedSteps::cancel);
    m_lifecycle->loadStoresInBackground([this] { takeInStores(); });
}

void Application::takeInStores() {
    m_enabledAtLoad = enabledAssociations(*m_state->backups);
    m_startSteps->add(QStringLiteral("opening the watches"), [this](const QDeadlineTimer& end) {
        return m_lifecycle->openLoadedWatches(end);
    });
    m_startSteps->add(QStringLiteral("filling the tree"),
                      [this, begun = false](const QDeadlineTimer& end) mutable {
                          if (!begun)
                              m_tree->beginFill();
                          begun = true;
                          return m_tree->fillSome(end);
                      });
    // Each of these takes a slice of its own.
    m_startSteps->add(QStringLiteral("starting the watches"), [this](const QDeadlineTimer&) {
        // Every later edit of the associations ends in the tree. The start's fill only changed
        // the set when it disabled associations whose source is missing.
        connect(m_tree.get(), &AssociationTree::associationsShown, this,
                [this] { m_engine->copier().associationsChanged(); });
        if (enabledAssociations(*m_state->backups) != m_enabledAtLoad)
            m_engine->copier().associationsChanged();
        m_lifecycle->startWatching();
        return true;
    });
    m_startSteps->add(QStringLiteral("looking at the backups' state"),
                      [this](const QDeadlineTimer&) {
                          m_statusPresenter->started();
                          return true;
                      });
    m_startSteps->start();
}

void Application::finishStart() {
    m_window->treeView()->setReading(false);
    m_window->selectFirstAssociationIfNone();
    m_tree->revealNodes(m_lifecycle->nodePrefs);
    m_renameCommands =
        std::make_unique<RenameCommands>(*m_state, *m_engine, *m_lifecycle, *m_tree, *m_window,
                                         m_feedback ? &m_feedback->tray() : nullptr);
    wireEditingCommands();
    m_started = true;
    announceWatching(m_state->watches->openCount());
    // Said once the program runs: the activity log has it too, for a start without a desktop.
    if (m_desktop && !m_lifecycle->refusedAtLoad.isEmpty())
        QTimer::singleShot(0, this, [this] {
            m_messages->ask(m_lifecycle->refusedAtLoad.join(QStringLiteral("\n\n")),
                            MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
        });
}

void Application::loadMainWindow() {
    frmQuillmot& w = *m_window;
    w.exitingQuery = [this] { return m_state->ExitRequested; };
    connect(&w, &frmQuillmot::pauseToggleRequested, m_lifecycle.get(), &Lifecycle::togglePause);
    connect(&w, &frmQuillmot::exitRequested, m_lifecycle.get(), &Lifecycle::requestExit);
    connect(&w, &frmQuillmot::closing, this, &Application::writeOnClose);
    connect(&w, &frmQuillmot::recentActivityRequested, this, &Application::showRecentLog);
    connect(&w, &frmQuillmot::aboutRequested, this, [this] {
        if (m_feedback)
            m_feedback->showAbout();
    });
    connect(m_lifecycle.get(), &Lifecycle::readyToUnload, this, &Application::unloadForExit);
    new PlaceWatcher(&w, [this] { m_engine->recordGeometry(); });
    if (m_desktop)
        installTray();

    m_tree->PlaceIcons();
    w.attachTree(m_tree.get(), m_treeCommands.get());
    restoreWindowPrefs();
}

void Application::wireEditingCommands() {
    frmQuillmot& w = *m_window;
    m_pickers = std::make_unique<QtFilePickers>(&w);
    m_editingCommands = std::make_unique<EditingCommands>(*m_state, *m_engine, *m_lifecycle,
                                                          *m_tree, w, *m_pickers);
    m_editingCommands->trayOf = [this] { return m_feedback ? &m_feedback->tray() : nullptr; };
    connect(&w, &frmQuillmot::optionsRequested, this, &Application::showOptions);
    m_schemes = std::make_unique<SchemeCommands>(*m_state, *m_lifecycle, *m_engine);
    connect(m_schemes.get(), &SchemeCommands::associationsReloaded, this,
            &Application::rebuildTree);
    connect(&w, &frmQuillmot::saveSchemeRequested, this, [this] {
        const DialogOpenScope dialogOpen(*m_state, m_feedback ? &m_feedback->tray() : nullptr);
        frmSave dialog(*m_schemes, m_window.get());
        dialog.exec();
    });
    connect(&w, &frmQuillmot::loadSchemeRequested, this, [this] {
        const DialogOpenScope dialogOpen(*m_state, m_feedback ? &m_feedback->tray() : nullptr);
        frmLoad dialog(*m_schemes, m_window.get());
        dialog.exec();
    });
    connect(&w, &frmQuillmot::restoreRequested, this, &Application::showRestore);
}

void Application::showRestore(const QString& sourcePath) {
    if (!m_state->backups->contains(sourcePath))
        return;
    // Modeless, as many as the user opens; each goes with the main window at the latest.
    BackupSet set =
        BackupSet::of(*m_state->backups->Item(sourcePath), *m_state->backups,
                      *m_state->destinations, usablePrevSaveName(m_state->options.PrevSaveName));
    // The copies that keep a source before a restore replaces it are made by the workers that
    // make its saves, so the two never rotate its versions at once.
    if (!m_sourceKeeper)
        m_sourceKeeper = std::make_shared<WorkerKeeper>(m_engine->workers());
    set.keeper = m_sourceKeeper;
    auto* window = new frmRestore(std::move(set), *m_messages, *m_pickers, m_window.get());
    window->show();
}

void Application::rebuildTree() {
    // A loaded scheme replaces the whole set: the tree is made again from it, all open.
    while (m_tree->rowCount() > 0)
        m_tree->DestroyBranchToNode(m_tree->nodeAt(m_tree->index(0, 0))->index);
    m_tree->UpdateTreeLocal();
    m_tree->RemoveUnusedImages(m_tree->gintNonIconsLocal);
    m_tree->setAllExpanded(true);
    m_window->selectFirstAssociationIfNone();
    m_window->refreshAvailability();
}

void Application::writeOnClose() {
    // Before the tree is filled the open nodes are still those read at start.
    if (m_started)
        m_lifecycle->nodePrefs = m_tree->visibleNodePaths();
    m_lifecycle->saveOnClose(m_window->activatedOnce());
    m_statusPresenter->saveLastBackups(AppData::folder());
}

QByteArray Application::statusAnswer() const {
    if (!m_started)
        return StatusCommand::startingAnswer();
    return m_statusPresenter->statusAnswer();
}

void Application::installTray() {
    QApplication::setWindowIcon(TrayArtwork::icon(TrayPicture::Normal));
    m_feedback = std::make_unique<Feedback>(
        *m_state, m_window.get(), [this] { return m_engine->busy(); },
        Feedback::popupKindForPlatform());
    m_ui->setFeedback(m_feedback.get());
    TrayIcon& tray = m_feedback->tray();
    connect(&tray, &TrayIcon::showWindowRequested, this, [this] {
        showMainWindow();
        QApplication::alert(m_window.get(), trayFlashMs);
    });
    connect(&tray, &TrayIcon::hideWindowRequested, m_window.get(), &QWidget::hide);
    connect(&tray, &TrayIcon::exitRequested, m_lifecycle.get(), &Lifecycle::requestExit);
    connect(&tray, &TrayIcon::optionsRequested, this, &Application::showOptions);
    tray.setOptionsAvailable(true);
    tray.install();
}

void Application::showOptions() {
    if (!m_options) {
        m_previewSink = std::make_unique<TrayPictureSink>(m_feedback.get());
        m_options = std::make_unique<frmOptions>(
            *m_state, *m_previewSink, frmOptions::StartupTarget{m_programPath, m_programIcon});
    }
    m_options->showOptions();
}

void Application::showRecentLog() {
    if (m_feedback)
        m_feedback->showRecentLog();
}

void Application::restoreWindowPrefs() {
    const auto stored = loadWindowPrefs(AppData::folder());
    if (!stored)
        return;
    const QRect area = m_window->workAreaTwips();
    const QSize current = m_window->sizeTwips();
    const WindowPlacement placed =
        placeWindow(stored->window, area.width(), area.height(), current.width(), current.height());
    // A place on a monitor that has been unplugged comes back onto the primary screen.
    QList<QRect> screens;
    const double twips = m_window->twipsPerPixel();
    auto inTwips = [twips](const QRect& r) {
        return QRect(qRound(r.x() * twips), qRound(r.y() * twips), qRound(r.width() * twips),
                     qRound(r.height() * twips));
    };
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(inTwips(screen->availableGeometry()));
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect primaryArea = primary ? inTwips(primary->availableGeometry()) : area;
    m_window->setGeometryTwips(ScreenPlacement::ontoAScreen(
        QRect(placed.Left, placed.Top, placed.Width, placed.Height), screens, primaryArea));
    m_ui->setSchemeName(stored->schemeName == notApplicable ? QString() : stored->schemeName);
}

void Application::showMainWindow() {
    m_window->showNormalAndActivate();
}

void Application::requestExit() {
    if (m_lifecycle)
        m_lifecycle->requestExit();
}

void Application::unloadForExit() {
    m_engine->recordGeometry();
    m_window->close(); // the close query writes the preferences and both store files
    if (m_feedback)
        m_feedback->tray().remove();
    m_lifecycle->tearDown();
    // A copy, a disk check or a restore stuck in a system call on a disk that does not answer
    // would hold the process back for as long as the disk does (and return into freed state);
    // everything is written, so the process ends without it.
    if (m_engine->leftStuckWorkers() || DetachedWork::underWay() > 0)
        endLeavingStuckThreads(0);
    QApplication::quit();
}
