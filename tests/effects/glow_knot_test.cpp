// The look-at camera shared by the knot and the ribbon, and the glow sprite:
// which texel lands on which pixel, clipping at every edge, and the knot as a
// whole (stateless, additive only).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/framebuffer.h"
#include "effects/glow_knot.h"
#include "effects/vec3.h"
#include "guarded_frame.h"

using namespace marrow;

namespace {

// Each texel holds its own index (green = row, blue = column), so on a black
// frame a drawn pixel tells which texel it read.
std::vector<uint32_t> indexSprite() {
    std::vector<uint32_t> s(65536);
    for (uint32_t i = 0; i < 65536; ++i) s[i] = i;
    return s;
}

}  // namespace

TEST(ViewCamera, LooksFromTheEyeAtTheTargetRolledByTheUpHint) {
    // Down the depth axis: a translation, x right and y up.
    const Vec3 p = viewApply(viewLookAt({0, 0, -10}, {0, 0, 0}, {0, 1, 0}), {3, 4, 5});
    EXPECT_EQ(p.x, 3.0);
    EXPECT_EQ(p.y, 4.0);
    EXPECT_EQ(p.z, 15.0);
    // With x as the up hint the old x becomes screen y.
    const Vec3 q = viewApply(viewLookAt({0, 0, -10}, {0, 0, 0}, {1, 0, 0}), {3, 4, 5});
    EXPECT_EQ(q.x, -4.0);
    EXPECT_EQ(q.y, 3.0);

    // Any camera: the eye goes to the origin, the target straight ahead at
    // its distance, and the rows are orthonormal.
    const Vec3 eye = {37.5, -12.25, 80}, target = {-4, 9, -3};
    const ViewMatrix view = viewLookAt(eye, target, {std::sin(0.7), std::cos(0.7), 0});
    const Vec3 e = viewApply(view, eye), t = viewApply(view, target);
    const Vec3 d = vecSub(target, eye);
    EXPECT_NEAR(std::fabs(e.x) + std::fabs(e.y) + std::fabs(e.z), 0, 1e-12);
    EXPECT_NEAR(std::fabs(t.x) + std::fabs(t.y), 0, 1e-12);
    EXPECT_NEAR(t.z, std::sqrt(vecDot(d, d)), 1e-12);
    const Vec3 r = {view.m[0], view.m[3], view.m[6]}, u = {view.m[1], view.m[4], view.m[7]};
    EXPECT_NEAR(vecDot(r, r), 1, 1e-12);
    EXPECT_NEAR(vecDot(u, u), 1, 1e-12);
    EXPECT_NEAR(vecDot(r, u), 0, 1e-12);
}

TEST(GlowSprite, WholeSpriteSpansTheSquareWithItsRowBaseQuirk) {
    const std::vector<uint32_t> sprite = indexSprite();
    GuardedFrame frame;
    // Square 90..110 both ways: du = dv = 65536 / 20 = 3276.
    drawGlowSprite(100, 100, 50, 10, frame.data(), sprite.data());
    EXPECT_EQ(frame.countNot(0), 21 * 21);
    // The row base is v | 0xFF: row 0 reads from index 255 on.
    EXPECT_EQ(frame.at(90, 90), 255u);
    EXPECT_EQ(frame.at(91, 90), 255u + (3276 >> 8));
    EXPECT_EQ(frame.at(90, 91), (3276u | 0xFF));
    // The last texel index wraps within the 16-bit sprite:
    // (65520 | 255) + (65520 >> 8) = 65790, masked to 254.
    EXPECT_EQ(frame.at(110, 110), 254u);
    EXPECT_EQ(frame.at(111, 110), 0u);
    EXPECT_EQ(frame.at(110, 111), 0u);
    EXPECT_EQ(frame.at(89, 90), 0u);
}

