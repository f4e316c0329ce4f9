// Rotating warp star: its tables, the unrotated field at time 0, and whole
// frames against a closed-form evaluation of the rotated field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/warp_star.h"

namespace marrow {
namespace {

std::vector<uint32_t> randomTexture(uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> t(256 * 256);
    for (uint32_t& p : t) p = gen() & 0xFFFFFF;
    return t;
}

uint8_t fieldAt(int x, int y) { return WarpStar::WarpField[(y + 256) * 512 + (x + 256)]; }
uint8_t screenAngleAt(int x, int y) { return WarpStar::ScreenAngle[(y + 100) * 320 + (x + 160)]; }

TEST(WarpStar, RotationTablesIn10BitFixedPoint) {
    WarpStar fx;
    EXPECT_EQ(fx.sinTable[0], 0);
    EXPECT_EQ(fx.cosTable[0], 1024);
    EXPECT_EQ(fx.sinTable[32], 724);  // 1024 / sqrt(2) = 724.08
    EXPECT_EQ(fx.cosTable[32], 724);
    // 64 steps of 6.28318/256 fall just short of a quarter turn.
    EXPECT_EQ(fx.sinTable[64], 1023);
    EXPECT_EQ(fx.cosTable[64], 0);
    EXPECT_EQ(fx.sinTable[128], 0);
    EXPECT_EQ(fx.cosTable[128], -1023);
    EXPECT_EQ(fx.sinTable[192], -1023);
}

TEST(WarpStar, FieldAndScreenAngleSamples) {
    WarpStar fx;
    EXPECT_EQ(fieldAt(0, 0), 0);                         // r = 0, theta = 0
    EXPECT_EQ(fieldAt(1, 0), 1337 & 0xFF);               // 2^1.8 * 384 = 1337.2
    EXPECT_EQ(fieldAt(-1, 0), 1337 & 0xFF);              // sin(5 pi) ~ 0
    EXPECT_EQ(fieldAt(0, 1), 1433 & 0xFF);               // a star point: + 96
    EXPECT_EQ(fieldAt(100, 0), 2119 & 0xFF);
    EXPECT_EQ(fieldAt(-256, -256), 2478 & 0xFF);
    EXPECT_EQ(fieldAt(255, 255), 2341 & 0xFF);
    EXPECT_EQ(screenAngleAt(5, 0), 0);
    EXPECT_EQ(screenAngleAt(1, 1), 64);                  // 45 degrees = 64.00005
    EXPECT_EQ(screenAngleAt(0, 50), 128);
    EXPECT_EQ(screenAngleAt(-5, 0), 0);                  // 256.0002 keeps its low byte
    EXPECT_EQ(screenAngleAt(0, -100), 128);              // -128 as a byte
    EXPECT_EQ(screenAngleAt(-1, -1), static_cast<uint8_t>(-192));
}

TEST(WarpStar, TimeZeroSamplesTheFieldUnrotated) {
    WarpStar fx;
    const std::vector<uint32_t> tex = randomTexture(3);
    std::vector<uint32_t> frame(kFramePixels);
    fx.render(frame.data(), tex.data(), 0.0f);
    for (int y = 0; y < 200; y += 7)
        for (int x = 0; x < 320; x += 5) {
            const uint32_t w = fieldAt(x - 160, y - 100), t = screenAngleAt(x - 160, y - 100);
            ASSERT_EQ(frame[y * 320 + x], tex[(w << 8) | t]) << x << "," << y;
        }
}

// The field value at integer field position (fx, fy) in 0..511, from the formula.
uint32_t fieldFormula(int fx, int fy) {
    const double x = fx - 256, y = fy - 256;
    const double theta = std::atan2(y, x);
    const double v = std::pow(std::sqrt(x * x + y * y) * 262144, 0.1) * 384 +
                     std::sin(theta * 40.7436998462562 * 6.28318 / static_cast<double>(256.0f / 5.0f)) * 96;
    return static_cast<uint32_t>(static_cast<int64_t>(v)) & 0xFF;
}

TEST(WarpStar, WholeFrameMatchesClosedFormRotation) {
    WarpStar fx;
    const std::vector<uint32_t> tex = randomTexture(9);
    std::vector<uint32_t> frame(kFramePixels);
    for (float time : {10.0f, 32.5f, -2.5f}) {
        fx.render(frame.data(), tex.data(), time);
        const int64_t a = static_cast<int64_t>(std::trunc(static_cast<double>(time) * 70));
        const double angle = static_cast<double>(a & 0xFF) * 0.024543671875;
        const int64_t s = static_cast<int64_t>(std::trunc(std::sin(angle) * 1024));
        const int64_t c = static_cast<int64_t>(std::trunc(std::cos(angle) * 1024));
        const int64_t scroll = static_cast<int64_t>(std::floor(a / 16.0));
        int mismatches = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                // Field position in 22.10: the screen offset rotated by the
                // phase, about 256.0.
                const int64_t h = 0x40000 + (160 - x) * s + (y - 100) * c;
                const int64_t l = 0x40000 + (x - 160) * c + (y - 100) * s;
                const int fy = static_cast<int>(static_cast<int64_t>(std::floor(h / 1024.0)) & 0x1FF);
                const int fx2 = static_cast<int>(static_cast<int64_t>(std::floor(l / 1024.0)) & 0x1FF);
                const int64_t w = fieldFormula(fx2, fy);
                const int64_t t = static_cast<int64_t>(std::atan2(y - 100.0, x - 160.0) * (256 / 3.14159)) & 0xFF;
                const uint32_t expected = tex[(((scroll + w) & 0xFF) << 8) | ((scroll + t) & 0xFF)];
                if (frame[y * 320 + x] != expected && ++mismatches < 5)
                    ADD_FAILURE() << "t " << time << " pixel " << x << "," << y;
            }
        EXPECT_EQ(mismatches, 0) << "t " << time;
    }
}

TEST(WarpStar, ReportsItsDescription) {
    WarpStar fx;
    const EffectInfo info = fx.getInfo(EffectInfo{nullptr, nullptr, 3});
    EXPECT_STREQ(info.description, "Rotating 5-point warp star");
    EXPECT_EQ(info.author, kEffectAuthor);
    EXPECT_EQ(info.flag, 0);
}

}  // namespace
}  // namespace marrow
