#include "effects/ray_grid.h"

#include <cmath>

#include "common/numeric.h"
#include "effects/block_stepping.h"
#include "effects/eight_pixels.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

double RayGrid::SinTable[RayGrid::kAngleSteps];
double RayGrid::CosTable[RayGrid::kAngleSteps];

RayGrid rayGrid;

namespace {

constexpr double kAngleStep = 0.0122718359375;   // 6.28318 / 512
constexpr double kFocalLength = 120.0;           // screen units to the view plane
constexpr double kRadius = 256.0;                // sphere and tunnel radius, plane height
constexpr double kRadiusSquared = 65536.0;
constexpr double kFlatDistance = 804.247719318987;
constexpr double kPoint3 = 19661.0;              // 0.3 in 16.16
constexpr double kPoint6 = 39322.0;              // 0.6 in 16.16
constexpr double kHalfTurnSphere = 5340353.715440872;  // 256 / pi in 16.16: a half turn spans 256.0
constexpr double kHalfTurnTunnel = 5340354.0;          // the same, rounded

// Texture v of the sphere and the tunnel comes from an arc tangent and jumps
// by 256.0 where it wraps. Before stepping from `earlier` to `later`, a pair
// that straddles the jump (one below -48.0, the other above 48.0) is brought
// together by lifting the negative one by 256.0; the texture wraps at 256, so
// the texels stay the same and the blocks at the seam step the short way.
struct VSeam {
    template <int N>
    void operator()(BlockValues<N>& later, BlockValues<N>& earlier) const {
        constexpr int32_t kFar = 0x300000;     // 48.0
        constexpr int32_t kWrap = 0x1000000;   // 256.0
        int32_t& a = later.c[1];
        int32_t& b = earlier.c[1];
        if (a < -kFar && b > kFar) a = wrapAdd(a, kWrap);
        if (b < -kFar && a > kFar) b = wrapAdd(b, kWrap);
    }
};

// min(63, value), truncated. Values that are not numbers or below 0 only come
// from degenerate rays (no hit); they are drawn black rather than letting a
// negative shade smear colour between channels.
int32_t shadeOf(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 63.0) return 63;
    return truncToInt32(value);
}

}  // namespace

RayGrid::RayGrid() : angleX(0), angleY(0), angleZ(0), origin{0, 0, 0}, hit{0, 0, 0}, corners{} {
    for (int i = 0; i < kAngleSteps; ++i) {
        SinTable[i] = mathfn::sin(i * kAngleStep);
        CosTable[i] = mathfn::cos(i * kAngleStep);
    }
    for (int column = 0; column < kColumns; ++column) {
        for (int row = 0; row < kRows; ++row) {
            const double x = (-160 + 8 * column) / kFocalLength;
            const double y = (-100 + 8 * row) / kFocalLength;
            const double z = 1.0;
            const double length = std::sqrt(x * x + y * y + z * z);
            rays[cornerIndex(column, row)] = Vec3{x / length, y / length, z / length};
        }
    }
}

RayGrid::~RayGrid() = default;

RayGrid::Vec3 RayGrid::rotate(Vec3 d) const {
    // Indices are masked to the table: the callers keep them in 0..511.
    if (angleX != 0) {
        const double s = SinTable[angleX & 511], c = CosTable[angleX & 511];
        d = Vec3{d.x, c * d.y - s * d.z, s * d.y + c * d.z};
    }
    if (angleY != 0) {
        const double s = SinTable[angleY & 511], c = CosTable[angleY & 511];
        d = Vec3{c * d.x - s * d.z, d.y, c * d.z + s * d.x};
    }
    if (angleZ != 0) {
        const double s = SinTable[angleZ & 511], c = CosTable[angleZ & 511];
        d = Vec3{c * d.x - s * d.y, c * d.y + s * d.x, d.z};
    }
    return d;
}

namespace {
RayGrid::Vec3 normalised(RayGrid::Vec3 d) {
    const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return RayGrid::Vec3{d.x / length, d.y / length, d.z / length};
}
}  // namespace

