// Radial stripes: the fixed tables, the per-frame stripe index and a whole
// frame against a direct evaluation of the formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/framebuffer.h"
#include "effects/radial_stripes.h"

namespace marrow {
namespace {

uint8_t angleAt(int x, int y) { return RadialStripes::AngleTable[(y + 100) * 320 + (x + 160)]; }

TEST(RadialStripes, AngleTableCoversATurnIn256StepsAndWrapsNegativeAngles) {
    RadialStripes stripes;
    EXPECT_EQ(angleAt(5, 0), 0);
    EXPECT_EQ(angleAt(1, 1), 32);                     // 45 degrees
    EXPECT_EQ(angleAt(0, 50), 64);                    // straight down the screen
    EXPECT_EQ(angleAt(0, -100), 192);                 // -64 kept as its low byte
    EXPECT_EQ(angleAt(-160, 0), 128);                 // pi * 128/pi lands just above 128
    EXPECT_EQ(angleAt(-160, -1), 129);                // -127.7 truncates to -127
    EXPECT_EQ(angleAt(0, 0), 0);                      // atan2(0, 0) = 0
    EXPECT_EQ(angleAt(-1, -1), static_cast<uint8_t>(-96));
}

TEST(RadialStripes, PaletteScalesTheBaseColourAndSaturates) {
    RadialStripes stripes;
    EXPECT_EQ(RadialStripes::StripePalette[0], 0u);
    EXPECT_EQ(RadialStripes::StripePalette[1], 0x010000u);    // only red reaches 1
    EXPECT_EQ(RadialStripes::StripePalette[128], 0xB36F20u);  // the base colour itself
    // 255*179 >> 7 = 356 -> 255, 255*111 >> 7 = 221, 255*32 >> 7 = 63.
    EXPECT_EQ(RadialStripes::StripePalette[255], 0xFFDD3Fu);
    EXPECT_EQ(RadialStripes::StripePalette[200], (255u << 16) | (173u << 8) | 50u);
}

// The stripe value of index i (0..255) at time t, straight from the formulas.
uint8_t stripeValue(int index, float time) {
    const int i = index < 128 ? index : 255 - index;
    const double f = time;
    const double m = std::sin(f * 3.1415);
    const double hi = std::trunc(f * 180), oi = std::trunc(f * 100 + m * 140);
    const double ri = std::trunc(f * -70), qi = std::trunc(f * 100 - m * 70);
    const int u = i / 2;
    const double sum = std::sin(hi * 0.02 + std::abs(i - 128) * 0.31415) +
                       std::sin(oi / 43 + std::abs(u - 120) * (6.283 / 46)) +
                       std::sin(ri / 43 + std::abs(u - 128) * (6.283 / 46)) +
                       std::sin(qi * 0.02 + std::abs(i - 245) * 0.31415);
    return static_cast<uint8_t>(static_cast<int>(32 * sum + 128));
}

TEST(RadialStripes, StripeIndexIsSymmetricAndFollowsTheStreams) {
    RadialStripes stripes;
    std::vector<uint32_t> frame(kFramePixels);
    for (float t : {0.0f, 1.5f, 10.0f, 36.25f, 38.9f}) {
        stripes.render(frame.data(), nullptr, t);
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(RadialStripes::StripeIndex[i], RadialStripes::StripeIndex[255 - i]) << i;
            EXPECT_EQ(RadialStripes::StripeIndex[i], stripeValue(i, t)) << "t " << t << " i " << i;
        }
    }
}

TEST(RadialStripes, WholeFrameMatchesDirectEvaluation) {
    RadialStripes stripes;
    std::vector<uint32_t> frame(kFramePixels, 0xDEADBEEF);
    for (float t : {10.0f, 37.0f}) {
        stripes.render(frame.data(), nullptr, t);
        int mismatches = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const int angle = static_cast<int>(std::atan2(y - 100.0, x - 160.0) * (128 / 3.14159265));
                const uint32_t v = stripeValue(angle & 0xFF, t);
                auto channel = [v](uint32_t c) { return std::min(255u, (v * c) >> 7); };
                const uint32_t expected = channel(179) << 16 | channel(111) << 8 | channel(32);
                if (frame[y * 320 + x] != expected && ++mismatches < 5)
                    ADD_FAILURE() << "t " << t << " pixel " << x << "," << y;
            }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(RadialStripes, ReportsItsDescription) {
    RadialStripes stripes;
    const EffectInfo info = stripes.getInfo(EffectInfo{nullptr, nullptr, 7});
    EXPECT_STREQ(info.description, "Radial Stripes effect using subplasma streams");
    EXPECT_EQ(info.author, kEffectAuthor);
    EXPECT_EQ(info.flag, 0);
    EXPECT_EQ(stripes.mode, 0);
}

}  // namespace
}  // namespace marrow
