// Particle bursts, sprite flashes and block overlays: the order of the shared
// generator's calls, the exact pixels of a particle, the frame edges, and the
// places a block can land.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/framebuffer.h"
#include "effects/compositing.h"
#include "effects/random.h"
#include "effects/sparks.h"
#include "guarded_frame.h"

using namespace marrow;

namespace {

// The generator as defined, kept apart from the program's so a test can run
// ahead of it and know what each call will return.
struct ModelRand {
    uint32_t state;
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
};


class Sparks : public ::testing::Test {
protected:
    void SetUp() override {
        buildMulTable();
        resetOverlayState();
        const uint32_t* none[8] = {};
        setFlashFrames(none);
    }
    void TearDown() override { resetOverlayState(); }
};

// Fills the pool, then leaves only particle 0 alive: the others die exactly
// at `phase`, so the next call at `phase` neither recycles nor draws them and
// draws no random number for them.
Particle& isolateFirstParticle(int32_t phase) {
    GuardedFrame scratch;
    sparkBurst(0, 0, 0, 3000, 64, 70, scratch.data());
    Particle* pool = sparkPool();
    for (int k = 0; k < kSparkCount; ++k) pool[k].death = phase;
    return pool[0];
}

void placeStill(Particle& p, int32_t x, int32_t y, int32_t z, int32_t death, int32_t glow) {
    p.x = x;
    p.y = y;
    p.z = z;
    p.vx = p.vy = 0;
    p.vz = 0xFF0000;
    p.death = death;
    p.core = 0xFFFFFF;
    p.glow = glow;
}

}  // namespace

TEST_F(Sparks, FirstCallFillsThePoolFromTheGeneratorAndDrawsNothing) {
    setRandState(12345);
    ModelRand model{12345};
    GuardedFrame frame(0x112233);
    sparkBurst(100, 50, 40, 3000, 64, 70, frame.data());
    EXPECT_TRUE(sparksReady());
    EXPECT_EQ(frame.countNot(0x112233), 0);

    const int32_t glows[4] = {0xFF0000, 0xFFC000, 0x7F0F3F, 0xFF5800};
    const Particle* pool = sparkPool();
    for (int k = 0; k < kSparkCount; ++k) {
        const int32_t rx = model.next(), ry = model.next(), rg = model.next();
        const Particle& p = pool[k];
        // Only the top byte of the velocity is kept: (rand + 1) mod 256 as a
        // signed step.
        EXPECT_EQ(p.vx >> 24, static_cast<int8_t>(rx + 1)) << k;
        EXPECT_EQ(p.vx & 0xFFFFFF, 0) << k;
        EXPECT_EQ(p.vy >> 24, static_cast<int8_t>(ry + 1)) << k;
        EXPECT_EQ(p.glow, glows[rg & 3]) << k;
        EXPECT_EQ(p.vz, 0xFF0000);
        EXPECT_EQ(p.core, 0xFFFFFF);
        EXPECT_EQ(p.z, 3000);
        EXPECT_EQ(p.death, 170);
    }
    EXPECT_EQ(randState(), model.state);
    // Particle 0 sits at angle 0 on the ring: straight "below" (cos 0 = 1).
    EXPECT_EQ(pool[0].x, 50);
    EXPECT_EQ(pool[0].y, 104);
    // Particle 125 is a quarter turn round; the cosine is a hair above or
    // below 0, and truncation of 40 - tiny gives 39.
    EXPECT_EQ(pool[125].x, 114);
    EXPECT_EQ(pool[125].y, static_cast<int32_t>(std::cos(250 * 0.006283185307179587) * 64 + 40));
    // Particle 250 half a turn round.
    EXPECT_EQ(pool[250].y, -24);
}

