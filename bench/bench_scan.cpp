// One scan pass of a recursive folder association over a prepared tree, run in-process with the
// program's real clock, file system and default engine timing. No file in the tree counts as
// changed, so the pass visits every file and copies none. Reported: wall time, the part of it
// spent in the engine's fixed pauses, and processor time per file visited.
//
//   bench_scan TREE DEST [FILES] [FOLDERS] [PASSES]
//
// TREE is filled on first use with FILES files (10000) spread over FOLDERS leaf folders (100),
// ten leaves under each of FOLDERS/10 middle folders, all dated two days back.

#include "BenchSupport.h"
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
#include <vector>

namespace {

struct PassFigures {
    double wall = 0, paused = 0, cpu = 0;
    qint64 requestedMs = 0, visited = 0, copied = 0;
};

PassFigures runPass(const QString& tree, const QString& dest, const EngineTiming& timing) {
    TreeBench bench(tree, {dest});
    Engine engine(bench.state, timing);

    const double cpu0 = cpuSeconds();
    const auto wall0 = Steady::now();
    engine.ScanPass(tree, DateTimeText::format(bench.clock.now().addDays(-1)), 0);
    // The walk runs in slices on the event loop; the files it finds settle and are copied.
    while (engine.busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double wall = seconds(Steady::now() - wall0);
    return {.wall = wall,
            .paused = seconds(bench.clock.slept),
            .cpu = cpuSeconds() - cpu0,
            .requestedMs = bench.clock.requestedMs,
            .visited = bench.fso.lookups(),
            .copied = bench.fso.copied};
}

void print(const char* title, const PassFigures& f) {
    std::printf("%s: %lld files visited, %lld copied\n", title, f.visited, f.copied);
    std::printf("  wall %.2f s = fixed pauses %.2f s (asked %.2f s) + work %.3f s\n", f.wall,
                f.paused, double(f.requestedMs) / 1000, f.wall - f.paused);
    std::printf("  CPU user+sys %.3f s = %.1f us per file visited; work %.1f us per file\n", f.cpu,
                f.visited ? f.cpu * 1e6 / double(f.visited) : 0.0,
                f.visited ? (f.wall - f.paused) * 1e6 / double(f.visited) : 0.0);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 2, "TREE DEST [FILES] [FOLDERS] [PASSES]"))
        return 2;
    const QString tree = pathArgument(argv[1]);
    const QString dest = pathArgument(argv[2]);
    const int files = numberArgument(argc, argv, 3, 10000, 0);
    const int folders = numberArgument(argc, argv, 4, 100);
    const int passes = numberArgument(argc, argv, 5, 1);
    if (!QDir().mkpath(dest) || !prepareTree(tree, {}, files, folders)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(tree));
        return 1;
    }

    // A first walk warms the caches for the timed passes.
    print("warm-up pass", runPass(tree, dest, EngineTiming{}));

    std::vector<PassFigures> runs;
    for (int i = 0; i < passes; ++i)
        runs.push_back(runPass(tree, dest, EngineTiming{}));
    std::sort(runs.begin(), runs.end(),
              [](const PassFigures& a, const PassFigures& b) { return a.cpu < b.cpu; });
    const EngineTiming t;
    std::printf("walk slices of %d ms, settle %d ms\n", t.walkSliceMs, t.settleMs);
    print(passes > 1 ? "scan pass, default timing (median CPU of passes)"
                     : "scan pass, default timing",
          runs[runs.size() / 2]);
    return 0;
}
