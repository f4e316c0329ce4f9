// The ray grid: single rays worked out by hand, the corner bookkeeping of the
// shape and scroll steps, the v seam rule, and whole frames of every shape
// against a plain per-pixel reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/cpu_features.h"
#include "effects/ray_grid.h"
#include "frame_compare.h"

namespace marrow {
namespace {

using Vec3 = RayGrid::Vec3;
using Corner = RayGrid::Corner;
constexpr int kCols = RayGrid::kColumns;
constexpr int kRowsN = RayGrid::kRows;

std::vector<uint32_t> randomTexture(uint32_t seed) {
    std::vector<uint32_t> tex(256 * 256);
    for (uint32_t& t : tex) {
        seed = seed * 1664525u + 1013904223u;
        t = seed;  // top byte too: drawBlocks copies texels as they are
    }
    return tex;
}

// Texel = its own row in red and column in blue.
std::vector<uint32_t> coordinateTexture() {
    std::vector<uint32_t> tex(256 * 256);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) tex[v * 256 + u] = uint32_t(v) << 16 | uint32_t(u);
    return tex;
}

int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// The angles the timeline sets at a given time.
void setAngles(RayGrid& grid, double time) {
    const int32_t n = truncToInt32(511 * ((time - 14) * 0.28169014084507044));
    grid.angleX = (255 + n) & 511;
    grid.angleY = grid.angleZ = (~n) & 511;
}

// ---- reference, written from the definitions ------------------------------

enum class Shape { Sphere, Flat, Plane, Tunnel };

Vec3 refRotate(Vec3 d, int ax, int ay, int az) {
    auto S = [](int i) { return std::sin(i * 0.0122718359375); };
    auto C = [](int i) { return std::cos(i * 0.0122718359375); };
    if (ax) d = {d.x, C(ax) * d.y - S(ax) * d.z, S(ax) * d.y + C(ax) * d.z};
    if (ay) d = {C(ay) * d.x - S(ay) * d.z, d.y, C(ay) * d.z + S(ay) * d.x};
    if (az) d = {C(az) * d.x - S(az) * d.y, C(az) * d.y + S(az) * d.x, d.z};
    return d;
}

Vec3 unit(Vec3 d) {
    double l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return {d.x / l, d.y / l, d.z / l};
}

// Corners indexed [column][row], origin at 0.
struct RefCorners {
    Corner c[kCols][kRowsN];
};

void refCast(RefCorners& out, Shape shape, int ax, int ay, int az) {
    for (int r = 0; r < kRowsN; ++r)
        for (int col = 0; col < kCols; ++col) {
            Vec3 d = refRotate(unit({(-160 + 8 * col) / 120.0, (-100 + 8 * r) / 120.0, 1.0}), ax, ay, az);
            Corner& k = out.c[col][r];
            switch (shape) {
                case Shape::Sphere: {
                    d = unit(d);
                    double t = std::sqrt(4 * 65536.0 * (d.x * d.x + d.y * d.y + d.z * d.z)) /
                               (2 * (d.x * d.x + d.y * d.y + d.z * d.z));
                    Vec3 h = {0.0 + t * d.x, 0.0 + t * d.y, 0.0 + t * d.z};  // origin + t d
                    double len = std::sqrt(h.x * h.x + h.y * h.y + h.z * h.z);
                    k.u = truncToInt32((std::asin(h.y / len) + 1) * 128 * 65536);
                    k.v = truncToInt32(std::atan(h.z / h.x) * 5340353.715440872);
                    k.shade = truncToInt32(std::min(63.0, std::fabs(h.z) / 256 * 90));
                    break;
                }
                case Shape::Flat:
                    d = unit(d);
                    k.u = truncToInt32(d.x * 804.247719318987 * 19661);
                    k.v = truncToInt32(d.z * 804.247719318987 * 19661);
                    break;
                case Shape::Plane: {
                    double t = 256 / d.y;
                    Vec3 h = {0.0 + t * d.x, 0.0 + t * d.y, 0.0 + t * d.z};
                    k.u = truncToInt32(h.x * 19661);
                    k.v = truncToInt32(h.z * 19661);
                    double e = h.x * h.x + h.z * h.z;
                    k.shade = e <= 0.0001 ? 0 : truncToInt32(std::min(63.0, 50000 / std::sqrt(e)));
                    break;
                }
                case Shape::Tunnel: {
                    double a = d.x * d.x + d.y * d.y;
                    double t = std::sqrt(4 * a * 65536.0) / (2 * a + 0.0001);
                    Vec3 h = {0.0 + t * d.x, 0.0 + t * d.y, 0.0 + t * d.z};
                    k.u = truncToInt32(h.z * 39322);
                    k.v = truncToInt32(std::atan(h.y / h.x) * 5340354);
                    k.shade = truncToInt32(std::min(63.0, 20000 / t));
                    break;
                }
            }
        }
}

void refSeam(int32_t& a, int32_t& b) {
    if (a < -0x300000 && b > 0x300000) a = wrap32(int64_t(a) + 0x1000000);
    if (b < -0x300000 && a > 0x300000) b = wrap32(int64_t(b) + 0x1000000);
}

// One pixel, walked from its block's corners: (u, v, shade << 8) at pixel
// (i, j) of block (R, C), the seam rule applied to v where it applies.
void refPixelValues(const RefCorners& g, int R, int C, int i, int j, int32_t out[3]) {
    const Corner* q[4] = {&g.c[C][R], &g.c[C + 1][R], &g.c[C][R + 1], &g.c[C + 1][R + 1]};
    int32_t tl[3], tr[3], bl[3], br[3];
    const Corner* src[4] = {q[0], q[1], q[2], q[3]};
    int32_t* dst[4] = {tl, tr, bl, br};
    for (int n = 0; n < 4; ++n) {
        dst[n][0] = src[n]->u;
        dst[n][1] = src[n]->v;
        dst[n][2] = wrap32(int64_t(src[n]->shade) * 256);
    }
    refSeam(bl[1], tl[1]);
    refSeam(br[1], tr[1]);
    int32_t left[3], right[3];
    for (int k = 0; k < 3; ++k) {
        left[k] = tl[k];
        right[k] = tr[k];
    }
    for (int row = 0;; ++row) {
        refSeam(right[1], left[1]);
        if (row == i) break;
        for (int k = 0; k < 3; ++k) {
            left[k] = wrap32(int64_t(left[k]) + (wrap32(int64_t(bl[k]) - tl[k]) >> 3));
            right[k] = wrap32(int64_t(right[k]) + (wrap32(int64_t(br[k]) - tr[k]) >> 3));
        }
    }
    for (int k = 0; k < 3; ++k)
        out[k] = wrap32(int64_t(left[k]) + int64_t(j) * (wrap32(int64_t(right[k]) - left[k]) >> 3));
}

void refDraw(const RefCorners& g, const uint32_t* tex, bool shaded, uint32_t* dst) {
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            int32_t val[3];
            refPixelValues(g, y / 8, x / 8, y % 8, x % 8, val);
            const int64_t tv = val[1] >> 16, tu = val[0] >> 16;
            if (!shaded) {
                dst[y * 320 + x] = tex[((tv * 256) | (tu & 255)) & 0xFFFF];
            } else {
                uint32_t texel = tex[(tv & 255) * 256 + (tu & 255)];
                int s = val[2] >> 8;
                uint32_t red = ((texel >> 16) & 255) * s / 64, green = ((texel >> 8) & 255) * s / 64,
                         blue = (texel & 255) * s / 64;
                dst[y * 320 + x] = red << 16 | green << 8 | blue;
            }
        }
}

