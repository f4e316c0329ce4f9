// The painting toolkit under the asset generator: exact values that follow
// from the definitions (ramps, quantisation, polygon coverage, block
// clearing), wrapping of the tileable noise and text, and JPEG black blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numeric>

#include "art_emblem.h"
#include "art_jpeg.h"
#include "decoded_jpeg.h"
#include "art_noise.h"
#include "art_raster.h"
#include "art_text.h"

using namespace marrow::art;

TEST(ArtRaster, GradientHitsItsStopsAndWrapsFromLastToFirst) {
    Gradient g;
    g.stop(0.25, {1.0, 0.0, 0.0}).stop(0.75, {0.0, 0.0, 1.0});
    EXPECT_DOUBLE_EQ(g.sample(0.25).r, 1.0);
    EXPECT_DOUBLE_EQ(g.sample(0.5).r, 0.5);
    EXPECT_DOUBLE_EQ(g.sample(0.5).b, 0.5);
    EXPECT_DOUBLE_EQ(g.sample(-3.0).r, 1.0);  // clamped before the first stop
    EXPECT_DOUBLE_EQ(g.sample(9.0).b, 1.0);   // and after the last
    // Wrapped: 0.75 -> 1.25 runs blue to red; 0.0 is half-way.
    EXPECT_DOUBLE_EQ(g.sampleWrapped(0.0).r, 0.5);
    EXPECT_DOUBLE_EQ(g.sampleWrapped(1.0).r, 0.5);
    EXPECT_DOUBLE_EQ(g.sampleWrapped(0.875).b, 0.75);
    EXPECT_DOUBLE_EQ(g.sampleWrapped(2.5).r, 0.5);  // whole turns fold away
}

TEST(ArtRaster, ToImageRoundsAndClampsEachChannel) {
    Canvas c(4, 1);
    c.at(0, 0) = {1.0, 0.0, 0.5};                  // 127.5 rounds up to 128
    c.at(1, 0) = {2.0, -1.0, 0.49 / 255.0};        // clamped; just under half a step is 0
    c.at(2, 0) = {0.5 / 255.0, 254.5 / 255.0, 0.0};
    c.at(3, 0) = {0.0, 0.0, std::nan("")};          // NaN paints nothing
    Image im = toImage(c);
    EXPECT_EQ(im.pixels[0], 0xFF0080u);
    EXPECT_EQ(im.pixels[1], 0xFF0000u);
    EXPECT_EQ(im.pixels[2], 0x01FF00u);
    EXPECT_EQ(im.pixels[3], 0u);
}

TEST(ArtRaster, ClearDarkBlocksClearsOnlyFaintBlocks) {
    Image im(16, 16);
    im.pixels[0] = 0x060606;             // block (0,0): faint, cleared
    im.pixels[1] = 0x000006;
    im.pixels[8] = 0x000700;             // block (1,0): one value above the threshold, kept
    im.pixels[8 * 16 + 9] = 0x010101;    // block (1,1): faint, cleared
    // block (0,1): already black, not counted
    EXPECT_EQ(clearDarkBlocks(im, 8, 6), 2);
    EXPECT_EQ(im.pixels[0], 0u);
    EXPECT_EQ(im.pixels[1], 0u);
    EXPECT_EQ(im.pixels[8], 0x000700u);
    EXPECT_EQ(im.pixels[8 * 16 + 9], 0u);
}

TEST(ArtRaster, BlurKeepsTheTotalAndSpreadsAcrossTheWrap) {
    Mask m(32, 16);
    m.at(0, 0) = 1.0f;
    Mask wrapped = blur(m, 2, true);
    double total = std::accumulate(wrapped.a.begin(), wrapped.a.end(), 0.0);
    EXPECT_NEAR(total, 1.0, 1e-5);
    // Symmetric about the corner across both edges.
    EXPECT_FLOAT_EQ(wrapped.at(31, 0), wrapped.at(1, 0));
    EXPECT_FLOAT_EQ(wrapped.at(0, 15), wrapped.at(0, 1));
    EXPECT_GT(wrapped.at(31, 15), 0.0f);
    // Without wrap what crosses the edge is lost.
    Mask clipped = blur(m, 2, false);
    EXPECT_EQ(clipped.at(31, 0), 0.0f);
    EXPECT_LT(std::accumulate(clipped.a.begin(), clipped.a.end(), 0.0), 0.5);
}

