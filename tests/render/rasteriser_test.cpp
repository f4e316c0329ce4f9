// The triangle fillers on hand-computed triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "render/rasteriser.h"
#include "render/shade_table.h"

using namespace marrow;

namespace {

constexpr uint32_t kFar = 0xFFFFFFFFu;
constexpr int32_t kFullLight = 0xFFFFFF;

// A colour-and-depth buffer with guard words on both sides, cleared as a
// scene clears it.
struct Buffer {
    static constexpr size_t kGuard = 4096;
    std::vector<uint32_t> words = std::vector<uint32_t>(kGuard * 2 + 2 * kFramePixels, 0xDEADBEEF);
    Buffer() {
        std::fill(colour(), colour() + kFramePixels, 0u);
        std::fill(depth(), depth() + kFramePixels, kFar);
    }
    uint32_t* colour() { return words.data() + kGuard; }
    uint32_t* depth() { return colour() + kFramePixels; }
    uint32_t at(int x, int y) { return colour()[y * kFrameWidth + x]; }
    bool guardsIntact() const {
        for (size_t i = 0; i < kGuard; ++i)
            if (words[i] != 0xDEADBEEF || words[words.size() - 1 - i] != 0xDEADBEEF) return false;
        return true;
    }
    int written() {
        int n = 0;
        for (int i = 0; i < kFramePixels; ++i) n += depth()[i] != kFar;
        return n;
    }
};

RenderVertex vertex(int x, int y, int32_t depth = 65536 * 100, int32_t light = kFullLight) {
    RenderVertex v{};
    v.sx = x * 65536;
    v.sy = y;
    v.depth = depth;
    v.intensity = light;
    return v;
}

class Rasteriser : public testing::Test {
protected:
    static void SetUpTestSuite() { initShadeTable(); }
};

}  // namespace

TEST_F(Rasteriser, ShadeTableIsAQuarterSine) {
    for (int j = 0; j < 256; ++j) EXPECT_EQ(ShadeTable[j], 0) << j;
    EXPECT_EQ(ShadeTable[128 * 256 + 255], 180);
    EXPECT_EQ(ShadeTable[255 * 256 + 255], 254);
    for (int i = 0; i < 256; i += 17)
        for (int j = 0; j < 256; j += 13)
            EXPECT_EQ(ShadeTable[i * 256 + j], static_cast<int>(j * std::sin(i * 0.0061261005))) << i << "," << j;
    // Each row rises with the component, each column with the light.
    for (int i = 1; i < 256; ++i)
        for (int j = 1; j < 256; ++j) {
            ASSERT_GE(ShadeTable[i * 256 + j], ShadeTable[i * 256 + j - 1]);
            ASSERT_GE(ShadeTable[i * 256 + j], ShadeTable[(i - 1) * 256 + j]);
        }
}

TEST_F(Rasteriser, DegenerateTrianglesDrawNothing) {
    Buffer buf;
    // H = 0: all three corners on one row.
    fillShadedTriangle(vertex(10, 20), vertex(100, 20), vertex(50, 20), 255, 255, 255, buf.colour());
    // w = 0: the middle vertex lies on the long edge.
    fillShadedTriangle(vertex(10, 10), vertex(30, 30), vertex(50, 50), 255, 255, 255, buf.colour());
    EXPECT_EQ(buf.written(), 0);
}

