// guarded_frame.h: a 320x200 frame with a whole frame's worth of sentinel
// words before and after it, so a drawing routine that runs off the frame
// (by up to 200 rows) lands in the pad, where the test sees it, instead of in
// unknown memory.
#pragma once

#include <cstdint>
#include <vector>

#include "common/framebuffer.h"

struct GuardedFrame {
    static constexpr int kPad = marrow::kFramePixels;
    static constexpr uint32_t kSentinel = 0xDEADBEEF;

    std::vector<uint32_t> words;

    explicit GuardedFrame(uint32_t fill = 0) : words(marrow::kFramePixels + 2 * kPad, kSentinel) {
        for (int i = 0; i < marrow::kFramePixels; ++i) words[kPad + i] = fill;
    }
    uint32_t* data() { return words.data() + kPad; }
    uint32_t at(int x, int y) const { return words[kPad + y * marrow::kFrameWidth + x]; }
    bool padIntact() const {
        for (int i = 0; i < kPad; ++i)
            if (words[i] != kSentinel || words[kPad + marrow::kFramePixels + i] != kSentinel) return false;
        return true;
    }
    int countNot(uint32_t value) const {
        int n = 0;
        for (int i = 0; i < marrow::kFramePixels; ++i) n += words[kPad + i] != value;
        return n;
    }
};
