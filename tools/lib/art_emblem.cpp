#include "art_emblem.h"

#include <algorithm>
#include <cmath>

#include "common/numeric.h"

namespace marrow::art {

namespace {

// Sub-rows sampled per pixel row; 8 keeps near-horizontal edges smooth.
constexpr int kRows = 8;

int floorToInt(double v) { return truncToInt32(std::floor(v)); }

}  // namespace

void fillPolygon(Mask& mask, const std::vector<Point>& polygon, bool wrap) {
    if (polygon.size() < 3) return;
    double minY = polygon[0].y, maxY = polygon[0].y;
    for (const Point& p : polygon) {
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    int rowStart = floorToInt(minY), rowEnd = floorToInt(maxY);
    if (!wrap) {
        rowStart = std::max(rowStart, 0);
        rowEnd = std::min(rowEnd, mask.height - 1);
    }
    std::vector<double> crossings;
    std::vector<double> row(static_cast<size_t>(mask.width));
    const size_t n = polygon.size();
    for (int y = rowStart; y <= rowEnd; ++y) {
        std::fill(row.begin(), row.end(), 0.0);
        for (int s = 0; s < kRows; ++s) {
            double sy = y + (s + 0.5) / kRows;
            crossings.clear();
            for (size_t i = 0; i < n; ++i) {
                const Point& a = polygon[i];
                const Point& b = polygon[(i + 1) % n];
                // Half-open in y, so a vertex on the sample line counts once.
                if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy))
                    crossings.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
                double xa = crossings[k], xb = crossings[k + 1];
                for (int px = floorToInt(xa); px <= floorToInt(xb); ++px) {
                    double cover = std::min(xb, px + 1.0) - std::max(xa, static_cast<double>(px));
                    if (cover <= 0.0) continue;
                    int tx = px;
                    if (wrap) {
                        tx = wrapIndex(px, mask.width);
                    } else if (px < 0 || px >= mask.width) {
                        continue;
                    }
                    row[static_cast<size_t>(tx)] += cover / kRows;
                }
            }
        }
        int ty = wrap ? wrapIndex(y, mask.height) : y;
        for (int x = 0; x < mask.width; ++x) {
            if (row[static_cast<size_t>(x)] <= 0.0) continue;
            float& m = mask.at(x, ty);
            m = static_cast<float>(std::min(1.0, m + row[static_cast<size_t>(x)]));
        }
    }
}

void appendQuad(std::vector<Point>& out, Point a, Point c, Point b, int steps) {
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps, u = 1.0 - t;
        out.push_back({u * u * a.x + 2 * u * t * c.x + t * t * b.x, u * u * a.y + 2 * u * t * c.y + t * t * b.y});
    }
}

namespace {

// The right half of the silhouette in emblem units (wing span 2, y down,
// head up), from the crown round the right wing to the tail's centre.
std::vector<Point> rightHalf() {
    std::vector<Point> p;
    p.push_back({0.0, -0.40});
    appendQuad(p, {0.0, -0.40}, {0.08, -0.41}, {0.085, -0.34}, 5);    // broad flat head
    appendQuad(p, {0.085, -0.34}, {0.09, -0.30}, {0.10, -0.28}, 3);    // shoulder
    appendQuad(p, {0.10, -0.28}, {0.25, -0.33}, {0.42, -0.40}, 10);    // arm raised to the wrist
    appendQuad(p, {0.42, -0.40}, {0.72, -0.38}, {1.0, -0.10}, 12);     // primaries swept back to the tip
    appendQuad(p, {1.0, -0.10}, {0.80, -0.16}, {0.58, -0.16}, 10);     // trailing edge of the hand
    appendQuad(p, {0.58, -0.16}, {0.40, -0.06}, {0.22, -0.04}, 8);     // broad secondaries
    appendQuad(p, {0.22, -0.04}, {0.13, -0.02}, {0.10, 0.06}, 6);      // into the body
    appendQuad(p, {0.10, 0.06}, {0.08, 0.14}, {0.06, 0.20}, 4);        // flank to the tail base
    appendQuad(p, {0.06, 0.20}, {0.075, 0.36}, {0.10, 0.50}, 8);       // long tail, widening
    appendQuad(p, {0.10, 0.50}, {0.06, 0.56}, {0.0, 0.54}, 6);         // tail end
    return p;
}

std::vector<Point> mirrored(const std::vector<Point>& half) {
    // Right half then the left half backwards, sharing the centre points.
    std::vector<Point> full = half;
    for (size_t i = half.size() - 1; i-- > 1;) full.push_back({-half[i].x, half[i].y});
    return full;
}

// An ellipse in emblem units: centre, half-axes, rotation.
std::vector<Point> ellipse(Point c, double rx, double ry, double angle) {
    std::vector<Point> p;
    const int steps = 24;
    for (int i = 0; i < steps; ++i) {
        double t = 2.0 * M_PI * i / steps;
        double x = std::cos(t) * rx, y = std::sin(t) * ry;
        p.push_back({c.x + x * std::cos(angle) - y * std::sin(angle), c.y + x * std::sin(angle) + y * std::cos(angle)});
    }
    return p;
}

std::vector<Point> place(const std::vector<Point>& shape, const EmblemPlacement& w) {
    std::vector<Point> out;
    out.reserve(shape.size());
    double k = w.span * 0.5, c = std::cos(w.angle), s = std::sin(w.angle);
    for (const Point& p : shape) {
        double x = p.x * k, y = p.y * k;
        out.push_back({w.cx + x * c - y * s, w.cy + x * s + y * c});
    }
    return out;
}

}  // namespace

EmblemMasks drawNightjar(int width, int height, const EmblemPlacement& where, bool wrap) {
    EmblemMasks m{Mask(width, height), Mask(width, height)};
    fillPolygon(m.body, place(mirrored(rightHalf()), where), wrap);
    for (double side : {1.0, -1.0}) {
        // The white bar across the primaries, and the white tail corner.
        fillPolygon(m.marks, place(ellipse({0.71 * side, -0.24}, 0.06, 0.02, side * 2.05), where), wrap);
        fillPolygon(m.marks, place(ellipse({0.07 * side, 0.475}, 0.02, 0.028, 0.0), where), wrap);
    }
    return m;
}

}  // namespace marrow::art
