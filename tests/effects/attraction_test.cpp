// Radius attraction: the square table, the centres at time 0, the black
// cut-off, and a whole frame against a floating-point evaluation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/radius_attraction.h"

namespace marrow {
namespace {

std::vector<uint32_t> randomTexture(uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> t(256 * 256);
    for (uint32_t& p : t) p = gen() | 1;  // never 0, so black means "cut off"
    return t;
}

TEST(RadiusAttraction, SquareTableHoldsSixteenthsOfSquares) {
    RadiusAttraction fx;
    EXPECT_EQ(fx.sqTable[512], 0);
    EXPECT_EQ(fx.sqTable[0], 16384);     // (-512)^2 / 16
    EXPECT_EQ(fx.sqTable[1023], 16320);  // 511^2 / 16 = 16320.06
    EXPECT_EQ(fx.sqTable[515], 0);       // 9 / 16
    EXPECT_EQ(fx.sqTable[508], 1);       // 16 / 16
    EXPECT_EQ(fx.sqTable[517], 1);       // 25 / 16
}

TEST(RadiusAttraction, CentresAtTimeZeroAndTheBlackCutOff) {
    // At time 0: C1 = (0, -80), C2 = (128, 0), C3 = (0, 80), C4 = (0, 0).
    RadiusAttraction fx;
    const std::vector<uint32_t> tex = randomTexture(5);
    std::vector<uint32_t> frame(kFramePixels, 0xDEADBEEF);
    fx.render(frame.data(), tex.data(), 0.0f);
    // Screen centre: D1 = 80^2/16 = 400, D2 = 128^2/16 = 1024, P = 409600,
    // a = 640 >> 2 = 160; D4 = 0 so Q = 0 and b = 0.
    EXPECT_EQ(frame[100 * 320 + 160], tex[160]);
    // (160, 20) sits on C1: P = 0, a = 0; D3 = 160^2/16 = 1600,
    // D4 = 80^2/16 = 400, Q = 640000, b = 800 >> 2 = 200.
    EXPECT_EQ(frame[20 * 320 + 160], tex[200 * 256]);
    // Bottom-left corner: D1 = 1600 + 179^2/16 = 3602, D2 = 288^2/16 +
    // 99^2/16 = 5184 + 612, P = 20877192 > 1000000: black whatever Q is.
    EXPECT_EQ(frame[199 * 320], 0u);
}

// The pixel at (x, y) for time t straight from the formulas, in doubles and
// 64-bit integers (nothing wraps).
uint32_t referencePixel(const std::vector<uint32_t>& tex, int x, int y, float time) {
    const double t = time;
    const double cx[4] = {std::trunc(std::sin(1.6 * t) * 128), std::trunc(std::cos(0.93 * t) * 128),
                          std::trunc(std::sin(0.93 * t) * -128), std::trunc(std::sin(1.4 * t) * 128)};
    const double cy[4] = {std::trunc(std::cos(1.4 * t) * -80), std::trunc(std::sin(1.84 * t) * 80),
                          std::trunc(std::cos(1.75 * t) * 80), std::trunc(std::sin(2.12 * t) * 80)};
    int64_t d[4];
    for (int c = 0; c < 4; ++c) {
        const int64_t dx = x - 160 - static_cast<int64_t>(cx[c]);
        const int64_t dy = y - 100 - static_cast<int64_t>(cy[c]);
        d[c] = dx * dx / 16 + dy * dy / 16;
    }
    const int64_t p = d[0] * d[1], q = d[2] * d[3];
    if (p > 1000000 || q > 1000000) return 0;
    const int64_t a = static_cast<int64_t>(std::floor(std::sqrt(static_cast<double>(p)))) / 4;
    const int64_t b = static_cast<int64_t>(std::floor(std::sqrt(static_cast<double>(q)))) / 4;
    return tex[b * 256 + a];
}

TEST(RadiusAttraction, WholeFrameMatchesDirectEvaluation) {
    RadiusAttraction fx;
    const std::vector<uint32_t> tex = randomTexture(11);
    std::vector<uint32_t> frame(kFramePixels);
    for (float t : {10.0f, 34.7f, -3.25f}) {
        fx.render(frame.data(), tex.data(), t);
        int mismatches = 0, black = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const uint32_t expected = referencePixel(tex, x, y, t);
                black += expected == 0;
                if (frame[y * 320 + x] != expected && ++mismatches < 5)
                    ADD_FAILURE() << "t " << t << " pixel " << x << "," << y;
            }
        EXPECT_EQ(mismatches, 0);
        EXPECT_GT(black, 0);  // the cut-off is exercised
        EXPECT_LT(black, kFramePixels);
    }
}

TEST(RadiusAttraction, NonFiniteTimeStaysInsideItsTables) {
    // sin of NaN or infinity is NaN; the centres are held at their reach
    // (-128, -80) instead of indexing outside the square table.
    RadiusAttraction fx;
    const std::vector<uint32_t> tex = randomTexture(2);
    std::vector<uint32_t> frame(kFramePixels, 1), expected(kFramePixels);
    for (float t : {std::nanf(""), INFINITY, -INFINITY}) {
        fx.render(frame.data(), tex.data(), t);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const int64_t d = (x - 32) * (x - 32) / 16 + (y - 20) * (y - 20) / 16;
                const int64_t p = d * d;
                const int64_t a = static_cast<int64_t>(std::sqrt(static_cast<double>(p))) / 4;
                expected[y * 320 + x] = p > 1000000 ? 0 : tex[a * 256 + a];
            }
        EXPECT_EQ(frame, expected);
    }
}

TEST(RadiusAttraction, ReportsItsDescriptionAndFlag) {
    RadiusAttraction fx;
    const EffectInfo info = fx.getInfo(EffectInfo{nullptr, nullptr, 0});
    EXPECT_STREQ(info.description, "Radius based attraction effect");
    EXPECT_EQ(info.author, kEffectAuthor);
    EXPECT_EQ(info.flag, 1);
}

}  // namespace
}  // namespace marrow
