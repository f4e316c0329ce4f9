// TEMPORARY test pattern until the script exists: moving colour bars derived
// from the time, so a running display and clock can be seen.
#include "app/timeline.h"

#include "common/framebuffer.h"
#include "common/numeric.h"

namespace marrow {

namespace {
uint32_t g_pattern[kFramePixels];
}

uint32_t* composeFrame(double time) {
    const int32_t shift = truncToInt32(time * 70.0);
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            uint32_t v = static_cast<uint32_t>(x + shift) & 0xFF;
            g_pattern[y * kFrameWidth + x] = (v << 16) | ((static_cast<uint32_t>(y) & 0xFF) << 8) | (255 - v);
        }
    return g_pattern;
}

}  // namespace marrow
