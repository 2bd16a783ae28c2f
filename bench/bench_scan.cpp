// The walk of a recursive folder association's tree that serves lost events (a watch whose queue
// overflowed): run in-process with the program's real file system and default engine timing. No
// file in the tree is newer than the last served change, so the walk visits every file and copies
// none. The walk shares the event loop with the window in short slices; reported are its wall
// time, its processor time per file visited, and the longest the event loop was held meanwhile.
//
//   bench_scan TREE DEST [FILES] [FOLDERS] [PASSES]
//
// TREE is filled on first use with FILES files (10000) spread over FOLDERS leaf folders (100),
// ten leaves under each of FOLDERS/10 middle folders, all dated two days back.

#include "BenchSupport.h"
#include "engine/Engine.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct PassFigures {
    double wall = 0, cpu = 0, heldMs = 0;
    qint64 visited = 0, copied = 0;
};

PassFigures runPass(const QString& tree, const QString& dest) {
    TreeBench bench(tree, {dest});
    Engine engine(bench.state, EngineTiming{});
    LoopHold hold;

    const double cpu0 = cpuSeconds();
    const auto wall0 = Steady::now();
    // Without a watch to name the changes, the files modified since the date are looked for.
    engine.ScanPass(tree, DateTimeText::format(bench.clock.now().addDays(-1)), 0);
    while (engine.busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return {.wall = seconds(Steady::now() - wall0),
            .cpu = cpuSeconds() - cpu0,
            .heldMs = hold.longestMs(),
            .visited = bench.fso.lookups(),
            .copied = bench.fso.copied};
}

void print(const char* title, const PassFigures& f) {
    std::printf("%s: %lld files visited, %lld copied\n", title, f.visited, f.copied);
    std::printf("  wall %.3f s, CPU user+sys %.3f s = %.1f us per file visited\n", f.wall, f.cpu,
                f.visited ? f.cpu * 1e6 / double(f.visited) : 0.0);
    std::printf("  the event loop was held at most %.1f ms at a time\n", f.heldMs);
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
    print("warm-up walk", runPass(tree, dest));
    std::vector<PassFigures> runs;
    for (int i = 0; i < passes; ++i)
        runs.push_back(runPass(tree, dest));
    std::sort(runs.begin(), runs.end(),
              [](const PassFigures& a, const PassFigures& b) { return a.cpu < b.cpu; });
    const PassFigures& median = runs[runs.size() / 2];
    std::printf("walk slices of %d ms\n", EngineTiming{}.turnSliceMs);
    print(passes > 1 ? "walk for lost events (median CPU of passes)" : "walk for lost events",
          median);
    std::printf("result: walk CPU per file visited %.1f us [<= 20 us]\n",
                median.visited ? median.cpu * 1e6 / double(median.visited) : 0.0);
    const auto worst =
        std::max_element(runs.begin(), runs.end(), [](const PassFigures& a, const PassFigures& b) {
            return a.heldMs < b.heldMs;
        });
    std::printf("result: walk, longest hold of the event loop %.1f ms [<= 100 ms]\n",
                worst->heldMs);
    return 0;
}
