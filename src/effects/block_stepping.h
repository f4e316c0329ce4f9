// block_stepping.h: fills a 320x200 frame in 8x8-pixel blocks by stepping
// values linearly between the four corners of each block. Shared by the plasma
// and the ray grid, which both compute their coordinates only at the corners of
// a 41x26 grid and leave the 64000 pixels to additions and shifts.
//
// Block (R, C), R = 0..24, C = 0..39, covers pixels x = 8C..8C+7, y = 8R..8R+7
// and takes its corners from grid point (R, C) top-left, (R, C+1) top-right,
// (R+1, C) bottom-left, (R+1, C+1) bottom-right. Every value is a signed 32-bit
// fixed-point number (16.16 texture coordinates, shade << 8); the stepping is
// the same for all of them:
//   - the left edge starts at the top-left corner and steps by
//     (bottom-left - top-left) >> 3 per pixel row, the right edge likewise
//     from the top-right corner towards the bottom-right;
//   - along a pixel row the value starts at the left edge and steps by
//     (right - left) >> 3 per pixel.
// The >> 3 divides by the 8 pixels of a block side and is an arithmetic
// shift, so negative differences round towards minus infinity. Differences
// and sums wrap modulo 2^32: corners far outside any texture (a plane seen
// near its horizon) must still give defined, if meaningless, pixels.
//
// Cost per pixel: N additions and one call of the (inlined) pixel function.
#pragma once

#include <cstdint>
#include <utility>

#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "common/numeric.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrow {

constexpr int kBlockSize = 8;                            // pixels per block side
constexpr int kBlockShift = 3;                           // log2(kBlockSize)
constexpr int kBlockColumns = kFrameWidth / kBlockSize;  // 40
constexpr int kBlockRows = kFrameHeight / kBlockSize;    // 25

// N values interpolated together across a block.
template <int N>
struct BlockValues {
    int32_t c[N];
};

// Runs f(0) .. f(N-1), unrolled: the per-pixel loops are over 2 to 4 values
// and a rolled loop there costs about a third of the pixel's time.
template <int N, typename F>
inline void forEachValue(F&& f) {
    [&]<int... K>(std::integer_sequence<int, K...>) { (f(K), ...); }(std::make_integer_sequence<int, N>{});
}

// A seam rule that changes nothing (the plasma has no seams).
struct NoSeam {
    template <int N>
    void operator()(BlockValues<N>&, BlockValues<N>&) const {}
};

// Draws all 25 x 40 blocks into dst.
//   corners(R, C, tl, tr, bl, br) fills the four corner value sets of block (R, C);
//   seam(later, earlier) may adjust a pair of value sets before they are
//     stepped between: called once per block for (bottom-left, top-left) and
//     (bottom-right, top-right), and at the start of every pixel row for
//     (right edge, left edge); what it changes stays changed for the block;
//   row(out, start, step) writes the 8 pixels of a block row: pixel x for
//     the values start + x * step (each wrapping modulo 2^32).
// Blocks depend only on their own corners, so bands of block rows are drawn
// by the frame's threads side by side (the three callables are called from
// several threads at once and must not change shared state).
template <int N, typename Corners, typename Seam, typename Row>
inline void drawBlockGridRows(uint32_t* dst, Corners&& corners, Seam&& seam, Row&& row) {
    forRowBands(kBlockRows, [&](int firstBlockRow, int endBlockRow) {
        for (int blockRow = firstBlockRow; blockRow < endBlockRow; ++blockRow) {
            for (int blockColumn = 0; blockColumn < kBlockColumns; ++blockColumn) {
                BlockValues<N> topLeft, topRight, bottomLeft, bottomRight;
                corners(blockRow, blockColumn, topLeft, topRight, bottomLeft, bottomRight);
                seam(bottomLeft, topLeft);
                seam(bottomRight, topRight);

                BlockValues<N> left = topLeft, right = topRight, leftStep, rightStep;
                forEachValue<N>([&](int k) {
                    leftStep.c[k] = wrapSub(bottomLeft.c[k], topLeft.c[k]) >> kBlockShift;
                    rightStep.c[k] = wrapSub(bottomRight.c[k], topRight.c[k]) >> kBlockShift;
                });

                uint32_t* out = dst + blockRow * kBlockSize * kFrameWidth + blockColumn * kBlockSize;
                for (int y = 0; y < kBlockSize; ++y, out += kFrameWidth) {
                    seam(right, left);
                    BlockValues<N> step;
                    forEachValue<N>([&](int k) { step.c[k] = wrapSub(right.c[k], left.c[k]) >> kBlockShift; });
                    row(out, left, step);
                    forEachValue<N>([&](int k) {
                        left.c[k] = wrapAdd(left.c[k], leftStep.c[k]);
                        right.c[k] = wrapAdd(right.c[k], rightStep.c[k]);
                    });
                }
            }
        }
    });
}

#if defined(__SSE2__)
// Two table indices from the 16.16 values of one register, lanes (a, b, c,
// d): the integer parts (>> 16) are masked with `mask`, then one
// multiply-add of the low 16 bits of each lane with `factors` (words
// fa, fb, 0, 0, fc, fd, 0, 0) gives a * fa + b * fb in word 0 and
// c * fc + d * fd in word 4 of the result (read them with
// _mm_extract_epi16). Modulo 2^16 these are exact whatever the high bits of
// the integer parts, so they equal 16-bit indices formed lane by lane.
inline __m128i blockIndexPairs(__m128i value, __m128i mask, __m128i factors) {
    __m128i parts = _mm_and_si128(_mm_srai_epi32(value, 16), mask);
    // Words a, b, -, - and c, d, -, -: each pair next to its factors.
    parts = _mm_shufflehi_epi16(_mm_shufflelo_epi16(parts, _MM_SHUFFLE(3, 1, 2, 0)), _MM_SHUFFLE(3, 1, 2, 0));
    return _mm_madd_epi16(parts, factors);
}
#endif

// The same with pixel(values) returning the pixel for the interpolated values.
template <int N, typename Corners, typename Seam, typename Pixel>
inline void drawBlockGrid(uint32_t* dst, Corners&& corners, Seam&& seam, Pixel&& pixel) {
    drawBlockGridRows<N>(dst, corners, seam, [&pixel](uint32_t* out, BlockValues<N> value, const BlockValues<N>& step) {
        for (int x = 0; x < kBlockSize; ++x) {
            out[x] = pixel(value);
            forEachValue<N>([&](int k) { value.c[k] = wrapAdd(value.c[k], step.c[k]); });
        }
    });
}

}  // namespace marrow