RayGrid::Corner RayGrid::castSphere(Vec3 d, Vec3& hit) const {
    d = normalised(d);
    const Vec3& o = origin;
    const double a = d.x * d.x + d.y * d.y + d.z * d.z;
    const double b = 2.0 * (d.x * o.x + d.y * o.y + d.z * o.z);
    const double c = o.x * o.x + o.y * o.y + o.z * o.z - kRadiusSquared;
    const double q = std::sqrt(b * b - 4.0 * a * c);
    double t = (q - b) / (2.0 * a);
    if (!(t > 0.0)) t = (-b - q) / (2.0 * a);
    hit = Vec3{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
    const double length = std::sqrt(hit.x * hit.x + hit.y * hit.y + hit.z * hit.z);
    // Latitude -pi/2..pi/2 (+1) x 128.0 across the texture rows; longitude
    // from the arc tangent, which is infinite-argument (pi/2) straight ahead.
    return Corner{truncToInt32((mathfn::asin(hit.y / length) + 1.0) * 128.0 * 65536.0),
                  truncToInt32(mathfn::atan(hit.z / hit.x) * kHalfTurnSphere),
                  shadeOf(std::fabs(hit.z) / 256.0 * 90.0)};
}

RayGrid::Corner RayGrid::castFlat(Vec3 d, const Corner& previous, Vec3& hit) const {
    d = normalised(d);
    hit = Vec3{origin.x + d.x * kFlatDistance, origin.y + d.y * kFlatDistance, origin.z + d.z * kFlatDistance};
    return Corner{truncToInt32(hit.x * kPoint3), truncToInt32(hit.z * kPoint3), previous.shade};
}

RayGrid::Corner RayGrid::castPlane(Vec3 d, Vec3& hit) const {
    const Vec3& o = origin;
    if (d.y == 0.0) {
        // Parallel to the plane: the hit lies at infinity. Give what the rays
        // just beside it give (coordinates beyond 32 bits convert to
        // 0x80000000, the shade falls to 0), and leave `hit` as it was.
        return Corner{INT32_MIN, INT32_MIN, 0};
    }
    const double t = (kRadius - o.y) / d.y;
    hit = Vec3{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
    const double dx = hit.x - o.x, dz = hit.z - o.z;
    const double e = dx * dx + dz * dz;
    // Light falls off with the distance along the plane; right below the eye
    // (e near 0) there is nothing to divide by and the shade is 0.
    const int32_t shade = e <= 0.0001 ? 0 : shadeOf(50000.0 / std::sqrt(e));
    return Corner{truncToInt32(hit.x * kPoint3), truncToInt32(hit.z * kPoint3), shade};
}

RayGrid::Corner RayGrid::castTunnel(Vec3 d, Vec3& hit) const {
    const Vec3& o = origin;
    const double a = d.x * d.x + d.y * d.y;
    const double b = 2.0 * (d.x * o.x + d.y * o.y);
    const double c = o.x * o.x + o.y * o.y - kRadiusSquared;
    const double q = std::sqrt(b * b - 4.0 * a * c);
    // The small bias keeps a ray along the axis from dividing by zero.
    const double a2 = 2.0 * a + 0.0001;
    double t = (q - b) / a2;
    if (!(t > 0.0)) t = (-b - q) / a2;
    hit = Vec3{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
    return Corner{truncToInt32(hit.z * kPoint6), truncToInt32(mathfn::atan(hit.y / hit.x) * kHalfTurnTunnel),
                  shadeOf(20000.0 / t)};
}

// The rays are independent, so the frame's threads cast bands of rows side
// by side, each with its own scratch intersection; `hit` ends as the last
// ray's (row 25 of column 40), as when they are cast one after another.
template <typename Cast>
void RayGrid::castAll(Cast cast) {
    const Vec3 before = hit;
    forRowBands(kRows, [&](int firstRow, int endRow) {
        Vec3 scratch = before;
        for (int row = firstRow; row < endRow; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                const int k = cornerIndex(column, row);
                corners[k] = cast(rotate(rays[k]), corners[k], scratch);
            }
        }
        if (endRow == kRows) hit = scratch;
    });
}

RayGrid::Corner RayGrid::castSphere(Vec3 d) { return castSphere(d, hit); }
RayGrid::Corner RayGrid::castFlat(Vec3 d, const Corner& previous) { return castFlat(d, previous, hit); }
RayGrid::Corner RayGrid::castPlane(Vec3 d) { return castPlane(d, hit); }
RayGrid::Corner RayGrid::castTunnel(Vec3 d) { return castTunnel(d, hit); }

void RayGrid::raySphere() {
    castAll([this](Vec3 d, const Corner&, Vec3& at) { return castSphere(d, at); });
}

void RayGrid::rayFlat() {
    castAll([this](Vec3 d, const Corner& previous, Vec3& at) { return castFlat(d, previous, at); });
}

void RayGrid::rayPlane() {
    castAll([this](Vec3 d, const Corner&, Vec3& at) { return castPlane(d, at); });
}

void RayGrid::rayTunnel() {
    castAll([this](Vec3 d, const Corner&, Vec3& at) { return castTunnel(d, at); });
}

void RayGrid::scrollCoords(int32_t a, int32_t b) {
    // (x & 0xFF) << 19: 8.0 texels (8 << 16) per step, 256 steps per wrap.
    const int32_t du = (a & 0xFF) << 19;
    const int32_t dv = (b & 0xFF) << 19;
    for (Corner& c : corners) {
        c.u = wrapAdd(c.u, du);
        c.v = wrapAdd(c.v, dv);
    }
}

void RayGrid::drawBlocks(uint32_t* dst, const uint32_t* texture) const {
    auto fetch = [this](int row, int column, BlockValues<2>& tl, BlockValues<2>& tr, BlockValues<2>& bl,
                        BlockValues<2>& br) {
        auto get = [this](int c, int r, BlockValues<2>& out) {
            const Corner& k = corners[cornerIndex(c, r)];
            out = BlockValues<2>{{k.u, k.v}};
        };
        get(column, row, tl);
        get(column + 1, row, tr);
        get(column, row + 1, bl);
        get(column + 1, row + 1, br);
    };
#if defined(__SSE2__)
    // Two pixels at a time, lanes (u, v) of pixel x and of pixel x + 1; with
    // u masked to 8 bits one multiply-add gives v * 256 + u for each, the
    // index the plain version below forms.
    auto row = [texture](uint32_t* out, const BlockValues<2>& start, const BlockValues<2>& step) {
        const int32_t u1 = wrapAdd(start.c[0], step.c[0]), v1 = wrapAdd(start.c[1], step.c[1]);
        __m128i value = _mm_setr_epi32(start.c[0], start.c[1], u1, v1);
        const int32_t du = wrapAdd(step.c[0], step.c[0]), dv = wrapAdd(step.c[1], step.c[1]);
        const __m128i increment = _mm_setr_epi32(du, dv, du, dv);
        const __m128i columnMask = _mm_setr_epi32(0xFF, -1, 0xFF, -1);
        const __m128i factors = _mm_setr_epi16(1, 256, 0, 0, 1, 256, 0, 0);
        for (int x = 0; x < kBlockSize; x += 2) {
            const __m128i indices = blockIndexPairs(value, columnMask, factors);
            out[x] = texture[_mm_extract_epi16(indices, 0)];
            out[x + 1] = texture[_mm_extract_epi16(indices, 4)];
            value = _mm_add_epi32(value, increment);
        }
    };
    drawBlockGridRows<2>(dst, fetch, VSeam{}, row);
#else
    auto pixel = [texture](const BlockValues<2>& c) -> uint32_t {
        // Texel row v, column u (integer parts); the 16-bit mask wraps both.
        const uint32_t row = static_cast<uint32_t>(c.c[1] >> 16) << 8;
        const uint32_t column = static_cast<uint32_t>(c.c[0] >> 16) & 0xFFu;
        return texture[(row | column) & 0xFFFFu];
    };
    drawBlockGrid<2>(dst, fetch, VSeam{}, pixel);
#endif
}

#if defined(MARROW_X86)
namespace {

// One block row of drawBlocksShaded, its eight pixels in the eight lanes:
// the texel at row (v >> 16) & 0xFF, column (u >> 16) & 0xFF, each channel
// times the shade (value >> 8) >> 6, as in the plain pixel function. The
// texels are loaded one by one: gathering them is slower on some processors.
struct ShadedRowAvx2 {
    const uint32_t* texture;

    MARROW_AVX2 void operator()(uint32_t* out, const BlockValues<3>& start, const BlockValues<3>& step) const {
        const __m256i byte = _mm256_set1_epi32(0xFF);
        const __m256i u = _mm256_and_si256(_mm256_srai_epi32(blockLanes(start.c[0], step.c[0]), 16), byte);
        const __m256i v = _mm256_and_si256(_mm256_srai_epi32(blockLanes(start.c[1], step.c[1]), 16), byte);
        const __m256i shade = _mm256_srai_epi32(blockLanes(start.c[2], step.c[2]), 8);
        alignas(32) uint32_t index[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_or_si256(_mm256_slli_epi32(v, 8), u));
        const __m256i texel = _mm256_setr_epi32(
            static_cast<int32_t>(texture[index[0]]), static_cast<int32_t>(texture[index[1]]),
            static_cast<int32_t>(texture[index[2]]), static_cast<int32_t>(texture[index[3]]),
            static_cast<int32_t>(texture[index[4]]), static_cast<int32_t>(texture[index[5]]),
            static_cast<int32_t>(texture[index[6]]), static_cast<int32_t>(texture[index[7]]));
        const __m256i red = _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(texel, 16), byte), shade), 6);
        const __m256i green = _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(texel, 8), byte), shade), 6);
        const __m256i blue = _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_and_si256(texel, byte), shade), 6);
        store8(out, _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(red, 16), _mm256_slli_epi32(green, 8)), blue));
    }
};

}  // namespace
#endif

