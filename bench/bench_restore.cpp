// Restores, measured in-process with the program's real file system: listing the copies of one
// file kept in 3 destinations with 10 versions each; the restore window on a recursive
// association of 20,000 files backed up in 2 destinations, from its opening to a usable tree;
// and a restore of that whole folder into an empty one (restore.sh sets it beside `cp -a`).
//
//   bench_restore WORK [RUNS] [window|folder]   (both when neither is named)
//
// WORK is filled once (a marker says so) and reused.

#include "BenchSupport.h"
#include "mainwindow/RestoreTreeModel.h"
#include "mainwindow/frmRestore.h"
#include "platform/FilePickers.h"
#include "restore/RestoreRun.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int destinationsListed = 3;
constexpr int versionsListed = 10;
constexpr int listingsPerRun = 20;
constexpr int treeFiles = 20000;
constexpr int treeFolders = 200;

void printRuns(const char* what, const std::vector<double>& times, double scale, const char* unit) {
    std::printf("%s:", what);
    for (const double t : times)
        std::printf(" %.3f", t * scale);
    std::printf("\n");
    (void)unit;
}

bool writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// One file with its current copy and 10 versions in each of 3 destinations, placed by the
// layout the copy engine places them by.
bool listCopies(const QString& work, int runs) {
    const QString source = work + "/list/src/report.txt";
    QStringList dests;
    for (int d = 1; d <= destinationsListed; ++d)
        dests << work + QStringLiteral("/list/d%1").arg(d);
    TreeBench bench(source, dests);
    clsBackup& association = *bench.state.backups->Item(source);
    association.Folder = false;
    association.Recursive = false;
    const BackupSet set = BackupSet::of(association, *bench.state.backups,
                                        *bench.state.destinations, defaultPrevSaveName);
    if (!writeFile(source, "now"))
        return false;
    for (const QString& dest : dests)
        for (int k = 0; k <= versionsListed; ++k) {
            const QString path = k == 0 ? set.layout().placeFile(dest, source).copyPath()
                                        : set.layout().versionPath(dest, source, k);
            if (!writeFile(path, QByteArray::number(k)))
                return false;
        }
    std::vector<double> times;
    size_t found = 0;
    for (int run = 0; run < runs * listingsPerRun; ++run) {
        const auto start = Steady::now();
        found = RestoreCatalog::copiesOf(bench.fso, set, source).copies.size();
        times.push_back(seconds(Steady::now() - start));
    }
    std::printf("list the copies of one file (%d destinations x %d versions, %zu copies found): "
                "median %.2f ms [<= 50 ms]\n",
                destinationsListed, versionsListed, found, median(times) * 1000);
    return found == size_t(destinationsListed * (versionsListed + 1));
}

// The restore window on the tree, from its making to its tree shown and painted; and the listing
// of the backups alone, the part of it that reads the disks.
bool openWindow(const BackupSet& set, FileSystem& fso, int runs) {
    std::vector<double> listings;
    for (int run = 0; run < runs; ++run) {
        const auto start = Steady::now();
        RestoreCatalog::treeOf(fso, set);
        listings.push_back(seconds(Steady::now() - start));
    }
    std::printf("listing the backed-up tree alone: median %.3f s\n", median(listings));
    std::vector<double> times, cpu;
    FixedAnswers messages;
    struct NoPickers : FilePickers {
        QStringList openFiles(const QString&) override { return {}; }
        QString folder(const QString&) override { return {}; }
        QString saveFile(const QString&, const QString&) override { return {}; }
    } pickers;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Steady::now();
        const double cpuStart = cpuSeconds();
        frmRestore window(set, messages, pickers);
        window.show();
        // Waits as the program's event loop does, asleep until the listing comes.
        QEventLoop loop;
        QObject::connect(&window.browser(), &RestoreBrowser::treeChanged, &loop, &QEventLoop::quit);
        loop.exec();
        // The tree painted: what the user sees first.
        window.repaint();
        times.push_back(seconds(Steady::now() - start));
        cpu.push_back(cpuSeconds() - cpuStart);
        rows = window.treeModel().rowCount();
    }
    printRuns("window runs (s)", times, 1, "s");
    std::printf("restore window on %d files in 2 destinations: median %.3f s to a usable tree "
                "(%d top rows) [<= 1 s], %.3f s CPU\n",
                treeFiles, median(times), rows, median(cpu));
    return rows > 0;
}

// The whole folder restored into an empty one.
bool restoreFolder(const BackupSet& set, FileSystem& fso, const QString& target, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        const auto start = Steady::now();
        const BackedUpTree tree = RestoreCatalog::treeOf(fso, set);
        const RestoreSummary done =
            RestoreRun::run(fso, RestoreRun::folderInto(set, tree, {}, target, false));
        times.push_back(seconds(Steady::now() - start));
        if (!done.ok() || done.restored != treeFiles) {
            std::fprintf(stderr, "%s\n", qPrintable(done.text()));
            return false;
        }
    }
    QDir(target).removeRecursively();
    printRuns("folder restore runs (s)", times, 1, "s");
    std::printf("folder restore of %d files: median %.3f s\n", treeFiles, median(times));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 1, "WORK [RUNS]"))
        return 2;
    const QString work = pathArgument(argv[1]);
    const int runs = numberArgument(argc, argv, 2, 5);
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const bool window = only != QLatin1String("folder");
    const bool folder = only != QLatin1String("window");
    if (window && !listCopies(work, runs))
        return 1;

    const QString tree = work + "/tree/src";
    const QStringList dests = {work + "/tree/d1", work + "/tree/d2"};
    if (!prepareTree(tree, {dests[0] + "/src", dests[1] + "/src"}, treeFiles, treeFolders)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(tree));
        return 1;
    }
    TreeBench bench(tree, dests);
    const BackupSet set = BackupSet::of(*bench.state.backups->Item(tree), *bench.state.backups,
                                        *bench.state.destinations, defaultPrevSaveName);
    if ((window && !openWindow(set, bench.fso, runs)) ||
        (folder && !restoreFolder(set, bench.fso, work + "/out", runs)))
        return 1;
    return 0;
}
