// A save killed at any moment must leave usrdatab as one whole version: the one before or the
// one being written, never a torn mix.

#include "persistence/AssociationStore.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::unique_ptr<colBackups> makeStore(const QString& name, int count) {
    auto root = std::make_shared<colDestinations>();
    auto backups = std::make_unique<colBackups>(root);
    for (int i = 0; i < count; ++i) {
        const QString path = QString("/home/ann/%1/folder number %2").arg(name).arg(i);
        backups->Add(path, true, root, i % 2 == 0, "14.03.2026 10:20:30", "BACKUP-DISK", true,
                     false, true, "Never", "15.03.2026 11:00:00", true, qint16(i % 100), false,
                     path);
    }
    return backups;
}

} // namespace

TEST(CrashSafetyTest, AKilledSaveLeavesTheOldOrTheNewStoreWhole) {
    TempHome home;
    const QString folder = home.appDataFolder();
    const auto first = makeStore("first", 4000), second = makeStore("second", 2500);
    ASSERT_TRUE(saveAssociations(*second, folder));
    const QByteArray secondBytes = readWholeFile(folder + "/usrdatab");
    ASSERT_TRUE(saveAssociations(*first, folder));
    const QByteArray firstBytes = readWholeFile(folder + "/usrdatab");

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> killAfterUs(1000, 80000);
    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (unsigned n = 0;; ++n)
                saveAssociations(n % 2 ? *first : *second, folder);
        const int delay = killAfterUs(random);
        usleep(useconds_t(delay));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const QByteArray now = readWholeFile(folder + "/usrdatab");
        ASSERT_TRUE(now == firstBytes || now == secondBytes)
            << "torn store after a kill at " << delay << " us (seed " << seed << "), " << now.size()
            << " bytes";
        auto root = std::make_shared<colDestinations>();
        colBackups loaded(root);
        loadAssociations(loaded, root, folder, {});
        EXPECT_EQ(loaded.Count(), now == firstBytes ? 4000 : 2500);
    }
}
