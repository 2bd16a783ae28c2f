// The notification popup's queue discipline and timing, with timers fired by hand and a view
// that records what it was asked to show.

#include "presentation/PopupPresenter.h"
#include "engine/CopyEngine.h"
#include "engine/Engine.h"
#include "model/VolumeList.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "support/ManualTicker.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
struct RecordingView : PopupView {
    int loads = 0, unloads = 0, hides = 0, strips = 0, shows = 0;
    bool closeShowsMinimise = false;
    std::vector<PopupContent> shown;
    std::vector<bool> topMost;
    void load(bool autoAdvance) override {
        ++loads;
        closeShowsMinimise = autoAdvance;
    }
    void showNotification(const PopupContent& content) override { shown.push_back(content); }
    void showScanningStrip() override { ++strips; }
    void showNoActivate() override { ++shows; }
    void hide() override { ++hides; }
    void unload() override { ++unloads; }
    void setTopMost(bool on) override { topMost.push_back(on); }
};

class PopupPresenterTest : public StateOverHome {
protected:
    RecordingView view;
    ManualTicker next, onTop;
    bool scanning = false;
    std::unique_ptr<PopupPresenter> popup;

    void SetUp() override {
        ensureCoreApp();
        makeState();
        popup = std::make_unique<PopupPresenter>(*state, view, next, onTop,
                                                 [this] { return scanning; });
    }
    void queue(const QString& message, const QString& source = "/home/ann/Docs/report.txt") {
        state->notifiers->Add(source, "/media/usb/Backups/Docs", message);
    }
};
} // namespace

TEST_F(PopupPresenterTest, BurstIsShownInOrderOverTheAdvanceTimeThenTheIdlePopupUnloads) {
    state->options.AdvanceSeconds = 3;
    queue("Copy saved && Previous version stored");
    queue("Error: destination drive missing.");
    queue("Delay: source file busy.");
    popup->showNoActivate();
    EXPECT_EQ(view.loads, 1);
    EXPECT_TRUE(view.closeShowsMinimise);
    // The first result shows at once, each one a third of the advance time.
    EXPECT_EQ(view.shown.size(), 1u);
    EXPECT_EQ(next.interval(), 1000);
    for (int i = 1; i < 3; ++i) {
        next.fire();
        EXPECT_EQ(next.interval(), 1000) << "result " << i;
    }
    ASSERT_EQ(view.shown.size(), 3u);
    EXPECT_EQ(view.shown[0].kind, PopupTexts::MessageKind::Other);
    EXPECT_EQ(view.shown[1].kind, PopupTexts::MessageKind::Error);
    EXPECT_EQ(view.shown[2].kind, PopupTexts::MessageKind::Delay);
    EXPECT_EQ(view.shown[0].status, "Copy saved & Previous version stored");
    EXPECT_EQ(view.shown[0].source, "report.txt");
    EXPECT_EQ(view.shown[0].destination, "Backups/Docs");
    EXPECT_EQ(state->notifiers->Count(), 0);

    // A result that arrives later in the same popup's life keeps the burst's share.
    queue("Backup successful.");
    next.fire();
    EXPECT_EQ(next.interval(), 1000);
    next.fire();
    EXPECT_EQ(view.unloads, 1);
    EXPECT_FALSE(next.isActive());
    EXPECT_FALSE(popup->isLoaded());

    // The next popup works out its own share, never shorter than the floor.
    queue("Backup successful.");
    popup->showNoActivate();
    EXPECT_EQ(next.interval(), 3000);
    popup->closeAreaClicked();
    state->options.AdvanceSeconds = 0.001;
    queue("Backup successful.");
    popup->showNoActivate();
    EXPECT_EQ(next.interval(), PopupPresenter::shortestAdvanceMs);
}

TEST_F(PopupPresenterTest, WithoutAutoAdvanceEachResultWaitsForTheCloseArea) {
    state->options.AutoAdvance = false;
    queue("Backup successful.");
    queue("Backup successful.", "/gone/file.txt");
    popup->showNoActivate();
    EXPECT_FALSE(view.closeShowsMinimise);
    EXPECT_FALSE(next.isActive());
    EXPECT_EQ(view.shown.size(), 1u);

    popup->closeAreaClicked();
    EXPECT_EQ(next.interval(), PopupPresenter::nextAtOnceMs);
    next.fire();
    ASSERT_EQ(view.shown.size(), 2u);
    EXPECT_FALSE(view.shown[1].sourceExists); // the generic file picture

    popup->closeAreaClicked();
    next.fire();
    EXPECT_EQ(view.unloads, 1);
}

TEST_F(PopupPresenterTest, ScanShowsTheStripAndAClosedPopupStaysAwayUntilItUnloads) {
    scanning = true;
    popup->showNoActivate();
    next.fire();
    EXPECT_EQ(view.shows, 0) << "no strip while the option is off";
    EXPECT_GE(view.hides, 1);
    popup->closeAreaClicked();
    scanning = false;
    next.fire();
    view = RecordingView();

    state->options.ShowScanning = true;
    scanning = true;
    queue("Backup successful.");
    popup->showNoActivate();
    next.fire(); // queue empty, scan going on
    EXPECT_EQ(view.strips, 1);
    EXPECT_EQ(next.interval(), PopupPresenter::scanningTickMs);
    EXPECT_TRUE(popup->isLoaded());

    popup->closeAreaClicked();
    EXPECT_TRUE(popup->popupClosed());
    EXPECT_EQ(view.hides, 1);

    scanning = false;
    next.fire();
    EXPECT_FALSE(popup->isLoaded());
    EXPECT_FALSE(popup->popupClosed());
}

