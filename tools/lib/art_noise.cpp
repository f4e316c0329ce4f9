#include "art_noise.h"

#include <cmath>

#include "art_raster.h"
#include "common/numeric.h"

namespace marrow::art {

uint64_t Rng::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform() {
    // The top 53 bits make an exact double in [0, 1).
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

int Rng::below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

uint32_t hash3(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

namespace {

// Unit gradient of a lattice point, from 256 evenly spaced directions.
void gradient(int32_t x, int32_t y, uint32_t seed, double& gx, double& gy) {
    double angle = static_cast<double>(hash3(x, y, seed) & 0xFF) * (2.0 * M_PI / 256.0);
    gx = std::cos(angle);
    gy = std::sin(angle);
}

// Quintic fade, so the noise has continuous second derivatives at cell edges.
double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

double tileNoise(double x, double y, int period, uint32_t seed) {
    double px = x * period, py = y * period;
    double fx = std::floor(px), fy = std::floor(py);
    int ix = truncToInt32(fx), iy = truncToInt32(fy);
    double tx = px - fx, ty = py - fy;
    double corner[2][2];
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            double gx, gy;
            // Lattice indices taken modulo the period: that is what makes the tile wrap.
            gradient(wrapIndex(ix + i, period), wrapIndex(iy + j, period), seed, gx, gy);
            corner[j][i] = gx * (tx - i) + gy * (ty - j);
        }
    double u = fade(tx), v = fade(ty);
    double top = corner[0][0] + (corner[0][1] - corner[0][0]) * u;
    double bottom = corner[1][0] + (corner[1][1] - corner[1][0]) * u;
    // 2D gradient noise peaks near +-0.7; scale to about +-1.
    return (top + (bottom - top) * v) * 1.41;
}

double tileFbm(double x, double y, int basePeriod, int octaves, double gain, uint32_t seed) {
    double sum = 0.0, amp = 1.0, total = 0.0;
    int period = basePeriod;
    for (int k = 0; k < octaves; ++k) {
        sum += amp * tileNoise(x, y, period, seed + static_cast<uint32_t>(k) * 101u);
        total += amp;
        amp *= gain;
        period *= 2;
    }
    return sum / total;
}

CellSample tileCells(double x, double y, int cells, uint32_t seed) {
    double px = x * cells, py = y * cells;
    int cx = truncToInt32(std::floor(px)), cy = truncToInt32(std::floor(py));
    CellSample s{1e9, 1e9, 0, 0.0, 0.0};
    for (int j = -2; j <= 2; ++j)
        for (int i = -2; i <= 2; ++i) {
            int wx = wrapIndex(cx + i, cells), wy = wrapIndex(cy + j, cells);
            uint32_t h = hash3(wx, wy, seed);
            // Feature point jittered within its cell (kept off the very edge).
            double fx = cx + i + 0.15 + 0.7 * static_cast<double>(h & 0xFFFF) / 65535.0;
            double fy = cy + j + 0.15 + 0.7 * static_cast<double>(h >> 16) / 65535.0;
            double dx = px - fx, dy = py - fy;
            double d = std::sqrt(dx * dx + dy * dy);
            if (d < s.f1) {
                s.f2 = s.f1;
                s.f1 = d;
                s.id = h;
                s.dx = dx;
                s.dy = dy;
            } else if (d < s.f2) {
                s.f2 = d;
            }
        }
    return s;
}

}  // namespace marrow::art
