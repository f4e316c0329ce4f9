#include "effects/radial_stripes.h"

#include <cmath>

#include "common/framebuffer.h"
#include "common/numeric.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

uint8_t RadialStripes::AngleTable[320 * 200];
uint32_t RadialStripes::StripePalette[256];
uint8_t RadialStripes::StripeIndex[256];
int32_t RadialStripes::tablesBuilt = 0;

namespace {

// 256 angle steps per turn: 128/3.14159265 (pi to eight decimals).
constexpr double kAngleSteps = 40.74366547808163;

// One channel of the palette: value i scaled by c/128 (so 128 gives c
// itself), clamped at 255 because i*c >> 7 reaches 2c for i = 255.
uint32_t paletteChannel(uint32_t i, uint32_t c) {
    const uint32_t v = (i * c) >> 7;
    return v > 255 ? 255 : v;
}

}  // namespace

RadialStripes::RadialStripes() {
    if (tablesBuilt) return;
    for (int y = -100; y < 100; ++y)
        for (int x = -160; x < 160; ++x) {
            const int32_t a = truncToInt32(mathfn::atan2(static_cast<double>(y), static_cast<double>(x)) * kAngleSteps);
            // Keep the low 8 bits: negative angles wrap to 129..255.
            AngleTable[(y + 100) * kFrameWidth + (x + 160)] = static_cast<uint8_t>(a);
        }
    for (uint32_t i = 0; i < 256; ++i)
        StripePalette[i] = paletteChannel(i, 179) << 16 | paletteChannel(i, 111) << 8 | paletteChannel(i, 32);
    tablesBuilt = 1;
}

void RadialStripes::render(uint32_t* dst, const uint32_t*, float time) {
    // The stream phases, in double from the widened float time, each
    // truncated to an integer before use.
    const double f = time;
    const double h = f * 180;
    const double l = f * 100;
    const double m = mathfn::sin(f * 3.1415);
    const double o = l + m * 140;
    const double r = f * -70;
    const double q = l - m * 70;
    const double hi = truncToInt32(h), oi = truncToInt32(o), ri = truncToInt32(r), qi = truncToInt32(q);

    for (int i = 0; i < 128; ++i) {
        const int u = i / 2;
        // Distances along the index from each stream's centre.
        const double d1 = std::sqrt(static_cast<double>((i - 128) * (i - 128)));
        const double d2 = std::sqrt(static_cast<double>((u - 120) * (u - 120)));
        const double d3 = std::sqrt(static_cast<double>((u - 128) * (u - 128)));
        const double d4 = std::sqrt(static_cast<double>((i - 245) * (i - 245)));
        const double s1 = mathfn::sin(hi * 0.02 + d1 * 0.31415);
        // 0.0232558... is 1/43, 0.136586... is 6.283/46.
        const double s2 = mathfn::sin(oi * 0.023255813953488372 + d2 * 0.13658695652173913);
        const double s3 = mathfn::sin(ri * 0.023255813953488372 + d3 * 0.13658695652173913);
        const double s4 = mathfn::sin(qi * 0.02 + d4 * 0.31415);
        // 0..256 around 128; stored as a byte, so a full 256 wraps to black.
        const uint8_t value = static_cast<uint8_t>(truncToInt32(32 * (s1 + s2 + s3 + s4) + 128));
        StripeIndex[i] = value;
        StripeIndex[255 - i] = value;
    }

    forSpans(kFramePixels, [dst](int begin, int end) {
        for (int k = begin; k < end; ++k) dst[k] = StripePalette[StripeIndex[AngleTable[k]]];
    });
}

EffectInfo RadialStripes::getInfo(EffectInfo record) const {
    record.description = "Radial Stripes effect using subplasma streams";
    record.author = kEffectAuthor;
    record.flag = 0;
    return record;
}

}  // namespace marrow
