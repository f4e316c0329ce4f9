// art_noise.h: seeded, tileable noise for the generated textures.
//
// All noise here is periodic: sampled on the unit square [0,1) x [0,1), the
// value at x = 1 equals the value at x = 0 (and likewise for y), so a
// 256x256 texture sampled at (i/256, j/256) wraps without a seam. Values do
// not depend on the machine: lattice gradients come from an integer hash of
// (cell, seed), never from a shared random state.
//
// Cost per sample: tileNoise four hashes and four sine/cosine pairs;
// tileFbm that times the octaves; tileCells 25 hashes and square roots.
#pragma once

#include <cstdint>

namespace marrow::art {

// A small deterministic generator (SplitMix64) for choices made while
// painting: star positions, which cells get a colour. Independent of the
// program's shared effect generator.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // Uniform in [0, 1).
    double uniform();
    // Uniform integer in 0..n-1 (n > 0).
    int below(int n);

private:
    uint64_t state_;
};

// 32-bit integer hash of a lattice point and a seed.
uint32_t hash3(int32_t x, int32_t y, uint32_t seed);

// Gradient noise with `period` lattice cells across the unit square, in
// about -1..1 (exactly 0 at lattice points). period >= 1.
double tileNoise(double x, double y, int period, uint32_t seed);

// Fractal sum: octave k has period basePeriod * 2^k and amplitude gain^k;
// the sum is divided by the total amplitude, so the result stays in about
// -1..1.
double tileFbm(double x, double y, int basePeriod, int octaves, double gain, uint32_t seed);

// Cellular (Worley) noise on a `cells` x `cells` grid over the unit square,
// one jittered feature point per cell, wrapping at the edges.
struct CellSample {
    double f1;     // distance to the nearest feature point, in cell units
    double f2;     // distance to the second nearest
    uint32_t id;   // hash of the nearest point's cell (same across the wrap)
    double dx, dy; // offset from the nearest feature point, in cell units
};
CellSample tileCells(double x, double y, int cells, uint32_t seed);

}  // namespace marrow::art
