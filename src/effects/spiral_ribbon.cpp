#include "effects/spiral_ribbon.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/compositing.h"
#include "effects/vec3.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

Vertex RibbonVertices[2 * kRibbonSteps];

namespace {

// Steps whose quads are drawn: quads 0..247 join steps 0..248.
constexpr int kRibbonQuads = 248;
constexpr uint32_t kRibbonFill = 0x233CC8;
constexpr uint32_t kRibbonEdge = 0xFFFFFF;
constexpr double kRibbonFocal = 200.0;  // pixels per unit of x'/z'
constexpr int kClipWork = clipOutputCapacity(kMaxClipInput);

// One Sutherland-Hodgman stage against the line (x or y) = limit, keeping
// the side where the coordinate is below the limit (keepBelow) or above it.
// "Inside" and "outside" are both strict: a vertex on the line is copied
// only as the end of a crossing, where the intersection lands on it.
int clipStage(const Vertex* in, int n, Vertex* out, bool alongX, double limit, bool keepBelow) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = in[i];
        const Vertex& b = in[i + 1 < n ? i + 1 : 0];
        const double ca = alongX ? a.x : a.y;
        const double cb = alongX ? b.x : b.y;
        const bool aOutside = keepBelow ? ca > limit : ca < limit;
        const bool bOutside = keepBelow ? cb > limit : cb < limit;
        const bool aInside = keepBelow ? ca < limit : ca > limit;
        if (aInside) out[m++] = a;
        if (aOutside != bOutside) {
            // cb != ca here: exactly one of them is strictly beyond the limit.
            const double t = (limit - ca) / (cb - ca);
            Vertex cut;
            if (alongX) {
                cut.x = limit;
                cut.y = a.y + (b.y - a.y) * t;
            } else {
                cut.x = a.x + (b.x - a.x) * t;
                cut.y = limit;
            }
            cut.depth = a.depth + (b.depth - a.depth) * t;
            out[m++] = cut;
        }
    }
    return m;
}

int ceilToInt(double v) { return truncToInt32(std::ceil(v)); }

// 'p' per channel moved towards 'colour': ((p - colour) * keep >> 8) + colour,
// keep 0 giving the colour and 255 leaving 1/256 of the difference. The
// shift is arithmetic (floor), so the result stays between p and colour.
uint32_t blendTowards(uint32_t p, uint32_t colour, int32_t keep) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int32_t pc = static_cast<int32_t>((p >> shift) & 0xFF);
        const int32_t cc = static_cast<int32_t>((colour >> shift) & 0xFF);
        out |= static_cast<uint32_t>((((pc - cc) * keep) >> 8) + cc) << shift;
    }
    return out;
}

// One side of the polygon during the scan: the vertex its current edge ends
// at, the direction it walks the vertex list, the rows left on the edge and
// its x at the current row.
struct Chain {
    int index;
    int step;
    int height;
    double x;
    double slope;
};

}  // namespace

double sinIterate(double x, int n) {
    for (int i = 0; i < n; ++i) x = mathfn::sin(x * 3.141592653589793);
    return x;
}

int clipPolygon(const Vertex* in, int count, Vertex* out, int guard) {
    if (count < 1 || count > kMaxClipInput) return 0;
    const double left = guard;
    const double right = kFrameWidth - guard - 1;
    const double top = guard;
    const double bottom = kFrameHeight - guard - 1;

    bool pastLeft = false, pastRight = false, pastBottom = false, pastTop = false;
    for (int i = 0; i < count; ++i) {
        // A NaN or infinite coordinate cannot be cut meaningfully (the
        // interpolation gives NaN) and would reach the pixel loops as
        // 0x80000000: such a polygon is dropped whole.
        if (!std::isfinite(in[i].x) || !std::isfinite(in[i].y)) return 0;
        pastLeft |= in[i].x < left;
        pastRight |= in[i].x > right;
        pastBottom |= in[i].y > bottom;
        pastTop |= in[i].y < top;
    }

    Vertex bufA[kClipWork], bufB[kClipWork];
    const Vertex* cur = in;
    int n = count;
    Vertex* next = bufA;
    auto stage = [&](bool alongX, double limit, bool keepBelow) {
        n = clipStage(cur, n, next, alongX, limit, keepBelow);
        cur = next;
        next = (next == bufA) ? bufB : bufA;
    };
    if (pastLeft) stage(true, left, false);
    if (pastRight) stage(true, right, true);
    if (pastBottom) stage(false, bottom, true);
    if (pastTop) stage(false, top, false);
    for (int i = 0; i < n; ++i) out[i] = cur[i];
    return n;
}

