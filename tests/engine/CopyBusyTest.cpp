#include "CopyFixture.h"

#include <QCoreApplication>
#include <cerrno>
#include <climits>

namespace {

// Linux never refuses to read a file another program holds open, so the copy is told to refuse.
class BusyFiles : public FileSystem {
public:
    int refusals = 0;
    CopyResult CopyFile(const QString& source, const QString& target,
                        const std::function<void()>& between) override {
        if (refusals > 0 && refusals-- > 0)
            return {CopyError::Busy, EBUSY};
        return FileSystem::CopyFile(source, target, between);
    }
};

class CopyBusyTest : public CopyFixture {
protected:
    BusyFiles* busy = nullptr;
    QString file, target;

    std::unique_ptr<FileSystem> makeFileSystem() override {
        auto fake = std::make_unique<BusyFiles>();
        busy = fake.get();
        return fake;
    }
    void SetUp() override {
        timing.busyRetryMs = 7;
        CopyFixture::SetUp();
        file = write("src/Docs/a.txt", "new");
        target = write("dst/Docs/a.txt", "old");
        addAssociation(file, false);
        addDestination(file, folder("dst"));
    }
    void expectWaitOver() {
        EXPECT_FALSE(engine->BusyActive || engine->BusyTimedOut);
        EXPECT_FALSE(engine->tmrSourceBusy.isActive());
    }
};

TEST_F(CopyBusyTest, ReleasedSourceIsCopiedAfterOneNotice) {
    busy->refusals = 3;
    copy(file, file);
    EXPECT_EQ(logged(), QStringList({"Delay: Permission required...", "Success: Copy saved"}));
    EXPECT_EQ(notified(), QStringList({"Delay: Permission required...", "Copy saved"}));
    EXPECT_EQ(clock.sleptMs, 3 * 7);
    EXPECT_EQ(ui.popupShows, 2); // the notice shows while the wait goes on
    EXPECT_EQ(readWholeFile(target), "new");
    expectWaitOver();

    state->Backups->Item(1)->NotifyOnSuccess = false;
    state->Backups->Item(1)->NotifyOnError = false;
    busy->refusals = 1;
    copy(file, file);
    EXPECT_EQ(logged().mid(2),
              QStringList({"Delay: Permission required...", "Success: Copy saved"}));
    EXPECT_EQ(notified().size(), 2);

    state->options.NotifySourceBusy = false;
    busy->refusals = 1;
    copy(file, file);
    EXPECT_EQ(logged().mid(4), QStringList{"Success: Copy saved"});
}

TEST_F(CopyBusyTest, SourceThatStaysBusyTimesOutAndLeavesTheOldCopy) {
    busy->refusals = INT_MAX;
    state->options.BusyTimeout = 0.02;
    ui.onProcessEvents = [] { QCoreApplication::processEvents(); };
    copy(file, file);
    EXPECT_EQ(logged(),
              QStringList({"Delay: Permission required...", "Error: File was busy and timed out"}));
    EXPECT_EQ(readWholeFile(target), "old");
    EXPECT_EQ(ui.animations, std::vector{UserInterface::Animation::Shake});
    expectWaitOver();

    // An exit during the wait ends it at the next retry instead of after the whole time-out.
    state->options.BusyTimeout = 3600;
    ui.onProcessEvents = [this] { state->ExitRequested = true; };
    const qint64 sleptBefore = clock.sleptMs;
    copy(file, file);
    EXPECT_EQ(logged().last(), "Error: File was busy and timed out");
    EXPECT_EQ(clock.sleptMs - sleptBefore, timing.busyRetryMs);
    expectWaitOver();
}

TEST_F(CopyBusyTest, TickAfterTheLastRefusalDoesNotShortenTheNextWait) {
    busy->refusals = 1;
    state->options.BusyTimeout = 0.001;
    ui.onProcessEvents = [this] {
        while (!engine->BusyTimedOut)
            QCoreApplication::processEvents();
    };
    copy(file, file);

    ui.onProcessEvents = nullptr;
    busy->refusals = 2;
    copy(file, file);
    EXPECT_EQ(logged().last(), "Success: Copy saved");
}

} // namespace
