// A catch-up of a recursive folder association whose destinations are all up to date, run
// in-process with the program's real clock, file system and default engine timing, one slice per
// tick as the program runs it. Every file is compared with its copies and none is copied.
// Reported: wall time, the part of it spent in the fixed pauses and between ticks, and processor
// time per file per destination.
//
//   bench_catchup TREE DEST [FILES] [FOLDERS] [DESTINATIONS]
//
// TREE is filled on first use with FILES files (100000) spread over FOLDERS leaf folders (1000),
// ten leaves under each of FOLDERS/10 middle folders, dated two days back; DEST gets
// DESTINATIONS (1) destination folders holding copies of the same size and time.

#include "BenchSupport.h"
#include "engine/CatchUp.h"
#include "engine/Engine.h"
#include "model/Records.h"
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

namespace {

struct RunFigures {
    double wall = 0, paused = 0, cpu = 0;
    qint64 stamps = 0, copied = 0;
    int slices = 0;
};

RunFigures runCatchUp(const QString& tree, const QStringList& dests, const EngineTiming& timing) {
    TreeBench bench(tree, dests);
    Engine engine(bench.state, timing);

    RunFigures f;
    const double cpu0 = cpuSeconds();
    const auto wall0 = Steady::now();
    engine.catchUp().requestAll();
    // The workers compare and copy; the event loop takes their results.
    while (engine.busy()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ++f.slices;
    }
    f.wall = seconds(Steady::now() - wall0);
    f.cpu = cpuSeconds() - cpu0;
    f.paused = seconds(bench.clock.slept);
    f.stamps = bench.fso.stamps;
    f.copied = bench.fso.copied;
    return f;
}

void print(const char* title, const RunFigures& f, int files, int destinations) {
    const double perFileDest = f.cpu * 1e6 / double(files) / double(destinations);
    std::printf("%s: %d files, %d destination(s), %lld look-ups, %lld copied, %d slices\n", title,
                files, destinations, f.stamps, f.copied, f.slices);
    std::printf("  wall %.2f s, of it asked as pauses %.2f s\n", f.wall, f.paused);
    std::printf("  CPU user+sys %.3f s = %.2f us per file per destination\n", f.cpu, perFileDest);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 2, "TREE DEST [FILES] [FOLDERS] [DESTINATIONS]"))
        return 2;
    const QString tree = pathArgument(argv[1]);
    const QString destRoot = pathArgument(argv[2]);
    const int files = numberArgument(argc, argv, 3, 100000);
    const int folders = numberArgument(argc, argv, 4, 1000);
    const int destinations = numberArgument(argc, argv, 5, 1);
    // Each destination holds the tree's copies in a folder named after it.
    QStringList dests, mirrors;
    for (int d = 1; d <= destinations; ++d) {
        dests << QDir(destRoot).filePath(QStringLiteral("dest%1").arg(d));
        mirrors << QDir(dests.constLast()).filePath(QDir(tree).dirName());
    }
    if (!prepareTree(tree, mirrors, files, folders)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(tree));
        return 1;
    }

    // A first run warms the caches for the timed one.
    print("warm-up catch-up", runCatchUp(tree, dests, EngineTiming{}), files, destinations);
    print("catch-up", runCatchUp(tree, dests, EngineTiming{}), files, destinations);
    return 0;
}
