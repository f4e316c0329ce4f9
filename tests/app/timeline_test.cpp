// The timeline's building blocks and the intervals that need no scene.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/demo_resources.h"
#include "app/timeline.h"
#include "common/framebuffer.h"
#include "effects/ray_grid.h"

using namespace marrow;

namespace {

// The effect objects the tested intervals use, made once as initDemo would.
void makeFilters() {
    if (!invert) invert = new InvertFilter();
    if (!motionBlur) motionBlur = new MotionBlurFilter();
    if (!channelFlip) channelFlip = new ChannelFlipFilter();
}

}  // namespace

TEST(Timeline, IntervalsAreHalfOpenAndCoverEveryTime) {
    EXPECT_EQ(intervalOf(-1000.0), 0);
    EXPECT_EQ(intervalOf(0.0), 0);
    EXPECT_EQ(intervalOf(6.999999), 0);
    EXPECT_EQ(intervalOf(7.0), 1);  // a threshold belongs to the interval it starts
    EXPECT_EQ(intervalOf(8.82), 2);
    EXPECT_EQ(intervalOf(21.1), 6);
    EXPECT_EQ(intervalOf(259.999), kThresholdCount - 1);
    EXPECT_EQ(intervalOf(260.0), kThresholdCount);
    for (int i = 0; i + 1 < kThresholdCount; ++i) EXPECT_LT(kThresholds[i], kThresholds[i + 1]);
    EXPECT_EQ(kThresholds[0], 7.0);
    EXPECT_EQ(kThresholds[kThresholdCount - 1], 260.0);
}

TEST(Timeline, ReduceFrameStepsByWholeLastFrames) {
    Scene3D s;
    s.lastFrame = 100.0f;
    auto reduced = [&](int32_t f) {
        s.frame = f;
        reduceFrame(s);
        return s.frame;
    };
    EXPECT_EQ(reduced(250), 50);
    EXPECT_EQ(reduced(200), 100);  // a multiple ends at lastFrame, not 0
    EXPECT_EQ(reduced(100), 100);
    EXPECT_EQ(reduced(37), 37);
    s.lastFrame = 839.0f;
    EXPECT_EQ(reduced(840), 1);
    // A scene without animation keeps frame 0 instead of looping for ever.
    s.lastFrame = 0.0f;
    EXPECT_EQ(reduced(500), 0);
    // A last frame too small to change a large number in single precision.
    s.lastFrame = 1e-30f;
    EXPECT_EQ(reduced(500), 0);
}

TEST(Timeline, GridAnglesTurnFrom14Seconds) {
    setGridAngles(14.0);
    EXPECT_EQ(rayGrid.angleX, 255);
    EXPECT_EQ(rayGrid.angleY, 511);
    EXPECT_EQ(rayGrid.angleZ, 511);
    setGridAngles(15.775);  // s = 0.5, n = 255
    EXPECT_EQ(rayGrid.angleX, 510);
    EXPECT_EQ(rayGrid.angleY, 256);
    EXPECT_EQ(rayGrid.angleZ, 256);
    setGridAngles(100.0);  // s = 24.225..., n = 12379
    const int32_t n = static_cast<int32_t>(511.0 * ((100.0 - 14.0) * 0.28169014084507044));
    EXPECT_EQ(rayGrid.angleX, (255 + n) & 511);
    EXPECT_EQ(rayGrid.angleY, 511 - (n % 512));
}

TEST(Timeline, CaptionIsAddedIntoTheBottomFortyRowsOnly) {
    std::vector<uint32_t> strip(320 * 40);
    for (size_t i = 0; i < strip.size(); ++i) strip[i] = (i % 3 == 0) ? 0 : 0x00102030u;
    start1_1.pixels = strip.data();
    std::vector<uint32_t> frame(kFramePixels, 0x00F0F0F0u);
    overlayCaption(frame.data());
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t p = frame[y * 320 + x];
            if (y < 160 || strip[(y - 160) * 320 + x] == 0) {
                ASSERT_EQ(p, 0x00F0F0F0u) << x << "," << y;
            } else {
                ASSERT_EQ(p, 0x00FFFFFFu) << x << "," << y;  // 0xF0 + 0x10..0x30 saturates
            }
        }
    start1_1.pixels = nullptr;
}

TEST(Timeline, InvertBandFlipsRows30To169KeepingTheTopByte) {
    std::vector<uint32_t> frame(kFramePixels, 0xAB123456u);
    invertBand(frame.data());
    EXPECT_EQ(frame[29 * 320 + 5], 0xAB123456u);
    EXPECT_EQ(frame[30 * 320], 0xABEDCBA9u);
    EXPECT_EQ(frame[169 * 320 + 319], 0xABEDCBA9u);
    EXPECT_EQ(frame[170 * 320], 0xAB123456u);
}

TEST(Timeline, BeatBitsFollowTheWholeSecondsFrom79) {
    makeFilters();
    std::vector<uint32_t> frame(kFramePixels, 0x00102030u);
    beatFilters(frame.data(), 80.5, 1);  // beat 1: inverted
    EXPECT_EQ(frame[1000], ~0x00102030u);
    std::fill(frame.begin(), frame.end(), 0x00102030u);
    beatFilters(frame.data(), 81.5, 1);  // beat 2: not
    EXPECT_EQ(frame[1000], 0x00102030u);
}

TEST(Timeline, TheStillIsReturnedAsItsOwnPixels) {
    makeFilters();
    std::vector<uint32_t> pixels(kFramePixels, 0x00334455u);
    still0.pixels = pixels.data();
    EXPECT_EQ(composeFrame(21.1), pixels.data());
    EXPECT_EQ(composeFrame(26.999), pixels.data());
    still0.pixels = nullptr;
}

TEST(Timeline, From260NothingMoreIsComposed) {
    std::vector<uint32_t> before(frameD, frameD + kFramePixels);
    EXPECT_EQ(composeFrame(260.0), frameD);
    EXPECT_EQ(composeFrame(1e9), frameD);
    EXPECT_EQ(std::vector<uint32_t>(frameD, frameD + kFramePixels), before);
}
