// The three triangle fillers on one fixed set of triangles: small, medium
// and large ones over the whole screen, at varied depths, lit and textured.
// Mpix_per_s counts the pixels each triangle covers when drawn alone (so
// overlapped pixels, which the depth test rejects, count too); ns_per_pixel
// is the same figure inverted, to compare with the frame copy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"
#include "render/rasteriser.h"
#include "render/shade_table.h"

namespace {

using marrow::kFramePixels;
using marrow::RenderVertex;

struct Corners {
    RenderVertex v[3];
};

enum Filler { kShaded, kTextured, kPerspective };

RenderVertex corner(std::mt19937& gen, float cx, float cy, float radius) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    RenderVertex p{};
    int32_t x = static_cast<int32_t>(cx + radius * unit(gen));
    int32_t y = static_cast<int32_t>(cy + radius * unit(gen));
    x = x < 0 ? 0 : x > 319 ? 319 : x;
    y = y < 0 ? 0 : y > 199 ? 199 : y;
    p.sx = x * 65536;  // 16.16, no fraction, as the projection leaves it
    p.sy = y;
    p.z = 60.0f + 400.0f * (unit(gen) + 1.0f) * 0.5f;
    p.depth = static_cast<int32_t>(p.z * 65536.0f);
    p.intensity = static_cast<int32_t>(gen() & 0xFFFFFF);  // 8.24 light below 1.0
    p.u = static_cast<float>(gen() % (256 * 65536));       // 16.16 texels
    p.v = static_cast<float>(gen() % (256 * 65536));
    p.uOverZ = p.u / p.z;
    p.vOverZ = p.v / p.z;
    p.invZ = (1.0f / p.z) * 16777216.0f;
    return p;
}

// 300 triangles: 200 of radius up to 8 pixels, 80 up to 30, 20 up to 90.
const std::vector<Corners>& triangleSet() {
    static const std::vector<Corners> set = [] {
        std::mt19937 gen(1234);
        std::uniform_real_distribution<float> sx(0.0f, 320.0f), sy(0.0f, 200.0f);
        std::vector<Corners> out;
        const int counts[3] = {200, 80, 20};
        const float radii[3] = {8.0f, 30.0f, 90.0f};
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < counts[k]; ++i) {
                const float cx = sx(gen), cy = sy(gen);
                Corners c;
                for (RenderVertex& v : c.v) v = corner(gen, cx, cy, radii[k]);
                out.push_back(c);
            }
        return out;
    }();
    return set;
}

std::vector<uint32_t> benchTexture() {
    std::vector<uint32_t> tex(256 * 256);
    for (uint32_t v = 0; v < 256; ++v)
        for (uint32_t u = 0; u < 256; ++u) tex[v * 256 + u] = (u ^ v) << 16 | u << 8 | v;
    return tex;
}

void clearBuffer(std::vector<uint32_t>& buffer) {
    std::memset(buffer.data(), 0, kFramePixels * sizeof(uint32_t));
    std::memset(buffer.data() + kFramePixels, 0xFF, kFramePixels * sizeof(uint32_t));
}

void fill(Filler filler, const Corners& c, const uint32_t* texture, uint32_t* buffer) {
    switch (filler) {
        case kShaded:
            marrow::fillShadedTriangle(c.v[0], c.v[1], c.v[2], 200, 150, 100, buffer);
            break;
        case kTextured:
            marrow::fillTexturedTriangle(c.v[0], c.v[1], c.v[2], texture, buffer);
            break;
        case kPerspective:
            marrow::fillPerspectiveTriangle(c.v[0], c.v[1], c.v[2], texture, buffer);
            break;
    }
}

// The pixels every triangle covers drawn alone into a cleared buffer (its
// depth words change from the farthest value).
double coveredPixels(Filler filler, const uint32_t* texture) {
    std::vector<uint32_t> buffer(2 * kFramePixels);
    double total = 0;
    for (const Corners& c : triangleSet()) {
        clearBuffer(buffer);
        fill(filler, c, texture, buffer.data());
        for (int i = 0; i < kFramePixels; ++i) total += buffer[kFramePixels + i] != 0xFFFFFFFFu;
    }
    return total;
}

template <Filler filler>
void BM_Filler(benchmark::State& state) {
    marrow::initShadeTable();
    const std::vector<uint32_t> texture = benchTexture();
    const double pixels = coveredPixels(filler, texture.data());
    std::vector<uint32_t> buffer(2 * kFramePixels);
    for (auto _ : state) {
        // A fresh depth buffer every round, as a scene's clear() gives it
        // (not timed).
        state.PauseTiming();
        clearBuffer(buffer);
        state.ResumeTiming();
        for (const Corners& c : triangleSet()) fill(filler, c, texture.data(), buffer.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setMpixPerSecond(state, pixels);
    marrow::bench::setNsPerPixel(state, pixels);
}
BENCHMARK(BM_Filler<kShaded>)->Name("filler/shaded");
BENCHMARK(BM_Filler<kTextured>)->Name("filler/textured");
BENCHMARK(BM_Filler<kPerspective>)->Name("filler/perspective");

}  // namespace