void fillPolygon(uint32_t* frame, const Vertex* poly, int count, uint32_t colour, int firstRow, int endRow) {
    if (count < 3) return;
    Vertex v[kClipWork];
    const int n = clipPolygon(poly, count, v, 0);
    if (n < 3) return;

    int top = 0, bottom = 0;
    for (int i = 1; i < n; ++i) {
        if (v[i].y < v[top].y) top = i;
        if (v[i].y > v[bottom].y) bottom = i;
    }
    if (top == bottom) return;

    // Moves the chain onto its next edge of at least one row, skipping
    // flatter ones; false once it has reached the bottom vertex. Rows are
    // the integer y from ceil(a.y) up to, not including, ceil(b.y), and x is
    // the edge's x at the first of them.
    auto enterEdge = [&](Chain& c) {
        for (;;) {
            if (c.index == bottom) return false;
            const int next = (c.index + c.step + n) % n;
            const Vertex& a = v[c.index];
            const Vertex& b = v[next];
            c.index = next;
            c.height = ceilToInt(b.y) - ceilToInt(a.y);
            if (b.y - a.y > 0) {
                c.slope = (b.x - a.x) / (b.y - a.y);
                c.x = a.x + (std::ceil(a.y) - a.y) * c.slope;
            }
            if (c.height >= 1) return true;
        }
    };
    Chain leftChain = {top, 1, 0, 0.0, 0.0};
    Chain rightChain = {top, -1, 0, 0.0, 0.0};
    if (!enterEdge(leftChain) || !enterEdge(rightChain)) return;

    const int lastRow = endRow < kFrameHeight ? endRow : kFrameHeight;
    for (int y = ceilToInt(v[top].y); y < lastRow; ++y) {
        // ceil(x_right) - ceil(x_left) pixels from the truncated left x.
        // After clipping both ends lie within the frame; the clamps (and the
        // row limit of the loop) only guard a non-convex polygon, whose
        // chains can run on past its bottom or cross each other.
        const int span = ceilToInt(rightChain.x) - ceilToInt(leftChain.x);
        if (span > 0 && y >= 0 && y >= firstRow) {
            int x0 = truncToInt32(leftChain.x);
            int x1 = x0 + span;
            if (x0 < 0) x0 = 0;
            if (x1 > kFrameWidth) x1 = kFrameWidth;
            uint32_t* row = frame + y * kFrameWidth;
            if (x1 > x0) addColourSpan(row + x0, x1 - x0, colour);
        }
        if (--leftChain.height == 0) {
            if (!enterEdge(leftChain)) break;
        } else {
            leftChain.x += leftChain.slope;
        }
        if (--rightChain.height == 0) {
            if (!enterEdge(rightChain)) break;
        } else {
            rightChain.x += rightChain.slope;
        }
    }
}

void aaLine(uint32_t* frame, const Vertex& a, const Vertex& b, uint32_t colour, int firstRow, int endRow) {
    // With both ends one pixel inside the frame every pixel and its side
    // neighbour are on it: the walk moves at most trunc(d) pixels along
    // each axis from the truncated start, d being the distance on that axis.
    // The tests are written so NaN fails them.
    auto inside = [](const Vertex& p) {
        return p.x >= 1.0 && p.x <= kFrameWidth - 2 && p.y >= 1.0 && p.y <= kFrameHeight - 2;
    };
    if (!inside(a) || !inside(b)) return;

    const double dx = std::fabs(b.x - a.x);
    const double dy = std::fabs(b.y - a.y);
    const int32_t sx = b.x > a.x ? 1 : -1;
    const int32_t sy = b.y > a.y ? kFrameWidth : -kFrameWidth;
    int32_t mainStep, sideStep, count;
    double slope;
    if (dx > dy) {
        mainStep = sx;
        sideStep = sy;
        count = truncToInt32(dx) + 1;
        slope = dy / dx;
    } else {
        mainStep = sy;
        sideStep = sx;
        count = truncToInt32(dy) + 1;
        slope = dx / dy;  // 0/0 = NaN for a point: the one pixel needs no slope
    }
    // The minor axis advances in 16.16: a side step each time the fraction
    // passes 1.0, and the top 8 bits of the fraction are the coverage.
    const int32_t slope16 = truncToInt32(slope * 65536);
    int32_t pos = truncToInt32(a.y) * kFrameWidth + truncToInt32(a.x);
    int32_t coverage = 0;
    int32_t fraction = 0;
    // The band's pixels: one unsigned compare tells whether a pixel is in it.
    const int32_t bandStart = (firstRow > 0 ? firstRow : 0) * kFrameWidth;
    const int32_t bandEnd = (endRow < kFrameHeight ? endRow : kFrameHeight) * kFrameWidth;
    const uint32_t bandPixels = bandEnd > bandStart ? static_cast<uint32_t>(bandEnd - bandStart) : 0;
    auto inBand = [&](int32_t p) { return static_cast<uint32_t>(p - bandStart) < bandPixels; };
    for (int32_t i = 0; i < count; ++i) {
        if (inBand(pos)) frame[pos] = blendTowards(frame[pos], colour, coverage);
        if (inBand(pos + sideStep)) frame[pos + sideStep] = blendTowards(frame[pos + sideStep], colour, 255 - coverage);
        const int32_t w = wrapAdd(slope16, fraction);
        if (w < 0x10000) {
            pos += mainStep;
            fraction = w;
        } else {
            pos += mainStep + sideStep;
            fraction = w & 0xFFFF;
        }
        coverage = (w >> 8) & 0xFF;
    }
}

