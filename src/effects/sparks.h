// sparks.h: small bright things added over a finished frame.
//
// sparkBurst: a pool of 500 particles flying out of a ring, fading over their
// last 32 phases and re-emitted at random; each is a 3x3 star (core pixel,
// side and diagonal glow). spriteFlash: one frame of an eight-frame 128x32
// animation at a random place. blockGlitch: the top-left block of an image
// (256x64 or 128x32) pasted at a place that jitters by up to 7 pixels.
//
// All three add with plotAdd (a 0 destination takes the new pixel as it is,
// otherwise channels add and saturate) except blockGlitch's blend mode, and
// all draw from the shared rand(): the order of its calls below is part of
// what is drawn, so none of them may call rand() more or less often.
// Cost: sparkBurst about 500 x 9 pixels per call; spriteFlash 4096 pixels;
// blockGlitch 4096 or 16384 pixels. Frames are 320x200 0x00RRGGBB.
#pragma once

#include <cstdint>

namespace marrow {

// One particle: nine 32-bit signed integers in this order.
struct Particle {
    int32_t x, y, z;     // position; projected as (x << 8) / z
    int32_t vx, vy, vz;  // 8.24 velocity: only the top byte (value >> 24) moves the particle
    int32_t death;       // phase at which the particle dies
    int32_t core;        // colour of the centre pixel
    int32_t glow;        // colour of the eight neighbours (before their own dimming)
};

constexpr int kSparkCount = 500;

// phase: the timeline's truncate(time x 70). The first call fills the pool
// around (cx, cy) at depth `depth` on a ring of `radius` with lifetime `life`
// (in phases) and draws nothing; every later call moves, recycles (around
// (128, 128)) and draws the particles into frame.
void sparkBurst(int32_t phase, int32_t cx, int32_t cy, int32_t depth, int32_t radius, int32_t life,
                uint32_t* frame);

// Hands over the eight 128x32 animation frames (rows of 128 pixels each)
// that spriteFlash draws. Called once by the start-up code after the images
// are loaded; the pointers must stay valid for the rest of the run. A null
// entry (or no call at all) makes that animation frame draw nothing, though
// spriteFlash still draws its two random numbers so the shared sequence is
// the same.
void setFlashFrames(const uint32_t* const frames[8]);

// Adds animation frame ((n + 1) >> 2) & 7 for the n-th call (n from 0), so
// each frame shows for four calls, at column 32..159, row 20..147: always
// wholly inside the frame.
void spriteFlash(uint32_t* frame);

// image: 256 pixels wide, at least 64 rows for the large block (flags bit
// 0x40) or 32 for the small one. flags bit 0x20 picks a new base place;
// otherwise the last one is kept. mode bit 0: 0 adds the block with plotAdd,
// 1 blends it by brightness (bright image pixels replace the frame, dark ones
// add to it, near-black ones are skipped). A null image draws nothing but
// still draws the random numbers.
void blockGlitch(uint32_t* frame, const uint32_t* image, int32_t flags, int32_t mode);

// State access for tests and tools; the program itself never calls these.
// sparkPool gives the 500 records themselves, so a test can place a particle.
Particle* sparkPool();
bool sparksReady();
int32_t glitchBaseX();
int32_t glitchBaseY();
// Back to the start-of-run state: pool empty, flash counter 0, block base
// (0, 0). The registered flash frames are kept.
void resetOverlayState();

}  // namespace marrow
