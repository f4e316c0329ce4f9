// Zoom blur and zoom feedback: the weight table, the integer pixel rule at
// its awkward entries (negative weights, ties, full sums), samples at the
// frame's edge, and whole frames against plain per-channel references.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/zoom_blur.h"
#include "frame_compare.h"

namespace marrow {
namespace {

TEST(ZoomWeights, EveryEntrySumsTo256AndTheLastMayBeMinusOne) {
    buildZoomWeights(20);
    buildZoomWeights(12);
    EXPECT_EQ(zoomWeights.keepWeight, 12.0f);
    int negative = 0;
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            const float* w = zoomWeights.w[j][i];
            EXPECT_EQ(w[0] + w[1] + w[2] + w[3] + 12.0f, 256.0f) << j << "," << i;
            // e = 1 - 12/256 = 0.953125 exactly, so the rounded-up products
            // can be checked in integers: ceil(61 * n / 64).
            const int n0 = (16 - i) * (16 - j), n1 = i * (16 - j), n2 = (16 - i) * j;
            EXPECT_EQ(w[0], static_cast<float>((61 * n0 + 63) / 64));
            EXPECT_EQ(w[1], static_cast<float>((61 * n1 + 63) / 64));
            EXPECT_EQ(w[2], static_cast<float>((61 * n2 + 63) / 64));
            for (int n = 0; n < 4; ++n) EXPECT_EQ(static_cast<float>(zoomWeights.wInt[j][i][n]), w[n]);
            negative += w[3] < 0;
            EXPECT_GE(w[3], -1.0f);
        }
    EXPECT_EQ(negative, 25);
    const float* w11 = zoomWeights.w[1][1];
    EXPECT_EQ(w11[0], 215.0f);
    EXPECT_EQ(w11[1], 15.0f);
    EXPECT_EQ(w11[2], 15.0f);
    EXPECT_EQ(w11[3], -1.0f);
    EXPECT_EQ(zoomWeights.w[0][0][0], 244.0f);
    EXPECT_EQ(zoomWeights.w[0][0][3], 0.0f);
}

TEST(ZoomWeights, AnyKeepShareStaysInTheExactRange) {
    // The span arithmetic relies on every weight lying in -2..256 and the
    // sum being exactly 256; a share outside 0..256 is clamped.
    for (int k = -3; k <= 260; ++k) {
        buildZoomWeights(k);
        const int kk = std::clamp(k, 0, 256);
        EXPECT_EQ(zoomWeights.keepInt, kk);
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) {
                const int32_t* w = zoomWeights.wInt[j][i];
                ASSERT_EQ(w[0] + w[1] + w[2] + w[3] + kk, 256) << k;
                for (int n = 0; n < 4; ++n) ASSERT_TRUE(w[n] >= -2 && w[n] <= 256) << k;
            }
    }
    buildZoomWeights(12);
}

// The new pixel from four samples and the old pixel under the weights
// [j][i], computed per channel in 64-bit integers.
uint32_t rulePixel(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t d, int j, int i) {
    const float* w = zoomWeights.w[j][i];
    const int64_t keep = static_cast<int64_t>(zoomWeights.keepWeight);
    int64_t s[3];
    for (int c = 0; c < 3; ++c) {
        auto ch = [c](uint32_t p) { return static_cast<int64_t>((p >> (8 * c)) & 0xFF); };
        s[c] = static_cast<int64_t>(w[0]) * ch(p0) + static_cast<int64_t>(w[1]) * ch(p1) +
               static_cast<int64_t>(w[2]) * ch(p2) + static_cast<int64_t>(w[3]) * ch(p3) + keep * ch(d);
    }
    auto truncated = [](int64_t v) { return v < 0 ? 0u : static_cast<uint32_t>(std::min<int64_t>(255, v / 256)); };
    // nearbyint rounds to nearest, ties to even, in the default mode.
    const double blueRounded = std::nearbyint(static_cast<double>(s[0]) / 256.0);
    const uint32_t blue = s[0] < 0 ? 0u : static_cast<uint32_t>(std::min(255.0, blueRounded));
    return (static_cast<uint32_t>(s[1] & 0xFF) << 24) | truncated(s[2]) << 16 | truncated(s[1]) << 8 | blue;
}

