// The shared generator and the value noise built on it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "effects/random.h"

namespace marrow {
namespace {

// Restores the process-wide generator, so these tests draw from a known
// state without disturbing any other test.
class RandomTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = randState(); }
    void TearDown() override { setRandState(saved_); }
    uint32_t saved_ = 0;
};

TEST_F(RandomTest, SequenceFromStateOneFollowsTheLinearCongruence) {
    setRandState(1);
    EXPECT_EQ(rand(), 41);
    EXPECT_EQ(rand(), 18467);
    EXPECT_EQ(rand(), 6334);

    // Further on, including the wrap of the 32-bit state, against the
    // formula done in 64 bits.
    uint64_t state = 0xFFFFFFF0u;
    setRandState(0xFFFFFFF0u);
    for (int i = 0; i < 10000; ++i) {
        state = (state * 214013 + 2531011) % 4294967296u;
        ASSERT_EQ(rand(), static_cast<int32_t>((state >> 16) & 0x7FFF)) << i;
    }
    EXPECT_EQ(randState(), state);
}

TEST_F(RandomTest, NoiseTableIsTheNextValuesScaledToMinusOneToOne) {
    setRandState(12345);
    noiseInit();
    const float* t = noiseTable();
    uint32_t state = 12345;
    for (int i = 0; i < 256; ++i) {
        state = state * 214013u + 2531011u;
        const int r = static_cast<int>((state >> 16) & 0x7FFF);
        const float expected = static_cast<float>(r) * (1.0f / 32767.0f) * 2.0f - 1.0f;
        ASSERT_EQ(t[i], expected) << i;
        ASSERT_GE(t[i], -1.0f);
        ASSERT_LE(t[i], 1.0f);
    }
    EXPECT_EQ(randState(), state);  // exactly 256 draws
}

TEST_F(RandomTest, Noise1dInterpolatesBetweenTheNextTwoEntries) {
    setRandState(1);
    noiseInit();
    const float* t = noiseTable();

    EXPECT_EQ(noise1d(0.0f, 1, 1.0f), 0.5f * t[1]);
    EXPECT_EQ(noise1d(12.5f, 0, 1.0f), 0.0f);

    // x = 2.25: n = 2, entries 3 and 4, w = 3 - 2.25 = 0.75; the second
    // octave at x = 4.5 (entries 5 and 6, w = 0.5) with amplitude 0.5 * 0.5.
    const float o1 = 0.5f * (t[4] + (t[3] - t[4]) * 0.75f);
    const float o2 = 0.25f * (t[6] + (t[5] - t[6]) * 0.5f);
    EXPECT_EQ(noise1d(2.25f, 2, 0.5f), o1 + o2);

    // Negative x truncates toward zero and the indices wrap to 8 bits:
    // n = -3, entries 254 and 255, w = -2 - (-3.5) = 1.5.
    EXPECT_EQ(noise1d(-3.5f, 1, 1.0f), 0.5f * (t[255] + (t[254] - t[255]) * 1.5f));
    // Large x wraps the same way: n = 1000, entries 1001 & 255 = 233, 234.
    EXPECT_EQ(noise1d(1000.0f, 1, 1.0f), 0.5f * (t[234] + (t[233] - t[234]) * 1.0f));

    // Out-of-range and NaN inputs take the x86 conversion result and stay
    // inside the table.
    EXPECT_TRUE(std::isfinite(noise1d(3.0e9f, 1, 1.0f)));
    EXPECT_TRUE(std::isnan(noise1d(NAN, 1, 1.0f)));
}

}  // namespace
}  // namespace marrow
