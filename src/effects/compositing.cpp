#include "effects/compositing.h"

#include "common/framebuffer.h"

namespace marrow {

uint8_t MulTable[256 * 256];

void buildMulTable() {
    for (uint32_t r = 0; r < 256; ++r)
        for (uint32_t c = 0; c < 256; ++c) MulTable[r * 256 + c] = static_cast<uint8_t>((r * c) >> 8);
}

void addSaturate(uint32_t* dst, const uint32_t* src) {
    // plotAdd for a whole frame, written with masks only so the compiler can
    // run it on several pixels at once: layers are full of empty pixels in no
    // regular pattern, which makes a branch per pixel mispredict.
    for (int i = 0; i < kFramePixels; ++i) {
        const uint32_t a = dst[i], b = src[i];
        // Per channel sum of the low 7 bits cannot carry out of its byte;
        // bit 7 of each channel is then the XOR of the three bit-7s, and the
        // channel overflowed when at least two of them were set.
        const uint32_t low = (a & 0x7F7F7Fu) + (b & 0x7F7F7Fu);
        const uint32_t top = (a ^ b) & 0x808080u;
        const uint32_t over = ((a & b) | (top & low)) & 0x808080u;
        // (over >> 7) has bit 0 set in each overflowed channel; times 0xFF
        // fills exactly that channel (no channel spills into the next).
        const uint32_t sum = (low ^ top) | ((over >> 7) * 0xFFu);
        const uint32_t aEmpty = 0u - static_cast<uint32_t>(a == 0);
        const uint32_t bEmpty = 0u - static_cast<uint32_t>(b == 0);
        dst[i] = (b & aEmpty) | (a & bEmpty & ~aEmpty) | (sum & ~aEmpty & ~bEmpty);
    }
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
