#include "effects/glow_knot.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/vec3.h"

#include "effects/four_pixels.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

namespace {

constexpr int kKnotSprites = 300;
// Focal length in pixels and the projected half-size numerator (a sprite at
// depth D is 960 / D pixels from centre to edge).
constexpr double kFocal = 120.0;
constexpr double kSpriteWorldHalf = 8.0;

}  // namespace

void drawGlowSprite(int32_t centreX, int32_t centreY, int32_t depth, int32_t halfSize, uint32_t* frame,
                    const uint32_t* sprite, int firstRow, int endRow) {
    if (!sprite) return;
    int32_t left = wrapSub(centreX, halfSize);
    int32_t right = wrapAdd(centreX, halfSize);
    if (left > right) {
        const int32_t t = left;
        left = right;
        right = t;
    }
    int32_t top = wrapSub(centreY, halfSize);
    int32_t bottom = wrapAdd(centreY, halfSize);
    if (top >= kFrameHeight || bottom < 0 || left >= kFrameWidth || right < 0) return;
    if (depth < 1 || left == right || top == bottom) return;

    // 16.16 steps: the whole sprite (1.0 = 0x10000) across the square. The
    // numerator is 0x10000, so no quotient can overflow; the differences
    // are taken wrapping, as the machine subtracted.
    const int32_t du = 0x10000 / wrapSub(right, left);
    const int32_t dv = 0x10000 / wrapSub(bottom, top);
    // A square cut by the left or top edge starts its texture part-way in,
    // so the visible part is not stretched.
    int32_t u0 = 0, v = 0;
    if (left < 0) {
        u0 = wrapNeg(wrapMul(du, left));
        left = 0;
    }
    if (top < 0) {
        v = wrapNeg(wrapMul(dv, top));
        top = 0;
    }
    if (right > kFrameWidth - 1) right = kFrameWidth - 1;
    if (bottom > kFrameHeight - 1) bottom = kFrameHeight - 1;

    // The band's part: v steps by dv a row, so a later first row starts
    // that many steps on (wrapping, as the stepping does).
    if (firstRow > top) {
        v = wrapAdd(v, wrapMul(dv, firstRow - top));
        top = firstRow;
    }
    if (bottom > endRow - 1) bottom = endRow - 1;
    for (int32_t y = top; y <= bottom; ++y) {
        uint32_t* row = frame + y * kFrameWidth;
        int32_t u = u0;
        // Row base (v | 0xFF): the sprite row v >> 8 times 256, plus 255,
        // which reads the next row one column to the left; masking to 16 bits
        // keeps every index inside the 256x256 sprite.
        const int32_t rowBase = v | 0xFF;
        auto texel = [&] {
            const uint32_t t = sprite[static_cast<uint32_t>(wrapAdd(rowBase, u >> 8)) & 0xFFFF];
            u = wrapAdd(u, du);
            return static_cast<int32_t>(t);
        };
        int32_t x = left;
#if defined(__SSE2__)
        // Four pixels at a time: the unsigned saturating byte add is the
        // clamped channel sum below, and the mask clears the top byte as the
        // plain loop's result has it.
        const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
        for (; x + 3 <= right; x += 4) {
            const int32_t t0 = texel(), t1 = texel(), t2 = texel(), t3 = texel();
            store4(row + x, _mm_and_si128(_mm_adds_epu8(load4(row + x), _mm_setr_epi32(t0, t1, t2, t3)), channels));
        }
#endif
        for (; x <= right; ++x) {
            const uint32_t t = static_cast<uint32_t>(texel());
            const uint32_t d = row[x];
            uint32_t r = ((d >> 16) & 0xFF) + ((t >> 16) & 0xFF);
            uint32_t g = ((d >> 8) & 0xFF) + ((t >> 8) & 0xFF);
            uint32_t b = (d & 0xFF) + (t & 0xFF);
            if (r > 255) r = 255;
            if (g > 255) g = 255;
            if (b > 255) b = 255;
            row[x] = (r << 16) | (g << 8) | b;
        }
        v = wrapAdd(v, dv);
    }
}

namespace {

// The knot's parameter per sprite and the parts of its curve that do not
// depend on the time.
struct KnotPath {
    float s[kKnotSprites];
    double cosA[kKnotSprites], sinA[kKnotSprites], sinWave[kKnotSprites];

    KnotPath() {
        for (int i = 0; i < kKnotSprites; ++i) {
            // 1/300 in single precision, the product too; the curve is in double.
            s[i] = static_cast<float>(i) * 0.0033333334f;
            const double a = 6.282 * s[i];
            cosA[i] = mathfn::cos(a);
            sinA[i] = mathfn::sin(a);
            sinWave[i] = mathfn::sin(31.41 * s[i]);
        }
    }
};

}  // namespace

void glowKnot(int32_t phase, uint32_t* frame, const uint32_t* sprite) {
    const double t = phase / 70.0;
    // The camera's rates and offsets are single-precision constants widened
    // to double; the products and sines are double.
    const Vec3 target = {10 * mathfn::sin(0.15f * t + 0.37f), 10 * mathfn::cos(0.25 * t + 0.54f),
                         10 * mathfn::cos(0.35f * t + 0.37f)};
    const Vec3 eye = {100 * mathfn::sin(0.35f * t + 0.21f), 100 * mathfn::cos(0.25 * t + 0.27f),
                      100 * mathfn::cos(0.75 * t + 0.37f)};
    const Vec3 up = {mathfn::sin(t), mathfn::cos(t), 0.0};
    const ViewMatrix view = viewLookAt(eye, target, up);

    // What does not move with time is worked out once.
    static const KnotPath path;
    // The sprites' squares, then the squares drawn in bands of rows by the
    // frame's threads, each band taking every sprite in order.
    struct Square {
        int32_t x, y, depth, half;
    };
    static Square squares[kKnotSprites];
    int count = 0;
    for (int i = 0; i < kKnotSprites; ++i) {
        const double b = 188.49 * path.s[i] + t;
        const Vec3 p = {100 * path.cosA[i] + 45 * mathfn::sin(b), (path.sinWave[i] + 1) * 0.5 * mathfn::cos(b) * 45,
                        100 * path.sinA[i]};
        const Vec3 q = viewApply(view, p);
        const int32_t x0 = truncToInt32(q.x - 48);
        const int32_t y0 = truncToInt32(q.y - 48);
        const int32_t depth = truncToInt32(q.z);
        if (depth < 2) continue;  // behind, at or too close to the eye
        squares[count++] = {truncToInt32(kFocal * x0 / depth + 160), truncToInt32(100 - kFocal * y0 / depth), depth,
                            truncToInt32(kFocal * kSpriteWorldHalf / depth)};
    }
    forRowBands(kFrameHeight, [=](int firstRow, int endRow) {
        for (int i = 0; i < count; ++i)
            drawGlowSprite(squares[i].x, squares[i].y, squares[i].depth, squares[i].half, frame, sprite, firstRow, endRow);
    });
}

}  // namespace marrow
