// triangle_setup.h: what the three fillers share: vertex ordering, the
// long-edge distance w, edge stepping and the walk down the rows. Private to
// the rasteriser.
#pragma once

#include <cstdint>
#include <utility>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "render/render_vertex.h"

namespace marrow::raster {

// Which quantities an edge carries besides x.
enum class Texturing { None, Affine, Perspective };

// One edge's running values: x 16.16, intensity 8.24, depth z*65536, and the
// texture quantities (affine: u, v in 16.16 texels; perspective: u/z, v/z as
// integers and 2^24/z as a float).
struct EdgeValues {
    int32_t x = 0, light = 0, depth = 0, u = 0, v = 0;
    float q = 0;
};

template <Texturing T>
inline EdgeValues edgeStart(const RenderVertex& p) {
    EdgeValues e;
    e.x = p.sx;
    e.light = p.intensity;
    e.depth = p.depth;
    if constexpr (T == Texturing::Affine) {
        e.u = truncToInt32(p.u);
        e.v = truncToInt32(p.v);
    } else if constexpr (T == Texturing::Perspective) {
        e.u = truncToInt32(p.uOverZ);
        e.v = truncToInt32(p.vOverZ);
        e.q = p.invZ;
    }
    return e;
}

// Per-row steps from p down to q over `rows` rows (rows > 0). Integer
// quantities divide with truncation toward zero; float ones divide in
// floating point and are truncated where the edge value is an integer.
template <Texturing T>
inline EdgeValues edgeStep(const RenderVertex& p, const RenderVertex& q, int32_t rows) {
    EdgeValues s;
    s.x = wrapSub(q.sx, p.sx) / rows;
    s.light = wrapSub(q.intensity, p.intensity) / rows;
    s.depth = wrapSub(q.depth, p.depth) / rows;
    const float n = static_cast<float>(rows);
    if constexpr (T == Texturing::Affine) {
        s.u = truncToInt32((q.u - p.u) / n);
        s.v = truncToInt32((q.v - p.v) / n);
    } else if constexpr (T == Texturing::Perspective) {
        s.u = truncToInt32((q.uOverZ - p.uOverZ) / n);
        s.v = truncToInt32((q.vOverZ - p.vOverZ) / n);
        s.q = (q.invZ - p.invZ) / n;
    }
    return s;
}

template <Texturing T>
inline void edgeAdvance(EdgeValues& e, const EdgeValues& s, int32_t times) {
    e.x = wrapAdd(e.x, wrapMul(s.x, times));
    e.light = wrapAdd(e.light, wrapMul(s.light, times));
    e.depth = wrapAdd(e.depth, wrapMul(s.depth, times));
    if constexpr (T != Texturing::None) {
        e.u = wrapAdd(e.u, wrapMul(s.u, times));
        e.v = wrapAdd(e.v, wrapMul(s.v, times));
    }
    if constexpr (T == Texturing::Perspective) {
        if (times == 1) e.q += s.q;
        else e.q += s.q * static_cast<float>(times);  // only for rows above the screen
    }
}

// The triangle after ordering: A top, B middle, C bottom.
struct Triangle {
    const RenderVertex* a;
    const RenderVertex* b;
    const RenderVertex* c;
    int32_t h, h1, h2;  // rows A..C, A..B, B..C
    double f;           // h1 / h
    int32_t w;          // 16.16 distance from B to the long edge on B's row; its sign says which side
};

// Orders the corners and measures the triangle. False when it covers no
// row (H = 0) or no width (w = 0): nothing is drawn.
inline bool setUpTriangle(const RenderVertex& v0, const RenderVertex& v1, const RenderVertex& v2, Triangle& t) {
    const RenderVertex* a = &v0;
    const RenderVertex* b = &v1;
    const RenderVertex* c = &v2;
    // Three compare-and-swaps, each only when strictly out of order.
    if (a->sy > c->sy) std::swap(a, c);
    if (a->sy > b->sy) std::swap(a, b);
    if (b->sy > c->sy) std::swap(b, c);
    t.a = a;
    t.b = b;
    t.c = c;
    t.h = wrapSub(c->sy, a->sy);
    t.h1 = wrapSub(b->sy, a->sy);
    t.h2 = wrapSub(c->sy, b->sy);
    if (t.h <= 0) return false;  // H = 0 (or rows so far apart they wrapped)
    t.f = static_cast<double>(t.h1) / t.h;
    t.w = truncToInt32(static_cast<double>(wrapSub(c->sx, a->sx)) * t.f + static_cast<double>(wrapSub(a->sx, b->sx)));
    return t.w != 0;
}

// Span gradient of an integer quantity in span-accumulator units (the edge
// value >> 8 per pixel): ((C - A) * f + (A - B)) * 256 / w.
inline int32_t spanGradient(const Triangle& t, int32_t qa, int32_t qb, int32_t qc) {
    return truncToInt32((static_cast<double>(wrapSub(qc, qa)) * t.f + static_cast<double>(wrapSub(qa, qb))) * 256.0 /
                        t.w);
}

// Span gradient of a float quantity, scaled by `scale` (256 for affine
// texture coordinates, 65536 * 16 for the perspective blocks).
inline double spanGradientF(const Triangle& t, float qa, float qb, float qc, double scale) {
    return (static_cast<double>(qc - qa) * t.f + static_cast<double>(qa - qb)) * scale / t.w;
}

// Whether the triangle has a row in firstRow..endRow-1 (rows A.sy up to,
// not including, C.sy).
inline bool meetsRows(const Triangle& t, int32_t firstRow, int32_t endRow) {
    return t.c->sy > firstRow && t.a->sy < endRow;
}

// Walks the rows of the triangle and calls span(row, left, right) for each
// row on the screen. Rows run from A.sy for H rows (C's row is not drawn);
// the short edge switches to its lower half on B's row.
// Rows outside `rows` are walked (the edges step the same) but not drawn.
template <Texturing T, typename Span>
inline void scanTriangle(const Triangle& t, int32_t firstRow, int32_t endRow, Span&& span) {
    const RenderVertex& A = *t.a;
    const RenderVertex& B = *t.b;
    const EdgeValues longStep = edgeStep<T>(A, *t.c, t.h);
    EdgeValues upperStep, lowerStep;
    if (t.h1 != 0) upperStep = edgeStep<T>(A, B, t.h1);
    if (t.h2 != 0) lowerStep = edgeStep<T>(B, *t.c, t.h2);

    EdgeValues left, right, leftStep, rightStep;
    if (t.w > 0) {  // the long edge is on the right, the middle vertex on the left
        if (t.h1 != 0) {
            left = edgeStart<T>(A);
            leftStep = upperStep;
        } else {
            left = edgeStart<T>(B);
            leftStep = lowerStep;
        }
        right.x = A.sx;
        rightStep.x = longStep.x;
    } else {
        left = edgeStart<T>(A);
        leftStep = longStep;
        right.x = t.h1 != 0 ? A.sx : B.sx;
        rightStep.x = t.h1 != 0 ? upperStep.x : lowerStep.x;
    }

    int32_t row = A.sy;
    int32_t remaining = t.h;
    while (remaining > 0 && row < endRow) {
        if (remaining == t.h2) {
            if (t.w > 0) {
                left = edgeStart<T>(B);
                leftStep = lowerStep;
            } else {
                right.x = B.sx;
                rightStep.x = lowerStep.x;
            }
        }
        if (row < 0) {
            // Above the screen: step straight to row 0, or to B's row if that
            // comes first, without walking each row.
            int32_t skip = row == INT32_MIN ? INT32_MAX : -row;
            if (remaining > t.h2 && remaining - t.h2 < skip) skip = remaining - t.h2;
            if (remaining < skip) skip = remaining;
            edgeAdvance<T>(left, leftStep, skip);
            right.x = wrapAdd(right.x, wrapMul(rightStep.x, skip));
            row = wrapAdd(row, skip);
            remaining -= skip;
            continue;
        }
        if (row >= firstRow) span(row, left, right);
        edgeAdvance<T>(left, leftStep, 1);
        right.x = wrapAdd(right.x, rightStep.x);
        ++row;
        --remaining;
    }
}

}  // namespace marrow::raster