TEST_F(Sparks, ReplaysMovementAndRecyclingInGeneratorOrder) {
    setRandState(777);
    ModelRand model{777};
    GuardedFrame frame;
    sparkBurst(100, 50, 40, 3000, 64, 70, frame.data());
    std::vector<Particle> before(sparkPool(), sparkPool() + kSparkCount);
    for (int i = 0; i < 3 * kSparkCount; ++i) model.next();

    // Phase 101: all alive. Each moves by its old velocity's top byte, then
    // one draw decides whether it brakes.
    sparkBurst(101, 50, 40, 3000, 64, 70, frame.data());
    for (int k = 0; k < kSparkCount; ++k) {
        const Particle& p = sparkPool()[k];
        const Particle& b = before[k];
        EXPECT_EQ(p.x, b.x + (b.vx >> 24));
        EXPECT_EQ(p.y, b.y + (b.vy >> 24));
        EXPECT_EQ(p.z, 3000);  // depth step of 0xFF0000 is 0
        const bool brake = (model.next() & 0x56) == 0x56;
        EXPECT_EQ(p.vx, brake ? (b.vx >> 1) : b.vx) << k;
        EXPECT_EQ(p.vz, brake ? 0x1FE0000 : 0xFF0000) << k;
    }
    EXPECT_EQ(randState(), model.state);

    // Phase 170: every particle dies exactly now; none is recycled or drawn
    // and no number is drawn.
    GuardedFrame quiet;
    sparkBurst(170, 50, 40, 3000, 64, 70, quiet.data());
    EXPECT_EQ(randState(), model.state);
    EXPECT_EQ(quiet.countNot(0), 0);

    // Phase 171: each dead particle draws once; those whose draw has bits
    // 0x2A clear are emitted again round (128, 128), then move and draw once
    // more.
    before.assign(sparkPool(), sparkPool() + kSparkCount);
    sparkBurst(171, 50, 40, 2000, 64, 70, frame.data());
    int recycled = 0;
    for (int k = 0; k < kSparkCount; ++k) {
        const Particle& p = sparkPool()[k];
        if ((model.next() & 0x2A) != 0) {
            EXPECT_EQ(p.x, before[k].x) << k;
            EXPECT_EQ(p.death, 170) << k;
            continue;
        }
        ++recycled;
        const int32_t rx = model.next(), ry = model.next();
        model.next();  // glow
        const double angle = (2 * k) * 0.006283185307179587;
        EXPECT_EQ(p.death, 241) << k;
        EXPECT_EQ(p.x, static_cast<int32_t>(std::sin(angle) * 64 + 128) + static_cast<int8_t>(rx + 1)) << k;
        EXPECT_EQ(p.y, static_cast<int32_t>(std::cos(angle) * 64 + 128) + static_cast<int8_t>(ry + 1)) << k;
        EXPECT_EQ(p.z, 2000) << k;
        model.next();  // brake
    }
    EXPECT_GT(recycled, 20);
    EXPECT_LT(recycled, 120);
    EXPECT_EQ(randState(), model.state);
    EXPECT_TRUE(frame.padIntact());
}

TEST_F(Sparks, ParticleIsAThreeByThreeStarFadingOverItsLast32Phases) {
    Particle& p = isolateFirstParticle(500);
    // z = 3000: x = y = 0 lands on (160, 100). Glow 0xFF5800.
    struct Case {
        int32_t remaining;
        uint32_t core, side, diagonal;
    };
    const Case cases[] = {
        {32, 0xFFFFFF, 0xDF3800, 0x8F0000},  // full colour
        {40, 0xFFFFFF, 0xDF3800, 0x8F0000},
        {25, 0xC8C8C8, 0xA80100, 0x580000},  // fade 55: glow 0xC82100
        {1, 0x080808, 0x000000, 0x000000},   // fade 247: glow 0x080000, no halo
    };
    for (const Case& c : cases) {
        placeStill(p, 0, 0, 3000, 500 + c.remaining, 0xFF5800);
        const uint32_t state = randState();
        GuardedFrame frame;
        sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
        ModelRand model{state};
        model.next();
        EXPECT_EQ(randState(), model.state) << "one draw for the one live particle";
        EXPECT_EQ(frame.at(160, 100), c.core) << c.remaining;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0) continue;
                const uint32_t want = (dx == 0 || dy == 0) ? c.side : c.diagonal;
                EXPECT_EQ(frame.at(160 + dx, 100 + dy), want) << c.remaining << " " << dx << "," << dy;
            }
        const int drawn = 1 + (c.side ? 4 : 0) + (c.diagonal ? 4 : 0);
        EXPECT_EQ(frame.countNot(0), drawn) << c.remaining;
    }
}

TEST_F(Sparks, OuterRowsAndColumnsAreNeverDrawnSoTheHaloStaysOnTheFrame) {
    Particle& p = isolateFirstParticle(500);
    // z = 256 makes the projection X = x + 160, Y = 100 - y.
    struct Case {
        int32_t x, y;
        bool drawn;
    };
    const Case cases[] = {
        {-160, 0, false}, {-159, 0, true},  {158, 0, true},  {159, 0, false},
        {0, 100, false},  {0, 99, true},    {0, -98, true},  {0, -99, false},
        {-159, 99, true}, {158, -98, true}, {-1000, 0, false},
    };
    for (const Case& c : cases) {
        placeStill(p, c.x, c.y, 256, 540, 0xFFFFFF);
        GuardedFrame frame;
        sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
        EXPECT_TRUE(frame.padIntact());
        EXPECT_EQ(frame.countNot(0), c.drawn ? 9 : 0) << c.x << "," << c.y;
        if (c.drawn) {
            EXPECT_EQ(frame.at(c.x + 160, 100 - c.y), 0xFFFFFFu);
        }
    }
    // Negative coordinates project through the low 24 bits shifted by 8,
    // which is x * 256 modulo 2^32: the sign survives.
    placeStill(p, -1200, 600, 3000, 540, 0xFFFFFF);
    GuardedFrame frame;
    sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
    EXPECT_EQ(frame.at(160 - 102, 100 - 51), 0xFFFFFFu);
}

