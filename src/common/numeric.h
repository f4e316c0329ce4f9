// numeric.h: integer behaviour of the 32-bit x86 machine this program's
// arithmetic was defined on, made defined in C++.
//
// Every truncating float-to-integer conversion in the program goes through
// truncToInt32: the result is the value truncated toward zero, and for NaN or
// anything outside the 32-bit range it is 0x80000000, which is what the x86
// conversion instructions (cvttss2si / cvttsd2si / fistp) produce. A plain
// cast would be undefined behaviour there.
//
// Sums and products that can pass 32 bits are done in uint32_t and converted
// back, so they wrap modulo 2^32 as the machine does instead of being
// undefined.
#pragma once

#include <cstdint>

namespace marrow {

inline int32_t truncToInt32(double v) {
    // The comparisons are false for NaN, so NaN lands on the sentinel too.
    if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
    return INT32_MIN;
}

inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

inline int32_t wrapNeg(int32_t a) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
}

}  // namespace marrow