// Runs one pixel of a right-going span with its samples at (row, col) and
// sub-pixel position (j, i), the old pixel at frame[0].
uint32_t spanPixel(std::vector<uint32_t>& frame, int row, int col, int j, int i) {
    blurSpanRight(frame.data(), frame.data(), 1, (col << 16) | (i << 12), (row << 16) | (j << 12), 0);
    return frame[0];
}

TEST(ZoomBlurRule, NegativeWeightFullSumsAndBlueTies) {
    buildZoomWeights(12);
    std::vector<uint32_t> frame(kFramePixels, 0);
    const int row = 50, col = 60;
    auto at = [&](int r, int c) -> uint32_t& { return frame[r * 320 + c]; };

    // Entry [1][1] is 215, 15, 15, -1: only the fourth sample lit gives
    // S = -255 per channel. Channels clamp to 0; the top byte is the low
    // byte of -255.
    at(row + 1, col + 1) = 0xFFFFFF;
    frame[0] = 0;
    EXPECT_EQ(spanPixel(frame, row, col, 1, 1), 0x01000000u);

    // All but the fourth sample white, old pixel white: S = 257 * 255 = 65535
    // per channel; blue would round to 256 and stays 255.
    at(row + 1, col + 1) = 0;
    at(row, col) = at(row, col + 1) = at(row + 1, col) = 0xFFFFFF;
    frame[0] = 0xFFFFFF;
    EXPECT_EQ(spanPixel(frame, row, col, 1, 1), 0xFFFFFFFFu);

    // Entry [0][0] is 244, 0, 0, 0. Sample 1, old 33 per channel:
    // S = 244 + 396 = 640 = 2.5 * 256: red and green truncate to 2, blue
    // ties to even, 2; top byte 0x80.
    at(row, col) = 0x010101;
    frame[0] = 0x212121;
    EXPECT_EQ(spanPixel(frame, row, col, 0, 0), 0x80020202u);
    // Sample 0, old 32: S = 384 = 1.5 * 256: blue ties up to the even 2.
    at(row, col) = 0;
    frame[0] = 0x202020;
    EXPECT_EQ(spanPixel(frame, row, col, 0, 0), 0x80010102u);
    // Top bytes of the inputs take no part.
    at(row, col) = 0xAB010101;
    frame[0] = 0xCD212121;
    EXPECT_EQ(spanPixel(frame, row, col, 0, 0), 0x80020202u);
}

TEST(ZoomBlurRule, SamplesAtTheFrameEdge) {
    buildZoomWeights(12);
    // Entry [0][1] is 229, 16, 0, -1.
    ASSERT_EQ(zoomWeights.wInt[0][1][3], -1);
    std::vector<uint32_t> frame(kFramePixels, 0);
    // Bottom-right pixel: the three samples past the frame's end take the
    // pixel itself, so S_B = (229 + 16 + 0 - 1) * 255 = 62220 -> 243.
    frame[63999] = 0x0000FF;
    frame[0] = 0;
    EXPECT_EQ(spanPixel(frame, 199, 319, 0, 1), 243u);
    // Last column inside the frame: the right-hand samples are the next
    // rows' first pixels. S_B = 229*100 + 16*200 + 0*50 - 40 = 26060 -> 102.
    std::fill(frame.begin(), frame.end(), 0);
    frame[150 * 320 + 319] = 100;
    frame[151 * 320 + 0] = 200;
    frame[151 * 320 + 319] = 50;
    frame[152 * 320 + 0] = 40;
    EXPECT_EQ(spanPixel(frame, 150, 319, 0, 1), 102u);
    // Masked positions far outside (row 255, column 511) read the last pixel.
    frame[63999] = 0x0000FF;
    frame[0] = 0;
    EXPECT_EQ(spanPixel(frame, 255, 511, 0, 1), 243u);
}

