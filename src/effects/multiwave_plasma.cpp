#include "effects/multiwave_plasma.h"

#include <cmath>

#include "common/numeric.h"
#include "effects/block_stepping.h"
#include "common/frame_workers.h"
#include "common/mathfn.h"

namespace marrow {

uint8_t MultiWavePlasma::LogTable[256];
uint8_t MultiWavePlasma::ExpTable[512];
uint8_t MultiWavePlasma::LightMap[256 * 256];
uint8_t MultiWavePlasma::LitTable[256 * 256];
int32_t MultiWavePlasma::tablesBuilt = 0;

namespace {

// The wave constants are the program's own ratios: 6.283 and 6.285 stand in
// for 2 pi, which changes the waves' speeds, so they are kept as they are.
constexpr double kWave31 = 0.2026774193548387;    // 6.283 / 31
constexpr double kWave21 = 0.2991904761904762;    // 6.283 / 21
constexpr double kWave23 = 0.27317391304347827;   // 6.283 / 23
constexpr double kWave46 = 0.13658695652173913;   // 6.283 / 46
constexpr double kWave35 = 0.17957142857142858;   // 6.285 / 35
constexpr double kWave40 = 0.157125;              // 6.285 / 40
constexpr double kPhase43 = 0.023255813953488372; // 1 / 43
constexpr double kPhase35 = 0.02857142857142857;  // 1 / 35
constexpr double kPhase33 = 1.0 / 33.0;
constexpr double kPhase23 = 1.0 / 23.0;
constexpr double kPhase30 = 1.0 / 30.0;

// Scale of the logarithm tables: ln(255) x 46.1662 = 255.8, so a channel's
// log fits a byte and a light log plus a channel log indexes 0..510.
constexpr double kLogScale = 46.1662;

constexpr int kColumns = MultiWavePlasma::kGridColumns;

double gridDistance(int row, int column, double centreRow, double centreColumn) {
    const double dr = row - centreRow;
    const double dc = column - centreColumn;
    return std::sqrt(dr * dr + dc * dc);
}

// The two moving centres of the drifting waves, and the sum D they give.
struct DriftCentres {
    double row1, column1, row2, column2;
    explicit DriftCentres(double t)
        : row1(12.0 + 12.0 * mathfn::cos(3.0 * t)),
          column1(20.0 + 15.0 * mathfn::sin(4.0 * t)),
          row2(12.0 + 12.0 * mathfn::cos(2.0 * t)),
          column2(20.0 + 15.0 * mathfn::sin(3.0 * t)) {}
    double r1(int row, int column) const { return gridDistance(row, column, row1, column1); }
    double r2(int row, int column) const { return gridDistance(row, column, row2, column2); }
};

double r0(int row, int column) { return gridDistance(row, column, 0.0, 40.0); }
double q3(int row, int column) { return gridDistance(row, column, 12.0, 20.0); }

double driftSum(const DriftCentres& centres, int32_t phase, int row, int column) {
    return mathfn::sin(kWave46 * r0(row, column) + phase * kPhase43) +
           mathfn::cos(kWave35 * centres.r2(row, column) + phase * kPhase35) +
           mathfn::sin(kWave40 * centres.r1(row, column) + phase * kPhase30);
}

double rippleSum(int32_t phase, int row, int column) {
    return 3000.0 * mathfn::sin(0.02 * phase + 0.31415 * q3(row, column)) +
           4000.0 * mathfn::sin(phase * kPhase43 + kWave46 * r0(row, column));
}

// (value + 128) << 16 with the x86's wrapping: a projected coordinate of a
// point close to the eye is far outside 32 bits and must not be undefined.
int32_t centredFixed(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(wrapAdd(value, 128)) << 16);
}

int32_t shiftLeft(int32_t value, int bits) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) << bits);
}

}  // namespace