TEST(GlowSprite, CutAtTheLeftOrTopItStartsPartWayIntoTheTexture) {
    const std::vector<uint32_t> sprite = indexSprite();
    GuardedFrame whole, left, top;
    drawGlowSprite(150, 100, 50, 12, whole.data(), sprite.data());
    drawGlowSprite(5, 100, 50, 12, left.data(), sprite.data());     // columns -7..17
    drawGlowSprite(150, 3, 50, 12, top.data(), sprite.data());      // rows -9..15
    EXPECT_EQ(left.countNot(0), 18 * 25);
    EXPECT_EQ(top.countNot(0), 25 * 16);
    for (int y = 88; y <= 112; ++y)
        for (int x = 0; x <= 17; ++x) ASSERT_EQ(left.at(x, y), whole.at(x + 145, y)) << x << "," << y;
    for (int y = 0; y <= 15; ++y)
        for (int x = 138; x <= 162; ++x) ASSERT_EQ(top.at(x, y), whole.at(x, y + 97)) << x << "," << y;
}

TEST(GlowSprite, ClipsAtTheRightAndBottomAndRejectsEmptyOrHiddenSquares) {
    const std::vector<uint32_t> sprite(65536, 0x010203);
    GuardedFrame frame;
    drawGlowSprite(315, 195, 10, 10, frame.data(), sprite.data());
    EXPECT_EQ(frame.countNot(0), 15 * 15);
    EXPECT_EQ(frame.at(319, 199), 0x010203u);
    EXPECT_TRUE(frame.padIntact());

    struct Case {
        int32_t cx, cy, depth, half;
    };
    const Case nothing[] = {
        {100, 100, 0, 10},    // depth below 1
        {100, 100, -5, 10},
        {100, 100, 10, 0},    // a single point: left = right
        {100, 210, 10, 10},   // top at or below row 200
        {100, -11, 10, 10},   // bottom above row 0
        {330, 100, 10, 10},   // left at or past column 320
        {-11, 100, 10, 10},   // right before column 0
        {100, 100, 10, -10},  // a negative size swaps x but leaves the rows empty
        {INT32_MAX, INT32_MAX, 10, 100},
        {INT32_MIN, 50, 10, INT32_MAX},
    };
    for (const Case& c : nothing) {
        GuardedFrame f;
        drawGlowSprite(c.cx, c.cy, c.depth, c.half, f.data(), sprite.data());
        EXPECT_EQ(f.countNot(0), 0) << c.cx << "," << c.cy << " d" << c.depth << " h" << c.half;
        EXPECT_TRUE(f.padIntact());
    }
    // A square larger than the frame covers all of it, once.
    GuardedFrame huge;
    drawGlowSprite(160, 100, 1, 100000, huge.data(), sprite.data());
    EXPECT_EQ(huge.countNot(0x010203), 0);
    EXPECT_TRUE(huge.padIntact());
}

TEST(GlowSprite, AddsPerChannelWithSaturationAndClearsTheTopByte) {
    const std::vector<uint32_t> sprite(65536, 0x30A010);
    GuardedFrame frame(0xAB80F0F0);
    drawGlowSprite(50, 50, 5, 4, frame.data(), sprite.data());
    EXPECT_EQ(frame.at(50, 50), 0xB0FFFFu);
    EXPECT_EQ(frame.at(60, 50), 0xAB80F0F0u);
}

TEST(GlowKnot, IsStatelessAndOnlyAdds) {
    std::vector<uint32_t> sprite(65536);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            const int d = std::abs(u - 128) + std::abs(v - 128);
            sprite[v * 256 + u] = d < 100 ? static_cast<uint32_t>(100 - d) * 0x010101 : 0;
        }
    for (const int32_t phase : {0, 700, 5000, -300}) {
        GuardedFrame a(0x101010), b(0x101010);
        glowKnot(phase, a.data(), sprite.data());
        glowKnot(phase, b.data(), sprite.data());
        EXPECT_EQ(a.words, b.words) << phase;
        EXPECT_GT(a.countNot(0x101010), 1000) << phase;
        for (int i = 0; i < kFramePixels; ++i) {
            const uint32_t p = a.data()[i];
            ASSERT_GE(p & 0xFF, 0x10u);
            ASSERT_EQ((p >> 16) & 0xFF, p & 0xFF);  // a grey sprite stays grey
        }
        EXPECT_TRUE(a.padIntact());
    }
    GuardedFrame none;
    glowKnot(0, none.data(), nullptr);
    EXPECT_EQ(none.countNot(0), 0);
}
