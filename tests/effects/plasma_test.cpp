// The plasma's tables, height-field steps and block drawing, checked against
// values worked out here from the definitions and against a plain per-pixel
// reference of whole frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/multiwave_plasma.h"
#include "frame_compare.h"

namespace marrow {
namespace {

using Plasma = MultiWavePlasma;
constexpr int kCols = Plasma::kGridColumns;
constexpr int kRowsN = Plasma::kGridRows;
constexpr int kPoints = Plasma::kGridPoints;

std::vector<uint32_t> randomTexture(uint32_t seed) {
    std::vector<uint32_t> tex(256 * 256);
    for (uint32_t& t : tex) {
        seed = seed * 1664525u + 1013904223u;
        t = seed >> 8;  // 0x00RRGGBB
    }
    return tex;
}

int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// ---- reference model, written from the definitions ----------------------

struct RefTables {
    uint8_t log[256];
    uint8_t exp[512];
    uint8_t light[65536];
    RefTables() {
        log[0] = 0;
        for (int i = 1; i < 256; ++i) log[i] = static_cast<uint8_t>(static_cast<int>(std::log(double(i)) * 46.1662));
        for (int i = 0; i < 512; ++i) {
            double e = double(i) * std::exp(double(i) / 46.1662) * 0.000015625;
            exp[i] = static_cast<uint8_t>(e > 254.0 ? 254 : static_cast<int>(e));
        }
        for (int a = -128; a <= 127; ++a)
            for (int b = -128; b <= 127; ++b) {
                double s = std::sqrt(double(a) * a + double(b) * b);
                int p1 = static_cast<int>(std::exp((181.0 - s) * 1.4 / 46.0)) & 0xFF;
                int p2 = static_cast<int>(((181.0 - s) * 1.4 + p1) * 0.5) & 0xFF;
                light[(a + 128) * 256 + (b + 128)] = log[p2];
            }
    }
};

const RefTables& refTables() {
    static const RefTables tables;
    return tables;
}

struct RefPlasma {
    struct P {
        int32_t x, y, z;
    };
    P pts[kPoints];
    int32_t tu[kPoints], tv[kPoints], lu[kPoints], lv[kPoints];
    int32_t nx[kPoints], ny[kPoints];

    RefPlasma() {
        for (int r = 0; r < kRowsN; ++r)
            for (int c = 0; c < kCols; ++c) pts[r * kCols + c] = P{-20480 + 1024 * c, -12288 + 1024 * r, 500};
        step(5, 4, 4.0, 4.0);
    }

    static double d(double r, double c, double cr, double cc) {
        return std::sqrt((r - cr) * (r - cr) + (c - cc) * (c - cc));
    }

