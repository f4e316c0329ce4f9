// The spiral ribbon and its 2D toolkit: clipping (which limits, which
// vertices survive), the scan-line filler's coverage and winding, the
// antialiased line's blend, and the ribbon's quad rules and camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/framebuffer.h"
#include "effects/glow_knot.h"
#include "effects/spiral_ribbon.h"
#include "effects/vec3.h"
#include "guarded_frame.h"

using namespace marrow;

namespace {

constexpr double kPi = 3.141592653589793;


void expectVertex(const Vertex& v, double x, double y, double depth, const char* what) {
    EXPECT_DOUBLE_EQ(v.x, x) << what;
    EXPECT_DOUBLE_EQ(v.y, y) << what;
    EXPECT_DOUBLE_EQ(v.depth, depth) << what;
}

}  // namespace

TEST(RibbonClip, PolygonInsideComesBackUnchanged) {
    const Vertex in[3] = {{0, 0, 1}, {319, 199, 2}, {0.5, 199, 3}};
    Vertex out[clipOutputCapacity(3)];
    ASSERT_EQ(clipPolygon(in, 3, out, 0), 3);
    for (int i = 0; i < 3; ++i) expectVertex(out[i], in[i].x, in[i].y, in[i].depth, "inside");
    // The same polygon with a guard of 1 passes three limits.
    EXPECT_NE(clipPolygon(in, 3, out, 1), 3);
}

TEST(RibbonClip, CutsAtTheLimitAndInterpolatesTheOtherCoordinateAndDepth) {
    // Only the left limit is passed. Edge v2 -> v0 crosses x = 0 at
    // t = (0 - 100) / (-10 - 100) = 10/11.
    const Vertex in[3] = {{-10, 50, 10}, {100, 50, 20}, {100, 150, 40}};
    Vertex out[clipOutputCapacity(3)];
    ASSERT_EQ(clipPolygon(in, 3, out, 0), 4);
    expectVertex(out[0], 0, 50, 10 + 10 * (10.0 / 110.0), "cut into v1");
    expectVertex(out[1], 100, 50, 20, "v1");
    expectVertex(out[2], 100, 150, 40, "v2");
    const double t = 100.0 / 110.0;
    expectVertex(out[3], 0, 150 - 100 * t, 40 - 30 * t, "cut from v2");

    // A quad larger than the frame on all sides becomes the frame's corners.
    const Vertex big[4] = {{-50, -50, 1}, {-50, 250, 1}, {370, 250, 1}, {370, -50, 1}};
    Vertex corners[clipOutputCapacity(4)];
    ASSERT_EQ(clipPolygon(big, 4, corners, 0), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(corners[i].x == 0 || corners[i].x == 319) << i;
        EXPECT_TRUE(corners[i].y == 0 || corners[i].y == 199) << i;
    }

    // Wholly outside: nothing left.
    const Vertex gone[3] = {{-30, 10, 1}, {-20, 10, 1}, {-20, 30, 1}};
    EXPECT_EQ(clipPolygon(gone, 3, out, 0), 0);
}

TEST(RibbonClip, VertexOnALimitSurvivesOnlyAsTheEndOfACrossing) {
    Vertex out[clipOutputCapacity(5)];
    // A(0, 50) lies on the left limit and D(-10, 100) passes it: the edge
    // D -> A crosses and ends at A, so A is kept (as the last vertex).
    const Vertex kept[4] = {{0, 50, 1}, {100, 40, 1}, {100, 150, 1}, {-10, 150, 1}};
    ASSERT_EQ(clipPolygon(kept, 4, out, 0), 4);
    expectVertex(out[0], 100, 40, 1, "B");
    expectVertex(out[1], 100, 150, 1, "C");
    expectVertex(out[2], 0, 150, 1, "cut C-D");
    expectVertex(out[3], 0, 50, 1, "A, end of the crossing");

    // Here A's neighbours are both strictly inside: no crossing touches it
    // and it is dropped, though another vertex still makes the left limit
    // apply.
    const Vertex dropped[5] = {{0, 50, 1}, {100, 40, 1}, {100, 150, 1}, {-10, 150, 1}, {50, 100, 1}};
    const int n = clipPolygon(dropped, 5, out, 0);
    ASSERT_EQ(n, 5);
    for (int i = 0; i < n; ++i) EXPECT_FALSE(out[i].x == 0 && out[i].y == 50) << i;

    // With no vertex past any limit the one on the limit stays.
    const Vertex onEdge[3] = {{0, 50, 1}, {100, 40, 1}, {100, 150, 1}};
    ASSERT_EQ(clipPolygon(onEdge, 3, out, 0), 3);
    expectVertex(out[0], 0, 50, 1, "untouched");
}

