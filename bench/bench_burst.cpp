// Folders changed together: FOLDERS folder associations, each with its own destination, one file
// saved in each, served by the watch timer's tick with the program's real clock, file system and
// default engine timing. Beside it, in the same run, one file saved in one of those folders alone.
// Reported: the median wall time from the tick's start to the last copy, the fixed pauses asked
// for, and the ratio of the two medians (one pause serves a whole burst: near 1, not FOLDERS).
//
//   bench_burst WORK [FOLDERS] [ROUNDS]

#include "BenchSupport.h"
#include "engine/Engine.h"
#include "platform/Paths.h"
#include "state/DetectRecords.h"
#include "state/WatchRegistry.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

struct Serving {
    double wall = 0;
    qint64 requestedMs = 0;
    qint64 copied = 0;
};

// `folders` watched folder associations under `work`; a file saved in the first `saved` of
// them; ticks until every save is copied (or a tick finds nothing more to do).
Serving serveSaves(const QString& work, int folders, int saved, int round) {
    QuietUi ui;
    FixedAnswers messages;
    PauseCountingClock clock;
    auto owned = std::make_unique<CountingFileSystem>();
    CountingFileSystem& fso = *owned;
    AppState state(ui, messages, clock, std::move(owned));
    Engine engine(state, EngineTiming{});
    QStringList sources;
    for (int i = 0; i < folders; ++i) {
        const QString source = Paths::join(work, QStringLiteral("src/f%1").arg(i));
        const QString dest = Paths::join(work, QStringLiteral("dst/f%1").arg(i));
        if (!QDir().mkpath(source) || !QDir().mkpath(dest))
            return {};
        addTreeAssociation(state, source);
        state.destinations->Add(dest, source, fso.VolumeName(fso.GetDriveName(dest)));
        engine.CreateDetectFolder(source, true);
        sources << source;
    }
    engine.StartWatchTimer();

    for (int i = 0; i < saved; ++i) {
        QFile file(Paths::join(sources[i], QStringLiteral("saved.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(round)) <= 0)
            return {};
    }
    // Timed from the last save to the last copy, served by the event loop as in the program.
    const auto wall0 = Steady::now();
    const auto deadline = wall0 + std::chrono::seconds(60);
    while (fso.copied < saved && Steady::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return {seconds(Steady::now() - wall0), clock.requestedMs, fso.copied};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 1, "WORK [FOLDERS] [ROUNDS]"))
        return 2;
    const QString work = pathArgument(argv[1]);
    const int folders = numberArgument(argc, argv, 2, 100);
    const int rounds = numberArgument(argc, argv, 3, 3);

    std::vector<double> alone, together;
    qint64 pausesAlone = 0, pausesTogether = 0;
    for (int round = 0; round < rounds; ++round) {
        QDir(work).removeRecursively();
        const Serving one = serveSaves(work, folders, 1, round);
        QDir(work).removeRecursively();
        const Serving all = serveSaves(work, folders, folders, round);
        if (one.copied != 1 || all.copied != folders) {
            std::fprintf(stderr, "round %d: %lld of 1 and %lld of %d saves copied\n", round,
                         one.copied, all.copied, folders);
            return 1;
        }
        alone.push_back(one.wall);
        together.push_back(all.wall);
        pausesAlone = one.requestedMs;
        pausesTogether = all.requestedMs;
    }
    QDir(work).removeRecursively();
    const EngineTiming t;
    std::printf("%d folder associations, settle %d ms, %d rounds side by side\n", folders,
                t.settleMs, rounds);
    std::printf("one folder saved:        median %.3f s (pauses asked %lld ms)\n", median(alone),
                pausesAlone);
    std::printf("%d folders saved at once: median %.3f s (pauses asked %lld ms)\n", folders,
                median(together), pausesTogether);
    std::printf("burst / single: %.2f\n", median(together) / median(alone));
    return 0;
}