    void step(int mode, int32_t phase, double t, double dist) {
        for (int k = 0; k < kPoints; ++k) {
            const P& p = pts[k];
            const P& A = pts[(k + 1) % kPoints];
            const P& B = pts[(k + 42) % kPoints];
            double ax = double(A.x - p.x), ay = double(A.y - p.y), az = double(A.z - p.z);
            double bx = double(B.x - p.x), by = double(B.y - p.y), bz = double(B.z - p.z);
            double x = ay * bz - az * by, y = az * bx - ax * bz, z = ax * by - ay * bx;
            double len = std::sqrt(x * x + y * y + z * z);
            nx[k] = static_cast<int32_t>(x / len * 1024.0);
            ny[k] = static_cast<int32_t>(y / len * 1024.0);
        }
        const double c1r = 12 + 12 * std::cos(3 * t), c1c = 20 + 15 * std::sin(4 * t);
        const double c2r = 12 + 12 * std::cos(2 * t), c2c = 20 + 15 * std::sin(3 * t);
        for (int r = 0; r < kRowsN; ++r)
            for (int c = 0; c < kCols; ++c) {
                int k = r * kCols + c;
                P& p = pts[k];
                if (mode >= 6) {
                    tu[k] = wrap32(int64_t(nx[k] + 512) * 16384);
                    tv[k] = wrap32(int64_t(ny[k] + 512) * 16384);
                    lu[k] = tu[k];
                    lv[k] = tv[k];
                } else {
                    double zp = p.z + dist;
                    if (zp == 0) zp = 0.001;
                    double pu, pv;
                    if (mode <= 1) {
                        pu = (p.x * std::sin(t) - p.y * std::cos(t)) * 256 / zp;
                        pv = (p.x * std::cos(t) + p.y * std::sin(t)) * 256 / zp;
                    } else {
                        pu = (p.x * 256) / zp;
                        pv = (p.y * 256) / zp;
                    }
                    tu[k] = wrap32((int64_t(truncToInt32(pu)) + 128) * 65536);
                    tv[k] = wrap32((int64_t(truncToInt32(pv)) + 128) * 65536);
                    lu[k] = (nx[k] + 1024) * 8192;
                    lv[k] = (ny[k] + 1024) * 8192;
                }
                const double r0 = d(r, c, 0, 40), r1 = d(r, c, c1r, c1c), r2 = d(r, c, c2r, c2c);
                const double q3 = d(r, c, 12, 20);
                const double D = std::sin(0.13658695652173913 * r0 + phase * 0.023255813953488372) +
                                 std::cos(0.17957142857142858 * r2 + phase * 0.02857142857142857) +
                                 std::sin(0.157125 * r1 + phase * (1.0 / 30));
                const double ripple = 3000 * std::sin(0.02 * phase + 0.31415 * q3) +
                                      4000 * std::sin(phase * 0.023255813953488372 + 0.13658695652173913 * r0);
                double h = 0;
                switch (mode) {
                    case 0:
                        h = 4000 * (std::sin(0.2026774193548387 * d(r, c, 0, 40) + phase * (1.0 / 33)) +
                                    std::sin(0.2991904761904762 * d(r, c, -5, 10) + phase * (1.0 / 23)) +
                                    std::sin(0.27317391304347827 * q3 + phase * (1.0 / 30)));
                        break;
                    case 1: h = 3000 * D; break;
                    case 2:
                        h = 3000 * std::sin(0.13658695652173913 * r0 + phase * 0.023255813953488372) +
                            3000 * std::sin(0.17957142857142858 * r2 + phase * 0.02857142857142857) +
                            3000 * std::sin(0.157125 * r1 + phase * (1.0 / 30));
                        break;
                    case 3: h = ripple; break;
                    case 4:
                        h = 3000 * std::sin(0.17957142857142858 * r2 + phase * 0.02857142857142857) +
                            3000 * std::sin(0.157125 * r1 + phase * (1.0 / 30));
                        break;
                    case 5: h = 3000 * D; break;
                    case 6:
                        h = dist + 3000 * std::sin(0.02 * phase + 0.31415 * q3) +
                            4000 * std::sin(phase * 0.023255813953488372 + 0.13658695652173913 * r0);
                        break;
                    case 7: h = 3000 * D + dist; break;
                }
                p.z = truncToInt32(h);
            }
    }

    // Block (R, C) pixel (i, j) as a closed form: left edge after i row steps,
    // right edge likewise, then j steps along the row; all wrapping in 32 bits.
    static int32_t interpolate(const int32_t* a, int R, int C, int i, int j) {
        int k = R * kCols + C;
        int32_t tl = a[k], tr = a[k + 1], bl = a[k + kCols], br = a[k + kCols + 1];
        int32_t left = wrap32(int64_t(tl) + int64_t(i) * (wrap32(int64_t(bl) - tl) >> 3));
        int32_t right = wrap32(int64_t(tr) + int64_t(i) * (wrap32(int64_t(br) - tr) >> 3));
        return wrap32(int64_t(left) + int64_t(j) * (wrap32(int64_t(right) - left) >> 3));
    }

