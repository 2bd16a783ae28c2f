// Feeds arbitrary bytes to every reader of the application-data folder as each of its files, and
// checks that what a reader accepts is written back and read again unchanged.

#include "persistence/AssociationStore.h"
#include "persistence/NodePrefs.h"
#include "persistence/Options.h"
#include "persistence/PausePrefs.h"
#include "persistence/WindowPrefs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

const QStringList FileNames = {"usrdatab", "usrdatad", "opts", "wprefs", "nprefs", "pprefs"};

// One scratch folder per process, on a memory file system when there is one.
QString scratchFolder(const QString& name) {
    static QTemporaryDir dir(QDir("/dev/shm").exists()
                                 ? "/dev/shm/quillmot-fuzz-XXXXXX"
                                 : QDir::tempPath() + "/quillmot-fuzz-XXXXXX");
    const QString folder = dir.path() + "/" + name;
    QDir().mkpath(folder);
    return folder;
}

void writeFile(const QString& path, const char* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(data, qint64(size));
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "round trip broken: %s\n", what);
        std::abort();
    }
}

void sameStore(const colBackups& a, const colDestinations& ad, const colBackups& b,
               const colDestinations& bd) {
    check(a.Count() == b.Count(), "association count");
    for (int i = 1; i <= a.Count(); ++i) {
        const auto &x = *a.Item(i), &y = *b.Item(i);
        check(x.SourcePath == y.SourcePath && x.Volume == y.Volume &&
                  x.DateCreated == y.DateCreated && x.DateLastModified == y.DateLastModified &&
                  x.DateLastActivity == y.DateLastActivity && x.Folder == y.Folder &&
                  x.Enabled == y.Enabled && x.KeepBackup == y.KeepBackup &&
                  x.Versions == y.Versions && x.Recursive == y.Recursive &&
                  x.CopyHidden == y.CopyHidden && x.NotifyOnSuccess == y.NotifyOnSuccess &&
                  x.NotifyOnError == y.NotifyOnError,
              "association fields");
    }
    check(ad.Count() == bd.Count(), "destination count");
    for (int i = 1; i <= ad.Count(); ++i) {
        const auto &x = *ad.Item(i), &y = *bd.Item(i);
        check(x.Path == y.Path && x.Source == y.Source && x.Volume == y.Volume,
              "destination fields");
    }
}

struct Store {
    std::shared_ptr<colDestinations> destinations = std::make_shared<colDestinations>();
    colBackups backups{destinations};

    void load(const QString& folder) {
        loadAssociations(backups, destinations, folder, [](const QString& path, bool) {
            if (path.startsWith(u'!'))
                throw std::runtime_error("watch refused");
        });
        loadDestinations(*destinations, folder);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = scratchFolder("input");
    const char* bytes = reinterpret_cast<const char*>(data);
    for (const QString& name : FileNames)
        writeFile(input + "/" + name, bytes, size);

    Store store;
    store.load(input);
    const QString again = scratchFolder("again");
    check(saveAssociations(store.backups, again).ok(), "associations written");
    check(saveDestinations(*store.destinations, again).ok(), "destinations written");
    Store reloaded;
    reloaded.load(again);
    sameStore(store.backups, *store.destinations, reloaded.backups, *reloaded.destinations);

    Options options;
    options.setDefaults();
    loadOptions(options, input);

    if (const auto window = loadWindowPrefs(input))
        placeWindow(window->window, 19200, 10800, 9330, 5300);

    const QStringList nodes = loadNodePrefs(input);
    check(saveNodePrefs(nodes, again).ok(), "nodes written");
    check(loadNodePrefs(again) == nodes, "node keys");

    loadPausePrefs(input);
    return 0;
}
