// radius_attraction.h: the radius attraction effect.
//
// Looks every pixel of a 320x200 frame up in a 256x256 texture at
// coordinates made from the products of its squared distances (over 16) to
// four centres that wander around the screen centre with time: the texture
// column comes from the first pair of centres, the row from the second pair.
// Pixels whose product passes 1000000 for either pair are black.
//
// Inputs: src is the texture (src[v*256 + u]); time in seconds, any float.
// Cost per pixel: eight table look-ups, two 32-bit products, at most two
// double square roots and one texture read.
#pragma once

#include <cstdint>

#include "effects/effect.h"

namespace marrow {

class RadiusAttraction : public Effect {
public:
    RadiusAttraction();

    // Fills all 64000 pixels of dst from the texture src.
    void render(uint32_t* dst, const uint32_t* src, float time) override;
    // Description "Radius based attraction effect", flag 1.
    EffectInfo getInfo(EffectInfo record) const override;

    // Entry k = (k - 512)^2 / 16 (integer division): a squared offset of
    // -512..511 pixels, scaled down so that products of two distance terms
    // stay well inside 32 bits.
    int32_t sqTable[1024];
};

}  // namespace marrow
