// The tray previews: 26 ticks of one animation, ending on the normal icon; a new preview puts
// the normal icon back before it starts.

#include "presentation/AnimationPreview.h"

#include "support/QtApp.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using Image = PreviewIconSink::Image;

namespace {

struct RecordingSink : PreviewIconSink {
    std::vector<Image> shown;
    void showTrayImage(Image image) override { shown.push_back(image); }
};

std::vector<Image> alternating(Image image) {
    std::vector<Image> out{Image::Normal};
    for (int tick = 0; tick < AnimationPreview::Ticks; ++tick)
        out.push_back(tick % 2 == 0 ? image : Image::Normal);
    return out;
}

} // namespace

TEST(AnimationPreview, EachPreviewRuns26TicksAndEndsOnTheNormalIcon) {
    ensureCoreApp();
    RecordingSink sink;
    AnimationPreview preview(sink, 1);
    QSignalSpy finished(&preview, &AnimationPreview::finished);

    for (const auto& [kind, image] : {std::pair{AnimationPreview::Kind::Nod, Image::Nod},
                                      std::pair{AnimationPreview::Kind::Shake, Image::Shake}}) {
        sink.shown.clear();
        preview.start(kind);
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(sink.shown, alternating(image));
        EXPECT_FALSE(preview.running());
    }

    sink.shown.clear();
    preview.start(AnimationPreview::Kind::Shrug);
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(sink.shown.size(), 27u);
    const std::vector<Image> cycle{Image::Nod, Image::Normal, Image::Shake, Image::Normal};
    for (std::size_t i = 1; i < sink.shown.size(); ++i)
        EXPECT_EQ(sink.shown[i], cycle[(i - 1) % 4]) << i;
    EXPECT_EQ(sink.shown.back(), Image::Normal);
}

TEST(AnimationPreview, ANewPreviewPutsTheNormalIconBackAndRunsItsOwn26Ticks) {
    ensureCoreApp();
    RecordingSink sink;
    AnimationPreview preview(sink, 2);
    QSignalSpy finished(&preview, &AnimationPreview::finished);
    preview.start(AnimationPreview::Kind::Shrug);
    QTRY_VERIFY_WITH_TIMEOUT(sink.shown.size() >= 8, 5000);
    sink.shown.clear();
    preview.start(AnimationPreview::Kind::Nod);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(sink.shown, alternating(Image::Nod));

    // At the real pace only the first tick comes at once; closing the dialog ends the preview.
    AnimationPreview paced(sink);
    sink.shown.clear();
    paced.start(AnimationPreview::Kind::Shake);
    EXPECT_EQ(sink.shown, std::vector({Image::Normal, Image::Shake}));
    paced.stop();
    EXPECT_EQ(sink.shown, std::vector({Image::Normal, Image::Shake, Image::Normal}));
    EXPECT_FALSE(paced.running());
}
