// art_emblem.h: antialiased polygon filling and the production's emblem, a
// stylised nightjar in flight (long pointed wings swept back, a long tail,
// the white wing and tail patches the bird is known by).
//
// Polygons are lists of points in pixels (y down), closed implicitly, filled
// by the even-odd rule. Coverage is exact along each row (spans are cut at
// their fractional ends) and sampled `kRows` times per pixel vertically, so
// edges are smooth at any angle. Cost: O(rows x kRows x edges).
#pragma once

#include <vector>

#include "art_raster.h"

namespace marrow::art {

struct Point {
    double x = 0.0, y = 0.0;
};

// Adds the polygon's coverage into `mask` (clamped to 1). Parts outside the
// mask are clipped; with wrap they fold back in instead (for tiles).
void fillPolygon(Mask& mask, const std::vector<Point>& polygon, bool wrap = false);

// Points along a quadratic Bezier from a (exclusive) through control c to b
// (inclusive), `steps` of them: appended to `out`, for building outlines.
void appendQuad(std::vector<Point>& out, Point a, Point c, Point b, int steps);

// Where and how large to draw the emblem: the bird's centre, its wing span
// in pixels, and a rotation in radians (0 = flying up the image).
struct EmblemPlacement {
    double cx = 0.0, cy = 0.0;
    double span = 100.0;
    double angle = 0.0;
};

// The bird as coverage masks the size of the target: `body` is the whole
// silhouette; `marks` the white patches (inside the silhouette).
struct EmblemMasks {
    Mask body;
    Mask marks;
};
EmblemMasks drawNightjar(int width, int height, const EmblemPlacement& where, bool wrap = false);

}  // namespace marrow::art