RefCorners gridCorners(const RayGrid& grid) {
    RefCorners g;
    for (int c = 0; c < kCols; ++c)
        for (int r = 0; r < kRowsN; ++r) g.c[c][r] = grid.corners[RayGrid::cornerIndex(c, r)];
    return g;
}

void expectCornersEqual(const RayGrid& grid, const RefCorners& want, bool withShade) {
    for (int c = 0; c < kCols; ++c)
        for (int r = 0; r < kRowsN; ++r) {
            const Corner& k = grid.corners[RayGrid::cornerIndex(c, r)];
            ASSERT_EQ(k.u, want.c[c][r].u) << "column " << c << " row " << r;
            ASSERT_EQ(k.v, want.c[c][r].v) << "column " << c << " row " << r;
            if (withShade) {
                ASSERT_EQ(k.shade, want.c[c][r].shade) << "column " << c << " row " << r;
            }
        }
}

// ---- construction and single rays ----------------------------------------

TEST(RayGridSetup, TablesAndRays) {
    auto grid = std::make_unique<RayGrid>();
    EXPECT_EQ(grid->angleX, 0);
    EXPECT_EQ(grid->origin.x, 0.0);
    EXPECT_EQ(RayGrid::SinTable[0], 0.0);
    EXPECT_EQ(RayGrid::CosTable[0], 1.0);
    EXPECT_EQ(RayGrid::SinTable[300], std::sin(300 * 0.0122718359375));
    EXPECT_EQ(RayGrid::CosTable[511], std::cos(511 * 0.0122718359375));
    // Column 0, row 0 looks to the top-left corner of the screen.
    const Vec3 d = grid->rays[RayGrid::cornerIndex(0, 0)];
    const Vec3 want = unit({-160 / 120.0, -100 / 120.0, 1.0});
    EXPECT_EQ(d.x, want.x);
    EXPECT_EQ(d.y, want.y);
    EXPECT_EQ(d.z, want.z);
    // Column-major: index 26 is column 1, row 0.
    EXPECT_EQ(RayGrid::cornerIndex(1, 0), 26);
    EXPECT_EQ(grid->rays[26].x, unit({-152 / 120.0, -100 / 120.0, 1.0}).x);
    for (const Vec3& r : grid->rays) EXPECT_NEAR(r.x * r.x + r.y * r.y + r.z * r.z, 1.0, 1e-15);
}

