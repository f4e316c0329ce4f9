#include "effects/sparks.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/compositing.h"
#include "effects/random.h"
#include "common/mathfn.h"

namespace marrow {

namespace {

Particle g_pool[kSparkCount];
int32_t g_sparksReady = 0;
int32_t g_flashCounter = 0;
int32_t g_glitchX = 0;
int32_t g_glitchY = 0;
const uint32_t* g_flashFrames[8] = {};

constexpr int kFlashWidth = 128;
constexpr int kFlashHeight = 32;
constexpr int kImageStride = 256;  // blockGlitch's source images are 256 wide

// The four glow colours a particle can be emitted with, picked by rand() & 3.
constexpr int32_t kGlowColours[4] = {0xFF0000, 0xFFC000, 0x7F0F3F, 0xFF5800};

// Each of the three channels lowered by `amount`, stopping at 0. A colour or
// amount of 0 is returned as it is.
uint32_t dimChannels(uint32_t colour, uint32_t amount) {
    if (colour == 0 || amount == 0) return colour;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t c = (colour >> shift) & 0xFF;
        out |= (c > amount ? c - amount : 0) << shift;
    }
    return out;
}

// A top byte of (rand() + 1) & 0xFF: the velocity is 8.24 and only its top
// byte moves the particle, so the step is that byte read as signed
// (-128..127). The shift is done unsigned because it carries bits out of the
// word, as the 32-bit machine's shift did.
int32_t randomVelocity() {
    return static_cast<int32_t>(static_cast<uint32_t>(rand() + 1) << 24);
}

// Emission of particle k at phase t: on a ring of radius r about (ex, ey),
// 2k thousandths of a turn round it. The three rand() calls are vx, vy, glow,
// in that order.
void emit(Particle& p, int k, int32_t t, int32_t r, int32_t ex, int32_t ey, int32_t z0, int32_t life) {
    p.death = wrapAdd(t, life);
    const double angle = (2 * k) * 0.006283185307179587;
    p.x = truncToInt32(mathfn::sin(angle) * r + ex);
    p.y = truncToInt32(mathfn::cos(angle) * r + ey);
    p.z = z0;
    p.vx = randomVelocity();
    p.vy = randomVelocity();
    p.vz = 0xFF0000;  // top byte 0: no depth motion until the velocity is doubled
    p.core = 0xFFFFFF;
    p.glow = kGlowColours[rand() & 3];
}

// x * 256 / z + offset in 32-bit integers, as the projection is defined: the
// low 24 bits of the coordinate shifted up by 8 (which is x << 8 modulo 2^32),
// divided truncating toward zero. Returns false where the machine division
// would fault: z = 0 (the doubling depth velocity can carry z through 0) and
// INT_MIN / -1.
bool projectAxis(int32_t coord, int32_t z, int32_t& quotient) {
    if (z == 0) return false;
    const int32_t numerator = static_cast<int32_t>((static_cast<uint32_t>(coord) & 0xFFFFFFu) << 8);
    if (numerator == INT32_MIN && z == -1) return false;
    quotient = numerator / z;
    return true;
}

void plotParticle(uint32_t* frame, const Particle& p, int64_t remaining) {
    // Full colour while 32 or more phases remain, then 8 steps of brightness
    // lost per phase: remaining 1 takes 247 from every channel.
    const uint32_t fade = remaining >= 32 ? 0 : static_cast<uint32_t>(255 - remaining * 8);
    const uint32_t core = dimChannels(static_cast<uint32_t>(p.core), fade);
    const uint32_t glow = dimChannels(static_cast<uint32_t>(p.glow), fade);
    const uint32_t side = dimChannels(glow, 32);
    const uint32_t diagonal = dimChannels(glow, 112);

    int32_t qx, qy;
    if (!projectAxis(p.x, p.z, qx) || !projectAxis(p.y, p.z, qy)) return;
    const int32_t X = wrapAdd(qx, 160);
    const int32_t Y = wrapSub(100, qy);
    // One pixel in from every edge, so all eight neighbours are on the frame.
    if (X <= 0 || X > kFrameWidth - 2 || Y <= 0 || Y > kFrameHeight - 2) return;

    uint32_t* c = frame + Y * kFrameWidth + X;
    const int w = kFrameWidth;
    plotAdd(c[0], core);
    plotAdd(c[w + 1], diagonal);
    plotAdd(c[w - 1], diagonal);
    plotAdd(c[w], side);
    plotAdd(c[-w], side);
    plotAdd(c[1], side);
    plotAdd(c[-1], side);
    plotAdd(c[-w + 1], diagonal);
    plotAdd(c[-w - 1], diagonal);
}

}  // namespace