TEST(RibbonClip, RejectsNonFiniteVerticesAndBadCounts) {
    Vertex out[clipOutputCapacity(kMaxClipInput)];
    const Vertex nan[3] = {{NAN, 10, 1}, {20, 10, 1}, {20, 30, 1}};
    const Vertex inf[3] = {{10, 10, 1}, {20, INFINITY, 1}, {20, 30, 1}};
    EXPECT_EQ(clipPolygon(nan, 3, out, 0), 0);
    EXPECT_EQ(clipPolygon(inf, 3, out, 0), 0);
    EXPECT_EQ(clipPolygon(nan, 0, out, 0), 0);
    EXPECT_EQ(clipPolygon(nan, -3, out, 0), 0);
    std::vector<Vertex> many(kMaxClipInput + 1, Vertex{10, 10, 1});
    EXPECT_EQ(clipPolygon(many.data(), kMaxClipInput + 1, out, 0), 0);
}

TEST(RibbonFill, CoversRowsFromCeilTopAndColumnsFromTheTruncatedLeft) {
    GuardedFrame frame;
    // Counter-clockwise on screen: down the left side first.
    const Vertex square[4] = {{10, 10, 1}, {10, 20, 1}, {20, 20, 1}, {20, 10, 1}};
    fillPolygon(frame.data(), square, 4, 0x010203);
    EXPECT_EQ(frame.countNot(0), 100);
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x) ASSERT_EQ(frame.at(x, y), 0x010203u) << x << "," << y;

    // Half-pixel offsets: rows ceil(10.5) = 11 .. 20, span ceil(20.5) -
    // ceil(10.5) = 10 pixels from column trunc(10.5) = 10.
    GuardedFrame half;
    const Vertex shifted[4] = {{10.5, 10.5, 1}, {10.5, 20.5, 1}, {20.5, 20.5, 1}, {20.5, 10.5, 1}};
    fillPolygon(half.data(), shifted, 4, 0x010203);
    EXPECT_EQ(half.countNot(0), 100);
    EXPECT_EQ(half.at(10, 11), 0x010203u);
    EXPECT_EQ(half.at(19, 20), 0x010203u);
    EXPECT_EQ(half.at(20, 20), 0u);
    EXPECT_EQ(half.at(10, 10), 0u);

    // The other winding draws nothing.
    GuardedFrame back;
    const Vertex reversed[4] = {{10, 10, 1}, {20, 10, 1}, {20, 20, 1}, {10, 20, 1}};
    fillPolygon(back.data(), reversed, 4, 0x010203);
    EXPECT_EQ(back.countNot(0), 0);
    // Nor do fewer than three vertices.
    fillPolygon(back.data(), square, 2, 0x010203);
    EXPECT_EQ(back.countNot(0), 0);
}

TEST(RibbonFill, AddsWithTheAdditiveRuleAndClipsToTheFrame) {
    GuardedFrame frame(0x10FF10);
    const Vertex big[4] = {{-50, -50, 1}, {-50, 250, 1}, {370, 250, 1}, {370, -50, 1}};
    fillPolygon(frame.data(), big, 4, 0x233CC8);
    // Clipped to 0..319 x 0..199, which covers rows 0..198 and columns
    // 0..318, each pixel once.
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            const uint32_t want = (x < 319 && y < 199) ? 0x33FFD8u : 0x10FF10u;
            ASSERT_EQ(frame.at(x, y), want) << x << "," << y;
        }
    EXPECT_TRUE(frame.padIntact());
    // A zero pixel takes the colour as it is.
    GuardedFrame empty;
    const Vertex tri[3] = {{5, 5, 1}, {5, 9, 1}, {9, 9, 1}};
    fillPolygon(empty.data(), tri, 3, 0xAB233CC8);
    EXPECT_EQ(empty.at(5, 6), 0xAB233CC8u);
}

TEST(RibbonFill, ANonConvexZigZagCannotRunOffTheFrame) {
    // Both chains zig-zag down and up again before meeting at the bottom, so
    // their edges add up to 379 rows: the rows past 199 must not be written.
    const Vertex zigzag[8] = {{160, 0, 1},   {100, 190, 1}, {110, 10, 1},  {120, 195, 1},
                              {130, 199, 1}, {200, 195, 1}, {210, 10, 1},  {220, 190, 1}};
    GuardedFrame frame;
    fillPolygon(frame.data(), zigzag, 8, 0x000001);
    EXPECT_TRUE(frame.padIntact());
    EXPECT_GT(frame.countNot(0), 0);
}

