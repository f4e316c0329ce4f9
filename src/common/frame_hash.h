// frame_hash.h: the 64-bit hash by which frames are compared between runs
// and between builds (the capture tool's --hashes, the browser build's test
// entry point).
//
// FNV-1a over the 256000 bytes of a frame in memory order (each pixel's low
// byte first on the little-endian machines both builds run on).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/framebuffer.h"

namespace marrow {

inline uint64_t hashFrame(const uint32_t* pixels) {
    uint64_t h = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    for (size_t i = 0; i < kFrameBytes; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace marrow