TEST_F(Rasteriser, FlatTopAndFlatBottomDrawHRowsWithoutTheBottomRow) {
    {
        Buffer buf;  // flat top: rows 10..49 of a right triangle
        fillShadedTriangle(vertex(10, 10), vertex(50, 10), vertex(10, 50), 255, 255, 255, buf.colour());
        for (int y = 0; y < 200; ++y) {
            int n = 0;
            for (int x = 0; x < 320; ++x) n += buf.at(x, y) != 0;
            if (y < 10 || y >= 50) {
                EXPECT_EQ(n, 0) << y;
            } else {
                EXPECT_EQ(n, 40 - (y - 10)) << y;  // the hypotenuse moves one column per row
            }
        }
        EXPECT_EQ(buf.at(10, 10), 0xFEFEFEu);  // 255 at full light is 254
    }
    {
        Buffer buf;  // flat bottom: apex at row 10, base on row 50 (not drawn)
        fillShadedTriangle(vertex(30, 10), vertex(10, 50), vertex(50, 50), 255, 255, 255, buf.colour());
        int rows = 0;
        for (int y = 0; y < 200; ++y) {
            int n = 0;
            for (int x = 0; x < 320; ++x) n += buf.at(x, y) != 0;
            rows += n > 0;
            if (y >= 50) {
                EXPECT_EQ(n, 0);
            }
        }
        EXPECT_EQ(rows, 39);  // row 10 has zero width (xr = xl)
    }
}

TEST_F(Rasteriser, WindingDoesNotMatterToTheFillerAndSpansAreHalfOpen) {
    Buffer a, b;
    fillShadedTriangle(vertex(10, 10), vertex(60, 30), vertex(20, 70), 200, 100, 50, a.colour());
    fillShadedTriangle(vertex(20, 70), vertex(60, 30), vertex(10, 10), 200, 100, 50, b.colour());
    EXPECT_EQ(std::vector<uint32_t>(a.colour(), a.colour() + kFramePixels),
              std::vector<uint32_t>(b.colour(), b.colour() + kFramePixels));
    // Two triangles sharing an edge never both draw a pixel, and together
    // they cover the square exactly (top row and left column in, bottom row
    // and right column out).
    Buffer c, d;
    fillShadedTriangle(vertex(10, 10), vertex(100, 10), vertex(10, 100), 255, 0, 0, c.colour());
    fillShadedTriangle(vertex(100, 10), vertex(100, 100), vertex(10, 100), 0, 255, 0, d.colour());
    int both = 0, either = 0;
    for (int i = 0; i < kFramePixels; ++i) {
        both += c.colour()[i] != 0 && d.colour()[i] != 0;
        either += c.colour()[i] != 0 || d.colour()[i] != 0;
    }
    EXPECT_EQ(both, 0);
    EXPECT_EQ(either, 90 * 90);
}

TEST_F(Rasteriser, DepthTestIsStrictAndUnsigned) {
    Buffer buf;
    fillShadedTriangle(vertex(10, 10), vertex(100, 10), vertex(10, 100, 65536 * 100), 255, 0, 0, buf.colour());
    // The same triangle at the same depth in another colour: no change.
    fillShadedTriangle(vertex(10, 10), vertex(100, 10), vertex(10, 100, 65536 * 100), 0, 255, 0, buf.colour());
    EXPECT_EQ(buf.at(20, 20), 0xFE0000u);
    EXPECT_EQ(buf.depth()[20 * 320 + 20], static_cast<uint32_t>((65536 * 100) >> 8));
    // Nearer wins.
    fillShadedTriangle(vertex(10, 10, 65536 * 50), vertex(100, 10, 65536 * 50), vertex(10, 100, 65536 * 50), 0, 0,
                       255, buf.colour());
    EXPECT_EQ(buf.at(20, 20), 0x0000FEu);
    // A negative depth (just behind the near plane) compares as a huge
    // unsigned value: farther than anything already drawn.
    fillShadedTriangle(vertex(10, 10, -65536), vertex(100, 10, -65536), vertex(10, 100, -65536), 0, 255, 0,
                       buf.colour());
    EXPECT_EQ(buf.at(20, 20), 0x0000FEu);
}