TEST(ArtEmblem, PolygonCoverageIsTheAreaInsideEachPixel) {
    Mask m(8, 4);
    fillPolygon(m, {{2.5, 1.0}, {5.25, 1.0}, {5.25, 3.0}, {2.5, 3.0}});
    EXPECT_FLOAT_EQ(m.at(2, 1), 0.5f);
    EXPECT_FLOAT_EQ(m.at(3, 1), 1.0f);
    EXPECT_FLOAT_EQ(m.at(5, 2), 0.25f);
    EXPECT_FLOAT_EQ(m.at(3, 0), 0.0f);
    EXPECT_FLOAT_EQ(m.at(3, 3), 0.0f);
    EXPECT_NEAR(std::accumulate(m.a.begin(), m.a.end(), 0.0), 2.75 * 2.0, 1e-6);
    // Wrapped: a square over the corner lands in all four corners.
    Mask w(8, 8);
    fillPolygon(w, {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}}, true);
    EXPECT_FLOAT_EQ(w.at(7, 7), 1.0f);
    EXPECT_FLOAT_EQ(w.at(0, 7), 1.0f);
    EXPECT_FLOAT_EQ(w.at(7, 0), 1.0f);
    EXPECT_FLOAT_EQ(w.at(0, 0), 1.0f);
    EXPECT_NEAR(std::accumulate(w.a.begin(), w.a.end(), 0.0), 4.0, 1e-6);
}

TEST(ArtEmblem, TheBirdIsSymmetricAndItsMarksLieOnIt) {
    EmblemMasks bird = drawNightjar(200, 160, {100.0, 80.0, 160.0, 0.0});
    double area = 0.0, marks = 0.0, outside = 0.0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) {
            area += bird.body.at(x, y);
            marks += bird.marks.at(x, y);
            outside += std::max(0.0f, bird.marks.at(x, y) - bird.body.at(x, y));
            // Mirror image about the centre column x = 100 (pixel x and 199 - x).
            EXPECT_NEAR(bird.body.at(x, y), bird.body.at(199 - x, y), 1e-4) << x << "," << y;
        }
    EXPECT_GT(area, 0.08 * 160 * 160);  // a real silhouette, not a sliver
    EXPECT_GT(marks, 10.0);
    EXPECT_LT(outside, 0.5);
}

TEST(ArtNoise, TilesRepeatAcrossTheUnitSquare) {
    for (int period : {1, 3, 8}) {
        for (double t : {0.0, 0.137, 0.5, 0.9}) {
            EXPECT_EQ(tileNoise(0.0, t, period, 7), tileNoise(1.0, t, period, 7));
            EXPECT_EQ(tileNoise(t, 0.0, period, 7), tileNoise(t, 1.0, period, 7));
            EXPECT_NEAR(tileFbm(0.0, t, period, 4, 0.5, 9), tileFbm(1.0, t, period, 4, 0.5, 9), 1e-12);
        }
        // Gradient noise is zero on the lattice.
        EXPECT_EQ(tileNoise(1.0 / period, 2.0 / period, period, 7), 0.0);
    }
    CellSample a = tileCells(0.0, 0.3, 6, 5), b = tileCells(1.0, 0.3, 6, 5);
    EXPECT_EQ(a.id, b.id);
    EXPECT_NEAR(a.f1, b.f1, 1e-9);
    EXPECT_NEAR(a.f2, b.f2, 1e-9);
    // Noise stays in about -1..1 and is not flat.
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < 4096; ++i) {
        double v = tileFbm((i % 64) / 64.0, (i / 64) / 64.0, 4, 5, 0.5, 3);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -1.2);
    EXPECT_LE(hi, 1.2);
    EXPECT_GT(hi - lo, 0.6);
}