// ZoomBlur written out pixel by pixel: every sample position from its
// closed form, every channel on its own.
void referenceZoomBlur(std::vector<uint32_t>& f, int64_t cx, int64_t cy, double factor) {
    if (factor > 0.999) return;
    const int64_t d = static_cast<int64_t>(std::max(factor, 0.95) * 65536);
    const int64_t xl = std::clamp<int64_t>(cx, 0, 320), yl = std::clamp<int64_t>(cy, 0, 200);
    struct Q {
        int64_t x0, x1, y0, y1;
        bool right, up;
    };
    const Q quadrants[4] = {{xl, 320, 0, yl, true, true},
                            {0, xl, yl, 200, false, false},
                            {xl, 320, yl, 200, true, false},
                            {0, xl, 0, yl, false, true}};
    auto sample = [&f](uint32_t r, uint32_t c) {
        const uint32_t a = r * 320 + c;
        return a < 64000 ? f[a] : f[std::min(r, 199u) * 320 + std::min(c, 319u)];
    };
    for (const Q& q : quadrants)
        for (int64_t m = 0; m < q.y1 - q.y0; ++m) {
            const int64_t y = q.up ? q.y1 - 1 - m : q.y0 + m;
            for (int64_t n = 0; n < q.x1 - q.x0; ++n) {
                const int64_t x = q.right ? q.x0 + n : q.x1 - 1 - n;
                // 16.16 positions modulo 2^32, as the machine words hold them.
                const uint32_t sx = static_cast<uint32_t>(cx * 65536 + (x - cx) * d);
                const uint32_t sy = static_cast<uint32_t>(cy * 65536 + (y - cy) * d);
                const uint32_t col = (sx >> 16) & 0x1FF, row = (sy >> 16) & 0xFF;
                const int i = (sx >> 12) & 0xF, j = (sy >> 12) & 0xF;
                uint32_t& out = f[y * 320 + x];
                out = rulePixel(sample(row, col), sample(row, col + 1), sample(row + 1, col),
                                sample(row + 1, col + 1), out, j, i);
            }
        }
}

TEST(ZoomBlur, WholeFramesMatchThePlainReferenceForAnyCentre) {
    buildZoomWeights(12);
    const double pulse = 0.975 + 0.024 * std::sin(10.0);
    struct Case {
        int32_t cx, cy;
        double factor;
    };
    const Case cases[] = {{160, 100, pulse},    {160, 100, 0.95},    {37, 150, 0.99},     {319, 199, 0.96},
                          {0, 0, 0.97},         {160, 199, 0.95},    {319, 100, 0.95},    {-50, 300, 0.95},
                          {400, -20, 0.98},     {320, 200, 0.95},    {INT_MIN, INT_MAX, 0.95},
                          {INT_MAX, INT_MIN, 0.999},
                          // Factors near 1: nearly every pixel samples the
                          // one written just before it, in all four slots.
                          {160, 100, 0.998},   {100, 60, 0.99}};
    for (const Case& c : cases) {
        std::vector<uint32_t> frame = randomFrame(static_cast<uint32_t>(c.cx) * 7u + static_cast<uint32_t>(c.cy));
        std::vector<uint32_t> expected = frame;
        ZoomBlur(frame.data(), c.cx, c.cy, c.factor);
        referenceZoomBlur(expected, c.cx, c.cy, c.factor);
        SCOPED_TRACE(testing::Message() << "centre " << c.cx << "," << c.cy << " factor " << c.factor);
        expectFramesEqual(frame, expected);
    }
}

// What a zoom blur is, whatever its arithmetic: every pixel reads from
// nearer the centre, so light is carried outward and never inward. Two
// full-height lines at columns 120 and 200 (40 either side of the centre
// column 160), factor 0.95: column 202 reads at 160 + 42 x 0.95 = 199.9 and
// column 118 at 120.1, so both take light; every column between the lines
// reads between them and stays black.
TEST(ZoomBlur, LightMovesAwayFromTheCentreOnly) {
    buildZoomWeights(12);
    std::vector<uint32_t> frame(kFramePixels, 0);
    for (int y = 0; y < 200; ++y) frame[y * 320 + 120] = frame[y * 320 + 200] = 0xFFFFFF;
    ZoomBlur(frame.data(), 160, 100, 0.95);
    for (int y = 0; y < 200; ++y) {
        for (int x = 121; x < 200; ++x) ASSERT_EQ(frame[y * 320 + x], 0u) << x << "," << y;
        EXPECT_NE(frame[y * 320 + 202] & 0xFFFFFF, 0u) << y;
        EXPECT_NE(frame[y * 320 + 118] & 0xFFFFFF, 0u) << y;
    }
}