TEST_F(Rasteriser, LightSelectsTheShadeRow) {
    Buffer buf;
    fillShadedTriangle(vertex(10, 10, 65536, 0), vertex(100, 10, 65536, 0), vertex(10, 100, 65536, 0), 255, 255,
                       255, buf.colour());
    EXPECT_EQ(buf.at(20, 20), 0u);
    EXPECT_EQ(buf.depth()[20 * 320 + 20], 256u);  // drawn, just black
    Buffer half;
    const int32_t level = 128 << 16;  // top 8 bits 128: 255 -> 180
    fillShadedTriangle(vertex(10, 10, 65536, level), vertex(100, 10, 65536, level), vertex(10, 100, 65536, level), 255,
                       128, 0, half.colour());
    EXPECT_EQ(half.at(20, 20), (180u << 16) | (static_cast<uint32_t>(ShadeTable[128 * 256 + 128]) << 8));
}

TEST_F(Rasteriser, AffineTextureWrapsAt256Texels) {
    std::vector<uint32_t> tex(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) tex[r * 256 + c] = (static_cast<uint32_t>(c) << 16) | (static_cast<uint32_t>(r) << 8);
    // Constant u of 256 texels (16.16) and v of 3 texels: reads column 0,
    // row 3 everywhere.
    RenderVertex a = vertex(10, 10), b = vertex(100, 10), c = vertex(10, 100);
    for (RenderVertex* p : {&a, &b, &c}) {
        p->u = 256.0f * 65536.0f;
        p->v = 3.0f * 65536.0f;
    }
    Buffer buf;
    fillTexturedTriangle(a, b, c, tex.data(), buf.colour());
    EXPECT_EQ(buf.at(30, 30), static_cast<uint32_t>(ShadeTable[255 * 256 + 3]) << 8);
    // A u ramp of one texel per pixel: column x - 10 at pixel x.
    a.u = 0;
    b.u = 90.0f * 65536.0f;
    c.u = 0;
    Buffer ramp;
    fillTexturedTriangle(a, b, c, tex.data(), ramp.colour());
    for (int x = 10; x < 60; ++x)
        EXPECT_EQ(ramp.at(x, 20) >> 16, ShadeTable[255 * 256 + (x - 10)]) << x;
}

// The perspective filler against a direct evaluation of its block rule:
// at pixel k of a span, u = u0 + (k / 16 block's linear interpolation).
TEST_F(Rasteriser, PerspectiveSpansOf16And17And3Pixels) {
    std::vector<uint32_t> tex(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) tex[r * 256 + c] = static_cast<uint32_t>(c) << 16;
    for (int width : {16, 17, 3}) {
        // A flat-top triangle whose first row spans `width` pixels at
        // constant depth z = 4: u' = u/z, q = 2^24/z.
        const float z = 4.0f;
        RenderVertex a = vertex(0, 10), b = vertex(width, 10), c = vertex(0, 10 + width);
        auto setUV = [&](RenderVertex& p, float texels) {
            float u = texels * 16777216.0f;  // 8.24 texels
            p.uOverZ = u / z;
            p.vOverZ = 0;
            p.invZ = 16777216.0f / z;
        };
        setUV(a, 0);
        setUV(b, static_cast<float>(width));  // one texel per pixel
        setUV(c, 0);
        Buffer buf;
        fillPerspectiveTriangle(a, b, c, tex.data(), buf.colour());
        for (int x = 0; x < width; ++x) EXPECT_EQ(buf.at(x, 10) >> 16, ShadeTable[255 * 256 + x]) << width << ":" << x;
        EXPECT_EQ(buf.at(width, 10), 0u) << width;
    }
}

