// Where the 640 x 480 frame goes in a window of any size: always 4:3 and centred; sharp keeps whole
// pixel steps where one fits, smooth fills the window's height or width.
#include "platform/frame_fit.h"

#include <gtest/gtest.h>

namespace {
void ExpectFit(const FrameFit& f, int x, int y, int w, int h, bool nearest) {
    EXPECT_EQ(f.x, x);
    EXPECT_EQ(f.y, y);
    EXPECT_EQ(f.width, w);
    EXPECT_EQ(f.height, h);
    EXPECT_EQ(f.nearest, nearest);
}
}  // namespace

TEST(FrameFit, SharpTakesTheLargestWholeStepThatFits) {
    ExpectFit(FitFrame(640, 480, 640, 480, FrameScaling::kSharp), 0, 0, 640, 480, true);
    ExpectFit(FitFrame(640, 480, 1920, 1080, FrameScaling::kSharp), 320, 60, 1280, 960, true);
    ExpectFit(FitFrame(640, 480, 1920, 1440, FrameScaling::kSharp), 0, 0, 1920, 1440, true);
    ExpectFit(FitFrame(640, 480, 1279, 959, FrameScaling::kSharp), 319, 239, 640, 480, true);
    // Smaller than the frame, no whole step fits: shrunk to fit, filtered so no row is lost.
    ExpectFit(FitFrame(640, 480, 400, 400, FrameScaling::kSharp), 0, 50, 400, 300, false);
}

TEST(FrameFit, SmoothFillsTheHeightOrTheWidth) {
    ExpectFit(FitFrame(640, 480, 1920, 1080, FrameScaling::kSmooth), 240, 0, 1440, 1080, false);
    ExpectFit(FitFrame(640, 480, 1000, 500, FrameScaling::kSmooth), 167, 0, 666, 500, false);
    ExpectFit(FitFrame(640, 480, 800, 1000, FrameScaling::kSmooth), 0, 200, 800, 600, false);
    ExpectFit(FitFrame(640, 480, 640, 480, FrameScaling::kSmooth), 0, 0, 640, 480, true);
    // A frame rendered at twice the size keeps the same shape.
    ExpectFit(FitFrame(1280, 960, 1920, 1080, FrameScaling::kSmooth), 240, 0, 1440, 1080, false);
}

TEST(FrameFit, AWindowWithoutAreaGetsNothing) {
    ExpectFit(FitFrame(640, 480, 0, 480, FrameScaling::kSharp), 0, 0, 0, 0, false);
    ExpectFit(FitFrame(640, 480, 100, 0, FrameScaling::kSmooth), 0, 0, 0, 0, false);
    const FrameFit huge = FitFrame(640, 480, 2000000000, 1500000000, FrameScaling::kSmooth);
    EXPECT_EQ(huge.width, 2000000000);
    EXPECT_EQ(huge.height, 1500000000);
}