TEST(RayGridSetup, RotationAboutXThenYThenZ) {
    auto grid = std::make_unique<RayGrid>();
    grid->angleX = 37;
    grid->angleY = 301;
    grid->angleZ = 455;
    const Vec3 d{0.25, -0.5, 0.75};
    const Vec3 got = grid->rotate(d), want = refRotate(d, 37, 301, 455);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
    // A quarter turn (128 steps) about x takes straight ahead to straight down (-y).
    grid->angleY = grid->angleZ = 0;
    grid->angleX = 128;
    const Vec3 down = grid->rotate({0, 0, 1});
    EXPECT_EQ(down.y, -RayGrid::SinTable[128]);
    EXPECT_EQ(down.z, RayGrid::CosTable[128]);
    // Worked by hand, for the order and the signs of the other two: a
    // quarter turn about each axis in turn takes straight ahead to -y
    // (about x), leaves it there (about y), then to +x (about z). Taken
    // z, y, x instead it would end at -x.
    grid->angleX = grid->angleY = grid->angleZ = 128;
    const Vec3 all = grid->rotate({0, 0, 1});
    EXPECT_NEAR(all.x, 1.0, 1e-5);
    EXPECT_NEAR(all.y, 0.0, 1e-5);
    EXPECT_NEAR(all.z, 0.0, 1e-5);
}

TEST(RayGridRays, SphereStraightAhead) {
    auto grid = std::make_unique<RayGrid>();
    const Corner c = grid->castSphere({0, 0, 1});
    EXPECT_EQ(grid->hit.x, 0.0);
    EXPECT_EQ(grid->hit.y, 0.0);
    EXPECT_EQ(grid->hit.z, 256.0);
    EXPECT_EQ(c.u, 128 * 65536);
    // h.z / h.x = +infinity: atan gives pi/2, a quarter of the texture's 512.0 turn.
    EXPECT_EQ(c.v, 8388608);
    EXPECT_EQ(c.shade, 63);  // 256 / 256 x 90 = 90, held at 63
}

TEST(RayGridRays, TunnelAndFlatSingleRays) {
    auto grid = std::make_unique<RayGrid>();
    // Straight up the screen's centre column: h.x = 0, atan(-inf) = -pi/2.
    const Vec3 d = unit({0, -0.5, 1});
    const Corner c = grid->castTunnel(d);
    const double t = std::sqrt(4 * (d.y * d.y) * 65536.0) / (2 * (d.y * d.y) + 0.0001);
    EXPECT_EQ(c.u, truncToInt32(t * d.z * 39322));
    EXPECT_EQ(c.v, truncToInt32(-std::numbers::pi / 2 * 5340354));
    EXPECT_EQ(c.shade, truncToInt32(20000 / t));  // t = 572.3
    EXPECT_EQ(c.shade, 34);
    // The flat sheet: 804.25 units along the unit ray, 0.3 texel per unit.
    const Corner f = grid->castFlat({3, 0, 4}, Corner{1, 2, 17});
    EXPECT_EQ(f.u, truncToInt32(0.6 * 804.247719318987 * 19661));
    EXPECT_EQ(f.v, truncToInt32(0.8 * 804.247719318987 * 19661));
    EXPECT_EQ(f.shade, 17);
}