void drawLine(uint32_t* frame, const Vertex& a, const Vertex& b, uint32_t colour, int firstRow, int endRow) {
    // Clipped one pixel inside every edge so aaLine's side neighbour stays
    // on the frame; a segment clips like a two-vertex polygon, whose first
    // two output vertices are the visible part.
    const Vertex segment[2] = {a, b};
    Vertex out[clipOutputCapacity(2)];
    const int n = clipPolygon(segment, 2, out, 1);
    if (n >= 2) aaLine(frame, out[0], out[1], colour, firstRow, endRow);
}

namespace {

struct RibbonTurns {
    double sine[kRibbonSteps], cosine[kRibbonSteps];

    RibbonTurns() {
        for (int i = 0; i < kRibbonSteps; ++i) {
            // The step is taken in single precision first, then scaled in
            // double: this order is what places the ribbon's vertices.
            const float turn = static_cast<float>(i) * 0.002f;
            const double angle = turn * 125.64;
            sine[i] = mathfn::sin(angle);
            cosine[i] = mathfn::cos(angle);
        }
    }
};

}  // namespace

void spiralRibbon(int32_t phase, uint32_t* frame) {
    const double t = phase / 70.0;
    // 0.15 and 0.35 are single-precision constants widened to double.
    const Vec3 target = {12 - 15 * mathfn::sin(0.15f * t), 7 - 15 * mathfn::cos(0.35f * t),
                         25.00000037252903 * sinIterate(0.2 * t + 1, 3) - 100};
    const Vec3 eye = {15 * mathfn::sin(0.75 * t) + 10, 15 - 20 * mathfn::cos(0.25 * t), 62.5 * sinIterate(0.1 * t, 3)};
    const Vec3 up = {mathfn::sin(t), mathfn::cos(t), 0.0};
    const ViewMatrix view = viewLookAt(eye, target, up);

    // The ribbon's shape in its own space is the same every frame: the sine
    // and cosine of each step's angle are worked out once.
    static const RibbonTurns turns;
    for (int i = 0; i < kRibbonSteps; ++i) {
        const double along = i - 125;
        const double sine = turns.sine[i], cosine = turns.cosine[i];
        const Vec3 inner = {30 * sine, 30 * cosine, along};
        const Vec3 outer = {50 * sine, 50 * cosine, along};
        const Vec3 points[2] = {inner, outer};
        for (int j = 0; j < 2; ++j) {
            const Vec3 q = viewApply(view, points[j]);
            const double scale = kRibbonFocal / q.z;
            RibbonVertices[2 * i + j] = {q.x * scale + 160, 100 - q.y * scale, q.z};
        }
    }

    drawRibbon(frame, RibbonVertices);
}

void drawRibbon(uint32_t* frame, const Vertex* vertices) {
    // Bands of rows side by side on the frame's threads, each taking every
    // quad and line in order.
    forRowBands(kFrameHeight, [frame, vertices](int firstRow, int endRow) {
        for (int m = 0; m < kRibbonQuads; ++m) {
            const int k = 2 * m + 2;
            const Vertex& a = vertices[2 * m];
            const Vertex& b = vertices[2 * m + 1];
            const Vertex& c = vertices[2 * m + 2];
            const Vertex& d = vertices[2 * m + 3];
            // Anything at or behind depth 1 would project wildly (or with the
            // wrong sign): the whole quad goes, edges included. NaN fails too.
            if (!(a.depth > 1.0 && b.depth > 1.0 && c.depth > 1.0 && d.depth > 1.0)) continue;
            // Two quads in every eight are left open (k & 0xC == 0).
            if (k & 0xC) {
                const Vertex quad[4] = {a, b, d, c};
                fillPolygon(frame, quad, 4, kRibbonFill, firstRow, endRow);
            }
            drawLine(frame, a, c, kRibbonEdge, firstRow, endRow);
            drawLine(frame, b, d, kRibbonEdge, firstRow, endRow);
            drawLine(frame, a, b, kRibbonEdge, firstRow, endRow);
        }
    });
}

}  // namespace marrow