TEST(ArtNoise, RngIsASeededSequence) {
    Rng a(42), b(42), c(43);
    uint64_t first = a.next();
    EXPECT_EQ(first, b.next());
    EXPECT_NE(first, c.next());
    for (int i = 0; i < 1000; ++i) {
        double u = a.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        int k = a.below(7);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, 7);
    }
}

class ArtFont : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(font.open(kTitleFontPath, error)) << error;
    }
    Font font;
};

TEST_F(ArtFont, CapitalsHaveTheFontsProportionsAndTrackingAddsPerGlyph) {
    int baseline = 0;
    Mask m = font.render("MARROW", 40.0, 0.0, &baseline);
    // DejaVu Sans capitals stand 0.729 em tall: about 29 pixels at 40.
    EXPECT_GE(m.height, 28);
    EXPECT_LE(m.height, 31);
    // No descenders in MARROW: the ink ends on the baseline (the O's overshoot
    // may reach a pixel below).
    EXPECT_GE(baseline, m.height - 1);
    EXPECT_LE(baseline, m.height);
    EXPECT_GT(m.width, 120);
    float peak = *std::max_element(m.a.begin(), m.a.end());
    EXPECT_FLOAT_EQ(peak, 1.0f);
    EXPECT_NEAR(font.advance("MARROW", 40.0, 3.0) - font.advance("MARROW", 40.0, 0.0), 18.0, 1e-9);
}

TEST_F(ArtFont, RepeatedLinesAreSeamlessAcrossTheWrap) {
    Mask row(256, 48);
    font.stampRepeated(row, "THE END \xB7 ", 20.0, 128, 5, 10);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 128; ++x) ASSERT_EQ(row.at(x, y), row.at(x + 128, y)) << x << "," << y;
    EXPECT_GT(std::accumulate(row.a.begin(), row.a.end(), 0.0), 300.0);
}

TEST(ArtFontOpen, AMissingFontIsAnErrorNamingTheFile) {
    Font font;
    std::string error;
    EXPECT_FALSE(font.open("/nonexistent/NoSuchFont.ttf", error));
    EXPECT_NE(error.find("/nonexistent/NoSuchFont.ttf"), std::string::npos);
}

namespace {


}  // namespace

TEST(ArtJpeg, BlackBlocksNextToBrightOnesDecodeToExactZero) {
    // Left 16 columns saturated colour with a hard edge, right 16 black.
    Image im(32, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) im.pixels[static_cast<size_t>(y) * 32 + x] = (x + y) % 3 ? 0xFF8020u : 0x2040FFu;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodeJpeg(im, {90, true}, bytes, error)) << error;
    Decoded d;
    ASSERT_TRUE(decode(bytes, d));
    ASSERT_EQ(d.width, 32);
    ASSERT_EQ(d.height, 16);
    ASSERT_EQ(d.components, 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(d.rgb[(static_cast<size_t>(y) * 32 + x) * 3 + c], 0) << x << "," << y;
    // Baseline, 8-bit: SOF0 marker present, no progressive SOF2.
    bool sof0 = false, sof2 = false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        sof0 |= bytes[i] == 0xFF && bytes[i + 1] == 0xC0;
        sof2 |= bytes[i] == 0xFF && bytes[i + 1] == 0xC2;
    }
    EXPECT_TRUE(sof0);
    EXPECT_FALSE(sof2);
}

TEST(ArtJpeg, EmptyImagesAndUnwritablePathsAreErrors) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(encodeJpeg(Image(), {}, bytes, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(writeJpeg("/nonexistent-dir/x.jpg", Image(8, 8), {}, error));
    EXPECT_NE(error.find("/nonexistent-dir/x.jpg"), std::string::npos);
}
