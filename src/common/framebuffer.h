// framebuffer.h: the one pixel layout every part of the program exchanges.
//
// A frame is 320x200 pixels, each a 32-bit word 0x00RRGGBB (blue in the low
// byte), rows of 320 pixels one after another with no gap: 64000 pixels,
// 256000 bytes. The top byte carries no meaning; operations leave in it
// whatever their arithmetic gives. Frames are passed as plain pointers to
// their first pixel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marrow {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 200;
constexpr int kFramePixels = kFrameWidth * kFrameHeight;
constexpr size_t kFrameBytes = kFramePixels * sizeof(uint32_t);

}  // namespace marrow
