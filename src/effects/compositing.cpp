#include "effects/compositing.h"

#include "common/framebuffer.h"

namespace marrow {

uint8_t MulTable[256 * 256];

void buildMulTable() {
    for (uint32_t r = 0; r < 256; ++r)
        for (uint32_t c = 0; c < 256; ++c) MulTable[r * 256 + c] = static_cast<uint8_t>((r * c) >> 8);
}

void addSaturate(uint32_t* dst, const uint32_t* src) {
    for (int i = 0; i < kFramePixels; ++i) plotAdd(dst[i], src[i]);
}

void crossFade(const uint32_t* a, const uint32_t* b, uint32_t* out, int32_t alpha, int32_t count) {
    const uint32_t w = static_cast<uint32_t>(alpha) & 0xFF;
    const uint32_t v = ~static_cast<uint32_t>(alpha) & 0xFF;
    const uint32_t top = static_cast<uint32_t>(alpha) & 0xFF000000u;
    const uint8_t* mulV = MulTable + v;  // row r of column v is mulV[r * 256]
    const uint8_t* mulW = MulTable + w;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t pa = a[i], pb = b[i];
        const uint32_t r = mulV[((pa >> 16) & 0xFF) << 8] + mulW[((pb >> 16) & 0xFF) << 8];
        const uint32_t g = mulV[((pa >> 8) & 0xFF) << 8] + mulW[((pb >> 8) & 0xFF) << 8];
        const uint32_t bl = mulV[(pa & 0xFF) << 8] + mulW[(pb & 0xFF) << 8];
        out[i] = top | (r << 16) | (g << 8) | bl;
    }
}

}  // namespace marrow
