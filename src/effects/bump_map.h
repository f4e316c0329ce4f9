// bump_map.h: bump mapping of a frame under a moving light.
//
// Lights a 320x200 frame as if its brightness were a relief: the brightness
// differences of each pixel's left/right and upper/lower neighbours tilt the
// pixel's position inside a round light spot centred on the light, and the
// spot's grey value multiplies the pixel. Pure white pixels show the spot
// itself; pixels tilted outside the spot's reach are black.
//
// The BumpMap object builds the spot table (first construction only); it
// must exist before bumpMap is called, else every lit pixel is black.
// Cost per pixel: four brightness values, two range tests, one look-up and
// three 8-bit multiplications.
#pragma once

#include <cstdint>

namespace marrow {

class BumpMap {
public:
    BumpMap();

    // 1 once LightSpot is built.
    static int32_t tablesBuilt;
};

// 128x128 greys, [row][column]: with a = (row - 128)/129, b = (col - 128)/129,
// d = max(0, 1 - sqrt(a^2 + b^2)), entry = min(255, trunc(d*(d*128 + 191)))
// * 0x010101. One quarter of the spot, brightest at row and column 127; the
// other three quarters come from folding the look-up index.
extern uint32_t LightSpot[128 * 128];

// Brightness used as height: half the red plus a quarter of green and of
// blue, each truncated (0..190).
inline uint32_t bumpHeight(uint32_t p) { return ((p >> 17) & 0x7F) + ((p >> 10) & 0x3F) + ((p >> 2) & 0x3F); }

// Writes rows 1..198, columns 1..318 of dst from src lit by a light at
// (lightX, lightY) screen pixels (any values; far away lights leave the
// frame black). dst may be src: the heights come from a copy of src taken
// first. The one-pixel border of dst keeps its values.
void bumpMap(uint32_t* dst, const uint32_t* src, int32_t lightX, int32_t lightY);

}  // namespace marrow
