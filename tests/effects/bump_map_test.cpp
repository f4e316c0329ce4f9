// Bump mapping: the light spot, a flat source (no tilt), white pixels, the
// untouched border and whole frames against a per-pixel evaluation.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/bump_map.h"

namespace marrow {
namespace {

// The spot's grey at [row][col] from its formula.
uint32_t spotGrey(int row, int col) {
    const double a = (row - 128) / 129.0, b = (col - 128) / 129.0;
    const double d = std::max(0.0, 1 - std::sqrt(a * a + b * b));
    return std::min<uint32_t>(255, static_cast<uint32_t>(d * (d * 128 + 191)));
}

TEST(BumpMap, LightSpotSamples) {
    BumpMap bump;
    EXPECT_EQ(LightSpot[127 * 128 + 127], 0xFFFFFFu);  // the flat white core
    EXPECT_EQ(LightSpot[0], 0u);                        // corner: outside the disc
    EXPECT_EQ(LightSpot[127 * 128 + 0], 0x010101u);     // d = 0.0077 at the rim
    EXPECT_EQ(LightSpot[64 * 128 + 64], 68u * 0x010101);
    EXPECT_EQ(LightSpot[127 * 128 + 64], 128u * 0x010101);
    EXPECT_EQ(LightSpot[100 * 128 + 127], 227u * 0x010101);
    EXPECT_EQ(LightSpot[90 * 128 + 110], 186u * 0x010101);
    // The quarter is symmetric about its diagonal.
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 128; ++c) ASSERT_EQ(LightSpot[r * 128 + c], LightSpot[c * 128 + r]);
}

TEST(BumpMap, BrightnessTakesHalfRedAndQuartersOfGreenAndBlue) {
    EXPECT_EQ(bumpHeight(0xFFFFFF), 127u + 63 + 63);
    EXPECT_EQ(bumpHeight(0xFF000000), 0u);  // the top byte is no brightness
    EXPECT_EQ(bumpHeight(0x030303), 1u);    // 3/2 = 1, 3/4 = 0, 3/4 = 0
    EXPECT_EQ(bumpHeight(0x800000 | 0x4000 | 0x10), 64u + 16 + 4);
}

// The lit value of source pixel s under spot grey l.
uint32_t litPixel(uint32_t s, uint32_t grey) {
    const uint32_t l = grey * 0x010101;
    if (l == 0xFFFFFF) return s;
    if (s == 0xFFFFFF) return l;
    if ((l & 0xFCFCFC) == 0 || (s & 0xFCFCFC) == 0) return 0;
    return (((s >> 16 & 0xFF) * grey) >> 8) << 16 | (((s >> 8 & 0xFF) * grey) >> 8) << 8 | ((s & 0xFF) * grey) >> 8;
}

// The spot grey for a look-up position, folded and cut off as the effect
// defines it, or -1 for black.
int spotFor(int64_t nx, int64_t ny) {
    if (((nx >> 8) & 0xFF) != 0 || ((ny >> 8) & 0xFF) != 0) return -1;
    int ix = static_cast<int>(nx & 0xFF), iy = static_cast<int>(ny & 0xFF);
    if (ix > 127) ix = 255 - ix;
    if (iy > 127) iy = 255 - iy;
    return static_cast<int>(spotGrey(iy, ix));
}

TEST(BumpMap, FlatSourceShowsTheSpotAroundTheLight) {
    BumpMap bump;
    const uint32_t grey = 0x806040;
    std::vector<uint32_t> frame(kFramePixels, grey);
    const int lightX = 200, lightY = 90;
    bumpMap(frame.data(), frame.data(), lightX, lightY);
    // Under the light: the brightest entry, white, so the pixel as it was.
    EXPECT_EQ(frame[lightY * 320 + lightX], grey);
    for (int y = 1; y < 199; ++y)
        for (int x = 1; x < 319; ++x) {
            const int spot = spotFor(lightX + 128 - x, lightY + 128 - y);
            const uint32_t expected = spot < 0 ? 0 : litPixel(grey, static_cast<uint32_t>(spot));
            ASSERT_EQ(frame[y * 320 + x], expected) << x << "," << y;
        }
    // Mirror symmetry about the light (folding of 128..255): columns
    // lightX - k and lightX + 1 + k, rows likewise.
    for (int k = 0; k < 60; ++k) {
        EXPECT_EQ(frame[lightY * 320 + lightX - k], frame[lightY * 320 + lightX + 1 + k]) << k;
        EXPECT_EQ(frame[(lightY - k) * 320 + lightX], frame[(lightY + 1 + k) * 320 + lightX]) << k;
    }
    // At lightX - 128 the look-up passes 255: black; 100 columns left it
    // still reads the spot (column 27 of the centre row).
    EXPECT_EQ(frame[lightY * 320 + lightX - 128], 0u);
    EXPECT_EQ(frame[lightY * 320 + lightX - 100], litPixel(grey, spotGrey(127, 27)));
    EXPECT_NE(frame[lightY * 320 + lightX - 100], 0u);
}

TEST(BumpMap, WhitePixelsShowTheSpotAndTheBorderIsKept) {
    BumpMap bump;
    std::vector<uint32_t> src(kFramePixels, 0x404040);
    std::vector<uint32_t> dst(kFramePixels, 0xDEADBEEF);
    // A lone white pixel 40 columns right of the light: its neighbours are
    // flat, so it reads spot column 127 - 39 = 88 of the centre row.
    src[100 * 320 + 200] = 0xFFFFFF;
    bumpMap(dst.data(), src.data(), 160, 100);
    EXPECT_EQ(dst[100 * 320 + 200], spotGrey(127, 88) * 0x010101);
    for (int x = 0; x < 320; ++x) {
        EXPECT_EQ(dst[x], 0xDEADBEEFu);
        EXPECT_EQ(dst[199 * 320 + x], 0xDEADBEEFu);
    }
    for (int y = 0; y < 200; ++y) {
        EXPECT_EQ(dst[y * 320], 0xDEADBEEFu);
        EXPECT_EQ(dst[y * 320 + 319], 0xDEADBEEFu);
    }
    EXPECT_EQ(src[100 * 320 + 200], 0xFFFFFFu);  // the source is only read
}

// A smooth picture with some relief: heights that change a few steps per
// pixel, plus noise and a few pure white pixels.
std::vector<uint32_t> reliefFrame(uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> f(kFramePixels);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            auto channel = [&](double phase) {
                const double v = 128 + 100 * std::sin(x * 0.05 + phase) * std::cos(y * 0.07 - phase) +
                                 static_cast<double>(gen() % 9);
                return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
            };
            f[y * 320 + x] = channel(0) << 16 | channel(1) << 8 | channel(2);
            if (gen() % 97 == 0) f[y * 320 + x] = 0xFFFFFF;
        }
    return f;
}

