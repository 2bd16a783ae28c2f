// Quillmot: watches the user's files and copies each one to its destinations when it is saved.

#include "app/Application.h"
#include "core/Lifecycle.h"
#include "core/SingleInstance.h"
#include "platform/GraphicalSession.h"
#include "platform/ProgramInfo.h"
#include "platform/StartLock.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <cstdio>

namespace {
// The exit code of a start refused for how it was called.
constexpr int usageError = 2;
} // namespace

int main(int argc, char* argv[]) {
    // The instance name becomes a file name in the private runtime folder: only a plain name
    // keeps it there.
    if (const QString problem = SingleInstance::instanceNameProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProgramInfo::name), qPrintable(problem));
        return usageError;
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
    Application::StartOptions options;
    options.hidden = headless || Lifecycle::wantsHiddenStart(QApplication::arguments());
    options.printResults = headless;
    options.desktop = !headless;
    app.start(options);
    return QApplication::exec();
}