void RayGrid::drawBlocksShaded(uint32_t* dst, const uint32_t* texture) const {
    // The shade is stepped as shade << 8 so its steps keep 8 fraction bits.
    auto fetch = [this](int row, int column, BlockValues<3>& tl, BlockValues<3>& tr, BlockValues<3>& bl,
                        BlockValues<3>& br) {
        auto get = [this](int c, int r, BlockValues<3>& out) {
            const Corner& k = corners[cornerIndex(c, r)];
            out = BlockValues<3>{{k.u, k.v, wrapMul(k.shade, 256)}};
        };
        get(column, row, tl);
        get(column + 1, row, tr);
        get(column, row + 1, bl);
        get(column + 1, row + 1, br);
    };
#if defined(MARROW_X86)
    if (useAvx2()) {
        drawBlockGridRows<3>(dst, fetch, VSeam{}, ShadedRowAvx2{texture});
        return;
    }
#endif
    auto pixel = [texture](const BlockValues<3>& c) -> uint32_t {
        const uint32_t row = static_cast<uint32_t>(c.c[1] >> 16) & 0xFFu;
        const uint32_t column = static_cast<uint32_t>(c.c[0] >> 16) & 0xFFu;
        const uint32_t texel = texture[row << 8 | column];
        const int32_t s = c.c[2] >> 8;  // back to 0..63
        // channel x shade / 64: at most 255 x 63 >> 6 = 251, no clamp needed.
        const uint32_t red = static_cast<uint32_t>(static_cast<int32_t>((texel >> 16) & 0xFF) * s >> 6);
        const uint32_t green = static_cast<uint32_t>(static_cast<int32_t>((texel >> 8) & 0xFF) * s >> 6);
        const uint32_t blue = static_cast<uint32_t>(static_cast<int32_t>(texel & 0xFF) * s >> 6);
        return red << 16 | green << 8 | blue;
    };
    drawBlockGrid<3>(dst, fetch, VSeam{}, pixel);
}

}  // namespace marrow
