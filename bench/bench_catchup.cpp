// A catch-up of a recursive folder association whose destinations are all up to date, run
// in-process with the program's real file system and default engine timing: the workers of the
// destinations' disks compare every file with its copies and copy none, while the event loop
// only takes their results. Reported: wall time, processor time (all threads) per file per
// destination, and the longest the event loop was held meanwhile.
//
//   bench_catchup TREE DEST [FILES] [FOLDERS] [DESTINATIONS]
//
// TREE is filled on first use with FILES files (100000) spread over FOLDERS leaf folders (1000),
// ten leaves under each of FOLDERS/10 middle folders, dated two days back; DEST gets
// DESTINATIONS (1) destination folders holding copies of the same size and time.

#include "BenchSupport.h"
#include "engine/CatchUp.h"
#include "engine/Engine.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

struct RunFigures {
    double wall = 0, cpu = 0, heldMs = 0;
    qint64 lookups = 0, copied = 0;
};

RunFigures runCatchUp(const QString& tree, const QStringList& dests) {
    TreeBench bench(tree, dests);
    Engine engine(bench.state, EngineTiming{});
    LoopHold hold;

    const double cpu0 = cpuSeconds();
    const auto wall0 = Steady::now();
    engine.catchUp().requestAll();
    while (engine.busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return {.wall = seconds(Steady::now() - wall0),
            .cpu = cpuSeconds() - cpu0,
            .heldMs = hold.longestMs(),
            .lookups = bench.fso.lookups(),
            .copied = bench.fso.copied};
}

double cpuPerFile(const RunFigures& f, int files, int destinations) {
    return f.cpu * 1e6 / double(files) / double(destinations);
}

void print(const char* title, const RunFigures& f, int files, int destinations) {
    std::printf("%s: %d files, %d destination(s), %lld look-ups, %lld copied\n", title, files,
                destinations, f.lookups, f.copied);
    std::printf("  wall %.2f s, CPU user+sys %.3f s = %.2f us per file per destination\n", f.wall,
                f.cpu, cpuPerFile(f, files, destinations));
    std::printf("  the event loop was held at most %.1f ms at a time\n", f.heldMs);
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
    print("warm-up catch-up", runCatchUp(tree, dests), files, destinations);
    const RunFigures f = runCatchUp(tree, dests);
    print("catch-up", f, files, destinations);
    if (f.copied > 0)
        std::fprintf(stderr, "%lld files copied: the prepared copies were not up to date\n",
                     f.copied);
    std::printf("result: catch-up CPU per file per destination %.2f us [<= 15 us]\n",
                cpuPerFile(f, files, destinations));
    std::printf("result: catch-up, longest hold of the event loop %.1f ms [<= 100 ms]\n", f.heldMs);
    return 0;
}
