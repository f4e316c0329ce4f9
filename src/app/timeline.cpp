// TEMPORARY test pattern until the script exists: moving colour bars derived
// from the time, so a running display and clock can be seen.
#include "app/timeline.h"

#include "common/framebuffer.h"
#include "common/numeric.h"

namespace marrow {

const double kThresholds[kThresholdCount] = {
    7.0,  8.82, 12.46, 14.0, 17.55, 21.1, 27.0,  29.1,  31.2,  33.3,  35.4,  37.5,  39.6,  42.4,  43.0,  46.7,  52.4,
    58.12, 65.0, 66.0, 78.0, 79.0, 89.0, 90.0, 102.0, 110.0, 111.0, 150.0, 180.0, 210.0, 235.0, 258.0, 260.0};

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
