// radial_stripes.h: the radial stripes effect.
//
// Colours every pixel of a 320x200 frame by its angle around the screen
// centre (160, 100): a fixed table gives each pixel one of 256 angle steps,
// a 256-entry stripe index rebuilt every frame from four sine "streams" maps
// the angle step to a brightness, and a fixed dusky orange palette
// (base colour 0xB36F20) turns that into a pixel.
//
// Input: time in seconds (any float; the streams are periodic in it). No
// texture. Cost per pixel: three table look-ups; per frame 128 x 4 sines.
#pragma once

#include <cstdint>

#include "effects/effect.h"

namespace marrow {

class RadialStripes : public Effect {
public:
    // The first construction builds AngleTable and StripePalette.
    RadialStripes();

    // Fills all 64000 pixels of dst; src is not read (pass null).
    void render(uint32_t* dst, const uint32_t* src, float time) override;
    EffectInfo getInfo(EffectInfo record) const override;

    // Per pixel (row-major like a frame): low 8 bits of
    // trunc(atan2(y, x) * 128/3.14159265) for y = row - 100, x = column - 160, so
    // angles in (-pi, pi] give -127..128 and the negative half wraps to 129..255.
    static uint8_t AngleTable[320 * 200];
    // Entry i = min(255, (i*179) >> 7) << 16 | min(255, (i*111) >> 7) << 8
    //         | min(255, (i*32) >> 7): black at 0, the base colour at 128,
    // saturating towards 255.
    static uint32_t StripePalette[256];
    // Angle step -> palette entry, rebuilt by every render; symmetric
    // (entry i equals entry 255 - i) so the picture has no seam at 180 degrees.
    static uint8_t StripeIndex[256];
    // 1 once the two fixed tables are built.
    static int32_t tablesBuilt;
};

}  // namespace marrow
