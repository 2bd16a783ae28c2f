// Every reader of the application-data folder loads what it can from any bytes and never crashes.

#include "persistence/AssociationStore.h"
#include "persistence/NodePrefs.h"
#include "persistence/Options.h"
#include "persistence/PausePrefs.h"
#include "persistence/WindowPrefs.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray randomBytes(int size) {
    std::mt19937 random(20260314);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

} // namespace

TEST(HostileFilesTest, EveryReaderLoadsWhatItCanFromAnyBytes) {
    const QList<QByteArray> contents = {
        QByteArray(),
        QByteArray(5'000'000, '9'),
        QByteArray(3, '\0') + "\r\n" + QByteArray(2'000'000, '\0') + "\r\n\xff\xfe\xc3(\r\n",
        randomBytes(1 << 16),
        QByteArray("\r\n\r\n\n\r\r\r\n").repeated(20'000),
    };
    TempHome home;
    const QString folder = home.appDataFolder();
    for (const QByteArray& content : contents) {
        for (const char* name : {"usrdatab", "usrdatad", "opts", "wprefs", "nprefs", "pprefs"})
            home.writeFile(QString(".config/Quillmot/") + name, content);
        auto destinations = std::make_shared<colDestinations>();
        colBackups backups(destinations);
        loadAssociations(backups, destinations, folder, {});
        loadDestinations(*destinations, folder);
        Options options;
        options.setDefaults();
        loadOptions(options, folder);
        loadWindowPrefs(folder);
        loadNodePrefs(folder);
        loadPausePrefs(folder);
        if (content.startsWith("99999")) { // a first line far beyond any number
            EXPECT_EQ(options.BusyTimeout, 30);
        }
    }
}
