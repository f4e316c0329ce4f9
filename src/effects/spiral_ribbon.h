// spiral_ribbon.h: a flat ribbon wound as a helix along the depth axis, seen
// by a moving look-at camera, with the small 2D toolkit that draws it:
// polygon clipping against the frame, a convex scan-line filler and an
// antialiased line drawer.
//
// Each call computes 500 steps of the helix (an inner point at radius 30 and
// an outer one at radius 50) and draws the quads between the first 249 of
// them: six quads in eight filled additively in blue, every quad edged with
// white antialiased lines. The frame is drawn over, not cleared.
// Cost: 1000 vertex transforms, then the covered pixels (one plotAdd each)
// and two pixels per line step.
#pragma once

#include <cstdint>

#include "common/framebuffer.h"

namespace marrow {

// A projected point: screen x, y in pixels (x right, y down, not rounded) and
// the camera depth, which clipping interpolates along with the cut
// coordinate.
struct Vertex {
    double x, y, depth;
};

constexpr int kRibbonSteps = 500;
// Inner and outer vertex of each step, alternating (inner 0, outer 0,
// inner 1, ...); rewritten by every spiralRibbon call.
extern Vertex RibbonVertices[2 * kRibbonSteps];

// phase: the timeline's truncate(time x 70).
void spiralRibbon(int32_t phase, uint32_t* frame);

// The drawing half of spiralRibbon, over any vertex array laid out like
// RibbonVertices (at least 2 x 249 entries): quad m joins steps m and m + 1
// (m = 0..247) and is skipped whole, edges included, unless all four depths
// exceed 1.0; six quads in eight are filled, every drawn quad gets its two
// long edges and its leading cross edge.
void drawRibbon(uint32_t* frame, const Vertex* vertices);

// Most vertices clipPolygon accepts, and how many `out` must have room for:
// each of the four clip stages can add at most one vertex per two it gets
// (a vertex inside followed by one outside gives two), so 6 x count is
// always enough.
constexpr int kMaxClipInput = 64;
constexpr int clipOutputCapacity(int count) { return 6 * count; }

// Keeps the part of the polygon `in` (count vertices, closed from the last
// back to the first) with guard <= x <= 319 - guard and
// guard <= y <= 199 - guard, written to out (room for
// clipOutputCapacity(count)); returns the number of vertices written. Only
// the limits some vertex passes are clipped, in the order left, right,
// bottom, top; a polygon inside every limit comes back unchanged. A vertex
// lying exactly on a limit that is clipped is kept only where an edge crossing
// the limit ends at it. Returns 0 for count outside 1..kMaxClipInput or a
// vertex whose x or y is not finite.
int clipPolygon(const Vertex* in, int count, Vertex* out, int guard);

// Adds `colour` with plotAdd to the pixels the polygon covers, after clipping
// it to the frame (guard 0). Nothing for fewer than 3 vertices. Filled only
// when its vertices run counter-clockwise as seen on screen (y down): walking
// forward from the top vertex goes down its left side; the other winding
// draws nothing, which is how back faces of the ribbon disappear.
// Meant for convex polygons of up to kMaxClipInput vertices; any other shape
// still stays inside the frame, and a longer one draws nothing.
//
// This and the two line functions below draw only rows firstRow..endRow-1
// when given them: every row is still walked, so a picture drawn band by
// band (each band taking every primitive in order) is the picture drawn
// whole, and the frame's threads can draw bands side by side.
void fillPolygon(uint32_t* frame, const Vertex* poly, int count, uint32_t colour, int firstRow = 0,
                 int endRow = kFrameHeight);

// Clips the segment a-b one pixel inside every edge of the frame and draws
// what remains with aaLine.
void drawLine(uint32_t* frame, const Vertex& a, const Vertex& b, uint32_t colour, int firstRow = 0,
              int endRow = kFrameHeight);

// A line from a to b with coverage spread over two pixels: each step blends
// the pixel on the line towards `colour` by 1 - c/256 and its neighbour one
// side step away by 1 - (255 - c)/256, c being the fraction of the minor
// axis covered so far. The first pixel is the full colour. Both ends must lie
// in 1..318 x 1..198 (so the neighbour stays on the frame); a line with an
// end outside that draws nothing.
void aaLine(uint32_t* frame, const Vertex& a, const Vertex& b, uint32_t colour, int firstRow = 0,
            int endRow = kFrameHeight);

// x becomes sin(x * pi) n times; returns x.
double sinIterate(double x, int n);

}  // namespace marrow
