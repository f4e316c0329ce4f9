#include "effects/filters.h"

#include <algorithm>
#include <cstring>

#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "common/numeric.h"

#include "effects/eight_pixels.h"
#include "effects/four_pixels.h"

namespace marrow {

// The whole-frame filters below run four pixels at a time where SSE2 is
// there (every x86-64), with the same integer operations per 32-bit lane as
// the plain loops that finish (or, without SSE2, do) the work; where the
// processor has AVX2, eight at a time first. Each pixel
// depends only on the same pixel of its inputs, so the frame's threads take
// spans of it side by side (forSpans).

#if defined(MARROW_X86)
namespace {

// The AVX2 steps: each does the whole groups of eight pixels from `begin`
// and returns where it stopped.
MARROW_AVX2 int invertAvx2(const uint32_t* src, uint32_t* dst, int begin, int end) {
    const __m256i ones = _mm256_set1_epi32(-1);
    int i = begin;
    for (; i + 8 <= end; i += 8) store8(dst + i, _mm256_xor_si256(load8(src + i), ones));
    return i;
}

MARROW_AVX2 int motionBlurAvx2(const uint32_t* src, uint32_t* dst, uint32_t* h, int begin, int end) {
    const __m256i halfMask = _mm256_set1_epi32(0x7F7F7F);
    int i = begin;
    for (; i + 8 <= end; i += 8) {
        const __m256i v = _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(load8(h + i), 1), halfMask),
                                           _mm256_and_si256(_mm256_srli_epi32(load8(src + i), 1), halfMask));
        store8(dst + i, v);
        store8(h + i, v);
    }
    return i;
}

MARROW_AVX2 int channelFlipAvx2(const uint32_t* src, uint32_t* dst, uint32_t mask, int begin, int end) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i channels = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i flip = _mm256_set1_epi32(static_cast<int32_t>(mask));
    const __m256i dark = _mm256_set1_epi32(4);
    int i = begin;
    for (; i + 8 <= end; i += 8) {
        const __m256i p = load8(src + i);
        const __m256i d = load8(dst + i);
        const __m256i m = _mm256_max_epu8(_mm256_and_si256(_mm256_srli_epi32(p, 16), byte),
                                          _mm256_max_epu8(_mm256_and_si256(_mm256_srli_epi32(p, 8), byte),
                                                          _mm256_and_si256(p, byte)));
        const __m256i everyChannel =
            _mm256_or_si256(m, _mm256_or_si256(_mm256_slli_epi32(m, 8), _mm256_slli_epi32(m, 16)));
        const __m256i flipped = _mm256_sub_epi32(everyChannel, _mm256_and_si256(p, channels));
        const __m256i keep = _mm256_cmpgt_epi32(dark, m);  // m <= 3
        const __m256i changed = _mm256_or_si256(_mm256_andnot_si256(flip, p), _mm256_and_si256(flipped, flip));
        store8(dst + i, _mm256_or_si256(_mm256_and_si256(keep, d), _mm256_andnot_si256(keep, changed)));
    }
    return i;
}

}  // namespace
#endif

void InvertFilter::apply(const uint32_t* src, uint32_t* dst) {
    forSpans(kFramePixels, [src, dst](int begin, int end) {
        int i = begin;
#if defined(MARROW_X86)
        if (useAvx2()) i = invertAvx2(src, dst, begin, end);
#endif
#if defined(__SSE2__)
        const __m128i ones = _mm_set1_epi32(-1);
        for (; i + 4 <= end; i += 4) store4(dst + i, _mm_xor_si128(load4(src + i), ones));
#endif
        for (; i < end; ++i) dst[i] = ~src[i];
    });
}

void MixFilter::apply(const uint32_t* src, uint32_t* dst) {
    // Halving each byte first (shift, then drop the bit that crossed into the
    // byte below) keeps the sum of two halves within its byte: no carries.
    int i = 0;
#if defined(__SSE2__)
    const __m128i halfMask = _mm_set1_epi32(0x7F7F7F7F);
    for (; i + 4 <= kFramePixels; i += 4)
        store4(dst + i, _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(load4(src + i), 1), halfMask),
                                      _mm_and_si128(_mm_srli_epi32(load4(dst + i), 1), halfMask)));
#endif
    for (; i < kFramePixels; ++i) dst[i] = ((src[i] >> 1) & 0x7F7F7F7Fu) + ((dst[i] >> 1) & 0x7F7F7F7Fu);
}

