// One save of a large file to a destination that keeps previous versions, run in-process through
// the copy engine with the program's real file system and clock: the time from the call to its
// result, with every kept version already present, so each save rotates them all.
//
//   bench_versions SOURCE DEST VERSIONS [SAVES]
//
// SOURCE is copied as it is (the driver makes it); DEST is emptied first. The first VERSIONS + 1
// saves fill the versions untimed; then SAVES (5) saves are timed one by one.

#include "engine/CopyEngine.h"
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
#include <cstdlib>
#include <vector>

namespace {

// A user interface that lets the event loop run, as the program's does, and keeps the last result.
class QuietUi : public UserInterface {
public:
    QString lastResult;
    void setRunningState(RunningState) override {}
    void setPausedLook(bool) override {}
    void setPauseCommandEnabled(bool) override {}
    void setAssociationCount(int) override {}
    void setSchemeName(const QString&) override {}
    void startAnimation(Animation) override {}
    void showPopupNoActivate() override {}
    bool popupClosed() const override { return false; }
    void resultLogged(const clsRecent& entry) override { lastResult = entry.Message; }
    void logChanged() override {}
    void notificationsChanged() override {}
    std::optional<QRect> mainWindowGeometryTwips() const override { return std::nullopt; }
    void processEvents() override { QCoreApplication::processEvents(); }
};

class OkMessages : public MessageBoxes {
public:
    Answer ask(const QString&, Icon, Buttons) override { return Answer::Ok; }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SOURCE DEST VERSIONS [SAVES]\n", argv[0]);
        return 2;
    }
    const QString source = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString dest = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const int versions = std::atoi(argv[3]);
    const int saves = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    QDir(dest).removeRecursively();
    if (!QDir().mkpath(dest)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(dest));
        return 1;
    }

    QuietUi ui;
    OkMessages messages;
    SystemClock clock;
    AppState state(ui, messages, clock);
    FileSystem& fso = *state.fso;
    state.options.setDefaults();
    const QString volume = fso.VolumeName(fso.GetDriveName(source));
    const QString never = DateTimeText::Never;
    state.Backups->Add(source, false, state.Destinations, false, never,
                       VolumeList::encode({volume}, volume.isEmpty()), true, false, true, never,
                       never, true, qint16(versions), false, source);
    state.Destinations->Add(dest, source, fso.VolumeName(fso.GetDriveName(dest)));
    const EngineTiming timing;
    CopyEngine engine(state, timing);

    using Steady = std::chrono::steady_clock;
    std::vector<double> times;
    for (int i = 0; i < versions + 1 + saves; ++i) {
        const auto start = Steady::now();
        engine.CopyToDestinations(source, 1, source);
        const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
        if (!ui.lastResult.startsWith(QLatin1String("Success"))) {
            std::fprintf(stderr, "save %d: %s\n", i + 1, qPrintable(ui.lastResult));
            return 1;
        }
        if (i > versions)
            times.push_back(seconds);
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
