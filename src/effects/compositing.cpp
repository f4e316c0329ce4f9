#include "effects/compositing.h"

#include "common/frame_workers.h"
#include "common/framebuffer.h"

#include "effects/eight_pixels.h"
#include "effects/four_pixels.h"

namespace marrow {

uint8_t MulTable[256 * 256];

void buildMulTable() {
    for (uint32_t r = 0; r < 256; ++r)
        for (uint32_t c = 0; c < 256; ++c) MulTable[r * 256 + c] = static_cast<uint8_t>((r * c) >> 8);
}

namespace {

// One pixel of addSaturate: empty (0) pixels let the other through
// untouched, otherwise each channel is the sum clamped to 255 and the top
// byte is 0.
inline uint32_t addSaturatePixel(uint32_t a, uint32_t b) {
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
    return (b & aEmpty) | (a & bEmpty & ~aEmpty) | (sum & ~aEmpty & ~bEmpty);
}

#if defined(__SSE2__)
// addSaturatePixel of four pixels: the unsigned saturating byte add is
// exactly the clamped channel sum.
inline __m128i addSaturate4(__m128i a, __m128i b) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i sum = _mm_and_si128(_mm_adds_epu8(a, b), _mm_set1_epi32(0x00FFFFFF));
    const __m128i aEmpty = _mm_cmpeq_epi32(a, zero);
    const __m128i bEmpty = _mm_cmpeq_epi32(b, zero);
    // a empty: b; else b empty: a; else the sum.
    const __m128i either = _mm_or_si128(_mm_and_si128(bEmpty, a), _mm_andnot_si128(bEmpty, sum));
    return _mm_or_si128(_mm_and_si128(aEmpty, b), _mm_andnot_si128(aEmpty, either));
}
#endif

#if defined(MARROW_X86)
// addSaturate4 of eight pixels.
MARROW_AVX2 inline __m256i addSaturate8(__m256i a, __m256i b) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i sum = _mm256_and_si256(_mm256_adds_epu8(a, b), _mm256_set1_epi32(0x00FFFFFF));
    const __m256i aEmpty = _mm256_cmpeq_epi32(a, zero);
    const __m256i bEmpty = _mm256_cmpeq_epi32(b, zero);
    const __m256i either = _mm256_or_si256(_mm256_and_si256(bEmpty, a), _mm256_andnot_si256(bEmpty, sum));
    return _mm256_or_si256(_mm256_and_si256(aEmpty, b), _mm256_andnot_si256(aEmpty, either));
}

// The whole groups of eight of a span; returns how many pixels it did.
MARROW_AVX2 int32_t addSpanAvx2(uint32_t* dst, const uint32_t* src, int32_t count) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) store8(dst + i, addSaturate8(load8(dst + i), load8(src + i)));
    return i;
}

// crossFadeSpan's SSE2 steps on eight pixels: unpacking and packing work
// within each 128-bit half, so the halves keep their pixels in order.
MARROW_AVX2 int32_t crossFadeAvx2(const uint32_t* a, const uint32_t* b, uint32_t* out, uint32_t v, uint32_t w,
                                  uint32_t top, int32_t count) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weightV = _mm256_set1_epi16(static_cast<int16_t>(v));
    const __m256i weightW = _mm256_set1_epi16(static_cast<int16_t>(w));
    const __m256i channels = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i topBytes = _mm256_set1_epi32(static_cast<int32_t>(top));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i pa = load8(a + i);
        const __m256i pb = load8(b + i);
        const __m256i low = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(pa, zero), weightV), 8),
                                             _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(pb, zero), weightW), 8));
        const __m256i high = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(pa, zero), weightV), 8),
                                              _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(pb, zero), weightW), 8));
        const __m256i mixed = _mm256_and_si256(_mm256_packus_epi16(low, high), channels);
        store8(out + i, _mm256_or_si256(mixed, topBytes));
    }
    return i;
}
#endif

}  // namespace