TEST(RibbonLine, FirstPixelTakesTheFullColourAndTheSideOneKeepsNearlyItsOwn) {
    GuardedFrame frame(0x646464);
    // Horizontal: main step +1, side step one row up (b.y > a.y is false).
    aaLine(frame.data(), {10, 50, 1}, {20, 50, 1}, 0x000000);
    for (int x = 10; x <= 20; ++x) {
        EXPECT_EQ(frame.at(x, 50), 0u) << x;
        // ((100 - 0) * 255) >> 8 = 99: the side pixel loses 1/256 of its
        // difference, rounded down.
        EXPECT_EQ(frame.at(x, 49), 0x636363u) << x;
    }
    EXPECT_EQ(frame.at(21, 50), 0x646464u);
    EXPECT_EQ(frame.at(9, 50), 0x646464u);
    EXPECT_EQ(frame.at(15, 51), 0x646464u);
    EXPECT_EQ(frame.countNot(0x646464), 22);
}

TEST(RibbonLine, SpreadsCoverageOverTwoPixelsAlongAShallowSlope) {
    GuardedFrame frame;
    // Slope 1/2 in 16.16: the fraction alternates 0x8000 / 0x10000.
    aaLine(frame.data(), {10, 10, 1}, {30, 20, 1}, 0xFFFFFF);
    EXPECT_EQ(frame.at(10, 10), 0xFFFFFFu);
    EXPECT_EQ(frame.at(10, 11), 0u);  // (-255 * 255) >> 8 = -255: none of white
    // Coverage 128: ((0 - 255) * 128) >> 8 = -128 -> 127; the side pixel
    // with 127: (-255 * 127) >> 8 = -127 (floor of -126.5) -> 128.
    EXPECT_EQ(frame.at(11, 10), 0x7F7F7Fu);
    EXPECT_EQ(frame.at(11, 11), 0x808080u);
    EXPECT_EQ(frame.at(12, 11), 0xFFFFFFu);
    EXPECT_EQ(frame.at(30, 20), 0xFFFFFFu);
    EXPECT_EQ(frame.at(31, 20), 0u);

    // 45 degrees: a diagonal step every time, coverage 0.
    GuardedFrame diagonal;
    aaLine(diagonal.data(), {10, 10, 1}, {20, 20, 1}, 0xFFFFFF);
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(diagonal.at(10 + i, 10 + i), 0xFFFFFFu) << i;
    EXPECT_EQ(diagonal.countNot(0), 11);
}

TEST(RibbonLine, DrawLineClipsOnePixelInsideSoTheSidePixelStaysOnTheFrame) {
    GuardedFrame frame;
    drawLine(frame.data(), {-50, 100, 1}, {160, 100, 1}, 0xFFFFFF);
    EXPECT_EQ(frame.at(0, 100), 0u);
    EXPECT_EQ(frame.at(1, 100), 0xFFFFFFu);
    EXPECT_EQ(frame.at(160, 100), 0xFFFFFFu);
    EXPECT_EQ(frame.at(161, 100), 0u);

    // Towards the right edge: ends at column 318, nothing wraps into the
    // next row's column 0.
    GuardedFrame right(0x010101);
    drawLine(right.data(), {300, 50.5, 1}, {400, 51.5, 1}, 0xFFFFFF);
    EXPECT_EQ(right.at(300, 50), 0xFFFFFFu);
    EXPECT_NE(right.at(318, 50), 0x010101u);
    EXPECT_EQ(right.at(319, 50), 0x010101u);
    EXPECT_EQ(right.at(0, 51), 0x010101u);
    EXPECT_EQ(right.at(0, 50), 0x010101u);

    // Vertical through the whole frame: rows 1..198 only.
    GuardedFrame vertical;
    drawLine(vertical.data(), {5, -100, 1}, {5, 300, 1}, 0xFFFFFF);
    EXPECT_EQ(vertical.at(5, 0), 0u);
    EXPECT_EQ(vertical.at(5, 1), 0xFFFFFFu);
    EXPECT_EQ(vertical.at(5, 198), 0xFFFFFFu);
    EXPECT_EQ(vertical.at(5, 199), 0u);

    // Many long lines in every direction, far outside the frame too.
    GuardedFrame many(0x010101);
    uint32_t seed = 7;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / (1 << 24) * 1400.0 - 550.0;
    };
    for (int i = 0; i < 3000; ++i) {
        const Vertex a = {next(), next(), 1}, b = {next(), next(), 1};
        drawLine(many.data(), a, b, 0xFFFFFF);
    }
    EXPECT_TRUE(many.padIntact());

    // aaLine itself refuses ends outside 1..318 x 1..198.
    GuardedFrame direct;
    aaLine(direct.data(), {0, 50, 1}, {100, 50, 1}, 0xFFFFFF);
    aaLine(direct.data(), {10, 50, 1}, {100, 199, 1}, 0xFFFFFF);
    aaLine(direct.data(), {NAN, 50, 1}, {100, 50, 1}, 0xFFFFFF);
    EXPECT_EQ(direct.countNot(0), 0);
}