TEST_F(Sparks, DepthThroughZeroOrAFaultingDivisionSkipsOnlyTheDrawing) {
    Particle& p = isolateFirstParticle(500);
    // The doubled depth velocity's top byte -1 carries z from 1 to 0.
    placeStill(p, 10, 10, 1, 540, 0xFFFFFF);
    p.vz = static_cast<int32_t>(0xFF000000u);
    GuardedFrame frame;
    uint32_t state = randState();
    sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
    EXPECT_EQ(p.z, 0);
    EXPECT_EQ(frame.countNot(0), 0);
    ModelRand model{state};
    model.next();
    EXPECT_EQ(randState(), model.state);

    // x << 8 = 0x80000000 over z = -1 would overflow the 32-bit quotient.
    placeStill(p, 0x800000, 0, -1, 540, 0xFFFFFF);
    sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
    EXPECT_EQ(frame.countNot(0), 0);
    placeStill(p, 0, 0x800000, -1, 540, 0xFFFFFF);
    sparkBurst(500, 0, 0, 3000, 64, 70, frame.data());
    EXPECT_EQ(frame.countNot(0), 0);
    EXPECT_TRUE(frame.padIntact());
}

TEST_F(Sparks, FlashShowsEachAnimationFrameForFourCallsAtARandomPlace) {
    std::vector<std::vector<uint32_t>> images(8, std::vector<uint32_t>(128 * 32));
    const uint32_t* frames[8];
    for (int i = 0; i < 8; ++i) {
        for (auto& px : images[i]) px = static_cast<uint32_t>(i + 1) * 0x10;
        frames[i] = images[i].data();
    }
    setFlashFrames(frames);
    setRandState(99);
    ModelRand model{99};
    for (int call = 0; call < 34; ++call) {
        GuardedFrame frame;
        spriteFlash(frame.data());
        const int32_t b = model.next();
        const int row0 = (model.next() & 0x7F) + 20;
        const int col0 = (b & 0x7F) + 32;
        const uint32_t want = static_cast<uint32_t>((((call + 1) >> 2) & 7) + 1) * 0x10;
        EXPECT_EQ(frame.countNot(0), 128 * 32) << call;
        EXPECT_EQ(frame.at(col0, row0), want) << call;
        EXPECT_EQ(frame.at(col0 + 127, row0 + 31), want) << call;
        EXPECT_TRUE(frame.padIntact());
    }
    EXPECT_EQ(randState(), model.state);

    // Without registered frames nothing is drawn, but the two numbers are
    // still drawn so everything after sees the same sequence.
    const uint32_t* none[8] = {};
    setFlashFrames(none);
    GuardedFrame frame;
    spriteFlash(frame.data());
    model.next();
    model.next();
    EXPECT_EQ(randState(), model.state);
    EXPECT_EQ(frame.countNot(0), 0);
}

TEST_F(Sparks, BlockStartsAtTheOriginPlusJitterAndKeepsItsPlace) {
    std::vector<uint32_t> image(256 * 64, 0x000100);
    setRandState(4242);
    ModelRand model{4242};

    GuardedFrame frame;
    blockGlitch(frame.data(), image.data(), 0, 0);
    int jy = model.next() & 7, jx = model.next() & 7;
    EXPECT_EQ(glitchBaseX(), 0);
    EXPECT_EQ(glitchBaseY(), 0);
    EXPECT_EQ(frame.countNot(0), 128 * 32);
    EXPECT_EQ(frame.at(jx, jy), 0x000100u);
    EXPECT_EQ(frame.at(jx + 127, jy + 31), 0x000100u);

    // Bit 0x20 picks a new place; with 0x40 it is the large block.
    GuardedFrame large;
    blockGlitch(large.data(), image.data(), 0x60, 0);
    const int32_t x = model.next() % 57, y = model.next() % 129;
    jy = model.next() & 7;
    jx = model.next() & 7;
    EXPECT_EQ(glitchBaseX(), x);
    EXPECT_EQ(glitchBaseY(), y);
    EXPECT_EQ(large.countNot(0), 256 * 64);
    EXPECT_EQ(large.at(x + jx + 255, y + jy + 63), 0x000100u);

    // Without 0x20 the place stays; only the jitter is drawn.
    GuardedFrame again;
    blockGlitch(again.data(), image.data(), 0x40, 0);
    jy = model.next() & 7;
    jx = model.next() & 7;
    EXPECT_EQ(glitchBaseX(), x);
    EXPECT_EQ(glitchBaseY(), y);
    EXPECT_EQ(again.at(x + jx, y + jy), 0x000100u);
    EXPECT_EQ(randState(), model.state);
}