TEST_F(PopupPresenterTest, KeepsOnTopUntilAnOwnWindowIsActiveOrTheTrayMenuOpens) {
    popup->showNoActivate();
    EXPECT_EQ(onTop.interval(), PopupPresenter::onTopMs);
    onTop.fire();
    EXPECT_EQ(view.topMost.back(), true);

    popup->trayMenuOpening();
    onTop.fire();
    EXPECT_EQ(view.topMost.back(), false);
    EXPECT_FALSE(onTop.isActive());

    // A fresh popup forces itself on top again, until one of the program's windows is active.
    popup->closeAreaClicked();
    popup->showNoActivate();
    EXPECT_TRUE(onTop.isActive());
    popup->ownWindowActivated();
    const std::size_t calls = view.topMost.size();
    onTop.fire();
    EXPECT_FALSE(onTop.isActive());
    EXPECT_EQ(view.topMost.size(), calls);
}

TEST(PopupTexts, KindsGoByTheExactLeadingWordAndLinesShortenPaths) {
    EXPECT_EQ(PopupTexts::kindOf("error in lower case"), PopupTexts::MessageKind::Other);
    EXPECT_EQ(PopupTexts::kindOf("Err"), PopupTexts::MessageKind::Other);
    EXPECT_EQ(PopupTexts::sourceText("/home/ann/a.txt", true), "/home/ann/a.txt");
    EXPECT_EQ(PopupTexts::destinationText("/Docs", false), "/Docs");
    EXPECT_EQ(PopupTexts::destinationText("Docs", false), "Docs");
    EXPECT_EQ(PopupTexts::destinationLine("/mnt/qb/Docs", "/mnt/qb", "B", true), "/mnt/qb/Docs (B)")
        << "a full path already holds the destination folder";
    // A name with controls shows them escaped, in the popup as in the desktop's notification.
    EXPECT_EQ(PopupTexts::sourceText("/home/ann/a\nb.txt", false), "a\\nb.txt");
    EXPECT_EQ(PopupTexts::destinationText("/media/\x1B[1mB/Docs", false), "\\x1B[1mB/Docs");
    EXPECT_EQ(PopupTexts::destinationLine("/mnt/qb/Docs", "/mnt/qb", "B\nOK", true),
              "/mnt/qb/Docs (B\\nOK)");
}

TEST(PopupGeometry, BottomRightOfTheRealWorkArea) {
    const QSize size(312, 107);
    // A panel at the bottom: the popup sits just above it.
    EXPECT_EQ(PopupGeometry::bottomRight(QRect(0, 0, 1280, 770), size), QRect(968, 663, 312, 107));
    // A panel at the top or left moves the area's origin, not only its size.
    EXPECT_EQ(PopupGeometry::bottomRight(QRect(64, 30, 1216, 770), size),
              QRect(968, 693, 312, 107));
    // A second monitor to the right of the first.
    EXPECT_EQ(PopupGeometry::bottomRight(QRect(1920, 0, 1280, 1024), size).topLeft(),
              QPoint(2888, 917));
    // Never larger than the area; wider for a long text, but never narrower.
    EXPECT_EQ(PopupGeometry::bottomRight(QRect(10, 10, 200, 90), size), QRect(10, 10, 200, 90));
    EXPECT_EQ(PopupGeometry::grownWidth(312, 200, 1280), 312);
    EXPECT_EQ(PopupGeometry::grownWidth(312, 500, 1280), 500);
    EXPECT_EQ(PopupGeometry::grownWidth(312, 5000, 1280), 1280);
}

// Two backup disks refuse a save alike: each result names its own destination and disk.
TEST_F(PopupPresenterTest, ResultsOfTwoDestinationsNameTheirFolderAndDisk) {
    const QString documents = home.makeFolder("src/Documents");
    const QString file = home.writeFile("src/Documents/Recipes/pie.txt", "pie");
    const QString qa = home.makeFolder("qa"), qb = home.makeFolder("qb");
    const QString found = state->fso->VolumeName(state->fso->GetDriveName(documents));
    clsBackup association = newAssociation(
        documents, true, VolumeList::encode({found}, found.isEmpty()), "c", state->destinations);
    association.Recursive = true;
    state->backups->Add(std::move(association), Paths::PathKey(documents));
    state->destinations->Add(qa, documents, "BACKUP_A");
    state->destinations->Add(qb, documents, "BACKUP_B");
    Engine engine(*state);
    engine.CopyToDestinations(documents, 1, file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.busy(); }, 5000));

    ASSERT_EQ(state->recent->Count(), 2);
    for (const auto& [position, volume] : {std::pair(1, "BACKUP_A"), std::pair(2, "BACKUP_B")}) {
        const QString logged = state->recent->Item(position)->DestVolume;
        EXPECT_TRUE(logged.startsWith(volume)) << qPrintable(logged);
        EXPECT_TRUE(found.isEmpty() || logged.endsWith("(the drive holds " + found + ")"));
    }
    popup->showNoActivate();
    next.fire();
    ASSERT_EQ(view.shown.size(), 2u);
    EXPECT_EQ(view.shown[0].status, "Error: Destination volume name mismatch");
    EXPECT_EQ(view.shown[0].destination, "Documents/Recipes (BACKUP_A, " + qa + ")");
    EXPECT_EQ(view.shown[1].destination, "Documents/Recipes (BACKUP_B, " + qb + ")");
}
