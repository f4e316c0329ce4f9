#include "effects/warp_star.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

uint8_t WarpStar::WarpField[512 * 512];
uint8_t WarpStar::ScreenAngle[320 * 200];
int32_t WarpStar::tablesBuilt = 0;

namespace {

// The star has five points. The field's angle factor is
// 40.7436998462562 * 6.28318 / (256 / points), with 256 / points taken in
// single precision, which comes to 5.
constexpr int32_t kStarPoints = 5;

void buildWarpField() {
    const double pointSpan = static_cast<float>(256.0f / static_cast<float>(kStarPoints));
    for (int y = -256; y < 256; ++y)
        for (int x = -256; x < 256; ++x) {
            const double fx = x, fy = y;
            const double r = std::sqrt(fx * fx + fy * fy);
            const double theta = mathfn::atan2(fy, fx);
            const double v =
                mathfn::pow(r * 262144, 0.1) * 384 + mathfn::sin(theta * 40.7436998462562 * 6.28318 / pointSpan) * 96;
            // Only the low 8 bits are kept: the depth wraps, giving rings.
            WarpStar::WarpField[(y + 256) * 512 + (x + 256)] = static_cast<uint8_t>(truncToInt32(v));
        }
}

void buildScreenAngle() {
    for (int y = -100; y < 100; ++y)
        for (int x = -160; x < 160; ++x) {
            const double a = mathfn::atan2(static_cast<double>(y), static_cast<double>(x)) * 81.4873996925124;
            WarpStar::ScreenAngle[(y + 100) * kFrameWidth + (x + 160)] = static_cast<uint8_t>(truncToInt32(a));
        }
}

}  // namespace

WarpStar::WarpStar() {
    for (int i = 0; i < 256; ++i) {
        // 0.024543671875 = 6.28318 / 256.
        sinTable[i] = truncToInt32(mathfn::sin(i * 0.024543671875) * 1024);
        cosTable[i] = truncToInt32(mathfn::cos(i * 0.024543671875) * 1024);
    }
    if (tablesBuilt) return;
    buildWarpField();
    buildScreenAngle();
    tablesBuilt = 1;
}

void WarpStar::render(uint32_t* dst, const uint32_t* src, float time) {
    const int32_t a = truncToInt32(static_cast<double>(time) * 70);
    const int32_t s = sinTable[a & 0xFF];
    const int32_t c = cosTable[a & 0xFF];
    // The scroll advances one texel per 16 phases; arithmetic shift so that
    // negative times scroll the other way.
    const int32_t scroll = a >> 4;

    // Field position of the top-left pixel in 22.10: the screen offset
    // (-160, -100) rotated, plus 256.0 (0x40000) to centre it in the field.
    const int32_t f0 = 160 * s - 100 * c + 0x40000;
    const int32_t g0 = 0x40000 - 100 * s - 160 * c;
    // Each row starts y steps of (c, s) on from the top-left, so bands of
    // rows are drawn by the frame's threads side by side; the 32-bit sums
    // wrap as the stepped ones do.
    forRowBands(kFrameHeight, [=](int y0, int y1) {
        const uint8_t* angle = ScreenAngle + y0 * kFrameWidth;
        uint32_t* out = dst + y0 * kFrameWidth;
        for (int y = y0; y < y1; ++y) {
            uint32_t h = static_cast<uint32_t>(wrapAdd(f0, wrapMul(y, c)));
            uint32_t l = static_cast<uint32_t>(wrapAdd(g0, wrapMul(y, s)));
            for (int x = 0; x < kFrameWidth; ++x) {
                // Integer part of each 22.10 coordinate (arithmetic shift),
                // row times 512 and both wrapped into the 512x512 field.
                const uint32_t row = static_cast<uint32_t>(static_cast<int32_t>(h) >> 10) << 9;
                const uint32_t col = static_cast<uint32_t>(static_cast<int32_t>(l) >> 10);
                const uint32_t w = WarpField[(row & 0x3FFFF) | (col & 0x1FF)];
                const uint32_t t = *angle++;
                const uint32_t v = static_cast<uint32_t>(scroll) + w;
                const uint32_t u = (static_cast<uint32_t>(scroll) + t) & 0xFF;
                // The 16-bit mask folds a scrolled row past 255 back into the texture.
                *out++ = src[((v << 8) | u) & 0xFFFF];
                h -= static_cast<uint32_t>(s);
                l += static_cast<uint32_t>(c);
            }
        }
    });
}

EffectInfo WarpStar::getInfo(EffectInfo record) const {
    record.description = "Rotating 5-point warp star";
    record.author = kEffectAuthor;
    record.flag = 0;
    return record;
}

}  // namespace marrow
