// The filter and effect base classes and the five filters, against plain
// per-channel references written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/effect.h"
#include "effects/filters.h"

namespace marrow {
namespace {

using Frame = std::vector<uint32_t>;

uint32_t channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

Frame randomFrame(uint32_t seed) {
    std::mt19937 gen(seed);
    Frame f(kFramePixels);
    for (uint32_t& p : f) p = gen();  // top bytes set too: filters must cope
    return f;
}

TEST(EffectBase, DrawsNothingReportsNothingAndStoresMode) {
    Effect e;
    EXPECT_EQ(e.mode, 0);
    e.setMode(-7);
    EXPECT_EQ(e.mode, -7);
    Frame dst(kFramePixels, 0x00ABCDEFu);
    e.render(dst.data(), nullptr, 1.5f);
    EXPECT_EQ(dst, Frame(kFramePixels, 0x00ABCDEFu));
    const EffectInfo in{"caller", "someone", 42};
    const EffectInfo out = e.getInfo(in);
    EXPECT_STREQ(out.description, "caller");
    EXPECT_EQ(out.author, in.author);
    EXPECT_EQ(out.flag, 42);
}

TEST(FilterBase, CopiesUnlessBothBuffersAreTheSame) {
    Filter f;
    const Frame src = randomFrame(1);
    Frame dst(kFramePixels, 0);
    f.apply(src.data(), dst.data());
    EXPECT_EQ(dst, src);
    Frame buf = src;
    f.apply(buf.data(), buf.data());
    EXPECT_EQ(buf, src);
    f.reset();  // nothing to reset, and no harm done
}

TEST(InvertFilter, FlipsAllThirtyTwoBits) {
    InvertFilter f;
    Frame buf(kFramePixels, 0x00123456u);
    buf[1] = 0xFF000000u;
    f.apply(buf.data(), buf.data());
    EXPECT_EQ(buf[0], 0xFFEDCBA9u);  // top byte 0 becomes 0xFF
    EXPECT_EQ(buf[1], 0x00FFFFFFu);
    EXPECT_EQ(buf[kFramePixels - 1], 0xFFEDCBA9u);
}

TEST(MixFilter, AveragesEachByteHalvedFirst) {
    MixFilter f;
    const Frame src = randomFrame(2), old = randomFrame(3);
    Frame dst = old;
    f.apply(src.data(), dst.data());
    for (int i = 0; i < kFramePixels; ++i) {
        uint32_t expected = 0;
        for (int shift : {24, 16, 8, 0}) expected |= (channel(src[i], shift) / 2 + channel(old[i], shift) / 2) << shift;
        ASSERT_EQ(dst[i], expected) << i;
    }
    // In place it is the frame's own halves: each byte loses its low bit.
    Frame buf = {0xFF0000FFu};
    buf.resize(kFramePixels, 0x03030303u);
    f.apply(buf.data(), buf.data());
    EXPECT_EQ(buf[0], 0xFE0000FEu);
    EXPECT_EQ(buf[1], 0x02020202u);
}

// The running average written out per channel. In place, the pixel above is
// read from the output (already smoothed); otherwise from the source.
Frame referenceSmooth(const Frame& src, const Frame& dstBefore, bool inPlace) {
    Frame dst = inPlace ? src : dstBefore;
    uint32_t s[3] = {channel(src[319], 16), channel(src[319], 8), channel(src[319], 0)};
    for (int k = 320; k < 64000 - 320; ++k) {
        const uint32_t above = inPlace ? dst[k - 320] : src[k - 320];
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            const int shift = 16 - 8 * c;
            s[c] = s[c] / 4 + channel(above, shift) / 4 + channel(src[k + 320], shift) / 4 +
                   channel(src[k + 1], shift) / 4;
            out |= s[c] << shift;
        }
        dst[k] = out;
    }
    return dst;
}

TEST(SmoothFilter, MatchesReferenceAndLeavesFirstAndLastRowsAlone) {
    SmoothFilter f;
    const Frame src = randomFrame(4), before = randomFrame(5);
    Frame dst = before;
    f.apply(src.data(), dst.data());
    EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 320, before.begin()));
    EXPECT_TRUE(std::equal(dst.end() - 320, dst.end(), before.end() - 320));
    EXPECT_EQ(dst, referenceSmooth(src, before, false));

    Frame buf = src;
    f.apply(buf.data(), buf.data());
    EXPECT_EQ(buf, referenceSmooth(src, src, true));
    EXPECT_NE(buf, dst);  // the in-place result really differs
    for (int k = 320; k < 64000 - 320; ++k) ASSERT_EQ(buf[k] >> 24, 0u);
}