void MultiWavePlasma::buildTables() {
    LogTable[0] = 0;
    for (int i = 1; i < 256; ++i) LogTable[i] = static_cast<uint8_t>(truncToInt32(mathfn::log(static_cast<double>(i)) * kLogScale));
    for (int i = 0; i < 512; ++i) {
        int32_t e = truncToInt32(i * mathfn::exp(i / kLogScale) * 0.000015625);
        // 254, not 255: a fully lit full channel stays just below white.
        if (e > 254) e = 254;
        ExpTable[i] = static_cast<uint8_t>(e);
    }
    for (int a = -128; a < 128; ++a) {
        for (int b = -128; b < 128; ++b) {
            const double fall = 181.0 - std::sqrt(static_cast<double>(a * a + b * b));
            // Each pass stores a byte: the low 8 bits of its truncated value.
            uint8_t entry = static_cast<uint8_t>(truncToInt32(mathfn::exp(fall * 1.4 / 46.0)));
            entry = static_cast<uint8_t>(truncToInt32((fall * 1.4 + entry) * 0.5));
            LightMap[(a + 128) * 256 + (b + 128)] = LogTable[entry];
        }
    }
    for (int light = 0; light < 256; ++light)
        for (int c = 0; c < 256; ++c) LitTable[light * 256 + c] = ExpTable[light + LogTable[c]];
}

MultiWavePlasma::MultiWavePlasma() {
    mode = 0;
    if (tablesBuilt == 0) {
        buildTables();
        tablesBuilt = 1;
    }
    for (int row = 0; row < kGridRows; ++row)
        for (int column = 0; column < kGridColumns; ++column)
            points[row * kColumns + column] = Point{-20480 + 1024 * column, -12288 + 1024 * row, 500};
    plasmaDrift(4, 4.0, 4.0);
}

EffectInfo MultiWavePlasma::getInfo(EffectInfo record) const {
    record.description = "Multi-wave procedural 3d plasma";
    record.author = kEffectAuthor;
    record.flag = 0;
    return record;
}

// Normal of every point from the cross product of the edges to its right and
// lower neighbours. The last column and row have no such neighbours; their
// normals are never drawn, so the neighbour index simply wraps around the grid
// instead of reading past it.
//
// Points are independent of each other here and in the sweep below (a normal
// reads its neighbours' positions, which only the sweep changes, after every
// normal is made), so the frame's threads take bands of them side by side.
void MultiWavePlasma::computeNormals() {
    forSpans(kGridPoints, [this](int begin, int end) {
        for (int k = begin; k < end; ++k) {
            const Point& p = points[k];
            const Point& right = points[(k + 1) % kGridPoints];
            const Point& below = points[(k + kColumns) % kGridPoints];
            const double ax = static_cast<double>(right.x) - p.x, ay = static_cast<double>(right.y) - p.y,
                         az = static_cast<double>(right.z) - p.z;
            const double bx = static_cast<double>(below.x) - p.x, by = static_cast<double>(below.y) - p.y,
                         bz = static_cast<double>(below.z) - p.z;
            const double nx = ay * bz - az * by;
            const double ny = az * bx - ax * bz;
            const double nz = ax * by - ay * bx;
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            normals[k] = Point{truncToInt32(nx / length * 1024.0), truncToInt32(ny / length * 1024.0),
                               truncToInt32(nz / length * 1024.0)};
        }
    });
}

template <typename Height>
void MultiWavePlasma::sweep(Projection projection, double t, double dist, Height height) {
    computeNormals();
    const double sinT = mathfn::sin(t), cosT = mathfn::cos(t);
    forRowBands(kGridRows, [&](int firstRow, int endRow) {
        for (int row = firstRow; row < endRow; ++row) {
            for (int column = 0; column < kGridColumns; ++column) {
                const int k = row * kColumns + column;
                Point& p = points[k];
                const Point& n = normals[k];
                if (projection == Projection::FromNormal) {
                    // Normal components -1024..1024 around 512 give 0..256.0 at
                    // most in 16.16 (<< 14 = x 16384), so the sheet shows a
                    // texture window that moves with the slopes.
                    texCoords[k] = Coord16_16{shiftLeft(n.x + 512, 14), shiftLeft(n.y + 512, 14)};
                    lightCoords[k] = texCoords[k];
                } else {
                    double depth = p.z + dist;
                    if (depth == 0.0) depth = 0.001;  // a point in the eye plane: avoid dividing by zero
                    if (projection == Projection::Rotating) {
                        texCoords[k] = Coord16_16{
                            centredFixed(truncToInt32((p.x * sinT - p.y * cosT) * 256.0 / depth)),
                            centredFixed(truncToInt32((p.x * cosT + p.y * sinT) * 256.0 / depth))};
                    } else {
                        texCoords[k] = Coord16_16{centredFixed(truncToInt32(wrapMul(p.x, 256) / depth)),
                                                  centredFixed(truncToInt32(wrapMul(p.y, 256) / depth))};
                    }
                    // Normal -1024..1024 maps to 0..256.0 (<< 13 = x 8192 in 16.16).
                    lightCoords[k] = Coord16_16{shiftLeft(n.x + 1024, 13), shiftLeft(n.y + 1024, 13)};
                }
                p.z = height(row, column);
            }
        }
    });
}

