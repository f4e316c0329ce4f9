// compositing.h: the operations that layer whole frames, and the additive
// pixel rule the sprites, particles and ribbon share.
//
// All integer, per channel, on packed 0x00RRGGBB words (R bits 16..23, G bits
// 8..15, B bits 0..7). Frames are 64000 pixels.
#pragma once

#include <cstdint>

namespace marrow {

// 256x256 product table: entry [r*256 + c] = (r*c) >> 8, the bits 8..15 of
// the product. Built once at start by buildMulTable() (log line "Init blend..").
extern uint8_t MulTable[256 * 256];
void buildMulTable();

// The additive rule: a destination word of exactly 0 takes the new pixel as it
// is (top byte included); a new pixel of 0 changes nothing; otherwise each
// channel is the saturated sum (at most 255) and the top byte becomes 0.
inline void plotAdd(uint32_t& d, uint32_t s) {
    if (d == 0) {
        d = s;
        return;
    }
    if (s == 0) return;
    uint32_t r = ((d >> 16) & 0xFF) + ((s >> 16) & 0xFF);
    uint32_t g = ((d >> 8) & 0xFF) + ((s >> 8) & 0xFF);
    uint32_t b = (d & 0xFF) + (s & 0xFF);
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    d = (r << 16) | (g << 8) | b;
}

// plotAdd of every pixel of src into dst (64000 pixels).
void addSaturate(uint32_t* dst, const uint32_t* src);
// plotAdd of src[i] into dst[i] for i in 0..count-1 (count >= 0).
void addSpan(uint32_t* dst, const uint32_t* src, int32_t count);
// plotAdd of one colour into dst[0..count-1] (count >= 0).
void addColourSpan(uint32_t* dst, int32_t count, uint32_t colour);

// out_c = MulTable[a_c*256 + v] + MulTable[b_c*256 + w] per channel, with
// w = alpha & 0xFF and v = ~alpha & 0xFF; the top byte of every output pixel
// is bits 24..31 of alpha. Weight 0 gives (nearly) a, 255 (nearly) b; the sum
// never passes 254, so nothing is clamped. out may be a or b; count 0 writes
// nothing.
void crossFade(const uint32_t* a, const uint32_t* b, uint32_t* out, int32_t alpha, int32_t count);

}  // namespace marrow