TEST(ZoomBlur, FactorLimits) {
    buildZoomWeights(12);
    const std::vector<uint32_t> original = randomFrame(1);
    std::vector<uint32_t> frame = original;
    ZoomBlur(frame.data(), 160, 100, 1.0);
    ZoomBlur(frame.data(), 160, 100, 0.9995);
    EXPECT_EQ(frame, original);
    ZoomBlur(frame.data(), 160, 100, 0.5);
    std::vector<uint32_t> floor = original;
    ZoomBlur(floor.data(), 160, 100, 0.95);
    EXPECT_EQ(frame, floor);
    EXPECT_NE(frame, original);
    std::vector<uint32_t> nan = original;
    ZoomBlur(nan.data(), 160, 100, std::nan(""));
    EXPECT_EQ(nan, floor);
}

// zoomFeedback pixel by pixel, offsets floored by explicit division.
void referenceFeedback(std::vector<uint32_t>& f, double amount) {
    const int64_t k = static_cast<int64_t>(std::max(amount, 0.0) * 65535);
    auto off = [](int64_t v) { return static_cast<int64_t>(std::floor(v / 65536.0)); };
    auto avg = [](uint32_t a, uint32_t b) { return ((a >> 1) & 0x7F7F7F7F) + ((b >> 1) & 0x7F7F7F7F); };
    for (int64_t m = 0; m <= 100; ++m)
        for (int64_t n = 0; n <= 160; ++n)
            f[(100 - m) * 320 + 160 - n] = avg(f[(100 + off(-k * m)) * 320 + 160 + off(-k * n)], f[(100 - m) * 320 + 160 - n]);
    for (int64_t m = 0; m <= 100; ++m)
        for (int64_t n = 0; n < 159; ++n)
            f[(100 - m) * 320 + 161 + n] = avg(f[(100 + off(-k * m)) * 320 + 161 + off(k * n)], f[(100 - m) * 320 + 161 + n]);
    for (int64_t m = 0; m < 99; ++m)
        for (int64_t n = 0; n <= 160; ++n)
            f[(101 + m) * 320 + 160 - n] = avg(f[(100 + off(k * m)) * 320 + 160 + off(-k * n)], f[(101 + m) * 320 + 160 - n]);
    for (int64_t m = 0; m < 99; ++m)
        for (int64_t n = 0; n < 159; ++n)
            f[(101 + m) * 320 + 161 + n] = avg(f[(100 + off(k * m)) * 320 + 160 + off(k * n)], f[(101 + m) * 320 + 161 + n]);
}

TEST(ZoomFeedback, AmountZeroAveragesWithTheCentrePixels) {
    const std::vector<uint32_t> original = randomFrame(2);
    std::vector<uint32_t> frame = original;
    zoomFeedback(frame.data(), 0.0);
    auto avg = [](uint32_t a, uint32_t b) { return ((a >> 1) & 0x7F7F7F7F) + ((b >> 1) & 0x7F7F7F7F); };
    // Each centre pixel is first averaged with itself: low bits cleared.
    const uint32_t left = original[100 * 320 + 160] & 0xFEFEFEFE;
    const uint32_t right = original[100 * 320 + 161] & 0xFEFEFEFE;
    EXPECT_EQ(frame[100 * 320 + 160], left);
    EXPECT_EQ(frame[100 * 320 + 161], right);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            if (y == 100 && (x == 160 || x == 161)) continue;
            const uint32_t with = (y <= 100 && x >= 161) ? right : left;
            ASSERT_EQ(frame[y * 320 + x], avg(with, original[y * 320 + x])) << x << "," << y;
        }
    // Negative amounts count as 0.
    std::vector<uint32_t> negative = original;
    zoomFeedback(negative.data(), -3.0);
    EXPECT_EQ(negative, frame);
}

TEST(ZoomFeedback, WholeFramesMatchThePlainReference) {
    for (double amount : {0.5, 1 - 1.3 * 0.23809523809523808, 0.999}) {
        std::vector<uint32_t> frame = randomFrame(4);
        std::vector<uint32_t> expected = frame;
        zoomFeedback(frame.data(), amount);
        referenceFeedback(expected, amount);
        EXPECT_EQ(frame, expected) << amount;
    }
    const std::vector<uint32_t> original = randomFrame(6);
    for (double amount : {1.0, 0.9991, std::nan("")}) {
        std::vector<uint32_t> frame = original;
        zoomFeedback(frame.data(), amount);
        EXPECT_EQ(frame, original) << amount;
    }
}

}  // namespace
}  // namespace marrow