TEST(RayGridRays, PlaneParallelAndStraightDown) {
    auto grid = std::make_unique<RayGrid>();
    // Parallel to the plane: no hit; the values a ray just beside it gets.
    const Corner parallel = grid->castPlane({0.6, 0, 0.8});
    EXPECT_EQ(parallel.u, INT32_MIN);
    EXPECT_EQ(parallel.v, INT32_MIN);
    EXPECT_EQ(parallel.shade, 0);
    const Corner nearly = grid->castPlane({0.6, 1e-300, 0.8});
    EXPECT_EQ(nearly.u, INT32_MIN);
    EXPECT_EQ(nearly.shade, 0);
    // Straight down onto the plane: the hit is right below the eye, shade 0.
    const Corner below = grid->castPlane({0, 1, 0});
    EXPECT_EQ(below.u, 0);
    EXPECT_EQ(below.v, 0);
    EXPECT_EQ(below.shade, 0);
    // 45 degrees down: hit at distance 256 along the plane, shade 50000/256 held at 63;
    // at a shallow slope the shade falls: e = 2560^2, 50000 / 2560 = 19.5.
    EXPECT_EQ(grid->castPlane({0, 1, 1}).shade, 63);
    const Corner far = grid->castPlane({0, 0.1, 1});
    EXPECT_EQ(far.shade, 19);
    EXPECT_EQ(far.v, truncToInt32(256 / 0.1 * 19661));
}

// ---- corner bookkeeping -----------------------------------------------------

TEST(RayGridCorners, FlatKeepsShadesAndScrollMovesU) {
    auto grid = std::make_unique<RayGrid>();
    setAngles(*grid, 70.0);
    grid->raySphere();
    std::vector<Corner> sphere(grid->corners, grid->corners + RayGrid::kCorners);
    grid->rayFlat();
    bool moved = false;
    for (int k = 0; k < RayGrid::kCorners; ++k) {
        EXPECT_EQ(grid->corners[k].shade, sphere[k].shade) << k;
        moved |= grid->corners[k].u != sphere[k].u;
    }
    EXPECT_TRUE(moved);

    std::vector<Corner> before(grid->corners, grid->corners + RayGrid::kCorners);
    grid->scrollCoords(1, 0);
    for (int k = 0; k < RayGrid::kCorners; ++k) {
        EXPECT_EQ(grid->corners[k].u, before[k].u + 0x80000);  // 8.0 texels
        EXPECT_EQ(grid->corners[k].v, before[k].v);
        EXPECT_EQ(grid->corners[k].shade, before[k].shade);
    }
    // Only the low 8 bits of each step count; 255 steps add 2040.0 texels.
    grid->scrollCoords(256, 255 + 512);
    for (int k = 0; k < RayGrid::kCorners; ++k) {
        EXPECT_EQ(grid->corners[k].u, before[k].u + 0x80000);
        EXPECT_EQ(grid->corners[k].v, wrap32(int64_t(before[k].v) + (255 << 19)));
    }
}

TEST(RayGridCorners, ShapeStepsMatchReference) {
    auto grid = std::make_unique<RayGrid>();
    RefCorners want;
    setAngles(*grid, 16.0);
    grid->rayTunnel();
    refCast(want, Shape::Tunnel, grid->angleX, grid->angleY, grid->angleZ);
    expectCornersEqual(*grid, want, true);
    setAngles(*grid, 70.0);
    grid->raySphere();
    refCast(want, Shape::Sphere, grid->angleX, grid->angleY, grid->angleZ);
    expectCornersEqual(*grid, want, true);
    setAngles(*grid, 110.5);
    grid->rayPlane();
    refCast(want, Shape::Plane, grid->angleX, grid->angleY, grid->angleZ);
    expectCornersEqual(*grid, want, true);
    grid->rayFlat();
    refCast(want, Shape::Flat, grid->angleX, grid->angleY, grid->angleZ);
    expectCornersEqual(*grid, want, false);
}

// ---- the v seam ---------------------------------------------------------------

// Block (0, 0) gets v = `top` at its top corners and `bottom` at its bottom
// ones (or left/right when `across`), u = 0, full shade; all other corners 0.
void seamBlock(RayGrid& grid, int32_t first, int32_t second, bool across) {
    for (Corner& c : grid.corners) c = Corner{0, 0, 63};
    grid.corners[RayGrid::cornerIndex(0, 0)].v = first;
    grid.corners[RayGrid::cornerIndex(across ? 0 : 1, across ? 1 : 0)].v = first;
    grid.corners[RayGrid::cornerIndex(across ? 1 : 0, across ? 0 : 1)].v = second;
    grid.corners[RayGrid::cornerIndex(1, 1)].v = second;
}

