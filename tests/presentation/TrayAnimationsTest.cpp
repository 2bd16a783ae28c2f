// The tray animations and the options dialog's previews, through a recording icon sink and
// timers fired by hand.

#include "presentation/TrayAnimations.h"
#include "persistence/Options.h"
#include "support/ManualTicker.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
using Animation = UserInterface::Animation;
using P = TrayPicture;

struct RecordingSink : IconSink {
    std::vector<TrayPicture> shown;
    void showPicture(TrayPicture picture) override { shown.push_back(picture); }
    TrayPicture last() const { return shown.empty() ? P::Normal : shown.back(); }
};

std::vector<TrayPicture> alternating(TrayPicture frame, int count) {
    std::vector<TrayPicture> out;
    for (int i = 0; i < count; ++i)
        out.push_back(i % 2 == 0 ? frame : P::Normal);
    return out;
}

class TrayAnimationsTest : public ::testing::Test {
protected:
    RecordingSink sink;
    Options options;
    ManualTicker nod, shake, shrug;
    TrayAnimations animations{sink, options, nod, shake, shrug};

    void SetUp() override { options.setDefaults(); }

    // Fires whichever animation timer runs until none does; returns the number of ticks.
    int runToEnd() {
        int ticks = 0;
        while ((nod.fire() || shake.fire() || shrug.fire()) && ticks < 1000)
            ++ticks;
        return ticks;
    }
    // A fresh start of `animation` runs whole: 26 pictures, its frame and the normal icon in turn.
    void expectWholeRun(Animation animation, TrayPicture frame) {
        sink.shown.clear();
        animations.start(animation);
        EXPECT_EQ(runToEnd(), 26);
        EXPECT_EQ(sink.shown, alternating(frame, 26));
    }
};

class TrayPreviewTest : public ::testing::Test {
protected:
    RecordingSink sink;
    ManualTicker timer;
    TrayPreview preview{sink, timer};
};
} // namespace

TEST_F(TrayAnimationsTest, SwitchedOffAnimationRunsItsTicksWithoutTouchingTheIcon) {
    options.TrayNod = false;
    animations.start(Animation::Nod);
    EXPECT_EQ(runToEnd(), 26);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(TrayAnimationsTest, StartWhileRunningContinuesWithTheSharedCounter) {
    animations.start(Animation::Nod);
    EXPECT_EQ(nod.interval(), 1); // the first picture comes at once
    nod.fire();
    EXPECT_EQ(nod.interval(), TrayAnimations::frameMs);
    for (int i = 1; i < 10; ++i)
        nod.fire();
    animations.start(Animation::Nod);
    EXPECT_EQ(runToEnd(), 16);
    EXPECT_EQ(sink.last(), P::Normal);
    EXPECT_FALSE(animations.isRunning());
}

TEST_F(TrayAnimationsTest, ShakeDuringNodBecomesAShrugAndLaterNodsRunWhole) {
    animations.start(Animation::Nod);
    nod.fire(); // nod frame showing
    animations.start(Animation::Shake);
    shake.fire();
    EXPECT_FALSE(nod.isActive());
    EXPECT_FALSE(shake.isActive());
    ASSERT_TRUE(shrug.isActive());

    sink.shown.clear();
    EXPECT_EQ(runToEnd(), 26);
    const std::vector<TrayPicture> cycle{P::Nod, P::Normal, P::Shake, P::Normal};
    for (std::size_t i = 0; i < 26; ++i)
        EXPECT_EQ(sink.shown[i], cycle[i % 4]) << "picture " << i;
    EXPECT_EQ(sink.last(), P::Normal);

    // The overlap is over: the next nod is a whole nod again and ends on the normal icon.
    expectWholeRun(Animation::Nod, P::Nod);
}

TEST_F(TrayAnimationsTest, OverlapWithoutShrugLeavesTheNormalIconAndNoStaleRequest) {
    options.TrayShrug = false;
    animations.start(Animation::Shake);
    shake.fire(); // shake frame showing
    animations.start(Animation::Nod);
    nod.fire(); // nod frame showing, then the overlap stops both
    EXPECT_FALSE(animations.isRunning());
    EXPECT_EQ(sink.last(), P::Normal);
    expectWholeRun(Animation::Shake, P::Shake);
}

TEST_F(TrayPreviewTest, NewPreviewStopsTheRunningOneOnTheNormalIconAndRunsWhole) {
    preview.play(Animation::Shrug);
    for (int i = 0; i < 3; ++i)
        timer.fire(); // nod, normal, shake
    EXPECT_EQ(sink.last(), P::Shake);

    sink.shown.clear();
    preview.play(Animation::Nod);
    EXPECT_EQ(sink.shown.front(), P::Normal);
    EXPECT_EQ(timer.interval(), 1);
    int ticks = 0;
    while (timer.fire())
        ++ticks;
    EXPECT_EQ(ticks, 26);
    sink.shown.erase(sink.shown.begin());
    const auto nodPictures = alternating(P::Nod, 26);
    EXPECT_TRUE(std::equal(nodPictures.begin(), nodPictures.end(), sink.shown.begin()));
    EXPECT_EQ(sink.last(), P::Normal);
    EXPECT_FALSE(preview.isRunning());
}