    void draw(uint32_t* dst, const uint32_t* tex) const {
        const RefTables& T = refTables();
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                int R = y / 8, C = x / 8, i = y % 8, j = x % 8;
                int32_t u = interpolate(tu, R, C, i, j), v = interpolate(tv, R, C, i, j);
                int32_t a = interpolate(lu, R, C, i, j), b = interpolate(lv, R, C, i, j);
                uint32_t texel = tex[(int64_t(v >> 16) * 256 + (u >> 16)) & 0xFFFF];
                int light = T.light[((int64_t(a >> 16) * 256) | ((b >> 16) & 0xFF)) & 0xFFFF];
                uint32_t red = T.exp[light + T.log[(texel >> 16) & 0xFF]];
                uint32_t green = T.exp[light + T.log[(texel >> 8) & 0xFF]];
                uint32_t blue = T.exp[light + T.log[texel & 0xFF]];
                dst[y * 320 + x] = red << 16 | green << 8 | blue;
            }
    }

    void clamp() {
        for (int k = 0; k < kPoints; ++k) {
            tu[k] = std::min(std::max(tu[k], 0), 0x1000000);
            tv[k] = std::min(std::max(tv[k], 0), 0x1000000);
        }
    }
};

// ---- tables --------------------------------------------------------------

TEST(PlasmaTables, LogAndExpEntries) {
    auto plasma = std::make_unique<Plasma>();
    const RefTables& T = refTables();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(Plasma::LogTable[i], T.log[i]) << i;
    for (int i = 0; i < 512; ++i) EXPECT_EQ(Plasma::ExpTable[i], T.exp[i]) << i;
    // 46.1662 is a hair below 32 / ln 2, so the logs of powers of two land
    // just under the multiples of 32.
    EXPECT_EQ(Plasma::LogTable[0], 0);
    EXPECT_EQ(Plasma::LogTable[1], 0);
    EXPECT_EQ(Plasma::LogTable[2], 31);
    EXPECT_EQ(Plasma::LogTable[4], 63);
    EXPECT_EQ(Plasma::LogTable[255], 255);
    EXPECT_EQ(Plasma::ExpTable[0], 0);
    EXPECT_EQ(Plasma::ExpTable[320], 5);  // 320 x e^(320/46.1662) / 64000 = 320 x 1024.0 / 64000
    EXPECT_EQ(Plasma::ExpTable[510], 254);
    EXPECT_EQ(Plasma::ExpTable[511], 254);
    for (int i = 1; i < 512; ++i) EXPECT_LE(Plasma::ExpTable[i - 1], Plasma::ExpTable[i]) << i;
    // The combined table the drawing reads: exp(log light + log channel).
    for (int light = 0; light < 256; ++light)
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(Plasma::LitTable[light * 256 + c], T.exp[light + T.log[c]]) << light << "," << c;
}

TEST(PlasmaTables, LightMapSpot) {
    auto plasma = std::make_unique<Plasma>();
    const RefTables& T = refTables();
    for (int i = 0; i < 65536; ++i) ASSERT_EQ(Plasma::LightMap[i], T.light[i]) << i;
    // Centre: e^(181 x 1.4 / 46) = 246.8 -> 246; (253.4 + 246) / 2 -> 249; log 249 -> 254.
    EXPECT_EQ(Plasma::LightMap[128 * 256 + 128], 254);
    EXPECT_EQ(Plasma::LightMap[0], 0);            // (-128, -128): just outside the radius
    EXPECT_EQ(Plasma::LightMap[255 * 256 + 255], 0);  // (127, 127): pass 2 gives 1, log 1 = 0
    for (int a = -127; a <= 127; ++a)
        for (int b = -127; b <= 127; ++b) {
            const uint8_t v = Plasma::LightMap[(a + 128) * 256 + b + 128];
            ASSERT_EQ(v, Plasma::LightMap[(b + 128) * 256 + a + 128]);
            ASSERT_EQ(v, Plasma::LightMap[(-a + 128) * 256 + b + 128]);
        }
}

TEST(PlasmaTables, LightMultiplyEnds) {
    auto plasma = std::make_unique<Plasma>();
    // Unlit black and fully lit white: 0 and 254 (never 255).
    EXPECT_EQ(Plasma::ExpTable[0 + Plasma::LogTable[0]], 0);
    EXPECT_EQ(Plasma::ExpTable[Plasma::LightMap[128 * 256 + 128] + Plasma::LogTable[255]], 254);
}

TEST(PlasmaTables, BuiltOnceAndShared) {
    auto first = std::make_unique<Plasma>();
    EXPECT_EQ(Plasma::tablesBuilt, 1);
    // A second construction must not rebuild the tables: a marked entry stays.
    const uint8_t saved = Plasma::LightMap[0];
    Plasma::LightMap[0] = 77;
    auto second = std::make_unique<Plasma>();
    EXPECT_EQ(Plasma::LightMap[0], 77);
    Plasma::LightMap[0] = saved;
    EffectInfo info = second->getInfo(EffectInfo{nullptr, nullptr, 7});
    EXPECT_STREQ(info.description, "Multi-wave procedural 3d plasma");
    EXPECT_EQ(info.author, kEffectAuthor);
    EXPECT_EQ(info.flag, 0);
    EXPECT_EQ(second->mode, 0);
}

// ---- height-field steps -------------------------------------------------

TEST(PlasmaSteps, ConstructionRunsTheDriftOnce) {
    auto plasma = std::make_unique<Plasma>();
    RefPlasma ref;
    for (int k = 0; k < kPoints; ++k) {
        const int r = k / kCols, c = k % kCols;
        ASSERT_EQ(plasma->points[k].x, -20480 + 1024 * c);
        ASSERT_EQ(plasma->points[k].y, -12288 + 1024 * r);
        ASSERT_EQ(plasma->points[k].z, ref.pts[k].z) << k;
        // The coordinates come from the flat starting grid (z = 500, dist 4).
        ASSERT_EQ(plasma->texCoords[k].u, (truncToInt32((-20480 + 1024 * c) * 256 / 504.0) + 128) * 65536);
        ASSERT_EQ(plasma->lightCoords[k].u, ref.lu[k]);
    }
    // The flat grid's interior normals point straight along z: light (128.0, 128.0).
    EXPECT_EQ(plasma->normals[5 * kCols + 5].x, 0);
    EXPECT_EQ(plasma->normals[5 * kCols + 5].y, 0);
    EXPECT_EQ(plasma->normals[5 * kCols + 5].z, 1024);
    EXPECT_EQ(plasma->lightCoords[5 * kCols + 5].u, 0x800000);
    EXPECT_EQ(plasma->lightCoords[5 * kCols + 5].v, 0x800000);
}

// The normal comes from the surface, not from a second copy of the step:
// heights rising one for one with x (z = x) make a plane whose upward
// normal is (-1, 0, 1) / sqrt 2, 1024 long: x = -724.08 -> -724, z = 724,
// and the light coordinate u = (-724 + 1024) x 8192 = 2457600.
TEST(PlasmaSteps, NormalOfASlopedPlane) {
    auto plasma = std::make_unique<Plasma>();
    for (int k = 0; k < kPoints; ++k) plasma->points[k].z = plasma->points[k].x;
    plasma->plasmaRipple(0, 0.0, 12000.0);
    const int k = 5 * kCols + 5;
    EXPECT_EQ(plasma->normals[k].x, -724);
    EXPECT_EQ(plasma->normals[k].y, 0);
    EXPECT_EQ(plasma->normals[k].z, 724);
    EXPECT_EQ(plasma->lightCoords[k].u, 2457600);
    EXPECT_EQ(plasma->lightCoords[k].v, 1024 * 8192);
}

TEST(PlasmaSteps, CoordinatesFollowThePreviousHeights) {
    auto plasma = std::make_unique<Plasma>();
    plasma->plasmaRipple(700, 9.0, 12000.0);
    std::vector<int32_t> heights(kPoints);
    for (int k = 0; k < kPoints; ++k) heights[k] = plasma->points[k].z;
    plasma->plasmaRipple(3500, 45.0, 12000.0);
    for (int k = 0; k < kPoints; ++k) {
        const int32_t x = plasma->points[k].x, y = plasma->points[k].y;
        const double depth = heights[k] + 12000.0;
        ASSERT_EQ(plasma->texCoords[k].u, wrap32((int64_t(truncToInt32(x * 256 / depth)) + 128) * 65536)) << k;
        ASSERT_EQ(plasma->texCoords[k].v, wrap32((int64_t(truncToInt32(y * 256 / depth)) + 128) * 65536)) << k;
    }
    // The new heights are the ripple at phase 3500 (t unused by it).
    const int k = 3 * kCols + 7;
    const double q3 = std::sqrt(9.0 * 9.0 + 13.0 * 13.0), r0 = std::sqrt(3.0 * 3.0 + 33.0 * 33.0);
    EXPECT_EQ(plasma->points[k].z, truncToInt32(3000 * std::sin(0.02 * 3500 + 0.31415 * q3) +
                                                4000 * std::sin(3500 * 0.023255813953488372 + 0.13658695652173913 * r0)));
}

TEST(PlasmaSteps, DepthZeroBecomesOneThousandth) {
    auto plasma = std::make_unique<Plasma>();
    const int centre = 12 * kCols + 20;  // x = 0, y = 0
    const int right = 12 * kCols + 21;   // x = 1024, y = 0
    plasma->points[centre].z = 1000;
    plasma->points[right].z = 1000;
    plasma->plasmaRipple(0, 0.0, -1000.0);
    // 0 / 0.001 = 0 rather than 0 / 0: the centre stays at 128.0.
    EXPECT_EQ(plasma->texCoords[centre].u, 128 << 16);
    EXPECT_EQ(plasma->texCoords[centre].v, 128 << 16);
    // 262144 / 0.001 = 262144000, + 128, shifted and wrapped to 32 bits.
    EXPECT_EQ(plasma->texCoords[right].u, wrap32(int64_t(262144000 + 128) << 16));
    EXPECT_EQ(plasma->texCoords[right].v, 128 << 16);
}

TEST(PlasmaSteps, ClampBoundsEveryCoordinate) {
    auto plasma = std::make_unique<Plasma>();
    plasma->plasmaRotating(700, 9.0, 25000.0);
    plasma->plasmaRotating(701, 9.01, 25000.0);
    std::vector<Plasma::Coord16_16> before(plasma->texCoords, plasma->texCoords + kPoints);
    bool outside = false;
    for (auto c : before) outside |= c.u < 0 || c.u > 0x1000000 || c.v < 0 || c.v > 0x1000000;
    ASSERT_TRUE(outside) << "the test needs coordinates beyond the texture";
    plasma->clampTexCoords();
    for (int k = 0; k < kPoints; ++k) {
        EXPECT_EQ(plasma->texCoords[k].u, std::min(std::max(before[k].u, 0), 0x1000000));
        EXPECT_EQ(plasma->texCoords[k].v, std::min(std::max(before[k].v, 0), 0x1000000));
    }
}

// ---- drawing --------------------------------------------------------------

TEST(PlasmaDraw, CoordinateOf256FoldsThroughTheIndexMask) {
    auto plasma = std::make_unique<Plasma>();
    std::vector<uint32_t> tex = randomTexture(5), frame(kFramePixels);
    const int centreLight = 0x800000;  // light (128.0, 128.0): the map's brightest entry
    const uint32_t light = Plasma::LightMap[128 * 256 + 128];
    auto lit = [&](uint32_t texel) {
        return uint32_t(Plasma::ExpTable[light + Plasma::LogTable[(texel >> 16) & 0xFF]]) << 16 |
               uint32_t(Plasma::ExpTable[light + Plasma::LogTable[(texel >> 8) & 0xFF]]) << 8 |
               Plasma::ExpTable[light + Plasma::LogTable[texel & 0xFF]];
    };
    struct Case {
        int32_t u, v;
        int texel;
    } cases[] = {{0x1000000, 0, 256},           // column 256 of row 0 is column 0 of row 1
                 {0x1000000, 0x1000000, 256},   // row 256 folds to row 0: index 65792 & 0xFFFF
                 {0, 0x1000000, 0},
                 {0xFF0000, 0xFF0000, 65535}};
    for (const Case& c : cases) {
        for (int k = 0; k < kPoints; ++k) {
            plasma->texCoords[k] = {c.u, c.v};
            plasma->lightCoords[k] = {centreLight, centreLight};
        }
        plasma->plasmaDraw(frame.data(), tex.data());
        for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(frame[i], lit(tex[c.texel])) << c.u << " " << c.v << " " << i;
    }
}

TEST(PlasmaDraw, BlockStepsUseArithmeticShifts) {
    // Block (0, 0) with u falling by 7/8 + 1/65536 texel down its left edge:
    // the step (-65537) >> 3 = -8193 rounds towards minus infinity, so row 7
    // starts 7/65536 below 128.0 (a division rounding towards 0 would land on
    // 128.0 exactly).
    auto plasma = std::make_unique<Plasma>();
    std::vector<uint32_t> tex(65536, 0xFFFFFF), frame(kFramePixels);
    for (int k = 0; k < kPoints; ++k) {
        plasma->texCoords[k] = {0x800000, 0x800000};
        plasma->lightCoords[k] = {0x800000, 0x800000};
    }
    plasma->texCoords[0] = {0x800000 + 7 * 8192, 0x800000};              // top-left
    plasma->texCoords[kCols] = {0x800000 + 7 * 8192 - 65537, 0x800000};  // bottom-left
    tex[128 * 256 + 127] = 0x000000;  // u just below 128.0 reads black
    plasma->plasmaDraw(frame.data(), tex.data());
    const uint32_t white = frame[100 * 320 + 100];
    ASSERT_NE(white, 0u);
    for (int y = 0; y < 7; ++y) EXPECT_EQ(frame[y * 320], white) << y;
    EXPECT_EQ(frame[7 * 320], 0u);
}

TEST(PlasmaDraw, RenderMatchesReferenceInEveryMode) {
    std::vector<uint32_t> tex = randomTexture(1234), got(kFramePixels), want(kFramePixels);
    for (int mode = 0; mode < 8; ++mode) {
        auto plasma = std::make_unique<Plasma>();
        RefPlasma ref;
        plasma->setMode(mode + 8);  // only the low three bits choose
        for (float time : {9.98f, 10.0f}) {
            plasma->render(got.data(), tex.data(), time);
            const int32_t phase = truncToInt32(double(time) * 70);
            ref.step(mode, phase, double(time) * 0.25, std::sin(double(time) * 1.57125) * 5000 + 21000);
        }
        ref.draw(want.data(), tex.data());
        SCOPED_TRACE(mode);
        expectFramesEqual(got, want);
    }
}

TEST(PlasmaDraw, TimelineStepsMatchReference) {
    std::vector<uint32_t> tex = randomTexture(99), got(kFramePixels), want(kFramePixels);
    auto plasma = std::make_unique<Plasma>();
    RefPlasma ref;
    // The opening: rotating waves at 25000, clamped before the draw.
    for (double time : {9.9, 10.0}) {
        plasma->plasmaRotating(truncToInt32(time * 70), 0.9 * time, 25000);
        ref.step(0, truncToInt32(time * 70), 0.9 * time, 25000);
    }
    plasma->clampTexCoords();
    ref.clamp();
    plasma->plasmaDraw(got.data(), tex.data());
    ref.draw(want.data(), tex.data());
    expectFramesEqual(got, want);
    // Later: ripples at 15000, drawn unclamped (coordinates far off the texture).
    for (double time : {60.0, 60.02}) {
        plasma->plasmaRipple(truncToInt32(time * 70), 2.9 * time, 15000);
        ref.step(3, truncToInt32(time * 70), 2.9 * time, 15000);
    }
    plasma->plasmaDraw(got.data(), tex.data());
    ref.draw(want.data(), tex.data());
    expectFramesEqual(got, want);
}

}  // namespace
}  // namespace marrow