TEST(RayGridSeam, BlocksAcrossTheSeamStepTheShortWay) {
    auto grid = std::make_unique<RayGrid>();
    const std::vector<uint32_t> tex = coordinateTexture();
    std::vector<uint32_t> frame(kFramePixels), want(kFramePixels);
    struct Case {
        int32_t first, second;
        bool across;
        int startRow, direction;
    } cases[] = {
        {124 << 16, -(124 << 16), false, 124, +1},  // bottom lifted to 132.0: rows 124..131
        {-(124 << 16), 124 << 16, false, 132, -1},  // top lifted to 132.0: rows 132..125
        {124 << 16, -(124 << 16), true, 124, +1},   // right edge lifted at every pixel row
        {-(124 << 16), 124 << 16, true, 132, -1},   // left edge lifted at every pixel row
    };
    for (const Case& c : cases) {
        seamBlock(*grid, c.first, c.second, c.across);
        for (bool shaded : {false, true}) {
            if (shaded)
                grid->drawBlocksShaded(frame.data(), tex.data());
            else
                grid->drawBlocks(frame.data(), tex.data());
            for (int i = 0; i < 8; ++i)
                for (int j = 0; j < 8; ++j) {
                    const int step = c.across ? j : i;
                    const uint32_t row = uint32_t(c.startRow + c.direction * step) & 0xFF;
                    const uint32_t texel = row << 16;
                    const uint32_t expect = shaded ? ((row * 63) >> 6) << 16 : texel;
                    ASSERT_EQ(frame[i * 320 + j], expect) << c.first << " " << c.across << " " << i << " " << j;
                }
            refDraw(gridCorners(*grid), tex.data(), shaded, want.data());
            expectFramesEqual(frame, want);
        }
    }
    // Values that do not straddle the seam (both above -48.0) step straight.
    seamBlock(*grid, 40 << 16, -(40 << 16), false);
    grid->drawBlocks(frame.data(), tex.data());
    EXPECT_EQ(frame[320], uint32_t(30) << 16);  // 40 - 10
}

// ---- whole frames ---------------------------------------------------------------

TEST(RayGridFrames, EveryShapeMatchesReference) {
    auto grid = std::make_unique<RayGrid>();
    const std::vector<uint32_t> tex = randomTexture(4242);
    std::vector<uint32_t> got(kFramePixels), want(kFramePixels);
    struct Case {
        Shape shape;
        double time;
        bool scroll, shaded;
    } cases[] = {{Shape::Tunnel, 16.0, true, true},    {Shape::Tunnel, 30.0, true, true},
                 {Shape::Sphere, 70.0, false, true},   {Shape::Sphere, 66.0, false, false},
                 {Shape::Flat, 105.0, false, false},   {Shape::Plane, 110.5, false, true},
                 // The horizon in view: hit points beyond 32 bits, stepped with wrapping.
                 {Shape::Plane, 110.05, false, true},  {Shape::Plane, 110.9, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        if (c.time == 30.0)
            grid->angleX = grid->angleY = grid->angleZ = 0;
        else
            setAngles(*grid, c.time);
        switch (c.shape) {
            case Shape::Sphere: grid->raySphere(); break;
            case Shape::Flat: grid->rayFlat(); break;
            case Shape::Plane: grid->rayPlane(); break;
            case Shape::Tunnel: grid->rayTunnel(); break;
        }
        if (c.scroll) grid->scrollCoords(truncToInt32(c.time * 70), 0);
        if (c.shape == Shape::Plane && c.time != 110.5) {
            int beyond = 0;
            for (const Corner& k : grid->corners) beyond += k.u == INT32_MIN || k.v == INT32_MIN;
            EXPECT_GT(beyond, 0);
        }
        refDraw(gridCorners(*grid), tex.data(), c.shaded, want.data());
        // The baseline path and, where the processor has it, the AVX2 one.
        for (const bool avx2 : {false, true}) {
            SCOPED_TRACE(avx2 ? "AVX2" : "baseline");
            allowAvx2(avx2);
            if (c.shaded)
                grid->drawBlocksShaded(got.data(), tex.data());
            else
                grid->drawBlocks(got.data(), tex.data());
            expectFramesEqual(got, want);
        }
        allowAvx2(true);
    }
}

TEST(RayGridFrames, ProcessWideGridIsReady) {
    // The timeline uses the one grid built before main: rays already set.
    EXPECT_EQ(rayGrid.rays[0].z, unit({-160 / 120.0, -100 / 120.0, 1.0}).z);
    EXPECT_EQ(rayGrid.origin.z, 0.0);
}

}  // namespace
}  // namespace marrow
