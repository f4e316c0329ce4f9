// warp_star.h: the rotating five-point warp star.
//
// Maps a 256x256 texture onto a 320x200 frame as a tunnel-like warp: the
// texture row is a depth value read from a star-shaped field (a radial
// power curve bent by a five-fold sine of the angle), sampled at the screen
// position rotated by time; the texture column is the screen angle around
// the centre (160, 100). Both coordinates scroll with time.
//
// Inputs: src is the texture (src[v*256 + u]); time in seconds, any float
// (the effect runs on phase = trunc(time * 70), 256 phases per turn).
// Cost per pixel: two additions, two table look-ups, one texture read.
#pragma once

#include <cstdint>

#include "effects/effect.h"

namespace marrow {

class WarpStar : public Effect {
public:
    // Builds sinTable and cosTable; the first construction also builds
    // WarpField and ScreenAngle.
    WarpStar();

    // Fills all 64000 pixels of dst from the texture src.
    void render(uint32_t* dst, const uint32_t* src, float time) override;
    EffectInfo getInfo(EffectInfo record) const override;

    // trunc(sin / cos(i * 6.28318/256) * 1024): 256 steps per turn, 1.0 = 1024
    // (a 22.10 fixed-point rotation step).
    int32_t sinTable[256];
    int32_t cosTable[256];

    // 512x512 depth values, row y + 256 and column x + 256 for
    // x, y = -256..255: low 8 bits of
    // trunc((r * 262144)^0.1 * 384 + sin(5 * theta) * 96), r and theta the
    // polar coordinates of (x, y).
    static uint8_t WarpField[512 * 512];
    // Per pixel (row-major like a frame): low 8 bits of
    // trunc(atan2(y, x) * 256/3.14159) for y = row - 100, x = column - 160; two
    // texture repeats per turn.
    static uint8_t ScreenAngle[320 * 200];
    static int32_t tablesBuilt;
};

}  // namespace marrow
