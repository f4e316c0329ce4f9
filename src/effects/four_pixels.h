// four_pixels.h: four 32-bit pixels in one SSE2 register (every x86-64 has
// SSE2). Loads and stores are unaligned: spans and rows start anywhere.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

namespace marrow {

inline __m128i load4(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store4(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

}  // namespace marrow
#endif
