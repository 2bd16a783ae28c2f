// Finding what the destinations hold, and the check of who owns a place that runs before every
// copy, with the program's real file system:
//   1. every copy of one file in 3 destinations that hold it with 10 versions each;
//   2. every file backed up below a recursive association of 20,000 files in 200 folders, in 2
//      destinations (what a restore window lists);
//   3. the owner check of one copy among 1,000 associations of 2 destinations each, beside the
//      whole copy of a 4 KiB file through the copy engine, measured in turns;
//   4. the check of a whole set, as a start or a scheme load makes it: 10,000 file associations
//      in 500 folders, all into one destination.
//
//   bench_layout WORK [RUNS]
//
// WORK is filled once (a marker says so) and kept for the next run.

#include "BenchSupport.h"
#include "engine/BackupLayout.h"
#include "engine/BackupOwners.h"
#include "engine/Engine.h"

#include <QFileInfo>

namespace {

constexpr int destinationsOfOneFile = 3;
constexpr int versionsOfOneFile = 10;
constexpr int treeFiles = 20000;
constexpr int treeFolders = 200;
constexpr int associations = 1000;
constexpr int setAssociations = 10000;
constexpr int setFolders = 500;

template <class Work> std::vector<double> timedRuns(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Steady::now();
        work();
        times.push_back(seconds(Steady::now() - start) * 1000.0);
    }
    return times;
}

bool put(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (!enoughArguments(argc, argv, 1, "WORK [RUNS]"))
        return 2;
    const QString work = pathArgument(argv[1]);
    const int runs = numberArgument(argc, argv, 2, 9);
    const FileSystem fso;

    // 1. One file, its copy and ten versions in each of three destinations.
    const QString file = work + "/one/Docs/report.odt";
    const BackupLayout single(file, false, "PrevSave");
    QStringList dests;
    for (int d = 0; d < destinationsOfOneFile; ++d)
        dests << work + QStringLiteral("/one-dest%1").arg(d);
    if (!QFile::exists(work + "/one.prepared")) {
        bool made = put(file, "now");
        for (const QString& dest : dests) {
            made = made && put(single.placeFile(dest, file).copyPath(), "copy");
            for (int k = 1; k <= versionsOfOneFile; ++k)
                made = made && put(single.versionPath(dest, file, k), "version");
        }
        if (!made || !put(work + "/one.prepared", {})) {
            std::fprintf(stderr, "cannot prepare %s\n", qPrintable(work));
            return 1;
        }
    }
    std::size_t found = 0;
    const auto oneFile = timedRuns(runs, [&] {
        found = 0;
        for (const QString& dest : dests)
            found += single.findFile(fso, dest, file).copies.size();
    });

    // 2. A tree and its copies in two destinations.
    const QString tree = work + "/tree/Docs";
    const QStringList treeDests = {work + "/tree-dest0", work + "/tree-dest1"};
    QStringList mirrors;
    for (const QString& dest : treeDests)
        mirrors << dest + "/Docs";
    if (!prepareTree(tree, mirrors, treeFiles, treeFolders)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(tree));
        return 1;
    }
    const BackupLayout folder(tree, true, "PrevSave");
    std::size_t listed = 0;
    const auto wholeTree = timedRuns(std::max(3, runs / 3), [&] {
        listed = 0;
        for (const QString& dest : treeDests)
            listed += folder.findAll(fso, dest).size();
    });

    // 3. The check before a copy, and the copy it comes before.
    QuietUi ui(false);
    FixedAnswers messages;
    SystemClock clock;
    AppState state(ui, messages, clock);
    state.options.setDefaults();
    const QString small = work + "/small/a.txt";
    put(small, QByteArray(4096, 's'));
    for (int i = 0; i < associations; ++i) {
        const QString source = work + QStringLiteral("/sources/s%1").arg(i);
        clsBackup association =
            newAssociation(source, true, QString(), DateTimeText::never, state.destinations);
        association.Recursive = true;
        state.backups->Add(std::move(association), source);
        state.destinations->Add(work + QStringLiteral("/dests/d%1").arg(i % 10), source, "");
        state.destinations->Add(work + "/dests/shared", source, "");
    }
    const QString volume = fso.VolumeName(fso.GetDriveName(small));
    clsBackup copied = newAssociation(small, false, VolumeList::encode({volume}, volume.isEmpty()),
                                      DateTimeText::never, state.destinations);
    copied.NotifyOnSuccess = false;
    state.backups->Add(std::move(copied), small);
    state.destinations->Add(work + "/dests/shared", small, fso.VolumeName(fso.GetDriveName(work)));
    Engine engine(state, EngineTiming{});
    const int last = state.backups->Count();
    const QString copyPath = work + "/dests/shared/small/a.txt";
    std::vector<double> checks, copies;
    for (int i = 0; i < runs * 10; ++i) {
        checks.push_back(timedRuns(1, [&] {
            const BackupOwners::Ownership owners = BackupOwners::ownershipOf(
                *state.backups, *state.destinations, QStringLiteral("PrevSave"), small);
            BackupOwners::checkCopy(owners, small, copyPath);
        })[0]);
        copies.push_back(timedRuns(1, [&] {
            engine.CopyToDestinations(small, last, small);
            // The copy runs on the destination's worker; its result comes back to the event loop.
            while (engine.busy())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        })[0]);
    }
    if (!ui.lastResult.startsWith(QLatin1String("Success"))) {
        std::fprintf(stderr, "the copy failed: %s\n", qPrintable(ui.lastResult));
        return 1;
    }

    // 4. A large set of file associations, checked whole.
    BackupOwners::Snapshot set;
    set.versionBase = QStringLiteral("PrevSave");
    for (int i = 0; i < setAssociations; ++i)
        set.members.push_back({work + QStringLiteral("/home/folder%1/document%2.txt")
                                          .arg(i % setFolders, 4, 10, QLatin1Char('0'))
                                          .arg(i, 5, 10, QLatin1Char('0')),
                               false, false, true, QStringList{work + "/dests/usb"}});
    std::size_t refused = 0;
    const auto wholeSet = timedRuns(std::max(3, runs / 3), [&] {
        refused = BackupOwners::clashes(set).size() + BackupOwners::chains(set).size();
    });

    std::printf("  copies of one file, %d destinations x %d versions   %.2f ms  [<= 50 ms]  (%zu "
                "found)\n",
                destinationsOfOneFile, versionsOfOneFile, median(oneFile), found);
    std::printf("  files backed up below a folder of %d, %d destinations   %.0f ms  [<= 1000 ms]  "
                "(%zu found)\n",
                treeFiles, int(treeDests.size()), median(wholeTree), listed);
    std::printf("owner check before a copy among %d associations: median %.3f ms; the whole copy "
                "of a 4 KiB file, its check included: median %.3f ms; check / copy: %.2f\n",
                associations + 1, median(checks), median(copies), median(checks) / median(copies));
    std::printf("owner check of a set at start, %d file associations in %d folders into one "
                "destination: median %.0f ms (%zu refused)\n",
                setAssociations, setFolders, median(wholeSet), refused);
    return 0;
}