namespace {

// A ribbon whose steps all sit behind the eye but two: steps `m` and m + 1
// form the square 100..150 x 50..100 (inner points on top).
std::vector<Vertex> ribbonWithOneQuad(int m, double depth) {
    std::vector<Vertex> v(2 * kRibbonSteps, Vertex{0, 0, 0.5});
    v[2 * m] = {100, 50, depth};
    v[2 * m + 1] = {100, 100, depth};
    v[2 * m + 2] = {150, 50, depth};
    v[2 * m + 3] = {150, 100, depth};
    return v;
}

}  // namespace

TEST(RibbonQuads, FilledQuadGetsItsColourAndThreeWhiteEdges) {
    GuardedFrame frame;
    drawRibbon(frame.data(), ribbonWithOneQuad(1, 5).data());  // k = 4: filled
    EXPECT_EQ(frame.at(125, 75), 0x233CC8u);
    EXPECT_EQ(frame.at(125, 50), 0xFFFFFFu);   // inner edge
    EXPECT_EQ(frame.at(125, 100), 0xFFFFFFu);  // outer edge
    EXPECT_EQ(frame.at(100, 75), 0xFFFFFFu);   // leading cross edge
    EXPECT_EQ(frame.at(150, 75), 0u);          // the trailing one belongs to the next quad
    EXPECT_EQ(frame.at(151, 75), 0u);

    GuardedFrame open;
    drawRibbon(open.data(), ribbonWithOneQuad(7, 5).data());  // k = 16: left open
    EXPECT_EQ(open.at(125, 75), 0u);
    EXPECT_EQ(open.at(125, 50), 0xFFFFFFu);
}

TEST(RibbonQuads, AnyDepthAtOrBelowOneSkipsTheWholeQuad) {
    for (int corner = 0; corner < 4; ++corner) {
        std::vector<Vertex> v = ribbonWithOneQuad(1, 5);
        v[2 + corner].depth = 1.0;
        GuardedFrame frame;
        drawRibbon(frame.data(), v.data());
        EXPECT_EQ(frame.countNot(0), 0) << corner;
        v[2 + corner].depth = std::nextafter(1.0, 2.0);
        drawRibbon(frame.data(), v.data());
        EXPECT_EQ(frame.at(125, 50), 0xFFFFFFu) << corner;
    }
    // Steps past 248 are never drawn.
    GuardedFrame frame;
    drawRibbon(frame.data(), ribbonWithOneQuad(248, 5).data());
    EXPECT_EQ(frame.countNot(0), 0);
}