TEST(SparksBlockPlaces, EveryPlaceTheRulesCanProduceFitsTheFrame) {
    // The base place comes from rand() (0..32767) or from a previous place
    // reduced by the other block size's modulus; the jitter adds up to 7.
    auto fits = [](int32_t x, int32_t y, bool large) {
        const int32_t bx = x % (large ? 57 : 185), by = y % (large ? 129 : 161);
        return bx + 7 + (large ? 256 : 128) <= kFrameWidth && by + 7 + (large ? 64 : 32) <= kFrameHeight;
    };
    for (int32_t r = 0; r <= 32767; ++r) {
        ASSERT_TRUE(fits(r, r, true)) << r;
        ASSERT_TRUE(fits(r, r, false)) << r;
        ASSERT_TRUE(fits(r % 185, r % 161, true)) << r;
        ASSERT_TRUE(fits(r % 57, r % 129, false)) << r;
    }
}

TEST_F(Sparks, BlocksAtTheirFarthestPlacesEndOnePixelShortOfTheCorner) {
    // Search the generator's sequence for four draws that give the largest
    // base and jitter, then paste there.
    for (const bool large : {true, false}) {
        const int32_t mx = large ? 57 : 185, my = large ? 129 : 161;
        ModelRand walk{1};
        uint32_t start = 0;
        for (int i = 0; i < 50000000; ++i) {
            const uint32_t s = walk.state;
            ModelRand m{s};
            if (m.next() % mx == mx - 1 && m.next() % my == my - 1 && (m.next() & 7) == 7 && (m.next() & 7) == 7) {
                start = s;
                break;
            }
            walk.next();
        }
        ASSERT_NE(start, 0u);
        resetOverlayState();
        setRandState(start);
        std::vector<uint32_t> image(256 * 64, 0x404040);
        GuardedFrame frame(0x101010);
        blockGlitch(frame.data(), image.data(), large ? 0x60 : 0x20, 0);
        // Base 56 or 184 plus jitter 7 plus the width ends at column 318;
        // rows likewise end at 198.
        EXPECT_EQ(frame.at(318, 198), 0x505050u) << large;
        EXPECT_EQ(frame.at(319, 198), 0x101010u) << large;
        EXPECT_EQ(frame.at(318, 199), 0x101010u) << large;
        EXPECT_EQ(frame.at(318 - (large ? 256 : 128), 198), 0x101010u) << large;
        EXPECT_EQ(frame.countNot(0x101010), large ? 256 * 64 : 128 * 32);
        EXPECT_TRUE(frame.padIntact());
    }
}

TEST_F(Sparks, BlendModeWeighsTheImageByItsBrightness) {
    std::vector<uint32_t> image(256 * 64, 0);
    image[0] = 0x808080;   // v = 128, w = 127
    image[1] = 0x020202;   // sum 6: left alone
    image[2] = 0x030302;   // sum 8: v = 2, w = 253
    image[3] = 0xFF00FF;   // sum 510: v = 170, w = 85
    setRandState(31337);
    ModelRand model{31337};
    GuardedFrame frame(0xFF404040);
    blockGlitch(frame.data(), image.data(), 0, 1);
    const int jy = model.next() & 7, jx = model.next() & 7;
    // (192 * 127) >> 8 = 95, (128 * 128) >> 8 = 64.
    EXPECT_EQ(frame.at(jx, jy), 0x9F9F9Fu);
    EXPECT_EQ(frame.at(jx + 1, jy), 0xFF404040u);
    // (67 * 253) >> 8 = 66, (3 * 2) >> 8 = 0; (66 * 253) >> 8 = 65.
    EXPECT_EQ(frame.at(jx + 2, jy), 0x424241u);
    // Red: h = 255 -> (255 * 85) >> 8 = 84, (255 * 170) >> 8 = 169: 253.
    // Green: h = 64 -> (64 * 85) >> 8 = 21, 0.
    EXPECT_EQ(frame.at(jx + 3, jy), 0xFD15FDu);
    EXPECT_EQ(frame.at(jx + 4, jy), 0xFF404040u);
    // Additive mode adds where the image is not 0.
    GuardedFrame added(0x404040);
    setRandState(31337);
    blockGlitch(added.data(), image.data(), 0, 0);
    EXPECT_EQ(added.at(jx, jy), 0xC0C0C0u);
    EXPECT_EQ(added.at(jx + 3, jy), 0xFF40FFu);
    EXPECT_EQ(added.at(jx + 4, jy), 0x404040u);
}