TEST_F(Rasteriser, NothingIsWrittenOutsideTheBufferWhateverTheVertices) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-2000, 2000);
    std::vector<uint32_t> tex(256 * 256, 0x808080);
    Buffer buf;
    for (int i = 0; i < 3000; ++i) {
        RenderVertex v[3];
        for (auto& p : v) {
            p = vertex(coord(rng), coord(rng) / 4, coord(rng) * 65536, kFullLight);
            p.u = static_cast<float>(coord(rng)) * 65536.0f;
            p.v = static_cast<float>(coord(rng)) * 65536.0f;
            p.invZ = 16777216.0f / static_cast<float>(1 + (coord(rng) & 1023));
            p.uOverZ = p.u * p.invZ / 16777216.0f;
            p.vOverZ = p.v * p.invZ / 16777216.0f;
        }
        switch (i % 3) {
            case 0: fillShadedTriangle(v[0], v[1], v[2], 255, 255, 255, buf.colour()); break;
            case 1: fillTexturedTriangle(v[0], v[1], v[2], tex.data(), buf.colour()); break;
            default: fillPerspectiveTriangle(v[0], v[1], v[2], tex.data(), buf.colour()); break;
        }
    }
    EXPECT_TRUE(buf.guardsIntact());
    EXPECT_GT(buf.written(), 0);
    // Extreme values: the x86 conversion sentinel and wrapped rows.
    RenderVertex e[3] = {vertex(0, INT32_MIN), vertex(0, 0), vertex(0, 0)};
    e[0].sx = INT32_MIN;
    e[1].sx = INT32_MAX;
    e[2].sy = INT32_MAX;
    fillShadedTriangle(e[0], e[1], e[2], 1, 2, 3, buf.colour());
    EXPECT_TRUE(buf.guardsIntact());
}

// A scene drawn band by band (as the frame's threads draw it) is the scene
// drawn whole, pixel and depth, for every filler: the rows outside a band
// are walked, not skipped, so the perspective filler's float stepping ends
// the same. And a band writes nothing outside its rows.
TEST_F(Rasteriser, BandByBandIsTheWholeTriangle) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-400, 700);
    std::vector<uint32_t> tex(256 * 256);
    for (uint32_t& t : tex) t = rng() & 0xFFFFFF;
    std::vector<RenderVertex> corners;
    for (int i = 0; i < 3 * 600; ++i) {
        RenderVertex p = vertex(coord(rng), coord(rng) / 3, (100 + (coord(rng) & 4095)) * 65536,
                                static_cast<int32_t>(rng() & 0xFFFFFF));
        p.u = static_cast<float>(coord(rng)) * 65536.0f;
        p.v = static_cast<float>(coord(rng)) * 65536.0f;
        // Perspective coordinates in 8.24 texels, up to a few hundred
        // texels: large enough that the float steps of 1/z show in them.
        p.invZ = 16777216.0f / (1.0f + static_cast<float>(coord(rng) & 1023) * 0.37f);
        p.uOverZ = static_cast<float>(coord(rng)) * 1048576.0f * p.invZ / 16777216.0f;
        p.vOverZ = static_cast<float>(coord(rng)) * 1048576.0f * p.invZ / 16777216.0f;
        corners.push_back(p);
    }
    auto drawAll = [&](uint32_t* buffer, RowBand rows) {
        for (size_t k = 0; k + 2 < corners.size(); k += 3) {
            const RenderVertex &a = corners[k], &b = corners[k + 1], &c = corners[k + 2];
            switch (k / 3 % 3) {
                case 0: fillShadedTriangle(a, b, c, 200, 100, 50, buffer, rows); break;
                case 1: fillTexturedTriangle(a, b, c, tex.data(), buffer, rows); break;
                default: fillPerspectiveTriangle(a, b, c, tex.data(), buffer, rows); break;
            }
        }
    };
    Buffer whole, banded, single;
    drawAll(whole.colour(), RowBand{});
    for (int y = 0; y < kFrameHeight; y += 7) drawAll(banded.colour(), RowBand{y, std::min(y + 7, kFrameHeight)});
    EXPECT_GT(whole.written(), 20000);
    EXPECT_TRUE(std::equal(whole.colour(), whole.colour() + 2 * kFramePixels, banded.colour()));
    drawAll(single.colour(), RowBand{37, 38});
    for (int i = 0; i < kFramePixels; ++i) {
        const bool inBand = i / kFrameWidth == 37;
        ASSERT_EQ(single.colour()[i], inBand ? whole.colour()[i] : 0u) << i;
        ASSERT_EQ(single.depth()[i], inBand ? whole.depth()[i] : kFar) << i;
    }
}
