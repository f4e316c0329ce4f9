// filters.h: the five frame-to-frame filters the timeline layers frames with.
//
// Every filter reads a 320x200 frame (0x00RRGGBB words) and writes another;
// src and dst may be the same buffer. All integer: shifts and masks per
// packed word, no table, no floating point; about one to two ns per pixel.
// Objects are created once at start; only MotionBlurFilter and
// ChannelFlipFilter keep state between calls.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/effect.h"

namespace marrow {

// dst = NOT src, all 32 bits: a pixel with top byte 0 comes out with 0xFF.
class InvertFilter : public Filter {
public:
    void apply(const uint32_t* src, uint32_t* dst) override;
};

// dst = average of src and the old dst, each byte halved before the add (so
// nothing carries between bytes; the low bit of each byte is dropped, and the
// top bytes are averaged too).
class MixFilter : public Filter {
public:
    void apply(const uint32_t* src, uint32_t* dst) override;
};

// Running four-neighbour blur: for pixels 320..63679 (rows 1..198) in order,
// s = s/4 + above/4 + below/4 + right/4 per channel, dst[k] = s, where s starts
// as src[319] and carries along each row and from the end of one row into the
// next. Rows 0 and 199 of dst are not written. In place, the pixel above has
// already been smoothed when it is read. Top byte of the output is 0.
class SmoothFilter : public Filter {
public:
    void apply(const uint32_t* src, uint32_t* dst) override;
};

// Feedback trail: the first call after construction or reset() passes src
// through (and remembers it); every later call writes the per-channel average
// of src and the remembered frame, halved-then-added, and remembers that.
// Output top byte 0 from the second call on.
class MotionBlurFilter : public Filter {
public:
    MotionBlurFilter();
    void apply(const uint32_t* src, uint32_t* dst) override;
    void reset() override { first = 1; }

    int32_t first;                        // 1: the next apply starts afresh
    std::unique_ptr<uint32_t[]> history;  // 64000 pixels, the last output
};

// Mirrors chosen channels against the brightest channel of each pixel
// (channel := max(R, G, B) - channel). Each call takes the next of eight
// channel masks (none, R, RG, G, GB, B, RB, RGB), so the pattern repeats every
// eight calls; the "none" call returns without writing anything. Pixels whose
// brightest channel is 3 or less are not written either (when src != dst,
// dst keeps its old value there). Unflipped channels and the top byte are
// kept from src.
class ChannelFlipFilter : public Filter {
public:
    void apply(const uint32_t* src, uint32_t* dst) override;

    // The number of calls so far; the mask is chosen by its low three bits.
    int32_t counter = 0;
};

}  // namespace marrow