void MultiWavePlasma::plasmaRotating(int32_t phase, double t, double dist) {
    sweep(Projection::Rotating, t, dist, [phase](int row, int column) {
        const double q1 = gridDistance(row, column, 0.0, 40.0);
        const double q2 = gridDistance(row, column, -5.0, 10.0);
        return truncToInt32(4000.0 * (mathfn::sin(kWave31 * q1 + phase * kPhase33) +
                                      mathfn::sin(kWave21 * q2 + phase * kPhase23) +
                                      mathfn::sin(kWave23 * q3(row, column) + phase * kPhase30)));
    });
}

void MultiWavePlasma::plasmaRotatingDrift(int32_t phase, double t, double dist) {
    const DriftCentres centres(t);
    sweep(Projection::Rotating, t, dist, [phase, &centres](int row, int column) {
        return truncToInt32(3000.0 * driftSum(centres, phase, row, column));
    });
}

void MultiWavePlasma::plasmaTriple(int32_t phase, double t, double dist) {
    const DriftCentres centres(t);
    sweep(Projection::Plain, t, dist, [phase, &centres](int row, int column) {
        return truncToInt32(3000.0 * mathfn::sin(kWave46 * r0(row, column) + phase * kPhase43) +
                            3000.0 * mathfn::sin(kWave35 * centres.r2(row, column) + phase * kPhase35) +
                            3000.0 * mathfn::sin(kWave40 * centres.r1(row, column) + phase * kPhase30));
    });
}

void MultiWavePlasma::plasmaRipple(int32_t phase, double t, double dist) {
    sweep(Projection::Plain, t, dist,
          [phase](int row, int column) { return truncToInt32(rippleSum(phase, row, column)); });
}

void MultiWavePlasma::plasmaPair(int32_t phase, double t, double dist) {
    const DriftCentres centres(t);
    sweep(Projection::Plain, t, dist, [phase, &centres](int row, int column) {
        return truncToInt32(3000.0 * mathfn::sin(kWave35 * centres.r2(row, column) + phase * kPhase35) +
                            3000.0 * mathfn::sin(kWave40 * centres.r1(row, column) + phase * kPhase30));
    });
}

void MultiWavePlasma::plasmaDrift(int32_t phase, double t, double dist) {
    const DriftCentres centres(t);
    sweep(Projection::Plain, t, dist, [phase, &centres](int row, int column) {
        return truncToInt32(3000.0 * driftSum(centres, phase, row, column));
    });
}

void MultiWavePlasma::plasmaFlat(int32_t phase, double t, double dist) {
    sweep(Projection::FromNormal, t, dist, [phase, dist](int row, int column) {
        return truncToInt32(dist + 3000.0 * mathfn::sin(0.02 * phase + 0.31415 * q3(row, column)) +
                            4000.0 * mathfn::sin(phase * kPhase43 + kWave46 * r0(row, column)));
    });
}

void MultiWavePlasma::plasmaFlatDrift(int32_t phase, double t, double dist) {
    const DriftCentres centres(t);
    sweep(Projection::FromNormal, t, dist, [phase, dist, &centres](int row, int column) {
        return truncToInt32(3000.0 * driftSum(centres, phase, row, column) + dist);
    });
}

void MultiWavePlasma::clampTexCoords() {
    constexpr int32_t kMax = 0x1000000;  // 256.0: one whole texture
    for (Coord16_16& c : texCoords) {
        c.u = c.u < 0 ? 0 : (c.u > kMax ? kMax : c.u);
        c.v = c.v < 0 ? 0 : (c.v > kMax ? kMax : c.v);
    }
}

