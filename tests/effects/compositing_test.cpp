// The product table, the additive rule and the cross-fade, against per-channel
// references written out plainly here.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/framebuffer.h"
#include "effects/compositing.h"

namespace marrow {
namespace {

using Frame = std::vector<uint32_t>;

uint32_t channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Random frame with some exact zeros and some words with the top byte set,
// so every branch of the additive rule is taken.
Frame randomFrame(uint32_t seed) {
    std::mt19937 gen(seed);
    Frame f(kFramePixels);
    for (uint32_t& p : f) {
        const uint32_t kind = gen() % 8;
        p = kind == 0 ? 0u : kind == 1 ? gen() : (gen() & 0xFFFFFFu);
    }
    return f;
}

class CompositingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { buildMulTable(); }
};

TEST_F(CompositingTest, MulTableHoldsTheHighByteOfEachProduct) {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) ASSERT_EQ(MulTable[r * 256 + c], (r * c) / 256) << r << " " << c;
    // Full scale never reaches 255: a product of 255 and 255 is 254.
    EXPECT_EQ(MulTable[255 * 256 + 255], 254);
}

TEST_F(CompositingTest, PlotAddEdgeCases) {
    uint32_t d = 0;
    plotAdd(d, 0xAB123456u);
    EXPECT_EQ(d, 0xAB123456u);  // an empty destination takes the word as it is

    d = 0xCD010203u;
    plotAdd(d, 0);
    EXPECT_EQ(d, 0xCD010203u);  // nothing to add: unchanged, top byte too

    d = 0xFFFFFFFFu;  // an inverted black pixel is not empty
    plotAdd(d, 0x00010203u);
    EXPECT_EQ(d, 0x00FFFFFFu);

    d = 0x00804020u;
    plotAdd(d, 0x7F901010u);
    EXPECT_EQ(d, 0x00FF5030u);  // red saturates, the others add, top byte 0
}

TEST_F(CompositingTest, AddSaturateMatchesThePerChannelRule) {
    const Frame src = randomFrame(1);
    const Frame before = randomFrame(2);
    Frame dst = before;
    addSaturate(dst.data(), src.data());
    for (int i = 0; i < kFramePixels; ++i) {
        const uint32_t a = before[i], b = src[i];
        uint32_t expected;
        if (a == 0) {
            expected = b;
        } else if (b == 0) {
            expected = a;
        } else {
            expected = 0;
            for (int shift : {16, 8, 0}) {
                const uint32_t sum = channel(a, shift) + channel(b, shift);
                expected |= (sum > 255 ? 255 : sum) << shift;
            }
        }
        ASSERT_EQ(dst[i], expected) << i;
    }
}

// out_c = (a_c * (255 - w)) / 256 + (b_c * w) / 256, top byte from alpha.
Frame referenceCrossFade(const Frame& a, const Frame& b, int32_t alpha) {
    const uint32_t w = static_cast<uint32_t>(alpha) & 0xFF;
    Frame out(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        uint32_t p = static_cast<uint32_t>(alpha) & 0xFF000000u;
        for (int shift : {16, 8, 0})
            p |= ((channel(a[i], shift) * (255 - w)) / 256 + (channel(b[i], shift) * w) / 256) << shift;
        out[i] = p;
    }
    return out;
}

TEST_F(CompositingTest, CrossFadeOfTwoWhiteFramesAtHalfWeight) {
    const Frame white(kFramePixels, 0x00FFFFFFu);
    Frame out(kFramePixels, 0x12345678u);
    crossFade(white.data(), white.data(), out.data(), 128, kFramePixels);
    // 255 * 127 / 256 = 126 (rounded down) plus 255 * 128 / 256 = 127.
    EXPECT_EQ(out[0], 0x00FDFDFDu);
    EXPECT_EQ(out[kFramePixels - 1], 0x00FDFDFDu);
    // The largest sum, at weight 0: 254 + 0.
    crossFade(white.data(), white.data(), out.data(), 0, kFramePixels);
    EXPECT_EQ(out[0], 0x00FEFEFEu);
}

TEST_F(CompositingTest, CrossFadeMatchesReferenceTopByteAndCount) {
    const Frame a = randomFrame(3), b = randomFrame(4);
    for (int32_t alpha : {0, 1, 77, 128, 254, 255, 0x7F000040, static_cast<int32_t>(0xFF00000Au), -1}) {
        const Frame expected = referenceCrossFade(a, b, alpha);
        Frame out(kFramePixels);
        crossFade(a.data(), b.data(), out.data(), alpha, kFramePixels);
        ASSERT_EQ(out, expected) << alpha;
        EXPECT_EQ(out[5] >> 24, static_cast<uint32_t>(alpha) >> 24);
    }

    // In place on either input.
    Frame inA = a, inB = b;
    crossFade(inA.data(), b.data(), inA.data(), 90, kFramePixels);
    crossFade(a.data(), inB.data(), inB.data(), 90, kFramePixels);
    EXPECT_EQ(inA, referenceCrossFade(a, b, 90));
    EXPECT_EQ(inB, referenceCrossFade(a, b, 90));

    // Only `count` pixels are written; 0 writes nothing.
    Frame out(kFramePixels, 0xDEADBEEFu);
    crossFade(a.data(), b.data(), out.data(), 90, 0);
    EXPECT_EQ(out, Frame(kFramePixels, 0xDEADBEEFu));
    crossFade(a.data(), b.data(), out.data(), 90, 5);
    const Frame full = referenceCrossFade(a, b, 90);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], full[i]);
    EXPECT_EQ(out[5], 0xDEADBEEFu);
}

}  // namespace
}  // namespace marrow
