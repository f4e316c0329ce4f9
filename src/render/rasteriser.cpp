#include "render/rasteriser.h"

#include "render/shade_table.h"
#include "render/triangle_setup.h"

namespace marrow {

using raster::EdgeValues;
using raster::Texturing;
using raster::Triangle;

namespace {

// The visible part of a span xl..xr-1 and how many pixels were cut off its
// left end. False when nothing of it is on the screen.
inline bool clampSpan(int32_t xl, int32_t xr, int32_t& x0, int32_t& x1, int32_t& skipped) {
    if (xr <= xl) return false;
    x0 = xl < 0 ? 0 : xl;
    x1 = xr > kFrameWidth ? kFrameWidth : xr;
    skipped = wrapSub(x0, xl);
    return x1 > x0;
}

// The lit colour of components r, g, b at the light accumulator's level
// (its high byte is the ShadeTable row).
inline uint32_t shade(uint32_t light16, uint32_t r, uint32_t g, uint32_t b) {
    const uint8_t* row = ShadeTable + (light16 & 0xFF00);
    return (static_cast<uint32_t>(row[r]) << 16) | (static_cast<uint32_t>(row[g]) << 8) | row[b];
}

inline uint32_t shadeTexel(uint32_t light16, uint32_t texel) {
    return shade(light16, (texel >> 16) & 0xFF, (texel >> 8) & 0xFF, texel & 0xFF);
}

}  // namespace

void fillShadedTriangle(const RenderVertex& v0, const RenderVertex& v1, const RenderVertex& v2, uint8_t red,
                        uint8_t green, uint8_t blue, uint32_t* buffer, RowBand rows) {
    Triangle t;
    if (!raster::setUpTriangle(v0, v1, v2, t) || !raster::meetsRows(t, rows.begin, rows.end)) return;
    const int32_t dLight = raster::spanGradient(t, t.a->intensity, t.b->intensity, t.c->intensity);
    const int32_t dDepth = raster::spanGradient(t, t.a->depth, t.b->depth, t.c->depth);
    uint32_t* depthBuffer = buffer + kFramePixels;

    raster::scanTriangle<Texturing::None>(t, rows.begin, rows.end, [&](int32_t row, const EdgeValues& left, const EdgeValues& right) {
        int32_t x0, x1, skipped;
        if (!clampSpan(left.x >> 16, right.x >> 16, x0, x1, skipped)) return;
        // Span accumulators: depth is the edge value >> 8; light is bits
        // 8..23 of the 8.24 intensity, a 16-bit value whose high byte is the
        // shade row.
        int32_t depth = wrapAdd(left.depth >> 8, wrapMul(dDepth, skipped));
        uint16_t light = static_cast<uint16_t>((static_cast<uint32_t>(left.light) >> 8) +
                                               static_cast<uint32_t>(wrapMul(dLight, skipped)));
        uint32_t* colour = buffer + row * kFrameWidth;
        uint32_t* z = depthBuffer + row * kFrameWidth;
        for (int32_t x = x0; x < x1; ++x) {
            if (static_cast<uint32_t>(depth) < z[x]) {
                colour[x] = shade(light, red, green, blue);
                z[x] = static_cast<uint32_t>(depth);
            }
            depth = wrapAdd(depth, dDepth);
            light = static_cast<uint16_t>(light + static_cast<uint16_t>(dLight));
        }
    });
}

void fillTexturedTriangle(const RenderVertex& v0, const RenderVertex& v1, const RenderVertex& v2,
                          const uint32_t* texture, uint32_t* buffer, RowBand rows) {
    Triangle t;
    if (!raster::setUpTriangle(v0, v1, v2, t) || !raster::meetsRows(t, rows.begin, rows.end)) return;
    const int32_t dLight = raster::spanGradient(t, t.a->intensity, t.b->intensity, t.c->intensity);
    const int32_t dDepth = raster::spanGradient(t, t.a->depth, t.b->depth, t.c->depth);
    const int32_t dU = truncToInt32(raster::spanGradientF(t, t.a->u, t.b->u, t.c->u, 256.0));
    const int32_t dV = truncToInt32(raster::spanGradientF(t, t.a->v, t.b->v, t.c->v, 256.0));
    uint32_t* depthBuffer = buffer + kFramePixels;

    raster::scanTriangle<Texturing::Affine>(t, rows.begin, rows.end, [&](int32_t row, const EdgeValues& left, const EdgeValues& right) {
        int32_t x0, x1, skipped;
        if (!clampSpan(left.x >> 16, right.x >> 16, x0, x1, skipped)) return;
        int32_t depth = wrapAdd(left.depth >> 8, wrapMul(dDepth, skipped));
        uint16_t light = static_cast<uint16_t>((static_cast<uint32_t>(left.light) >> 8) +
                                               static_cast<uint32_t>(wrapMul(dLight, skipped)));
        // u, v: bits 8..23 of the 16.16 edge values, 8.8 texels in 16 bits,
        // so the texture wraps for free.
        uint16_t u = static_cast<uint16_t>((static_cast<uint32_t>(left.u) >> 8) +
                                           static_cast<uint32_t>(wrapMul(dU, skipped)));
        uint16_t v = static_cast<uint16_t>((static_cast<uint32_t>(left.v) >> 8) +
                                           static_cast<uint32_t>(wrapMul(dV, skipped)));
        uint32_t* colour = buffer + row * kFrameWidth;
        uint32_t* z = depthBuffer + row * kFrameWidth;
        for (int32_t x = x0; x < x1; ++x) {
            if (static_cast<uint32_t>(depth) < z[x]) {
                colour[x] = shadeTexel(light, texture[(v & 0xFF00) | (u >> 8)]);
                z[x] = static_cast<uint32_t>(depth);
            }
            depth = wrapAdd(depth, dDepth);
            light = static_cast<uint16_t>(light + static_cast<uint16_t>(dLight));
            u = static_cast<uint16_t>(u + static_cast<uint16_t>(dU));
            v = static_cast<uint16_t>(v + static_cast<uint16_t>(dV));
        }
    });
}

void fillPerspectiveTriangle(const RenderVertex& v0, const RenderVertex& v1, const RenderVertex& v2,
                             const uint32_t* texture, uint32_t* buffer, RowBand rows) {
    Triangle t;
    if (!raster::setUpTriangle(v0, v1, v2, t) || !raster::meetsRows(t, rows.begin, rows.end)) return;
    const int32_t dLight = raster::spanGradient(t, t.a->intensity, t.b->intensity, t.c->intensity);
    const int32_t dDepth = raster::spanGradient(t, t.a->depth, t.b->depth, t.c->depth);
    // Steps of u/z, v/z and 2^24/z over 16 pixels.
    const double kBlock = 65536.0 * 16.0;
    const int32_t dU16 = truncToInt32(raster::spanGradientF(t, t.a->uOverZ, t.b->uOverZ, t.c->uOverZ, kBlock));
    const int32_t dV16 = truncToInt32(raster::spanGradientF(t, t.a->vOverZ, t.b->vOverZ, t.c->vOverZ, kBlock));
    const float dQ16 = static_cast<float>(raster::spanGradientF(t, t.a->invZ, t.b->invZ, t.c->invZ, kBlock));
    uint32_t* depthBuffer = buffer + kFramePixels;

    raster::scanTriangle<Texturing::Perspective>(t, rows.begin, rows.end, [&](int32_t row, const EdgeValues& left,
                                                        const EdgeValues& right) {
        const int32_t xl = left.x >> 16, xr = right.x >> 16;
        int32_t x0, x1, skipped;
        if (!clampSpan(xl, xr, x0, x1, skipped)) return;
        int32_t depth = left.depth >> 8;
        uint16_t light = static_cast<uint16_t>(static_cast<uint32_t>(left.light) >> 8);
        uint32_t* colour = buffer + row * kFrameWidth;
        uint32_t* z = depthBuffer + row * kFrameWidth;

        // u/z * 256 / (2^24/z) = u / 2^16: shading 3 (mapping * 2^32) and
        // shading 4 (8.24 texels) both come out as 8.8 texels.
        int32_t uz = left.u, vz = left.v;
        float q = left.q;
        int32_t uStart = truncToInt32(static_cast<double>(uz) * 256.0 / q);
        int32_t vStart = truncToInt32(static_cast<double>(vz) * 256.0 / q);
        const int32_t n = wrapSub(xr, xl);
        for (int32_t block = 0; block < n; block += 16) {
            const int32_t count = n - block < 16 ? n - block : 16;
            // The position 16 pixels on, also for a shorter last block.
            uz = wrapAdd(uz, dU16);
            vz = wrapAdd(vz, dV16);
            q += dQ16;
            const int32_t uEnd = truncToInt32(static_cast<double>(uz) * 256.0 / q);
            const int32_t vEnd = truncToInt32(static_cast<double>(vz) * 256.0 / q);
            const int32_t du = wrapSub(uEnd, uStart) >> 4;
            const int32_t dv = wrapSub(vEnd, vStart) >> 4;
            uint16_t u = static_cast<uint16_t>(uStart);
            uint16_t v = static_cast<uint16_t>(vStart);
            // Only the part of the block on the screen is written; the
            // accumulators still run over the part that is not.
            const int32_t bx = xl + block;
            int32_t p = 0;
            if (bx < x0) {
                p = x0 - bx < count ? x0 - bx : count;
                depth = wrapAdd(depth, wrapMul(dDepth, p));
                light = static_cast<uint16_t>(light + static_cast<uint32_t>(wrapMul(dLight, p)));
                u = static_cast<uint16_t>(u + static_cast<uint32_t>(wrapMul(du, p)));
                v = static_cast<uint16_t>(v + static_cast<uint32_t>(wrapMul(dv, p)));
            }
            const int32_t end = x1 - bx < count ? x1 - bx : count;
            for (; p < end; ++p) {
                const int32_t x = bx + p;
                if (static_cast<uint32_t>(depth) < z[x]) {
                    colour[x] = shadeTexel(light, texture[(v & 0xFF00) | (u >> 8)]);
                    z[x] = static_cast<uint32_t>(depth);
                }
                depth = wrapAdd(depth, dDepth);
                light = static_cast<uint16_t>(light + static_cast<uint16_t>(dLight));
                u = static_cast<uint16_t>(u + static_cast<uint16_t>(du));
                v = static_cast<uint16_t>(v + static_cast<uint16_t>(dv));
            }
            if (end < count) {
                // Past the right edge of the screen: the rest of the span is
                // off it too.
                break;
            }
            uStart = uEnd;
            vStart = vEnd;
        }
    });
}

}  // namespace marrow
