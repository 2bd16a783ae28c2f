// One save of a large file to a destination that keeps previous versions, run in-process through
// the copy engine with the program's real file system and clock: the time from the call to its
// result, with every kept version already present, so each save rotates them all. The removal
// of the version that goes follows the result; the next save starts once it is over.
//
//   bench_versions SOURCE DEST VERSIONS [SAVES]
//
// SOURCE is copied as it is (the driver makes it); DEST is emptied first. The first VERSIONS + 1
// saves fill the versions untimed; then SAVES (5) saves are timed one by one.

#include "BenchSupport.h"
#include "engine/CopyEngine.h"
#include "engine/Engine.h"
#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/MessageBox.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 3, "SOURCE DEST VERSIONS [SAVES]"))
        return 2;
    const QString source = pathArgument(argv[1]);
    const QString dest = pathArgument(argv[2]);
    const int versions = numberArgument(argc, argv, 3, 0, 0);
    const int saves = numberArgument(argc, argv, 4, 5);
    QDir(dest).removeRecursively();
    if (!QDir().mkpath(dest)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(dest));
        return 1;
    }

    QuietUi ui;
    FixedAnswers messages;
    SystemClock clock;
    AppState state(ui, messages, clock);
    FileSystem& fso = *state.fso;
    state.options.setDefaults();
    const QString volume = fso.VolumeName(fso.GetDriveName(source));
    clsBackup association =
        newAssociation(source, false, VolumeList::encode({volume}, volume.isEmpty()),
                       DateTimeText::never, state.destinations);
    association.NotifyOnSuccess = false;
    association.KeepBackup = true;
    association.Versions = qint16(versions);
    state.backups->Add(std::move(association), source);
    state.destinations->Add(dest, source, fso.VolumeName(fso.GetDriveName(dest)));
    Engine engine(state, EngineTiming{});

    std::vector<double> times;
    for (int i = 0; i < versions + 1 + saves; ++i) {
        ui.lastResult.clear();
        const auto start = Steady::now();
        engine.CopyToDestinations(source, 1, source);
        // The copy runs on the destination's worker; its result comes back to the event loop.
        while (ui.lastResult.isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double taken = seconds(Steady::now() - start);
        while (engine.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!ui.lastResult.startsWith(QLatin1String("Success"))) {
            std::fprintf(stderr, "save %d: %s\n", i + 1, qPrintable(ui.lastResult));
            return 1;
        }
        if (i > versions)
            times.push_back(taken);
    }
    std::printf("saves:");
    for (const double t : times)
        std::printf(" %.3f", t);
    std::sort(times.begin(), times.end());
    std::printf("\nmedian %.3f s per save, %d versions kept (%s)\n", times[times.size() / 2],
                versions, qPrintable(ui.lastResult));
    QDir(dest).removeRecursively();
    return 0;
}