void MultiWavePlasma::plasmaDraw(uint32_t* dst, const uint32_t* texture) const {
    // Values stepped per block: texture u, v, light u, v (all 16.16).
    auto corners = [this](int row, int column, BlockValues<4>& tl, BlockValues<4>& tr, BlockValues<4>& bl,
                          BlockValues<4>& br) {
        auto fetch = [this](int k, BlockValues<4>& out) {
            out = BlockValues<4>{{texCoords[k].u, texCoords[k].v, lightCoords[k].u, lightCoords[k].v}};
        };
        const int k = row * kColumns + column;
        fetch(k, tl);
        fetch(k + 1, tr);
        fetch(k + kColumns, bl);
        fetch(k + kColumns + 1, br);
    };
    // Channel x light as exp(log channel + log light), one table look-up.
    auto lit = [texture](uint32_t textureIndex, uint32_t lightIndex) -> uint32_t {
        const uint32_t texel = texture[textureIndex];
        const uint8_t* litRow = LitTable + LightMap[lightIndex] * 256;
        return static_cast<uint32_t>(litRow[(texel >> 16) & 0xFF]) << 16 |
               static_cast<uint32_t>(litRow[(texel >> 8) & 0xFF]) << 8 | litRow[texel & 0xFF];
    };
#if defined(__SSE2__)
    // The four values stepped together in one register, lanes (u, v, light
    // u, light v). Per pixel one multiply-add forms both indices: v * 256 + u
    // for the texture and light u * 256 + (light v & 0xFF) for the light
    // map, the indices the plain version below computes.
    auto row = [&lit](uint32_t* out, const BlockValues<4>& start, const BlockValues<4>& step) {
        __m128i value = _mm_setr_epi32(start.c[0], start.c[1], start.c[2], start.c[3]);
        const __m128i increment = _mm_setr_epi32(step.c[0], step.c[1], step.c[2], step.c[3]);
        const __m128i lightVMask = _mm_setr_epi32(-1, -1, -1, 0xFF);
        const __m128i factors = _mm_setr_epi16(1, 256, 0, 0, 256, 1, 0, 0);
        for (int x = 0; x < kBlockSize; ++x) {
            const __m128i indices = blockIndexPairs(value, lightVMask, factors);
            out[x] = lit(static_cast<uint32_t>(_mm_extract_epi16(indices, 0)),
                         static_cast<uint32_t>(_mm_extract_epi16(indices, 4)));
            value = _mm_add_epi32(value, increment);
        }
    };
    drawBlockGridRows<4>(dst, corners, NoSeam{}, row);
#else
    auto pixel = [&lit](const BlockValues<4>& c) -> uint32_t {
        // >> 16 takes the integer texel of a 16.16 value; the 16-bit mask keeps
        // every index inside the 256x256 tables (256.0 folds back to 0).
        return lit((static_cast<uint32_t>(c.c[1] >> 16) * 256u + static_cast<uint32_t>(c.c[0] >> 16)) & 0xFFFFu,
                   ((static_cast<uint32_t>(c.c[2] >> 16) << 8) | (static_cast<uint32_t>(c.c[3] >> 16) & 0xFFu)) & 0xFFFFu);
    };
    drawBlockGrid<4>(dst, corners, NoSeam{}, pixel);
#endif
}

void MultiWavePlasma::render(uint32_t* dst, const uint32_t* src, float time) {
    const int32_t phase = truncToInt32(time * 70.0);
    const double t = time * 0.25;
    const double dist = mathfn::sin(time * 1.57125) * 5000.0 + 21000.0;
    switch (mode & 7) {
        case 0: plasmaRotating(phase, t, dist); break;
        case 1: plasmaRotatingDrift(phase, t, dist); break;
        case 2: plasmaTriple(phase, t, dist); break;
        case 3: plasmaRipple(phase, t, dist); break;
        case 4: plasmaPair(phase, t, dist); break;
        case 5: plasmaDrift(phase, t, dist); break;
        case 6: plasmaFlat(phase, t, dist); break;
        default: plasmaFlatDrift(phase, t, dist); break;
    }
    plasmaDraw(dst, src);
}

}  // namespace marrow
