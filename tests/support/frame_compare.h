// frame_compare.h: whole 320x200 frames compared pixel by pixel, naming the
// first few pixels that differ; random frames to feed them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"

inline void expectFramesEqual(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    int mismatches = 0;
    for (int i = 0; i < marrow::kFramePixels; ++i)
        if (got[i] != want[i] && ++mismatches <= 3)
            ADD_FAILURE() << "pixel (" << i % marrow::kFrameWidth << ", " << i / marrow::kFrameWidth << "): " << std::hex
                          << got[i] << " != " << want[i];
    EXPECT_EQ(mismatches, 0);
}

// A frame of random pixels, top byte included (operations must ignore it).
inline std::vector<uint32_t> randomFrame(uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> f(marrow::kFramePixels);
    for (uint32_t& p : f) p = gen();
    return f;
}