TEST(BumpMap, WholeFramesMatchPerPixelEvaluation) {
    BumpMap bump;
    struct Light {
        int32_t x, y;
        bool inPlace;
    };
    for (const Light& light : {Light{160, 100, true}, Light{40, 170, false}, Light{-1000, 50, true},
                               Light{INT_MAX, INT_MIN, false}, Light{65536 + 160, 100, true}}) {
        const std::vector<uint32_t> original = reliefFrame(static_cast<uint32_t>(light.x) + static_cast<uint32_t>(light.y));
        std::vector<uint32_t> dst(kFramePixels, 0x12345678);
        std::vector<uint32_t> src = original;
        uint32_t* out = light.inPlace ? src.data() : dst.data();
        bumpMap(out, src.data(), light.x, light.y);
        const int64_t cx = (static_cast<int64_t>(light.x) + 128) & 0xFFFF;
        const int64_t cy = (static_cast<int64_t>(light.y) + 128) & 0xFFFF;
        int mismatches = 0, lit = 0;
        for (int y = 1; y < 199; ++y)
            for (int x = 1; x < 319; ++x) {
                auto h = [&](int px, int py) { return static_cast<int64_t>(bumpHeight(original[py * 320 + px])); };
                const int spot = spotFor(h(x + 1, y) + cx - x - h(x - 1, y), h(x, y + 1) + cy - y - h(x, y - 1));
                const uint32_t expected = spot < 0 ? 0 : litPixel(original[y * 320 + x], static_cast<uint32_t>(spot));
                lit += expected != 0;
                if (out[y * 320 + x] != expected && ++mismatches < 4)
                    ADD_FAILURE() << "light " << light.x << "," << light.y << " pixel " << x << "," << y;
            }
        EXPECT_EQ(mismatches, 0);
        if (light.x == 160) {
            EXPECT_GT(lit, 10000);
        }
    }
}

}  // namespace
}  // namespace marrow