TEST(RibbonCamera, VerticesFollowTheHelixThroughTheLookAtCamera) {
    const int32_t phase = 1234;
    GuardedFrame frame;
    spiralRibbon(phase, frame.data());
    EXPECT_TRUE(frame.padIntact());
    EXPECT_GT(frame.countNot(0), 1000);

    // The camera, from the defining formulas, applied as r.(P - E) etc.
    const double t = phase / 70.0;
    auto sinIt = [](double x) {
        for (int i = 0; i < 3; ++i) x = std::sin(x * kPi);
        return x;
    };
    const Vec3 g = {12 - 15 * std::sin(static_cast<double>(0.15f) * t),
                    7 - 15 * std::cos(static_cast<double>(0.35f) * t), 25.00000037252903 * sinIt(0.2 * t + 1) - 100};
    const Vec3 e = {15 * std::sin(0.75 * t) + 10, 15 - 20 * std::cos(0.25 * t), 62.5 * sinIt(0.1 * t)};
    const Vec3 up = {std::sin(t), std::cos(t), 0};
    const Vec3 f = vecNormalise(vecSub(g, e));
    const Vec3 u = vecNormalise(vecSub(up, vecScale(f, vecDot(up, f))));
    const Vec3 r = vecCross(u, f);
    for (const int i : {0, 1, 125, 333, 499}) {
        // The step angle: i x 0.002 in single precision, then x 125.64 in
        // double. Doing it all in double moves step 333 by about 1e-4 pixel.
        const double angle = static_cast<double>(static_cast<float>(i) * 0.002f) * 125.64;
        for (const int outer : {0, 1}) {
            const double radius = outer ? 50 : 30;
            const Vec3 d = vecSub({radius * std::sin(angle), radius * std::cos(angle), i - 125.0}, e);
            const double x = vecDot(r, d), y = vecDot(u, d), z = vecDot(f, d);
            const Vertex& v = RibbonVertices[2 * i + outer];
            EXPECT_NEAR(v.depth, z, 1e-9) << i;
            EXPECT_NEAR(v.x, x * (200 / z) + 160, 1e-9) << i;
            EXPECT_NEAR(v.y, 100 - y * (200 / z), 1e-9) << i;
        }
    }
    // From the helix alone, whatever the camera (any turn and shift keeps
    // distances): undoing the projection, the inner and outer vertex of a
    // step are 50 - 30 = 20 apart, and neighbouring inner vertices one
    // chord of the radius-30 circle and one unit of height apart.
    auto back = [](const Vertex& v) {
        return Vec3{(v.x - 160) * v.depth / 200, (100 - v.y) * v.depth / 200, v.depth};
    };
    auto dist = [](const Vec3& a, const Vec3& b) { return std::sqrt(vecDot(vecSub(a, b), vecSub(a, b))); };
    for (const int i : {0, 77, 250, 498}) {
        const Vec3 in = back(RibbonVertices[2 * i]), out = back(RibbonVertices[2 * i + 1]);
        const Vec3 next = back(RibbonVertices[2 * i + 2]);
        EXPECT_NEAR(dist(in, out), 20.0, 1e-6) << i;
        const double a0 = static_cast<double>(static_cast<float>(i) * 0.002f) * 125.64;
        const double a1 = static_cast<double>(static_cast<float>(i + 1) * 0.002f) * 125.64;
        const double chord = 30 * std::hypot(std::sin(a1) - std::sin(a0), std::cos(a1) - std::cos(a0));
        EXPECT_NEAR(dist(in, next), std::hypot(chord, 1.0), 1e-6) << i;
    }
}

// Drawn band by band, each band taking every primitive in order (as the
// frame's threads draw the ribbon and the knot's sprites), the picture is
// the one drawn whole: fills, lines whose side pixels fall in the next band,
// and sprites cut by band edges.
TEST(RibbonBands, BandByBandIsTheWholePicture) {
    std::vector<uint32_t> sprite(256 * 256);
    for (size_t i = 0; i < sprite.size(); ++i) sprite[i] = static_cast<uint32_t>(i * 2654435761u) & 0x7F7F7F;
    auto draw = [&](std::vector<uint32_t>& f, int y0, int y1) {
        for (int k = 0; k < 40; ++k) {
            const double s = k * 0.37;
            const Vertex quad[4] = {{20 + 7.3 * k, 5 + 4.1 * k, 2},
                                    {60 + 6.1 * k, 2 + 4.7 * k, 2},
                                    {50 + 6.9 * k, 40 + 3.3 * k, 2},
                                    {15 + 7.7 * k, 35 + 3.9 * k, 2}};
            fillPolygon(f.data(), quad, 4, 0x102030, y0, y1);
            drawLine(f.data(), quad[0], quad[2], 0xF0E0D0 + static_cast<uint32_t>(k), y0, y1);
            drawLine(f.data(), {160 + 150 * std::sin(s), 100 + 99 * std::cos(s), 1}, {160, 100, 1}, 0xFFFFFF, y0, y1);
            drawGlowSprite(17 * k - 40, 11 * k - 30, 9, 3 + k, f.data(), sprite.data(), y0, y1);
        }
    };
    std::vector<uint32_t> whole(kFramePixels, 0x010101), banded = whole;
    draw(whole, 0, kFrameHeight);
    for (int y = 0; y < kFrameHeight; y += 13) draw(banded, y, std::min(y + 13, kFrameHeight));
    int lit = 0;
    for (uint32_t p : whole) lit += p != 0x010101;
    EXPECT_GT(lit, 10000);
    EXPECT_EQ(banded, whole);
}
