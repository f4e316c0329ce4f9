// multiwave_plasma.h: the wave-deformed, textured and lit 3D grid.
//
// A flat grid of 42 x 27 points is pushed in depth by sums of circular sine
// waves. Each height-field step projects every point to a 16.16 texture
// coordinate and turns its surface normal into a 16.16 light-map coordinate,
// then writes the point's new height, so a frame always shows the heights of
// the step before. plasmaDraw() then fills the frame in 8x8 blocks between the
// grid points: the first pair reads a 256x256 texture, the second the 256x256
// light map, and each colour channel is multiplied by the light as a sum of
// logarithms looked up in an exponent table.
//
// Inputs: phase = music time x 70, truncated; t in radians (the timeline passes
// 0.9 or 2.9 x time); dist is the viewing distance added to every height
// (25000 and 10000..15000 in use; around 21000 in render()).
//
// Cost: trigonometry and square roots at the 1134 grid points per step; per
// pixel four additions per coordinate pair, two texel/light look-ups and three
// log/exp look-ups per channel, no multiplication.
//
// The timeline calls the steps one by one: a height-field step, clampTexCoords
// (or not) and plasmaDraw, in the order its script gives. render() runs the
// step chosen by mode & 7 and plasmaDraw, without the clamp.
#pragma once

#include <cstdint>

#include "effects/effect.h"

namespace marrow {

class MultiWavePlasma : public Effect {
public:
    static constexpr int kGridColumns = 42;
    static constexpr int kGridRows = 27;
    static constexpr int kGridPoints = kGridColumns * kGridRows;  // 1134

    struct Point {
        int32_t x, y, z;
    };
    // A 16.16 coordinate pair (256.0 = 0x1000000 spans a 256-texel table).
    struct Coord16_16 {
        int32_t u, v;
    };

    // Class-wide tables, built by the first construction.
    // LogTable[i] = trunc(ln(i) x 46.1662), LogTable[0] = 0 (0..255).
    static uint8_t LogTable[256];
    // ExpTable[i] = min(254, trunc(i x e^(i / 46.1662) / 64000)), i = 0..511:
    // ExpTable[LogTable[c] + light] is the lit channel.
    static uint8_t ExpTable[512];
    // Log of a round light spot: row a + 128, column b + 128, a and b in
    // -128..127; brightest at the centre, 0 towards the corners.
    static uint8_t LightMap[256 * 256];
    // The lit channel for light l (0..255) and channel c:
    // LitTable[l * 256 + c] = ExpTable[l + LogTable[c]], one look-up
    // instead of two per channel.
    static uint8_t LitTable[256 * 256];
    static int32_t tablesBuilt;

    MultiWavePlasma();

    void render(uint32_t* dst, const uint32_t* src, float time) override;
    EffectInfo getInfo(EffectInfo record) const override;

    // Height-field steps (mode & 7 = 0..7). Each first recomputes the normals,
    // then for every point, row by row: texture coordinate from its current
    // height, light coordinate from its normal, new height.
    void plasmaRotating(int32_t phase, double t, double dist);
    void plasmaRotatingDrift(int32_t phase, double t, double dist);
    void plasmaTriple(int32_t phase, double t, double dist);
    void plasmaRipple(int32_t phase, double t, double dist);
    void plasmaPair(int32_t phase, double t, double dist);
    void plasmaDrift(int32_t phase, double t, double dist);
    void plasmaFlat(int32_t phase, double t, double dist);
    void plasmaFlatDrift(int32_t phase, double t, double dist);

    // Clamps both components of every texture coordinate to 0..256.0.
    void clampTexCoords();

    // Fills all 64000 pixels of dst from the 256x256 texture. Only grid rows
    // 0..25 and columns 0..40 are read.
    void plasmaDraw(uint32_t* dst, const uint32_t* texture) const;

    // Row-major, row 0 first, 42 per row.
    Point points[kGridPoints];
    Coord16_16 texCoords[kGridPoints];
    Coord16_16 lightCoords[kGridPoints];
    Point normals[kGridPoints];  // unit length = 1024

private:
    enum class Projection { Rotating, Plain, FromNormal };

    static void buildTables();
    void computeNormals();
    template <typename Height>
    void sweep(Projection projection, double t, double dist, Height height);
};

}  // namespace marrow