uint32_t halfSum(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) out |= (channel(a, shift) / 2 + channel(b, shift) / 2) << shift;
    return out;
}

TEST(MotionBlurFilter, FirstFramePassesThroughThenAveragesWithHistory) {
    MotionBlurFilter f;
    const Frame f1 = randomFrame(6), f2 = randomFrame(7), f3 = randomFrame(8), f4 = randomFrame(9);

    Frame out(kFramePixels, 0);
    f.apply(f1.data(), out.data());
    EXPECT_EQ(out, f1);  // top bytes too

    Frame buf = f2;  // the timeline works in place
    f.apply(buf.data(), buf.data());
    Frame h(kFramePixels);
    for (int i = 0; i < kFramePixels; ++i) h[i] = halfSum(f1[i], f2[i]);
    EXPECT_EQ(buf, h);

    f.apply(f3.data(), out.data());
    for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(out[i], halfSum(h[i], f3[i])) << i;

    // After reset the next frame passes through again and starts the history.
    f.reset();
    buf = f4;
    f.apply(buf.data(), buf.data());
    EXPECT_EQ(buf, f4);
    f.apply(f1.data(), out.data());
    for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(out[i], halfSum(f4[i], f1[i])) << i;
}

TEST(ChannelFlipFilter, CyclesEightMasksAndSkipsDarkPixels) {
    // Channels flipped on call c & 7 (R, G, B).
    const bool flips[8][3] = {{false, false, false}, {true, false, false}, {true, true, false},
                              {false, true, false},  {false, true, true},  {false, false, true},
                              {true, false, true},   {true, true, true}};
    ChannelFlipFilter f;
    EXPECT_EQ(f.counter, 0);
    Frame src = randomFrame(10);
    src[0] = 0x00030201u;  // brightest channel 3: not written
    src[1] = 0xAB102030u;  // top byte kept
    src[2] = 0x00040404u;  // grey just above the limit: flipped channels become 0

    for (int call = 0; call < 16; ++call) {
        Frame dst(kFramePixels, 0xDEADBEEFu);
        f.apply(src.data(), dst.data());
        EXPECT_EQ(f.counter, call + 1);
        const bool* flip = flips[call & 7];
        for (int i = 0; i < kFramePixels; ++i) {
            const uint32_t p = src[i];
            const uint32_t m = std::max({channel(p, 16), channel(p, 8), channel(p, 0)});
            uint32_t expected = 0xDEADBEEFu;
            if ((call & 7) != 0 && m > 3) {
                expected = p & 0xFF000000u;
                for (int c = 0; c < 3; ++c) {
                    const int shift = 16 - 8 * c;
                    expected |= (flip[c] ? m - channel(p, shift) : channel(p, shift)) << shift;
                }
            }
            ASSERT_EQ(dst[i], expected) << "call " << call << " pixel " << i;
        }
        if ((call & 7) == 1) {
            EXPECT_EQ(dst[1], 0xAB202030u);
        }
        if ((call & 7) == 7) {
            EXPECT_EQ(dst[2], 0x00000000u);
        }
    }
}

}  // namespace
}  // namespace marrow
