// glow_knot.h: 300 copies of a glow sprite along a closed 3D curve (a ring
// wound with a wave), seen by a camera flying round it. Each copy is scaled
// by perspective and added to the frame with per-channel saturation.
//
// No state: everything follows from the phase. The sprite is a 256x256 image
// (bright centre, black rim); frames are 320x200 0x00RRGGBB. Cost: per sprite
// pixel one index computation, three additions and three clamps; the sprites
// are at most 960/depth pixels across, a few hundred pixels each.
#pragma once

#include <cstdint>

#include "common/framebuffer.h"

namespace marrow {

// phase: the timeline's truncate(time x 70) (70 per second of music).
void glowKnot(int32_t phase, uint32_t* frame, const uint32_t* sprite);

// Adds the whole sprite scaled to the square centreX +- halfSize,
// centreY +- halfSize (both ends inclusive), clipped to the frame. The sprite
// is stepped in 16.16 (1.0 = the whole sprite across). Nothing is drawn for
// depth < 1 or an empty square. Any integers are safe. Given a band of rows
// firstRow..endRow-1, only its rows are drawn, each as in the whole sprite.
void drawGlowSprite(int32_t centreX, int32_t centreY, int32_t depth, int32_t halfSize, uint32_t* frame,
                    const uint32_t* sprite, int firstRow = 0, int endRow = kFrameHeight);

}  // namespace marrow