void sparkBurst(int32_t phase, int32_t cx, int32_t cy, int32_t depth, int32_t radius, int32_t life,
                uint32_t* frame) {
    if (!g_sparksReady) {
        for (int k = 0; k < kSparkCount; ++k) emit(g_pool[k], k, phase, radius, cx, cy, depth, life);
        g_sparksReady = 1;
        return;
    }
    for (int k = 0; k < kSparkCount; ++k) {
        Particle& p = g_pool[k];
        if (p.death < phase) {
            // About one dead particle in eight comes back each call (three
            // bits must be clear); recycled ones burst from (128, 128).
            if ((rand() & 0x2A) == 0) emit(p, k, phase, radius, 128, 128, depth, life);
        }
        if (p.death > phase) {
            // Only the top byte of each 8.24 velocity moves the particle.
            p.x = wrapAdd(p.x, p.vx >> 24);
            p.y = wrapAdd(p.y, p.vy >> 24);
            p.z = wrapAdd(p.z, p.vz >> 24);
            // Now and then the particle brakes sideways and speeds up in
            // depth; the doubling is unsigned because it may carry out of
            // the word.
            if ((rand() & 0x56) == 0x56) {
                p.vx >>= 1;
                p.vy >>= 1;
                p.vz = static_cast<int32_t>(static_cast<uint32_t>(p.vz) << 1);
            }
            plotParticle(frame, p, static_cast<int64_t>(p.death) - phase);
        }
    }
}

void setFlashFrames(const uint32_t* const frames[8]) {
    for (int i = 0; i < 8; ++i) g_flashFrames[i] = frames[i];
}

void spriteFlash(uint32_t* frame) {
    const int32_t a = g_flashCounter;
    g_flashCounter = wrapAdd(g_flashCounter, 1);
    // Each animation frame stays for four calls; the first call shows frame 0.
    const uint32_t* sprite = g_flashFrames[((static_cast<uint32_t>(a) + 1) >> 2) & 7];
    const int32_t b = rand();
    const int32_t row0 = (rand() & 0x7F) + 20;
    const int32_t col0 = (b & 0x7F) + 32;
    if (!sprite) return;
    for (int r = 0; r < kFlashHeight; ++r) {
        const int32_t y = row0 + r;
        if (y < 0 || y >= kFrameHeight) continue;
        for (int c = 0; c < kFlashWidth; ++c) {
            const int32_t x = col0 + c;
            if (x < 0 || x >= kFrameWidth) continue;
            plotAdd(frame[y * kFrameWidth + x], sprite[r * kFlashWidth + c]);
        }
    }
}

void blockGlitch(uint32_t* frame, const uint32_t* image, int32_t flags, int32_t mode) {
    int32_t a;
    if (flags & 0x20) {
        g_glitchX = rand();
        a = rand();
    } else {
        a = g_glitchY;
    }
    // The moduli keep the block plus its 0..7 jitter inside the frame: the
    // farthest large block starts at column 56 + 7 and row 128 + 7 and ends
    // at (318, 198); the farthest small one starts at (184 + 7, 160 + 7) and
    // ends there too. The base place is never negative (rand() is
    // 0..32767), so % cannot go below 0.
    const bool large = (flags & 0x40) != 0;
    const int width = large ? 256 : 128;
    const int height = large ? 64 : 32;
    if (large) {
        g_glitchX %= 57;
        g_glitchY = a % 129;
    } else {
        g_glitchX %= 185;
        g_glitchY = a % 161;
    }
    const int32_t jy = rand() & 7;
    const int32_t jx = rand() & 7;
    if (!image) return;
    const int32_t col0 = g_glitchX + jx;
    const int32_t row0 = g_glitchY + jy;

    for (int r = 0; r < height; ++r) {
        const uint32_t* src = image + r * kImageStride;
        uint32_t* dst = frame + (row0 + r) * kFrameWidth + col0;
        if ((mode & 1) == 0) {
            addSpan(dst, src, width);
            continue;
        }
        for (int c = 0; c < width; ++c) {
            const uint32_t s = src[c], d = dst[c];
            const uint32_t sr = (s >> 16) & 0xFF, sg = (s >> 8) & 0xFF, sb = s & 0xFF;
            const uint32_t sum = sr + sg + sb;
            if (sum <= 7) continue;  // near-black image pixels leave the frame alone
            // The image pixel's brightness v is its weight; the rest goes to
            // the saturated sum of image and frame. Both products floor, so
            // a channel never passes 255 and needs no clamp.
            const uint32_t v = sum / 3;
            const uint32_t w = 255 - v;
            uint32_t hr = sr + ((d >> 16) & 0xFF), hg = sg + ((d >> 8) & 0xFF), hb = sb + (d & 0xFF);
            if (hr > 255) hr = 255;
            if (hg > 255) hg = 255;
            if (hb > 255) hb = 255;
            const uint32_t r8 = MulTable[hr * 256 + w] + MulTable[sr * 256 + v];
            const uint32_t g8 = MulTable[hg * 256 + w] + MulTable[sg * 256 + v];
            const uint32_t b8 = MulTable[hb * 256 + w] + MulTable[sb * 256 + v];
            dst[c] = (r8 << 16) | (g8 << 8) | b8;
        }
    }
}

Particle* sparkPool() { return g_pool; }
bool sparksReady() { return g_sparksReady != 0; }
int32_t glitchBaseX() { return g_glitchX; }
int32_t glitchBaseY() { return g_glitchY; }

void resetOverlayState() {
    for (Particle& p : g_pool) p = Particle{};
    g_sparksReady = 0;
    g_flashCounter = 0;
    g_glitchX = 0;
    g_glitchY = 0;
}

}  // namespace marrow
