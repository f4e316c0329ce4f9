// eight_pixels.h: eight 32-bit pixels in one AVX2 register, for the block
// grids' rows of eight (x86 only; callers ask useAvx2() first). Each
// function carries the target attribute, so the rest of the program still
// builds for the baseline processor.
#pragma once

#include <cstdint>

#include "common/cpu_features.h"

#if defined(MARROW_X86)
#include <immintrin.h>

#define MARROW_AVX2 [[gnu::target("avx2")]]

namespace marrow {

// start + x * step for x = 0..7, modulo 2^32: the values the block row's
// pixels would reach by adding step x times.
MARROW_AVX2 inline __m256i blockLanes(int32_t start, int32_t step) {
    return _mm256_add_epi32(_mm256_set1_epi32(start),
                            _mm256_mullo_epi32(_mm256_set1_epi32(step), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
}

MARROW_AVX2 inline __m256i load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
MARROW_AVX2 inline void store8(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

}  // namespace marrow

#endif
