// The association tree at scale, in-process on the offscreen platform with the real file system:
// the start of the whole program up to the main window painted with every association in its
// tree, the tree build alone, removing one association, and refreshing every node's picture.
//
//   bench_tree WORK [ASSOCIATIONS] [FOLDERS] [RUNS]
//
// WORK is filled on first use with ASSOCIATIONS files (10000) spread over FOLDERS folders (500),
// and a configuration folder whose store holds one file association for each.

#include "BenchSupport.h"
#include "app/Application.h"
#include "engine/Engine.h"
#include "model/VolumeList.h"
#include "persistence/AssociationStore.h"
#include "platform/DateTimeText.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "presentation/AssociationTree.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

const Steady::time_point ProcessStart = Steady::now();

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

QString configFolder(const QString& work) {
    return Paths::join(work, QStringLiteral("config/Quillmot"));
}

// The files and the store, made once.
bool prepare(const QString& work, int associations, int folders) {
    if (QFile::exists(Paths::join(configFolder(work), QStringLiteral("usrdatab"))))
        return true;
    QuietUi ui{false};
    FixedAnswers messages{MessageBoxes::Answer::Yes};
    SystemClock clock;
    AppState state(ui, messages, clock);
    const QString volume = state.fso->VolumeName(state.fso->GetDriveName(work));
    for (int i = 0; i < associations; ++i) {
        const QString dir = Paths::join(
            work, QStringLiteral("home/folder%1").arg(i % folders, 4, 10, QLatin1Char('0')));
        const QString path =
            Paths::join(dir, QStringLiteral("document%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        if (i < folders && !QDir().mkpath(dir))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("saved\n") != 6)
            return false;
        clsBackup association =
            newAssociation(path, false, VolumeList::encode({volume}, volume.isEmpty()),
                           DateTimeText::never, state.destinations);
        association.Versions = 0;
        state.backups->Add(std::move(association), Paths::PathKey(path));
    }
    return QDir().mkpath(configFolder(work)) &&
           saveAssociations(*state.backups, configFolder(work)).ok() &&
           saveDestinations(*state.destinations, configFolder(work)).ok();
}

// One start of the program, in a process of its own: prints milliseconds and resident MiB.
int startOnce() {
    static int argc = 1;
    static char name[] = "quillmot";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Application program;
    program.start(Application::StartOptions{});
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->repaint();
    QCoreApplication::processEvents();
    std::printf("%.1f %.1f\n", msSince(ProcessStart), residentMiB());
    std::fflush(stdout);
    std::_Exit(0); // the figures are out; an orderly exit would only add the store writes
}

struct Loaded {
    QuietUi ui{false};
    FixedAnswers messages{MessageBoxes::Answer::Yes};
    SystemClock clock;
    std::unique_ptr<AppState> state;
    std::unique_ptr<AssociationTree> tree;

    explicit Loaded(const QString& config)
        : state(std::make_unique<AppState>(ui, messages, clock)) {
        loadAssociations(*state->backups, state->destinations, config, [](const QString&, bool) {});
        loadDestinations(*state->destinations, config);
        tree = std::make_unique<AssociationTree>(*state, nullptr);
        tree->PlaceIcons();
    }
};

} // namespace

int main(int argc, char* argv[]) {
    if (!enoughArguments(argc, argv, 1, "WORK [ASSOCIATIONS] [FOLDERS] [RUNS]"))
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString work = pathArgument(argv[1]);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Paths::join(work, QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(Paths::join(work, QStringLiteral("home"))));
    if (argc > 2 && QByteArray(argv[2]) == "--start-once")
        return startOnce();
    const int associations = numberArgument(argc, argv, 2, 10000, 0);
    const int folders = numberArgument(argc, argv, 3, 500, 0);
    const int runs = numberArgument(argc, argv, 4, 5, 0);
    QCoreApplication core(argc, argv);
    if (associations < 1 || folders < 1 || runs < 1 || !prepare(work, associations, folders)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(work));
        return 1;
    }

    std::vector<double> startMs, startMiB, buildMs, removeMs, writeMs, refreshMs;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {work, QStringLiteral("--start-once")});
        child.waitForFinished(120000);
        // The program says when its watches are open; the figures are the last line.
        const QList<QByteArray> figures =
            child.readAllStandardOutput().trimmed().split('\n').constLast().split(' ');
        if (figures.size() == 2) {
            startMs.push_back(figures[0].toDouble());
            startMiB.push_back(figures[1].toDouble());
        }

        Loaded loaded(configFolder(work));
        const auto buildStart = Steady::now();
        loaded.tree->UpdateTreeLocal();
        buildMs.push_back(msSince(buildStart));

        const auto writeStart = Steady::now();
        saveAssociations(*loaded.state->backups, configFolder(work));
        saveDestinations(*loaded.state->destinations, configFolder(work));
        writeMs.push_back(msSince(writeStart));

        const auto& victim = loaded.state->backups->Item(associations / 2 + 1);
        const TreeNode* node = loaded.tree->nodeAtPath(victim->SourcePath);
        const auto removeStart = Steady::now();
        loaded.tree->RemoveLocal(node);
        removeMs.push_back(msSince(removeStart));
        // The store goes back to every association for the next run.
        if (!QFile::remove(Paths::join(configFolder(work), QStringLiteral("usrdatab"))) ||
            !prepare(work, associations, folders))
            return 1;

        const auto refreshStart = Steady::now();
        loaded.tree->RefreshNodeIcons();
        refreshMs.push_back(msSince(refreshStart));
    }

    std::printf("tree of %d associations in %d folders, %d runs, medians:\n", associations, folders,
                runs);
    std::printf("  start to main window shown with the tree   %8.1f ms  [<= 1500 ms]\n",
                startMs.empty() ? -1.0 : median(startMs));
    std::printf("  resident memory then                       %8.1f MiB [<= 120 MB]\n",
                startMiB.empty() ? -1.0 : median(startMiB));
    std::printf("  UpdateTreeLocal                            %8.1f ms  [<= 200 ms]\n",
                median(buildMs));
    std::printf("  removing one association (RemoveLocal)     %8.1f ms  [<= 50 ms]\n",
                median(removeMs));
    std::printf("    of it rewriting both store files         %8.1f ms\n", median(writeMs));
    std::printf("  RefreshNodeIcons                           %8.1f ms  [<= 300 ms]\n",
                median(refreshMs));
    return 0;
}