void SmoothFilter::apply(const uint32_t* src, uint32_t* dst) {
    // A quarter of each channel (shift by 2, mask off the two bits that came
    // down from the channel above) is at most 63, so four quarters sum to at
    // most 252 and never carry into the next channel; the top byte is masked
    // away, so the result's top byte is 0.
    constexpr uint32_t kQuarterMask = 0x3F3F3F;
    uint32_t s = src[kFrameWidth - 1];
    // src is read through its own pointer on purpose: in place, the pixel
    // above (k - 320) is the one this loop wrote one row earlier.
    for (int k = kFrameWidth; k < kFramePixels - kFrameWidth; ++k) {
        s = ((s >> 2) & kQuarterMask) + ((src[k - kFrameWidth] >> 2) & kQuarterMask) +
            ((src[k + kFrameWidth] >> 2) & kQuarterMask) + ((src[k + 1] >> 2) & kQuarterMask);
        dst[k] = s;
    }
}

MotionBlurFilter::MotionBlurFilter() : first(1), history(new uint32_t[kFramePixels]()) {}

void MotionBlurFilter::apply(const uint32_t* src, uint32_t* dst) {
    uint32_t* h = history.get();
    if (first == 1) {
        std::memcpy(h, src, kFrameBytes);
        if (dst != src) std::memcpy(dst, src, kFrameBytes);
        first = 0;
        return;
    }
    // Half of each channel (shift by 1, mask off the bit that came down from
    // the channel above, and the top byte) from both frames: at most 254.
    forSpans(kFramePixels, [src, dst, h](int begin, int end) {
        int i = begin;
#if defined(MARROW_X86)
        if (useAvx2()) i = motionBlurAvx2(src, dst, h, begin, end);
#endif
#if defined(__SSE2__)
        const __m128i halfMask = _mm_set1_epi32(0x7F7F7F);
        for (; i + 4 <= end; i += 4) {
            const __m128i v = _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(load4(h + i), 1), halfMask),
                                            _mm_and_si128(_mm_srli_epi32(load4(src + i), 1), halfMask));
            store4(dst + i, v);
            store4(h + i, v);
        }
#endif
        for (; i < end; ++i) {
            const uint32_t v = ((h[i] >> 1) & 0x7F7F7Fu) + ((src[i] >> 1) & 0x7F7F7Fu);
            dst[i] = v;
            h[i] = v;
        }
    });
}

namespace {
// Channels flipped by call number & 7.
constexpr uint32_t kFlipMasks[8] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF, 0xFFFFFF};
}  // namespace

void ChannelFlipFilter::apply(const uint32_t* src, uint32_t* dst) {
    const uint32_t mask = kFlipMasks[static_cast<uint32_t>(counter) & 7];
    counter = wrapAdd(counter, 1);
    if (mask == 0) return;
    forSpans(kFramePixels, [src, dst, mask](int begin, int end) {
        int i = begin;
#if defined(MARROW_X86)
        if (useAvx2()) i = channelFlipAvx2(src, dst, mask, begin, end);
#endif
#if defined(__SSE2__)
        // The same, four pixels at a time. Only the low byte of each lane holds
        // a channel when the maximum is taken, so the byte-wise maximum is the
        // channels' maximum.
        const __m128i byte = _mm_set1_epi32(0xFF);
        const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
        const __m128i flip = _mm_set1_epi32(static_cast<int32_t>(mask));
        const __m128i dark = _mm_set1_epi32(4);
        for (; i + 4 <= end; i += 4) {
            const __m128i p = load4(src + i);
            const __m128i d = load4(dst + i);
            const __m128i m = _mm_max_epu8(_mm_and_si128(_mm_srli_epi32(p, 16), byte),
                                           _mm_max_epu8(_mm_and_si128(_mm_srli_epi32(p, 8), byte), _mm_and_si128(p, byte)));
            const __m128i everyChannel = _mm_or_si128(m, _mm_or_si128(_mm_slli_epi32(m, 8), _mm_slli_epi32(m, 16)));
            const __m128i flipped = _mm_sub_epi32(everyChannel, _mm_and_si128(p, channels));
            const __m128i keep = _mm_cmplt_epi32(m, dark);  // m <= 3
            const __m128i changed = _mm_or_si128(_mm_andnot_si128(flip, p), _mm_and_si128(flipped, flip));
            const __m128i out = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, changed));
            store4(dst + i, out);
        }
#endif
        for (; i < end; ++i) {
            const uint32_t p = src[i];
            const uint32_t m = std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
            // m in every channel minus p's channels: no channel of p exceeds m,
            // so no channel borrows from the next and each is m - channel.
            const uint32_t flipped = m * 0x010101u - (p & 0xFFFFFFu);
            // A dark pixel keeps what dst holds. Storing that value back through
            // a mask instead of skipping the store keeps the loop free of
            // branches; the result is the same.
            const uint32_t keep = 0u - static_cast<uint32_t>(m <= 3);
            dst[i] = (dst[i] & keep) | (((p & ~mask) | (flipped & mask)) & ~keep);
        }
    });
}

}  // namespace marrow
