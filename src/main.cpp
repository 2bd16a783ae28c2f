// Quillmot: watches the user's files and copies each one to its destinations when it is saved.

#include "app/Application.h"
#include "core/Lifecycle.h"
#include "core/SingleInstance.h"
#include "platform/GraphicalSession.h"
#include "platform/ProgramInfo.h"
#include "platform/StartLock.h"
#include "platform/TerminationSignals.h"
#include "presentation/StatusCommand.h"
#include "restore/RestoreCommand.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {
// The exit code of a start refused for how it was called.
constexpr int usageError = 2;

constexpr const char* usage =
    "Usage: quillmot [nowin]\n"
    "       quillmot status\n"
    "       quillmot versions PATH\n"
    "       quillmot restore PATH [--version N] [--as-of \"YYYY-MM-DD HH:MM\"] [--from VOLUME]\n"
    "                             [--to DIR]\n"
    "\n"
    "  nowin    start without showing the main window\n"
    "  status   ask the running Quillmot whether everything is backed up: one line per\n"
    "           backup; exit code 0 when all are protected, 1 otherwise or when Quillmot is\n"
    "           not running\n";
constexpr const char* helpUsage = "  --help   show this text\n";

bool firstArgumentIs(int argc, char* argv[], const char* word) {
    return argc > 1 && std::strcmp(argv[1], word) == 0;
}
} // namespace

int main(int argc, char* argv[]) {
    // The instance name becomes a file name in the private runtime folder: only a plain name
    // keeps it there.
    if (const QString problem = SingleInstance::instanceNameProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProgramInfo::name), qPrintable(problem));
        return usageError;
    }
    if (firstArgumentIs(argc, argv, "--help") || firstArgumentIs(argc, argv, "-h")) {
        std::fputs(usage, stdout);
        std::fputs(RestoreCommand::usage().toLocal8Bit().constData(), stdout);
        std::fputs(helpUsage, stdout);
        return 0;
    }
    // These read the backups themselves: they work whether or not the program runs, and never
    // start it.
    if (argc > 1 && RestoreCommand::handles(QString::fromLocal8Bit(argv[1])))
        return RestoreCommand::run(argc, argv, stdout, stderr);
    // Asks and ends: it never starts the program, and needs no display.
    if (firstArgumentIs(argc, argv, "status")) {
        QCoreApplication qcore(argc, argv);
        return StatusCommand::run();
    }
    // Without a display the program still runs: hidden, on Qt's offscreen platform, printing
    // each activity result on standard output.
    const bool headless =
        !GraphicalSession::available() || qgetenv("QT_QPA_PLATFORM") == "offscreen";
    if (!GraphicalSession::available() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(ProgramInfo::name);
    QApplication::setQuitOnLastWindowClosed(false);

    // Two starts at the same moment take turns from here until the first listens, so the second
    // finds the first instead of deciding to run as well.
    StartLock startLock(SingleInstance::lockPath());
    if (SingleInstance::askRunningInstanceToShow())
        return 0;
    // Signals are caught from here on; one that arrives during start-up is served as soon as
    // the event loop runs, so an early SIGTERM still exits in order.
    TerminationSignals termination;
    SingleInstance instance;
    instance.listen();
    startLock.release();

    Application app;
    QObject::connect(&termination, &TerminationSignals::requested, &app, &Application::requestExit);
    QObject::connect(&instance, &SingleInstance::showRequested, &app, &Application::showMainWindow);
    instance.addRequest(StatusCommand::request, [&app] { return app.statusAnswer(); });
    Application::StartOptions options;
    options.hidden = headless || Lifecycle::wantsHiddenStart(QApplication::arguments());
    options.printResults = headless;
    options.desktop = !headless;
    app.start(options);
    return QApplication::exec();
}
