#include "effects/bump_map.h"

#include <cmath>
#include <cstring>

#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "common/numeric.h"

namespace marrow {

uint32_t LightSpot[128 * 128];
int32_t BumpMap::tablesBuilt = 0;

namespace {

// The source as it was when the call began, so the heights stay those of the
// unlit frame while dst (which may be src) is overwritten.
uint32_t HeightCopy[kFramePixels];

}  // namespace

BumpMap::BumpMap() {
    if (tablesBuilt) return;
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 128; ++c) {
            const double a = (r - 128) / 129.0;
            const double b = (c - 128) / 129.0;
            double d = 1 - std::sqrt(a * a + b * b);
            if (d < 0) d = 0;
            int32_t v = truncToInt32(d * (d * 128 + 191));
            // The curve passes 255 near the centre: a flat white core.
            if (v > 255) v = 255;
            LightSpot[r * 128 + c] = static_cast<uint32_t>(v) * 0x010101;
        }
    tablesBuilt = 1;
}

void bumpMap(uint32_t* dst, const uint32_t* src, int32_t lightX, int32_t lightY) {
    std::memcpy(HeightCopy, src, kFrameBytes);
    // Light position shifted by half the spot's 256-pixel reach, wrapped to
    // 16 bits.
    const int32_t cx = wrapAdd(lightX, 128) & 0xFFFF;
    const int32_t cy = wrapAdd(lightY, 128) & 0xFFFF;

    // Rows read the heights (the copy) and only their own row of src, so the
    // frame's threads take bands of rows side by side, in place too.
    forRowBands(kFrameHeight - 2, [=](int firstBand, int endBand) {
        for (int32_t y = firstBand + 1; y < endBand + 1; ++y) {
            const uint32_t* above = HeightCopy + (y - 1) * kFrameWidth;
            const uint32_t* here = HeightCopy + y * kFrameWidth;
            const uint32_t* below = HeightCopy + (y + 1) * kFrameWidth;
            const uint32_t* in = src + y * kFrameWidth;
            uint32_t* out = dst + y * kFrameWidth;
            const int32_t rowTerm = cy - y;
            // The right neighbour of one pixel is two pixels on from its left
            // neighbour: carry the heights along the row.
            int32_t left = static_cast<int32_t>(bumpHeight(here[0]));
            int32_t centre = static_cast<int32_t>(bumpHeight(here[1]));
            for (int32_t x = 1; x < kFrameWidth - 1; ++x) {
                const int32_t right = static_cast<int32_t>(bumpHeight(here[x + 1]));
                const int32_t nx = right + cx - x - left;
                const int32_t ny = static_cast<int32_t>(bumpHeight(below[x])) + rowTerm -
                                   static_cast<int32_t>(bumpHeight(above[x]));
                left = centre;
                centre = right;
                uint32_t result = 0;
                // Bits 8..15 set: the tilted position is outside the spot's
                // 256-pixel reach (bits above 15 are not looked at).
                if (((nx | ny) & 0xFF00) == 0) {
                    // Fold 128..255 onto 127..0: the table holds one quarter of
                    // the spot, mirrored about 127.5 both ways.
                    uint32_t ix = static_cast<uint32_t>(nx) & 0xFF;
                    uint32_t iy = static_cast<uint32_t>(ny) & 0xFF;
                    if (ix > 127) ix = 255 - ix;
                    if (iy > 127) iy = 255 - iy;
                    const uint32_t l = LightSpot[iy * 128 + ix];
                    const uint32_t s = in[x];
                    if (l == 0xFFFFFF) {
                        result = s;
                    } else if (s == 0xFFFFFF) {
                        result = l;
                    } else if ((l & 0xFCFCFC) != 0 && (s & 0xFCFCFC) != 0) {
                        // l is grey: one channel gives the weight for all three.
                        const uint32_t g = l & 0xFF;
                        result = ((((s >> 16) & 0xFF) * g) >> 8) << 16 | ((((s >> 8) & 0xFF) * g) >> 8) << 8 |
                                 (((s & 0xFF) * g) >> 8);
                    }
                }
                out[x] = result;
            }
        }
    });
}

}  // namespace marrow
