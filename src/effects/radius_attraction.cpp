#include "effects/radius_attraction.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

namespace {

// Products at or above this are outside the texture's reach: their square
// root over 4 would pass 250 and the pixel is drawn black instead.
constexpr uint32_t kProductLimit = 1000001;

// A centre offset: trunc(v), kept within +-limit. For any finite time the
// sine already keeps it there; a NaN or infinite time would give the
// conversion's 0x80000000 and index far outside sqTable.
int32_t centreOffset(double v, int32_t limit) {
    const int32_t c = truncToInt32(v);
    return c < -limit ? -limit : (c > limit ? limit : c);
}

}  // namespace

RadiusAttraction::RadiusAttraction() {
    for (int32_t k = 0; k < 1024; ++k) sqTable[k] = (k - 512) * (k - 512) / 16;
}

void RadiusAttraction::render(uint32_t* dst, const uint32_t* src, float time) {
    // The four centres as offsets from the screen centre; double arithmetic
    // on the widened float time, truncated toward zero.
    const double t = time;
    const int32_t cx[4] = {centreOffset(mathfn::sin(1.6 * t) * 128, 128), centreOffset(mathfn::cos(0.93 * t) * 128, 128),
                           centreOffset(mathfn::sin(0.93 * t) * -128, 128), centreOffset(mathfn::sin(1.4 * t) * 128, 128)};
    const int32_t cy[4] = {centreOffset(mathfn::cos(1.4 * t) * -80, 80), centreOffset(mathfn::sin(1.84 * t) * 80, 80),
                           centreOffset(mathfn::cos(1.75 * t) * 80, 80), centreOffset(mathfn::sin(2.12 * t) * 80, 80)};

    // colSq[c][x] = sqTable[352 + x - Xc] = (x - 160 - Xc)^2 / 16 (352 is
    // 512 - 160), rowSq[c][y] likewise about row 100 (412 = 512 - 100).
    // With |Xc| <= 128 and |Yc| <= 80 the indices stay inside 224..799 and
    // 332..691.
    const int32_t* colSq[4];
    const int32_t* rowSq[4];
    for (int c = 0; c < 4; ++c) {
        colSq[c] = sqTable + 352 - cx[c];
        rowSq[c] = sqTable + 412 - cy[c];
    }

    // Rows are independent: the frame's threads take bands of them.
    forRowBands(kFrameHeight, [&](int firstRow, int endRow) {
        for (int y = firstRow; y < endRow; ++y) {
            const uint32_t r0 = static_cast<uint32_t>(rowSq[0][y]), r1 = static_cast<uint32_t>(rowSq[1][y]);
            const uint32_t r2 = static_cast<uint32_t>(rowSq[2][y]), r3 = static_cast<uint32_t>(rowSq[3][y]);
            uint32_t* out = dst + y * kFrameWidth;
            for (int x = 0; x < kFrameWidth; ++x) {
                // Unsigned products: they wrap rather than overflow (they stay
                // far below 2^32 with the centres above).
                const uint32_t p = (colSq[0][x] + r0) * (colSq[1][x] + r1);
                const uint32_t q = (colSq[2][x] + r2) * (colSq[3][x] + r3);
                uint32_t pixel = 0;
                if (p < kProductLimit && q < kProductLimit) {
                    // sqrt of at most 10^6 is at most 1000; over 4 a texture
                    // coordinate of at most 250.
                    const int32_t a = truncToInt32(std::sqrt(static_cast<double>(p))) >> 2;
                    const int32_t b = truncToInt32(std::sqrt(static_cast<double>(q))) >> 2;
                    // Texture row b, column a.
                    pixel = src[((b << 8) | (a & 0xFF)) & 0xFFFF];
                }
                out[x] = pixel;
            }
        }
    });
}

EffectInfo RadiusAttraction::getInfo(EffectInfo record) const {
    record.description = "Radius based attraction effect";
    record.author = kEffectAuthor;
    record.flag = 1;
    return record;
}

}  // namespace marrow