void addSpan(uint32_t* dst, const uint32_t* src, int32_t count) {
    // Written with masks only: layers are full of empty pixels in no regular
    // pattern, which makes a branch per pixel mispredict. Eight or four
    // pixels at a time where AVX2 or SSE2 is there.
    int32_t i = 0;
#if defined(MARROW_X86)
    if (useAvx2()) i = addSpanAvx2(dst, src, count);
#endif
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) store4(dst + i, addSaturate4(load4(dst + i), load4(src + i)));
#endif
    for (; i < count; ++i) dst[i] = addSaturatePixel(dst[i], src[i]);
}

void addColourSpan(uint32_t* dst, int32_t count, uint32_t colour) {
    if (colour == 0) return;  // adding nothing changes nothing
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i b = _mm_set1_epi32(static_cast<int32_t>(colour));
    for (; i + 4 <= count; i += 4) store4(dst + i, addSaturate4(load4(dst + i), b));
#endif
    for (; i < count; ++i) dst[i] = addSaturatePixel(dst[i], colour);
}

// The frame-wide operations are per pixel, so the frame's threads take
// spans of the frame side by side.
void addSaturate(uint32_t* dst, const uint32_t* src) {
    forSpans(kFramePixels, [dst, src](int begin, int end) { addSpan(dst + begin, src + begin, end - begin); });
}

namespace {

void crossFadeSpan(const uint32_t* a, const uint32_t* b, uint32_t* out, int32_t alpha, int32_t count) {
    const uint32_t w = static_cast<uint32_t>(alpha) & 0xFF;
    const uint32_t v = ~static_cast<uint32_t>(alpha) & 0xFF;
    const uint32_t top = static_cast<uint32_t>(alpha) & 0xFF000000u;
    const uint8_t* mulV = MulTable + v;  // row r of column v is mulV[r * 256]
    const uint8_t* mulW = MulTable + w;
    int32_t i = 0;
#if defined(MARROW_X86)
    if (useAvx2()) i = crossFadeAvx2(a, b, out, v, w, top, count);
#endif
#if defined(__SSE2__)
    // Four pixels at a time, each channel widened to 16 bits: c * v is at
    // most 255 * 255 and fits, and >> 8 is the table's entry (the table is
    // built at start, before any frame is composed). The two shares sum to
    // at most 254, so packing back to bytes never clamps.
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightV = _mm_set1_epi16(static_cast<int16_t>(v));
    const __m128i weightW = _mm_set1_epi16(static_cast<int16_t>(w));
    const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
    const __m128i topBytes = _mm_set1_epi32(static_cast<int32_t>(top));
    auto blend = [&](__m128i pa, __m128i pb) {
        return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(pa, weightV), 8),
                             _mm_srli_epi16(_mm_mullo_epi16(pb, weightW), 8));
    };
    for (; i + 4 <= count; i += 4) {
        const __m128i pa = load4(a + i);
        const __m128i pb = load4(b + i);
        const __m128i low = blend(_mm_unpacklo_epi8(pa, zero), _mm_unpacklo_epi8(pb, zero));
        const __m128i high = blend(_mm_unpackhi_epi8(pa, zero), _mm_unpackhi_epi8(pb, zero));
        const __m128i mixed = _mm_and_si128(_mm_packus_epi16(low, high), channels);
        store4(out + i, _mm_or_si128(mixed, topBytes));
    }
#endif
    for (; i < count; ++i) {
        const uint32_t pa = a[i], pb = b[i];
        const uint32_t r = mulV[((pa >> 16) & 0xFF) << 8] + mulW[((pb >> 16) & 0xFF) << 8];
        const uint32_t g = mulV[((pa >> 8) & 0xFF) << 8] + mulW[((pb >> 8) & 0xFF) << 8];
        const uint32_t bl = mulV[(pa & 0xFF) << 8] + mulW[(pb & 0xFF) << 8];
        out[i] = top | (r << 16) | (g << 8) | bl;
    }
}

}  // namespace

void crossFade(const uint32_t* a, const uint32_t* b, uint32_t* out, int32_t alpha, int32_t count) {
    forSpans(count, [=](int begin, int end) { crossFadeSpan(a + begin, b + begin, out + begin, alpha, end - begin); });
}

}  // namespace marrow
