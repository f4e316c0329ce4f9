// Particle bursts, sprite flashes, block overlays, the glowing knot and the
// spiral ribbon. ns_per_pixel is per pixel of the whole frame for the
// full-frame effects (compare with the frame copy), per pixel of the block or
// sprite for the overlays; the spark burst (500 particles) over the whole frame
// it is drawn into.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"
#include "effects/compositing.h"
#include "effects/glow_knot.h"
#include "effects/sparks.h"
#include "effects/spiral_ribbon.h"

using namespace marrow;

namespace {

// A glow like the one the data set ships: bright centre, black rim.
std::vector<uint32_t> glowSprite() {
    std::vector<uint32_t> s(65536);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            const double d = std::hypot(u - 127.5, v - 127.5) / 128.0;
            const double k = d >= 1 ? 0 : (1 - d) * (1 - d);
            s[v * 256 + u] = static_cast<uint32_t>(255 * k) << 16 | static_cast<uint32_t>(200 * k) << 8 |
                             static_cast<uint32_t>(120 * k);
        }
    return s;
}

void BM_SparkBurst(benchmark::State& state) {
    resetOverlayState();
    std::vector<uint32_t> frame(kFramePixels, 0x101010);
    int32_t phase = 0;
    sparkBurst(phase, 100, 60, 3000, 64, 70, frame.data());
    for (auto _ : state) {
        sparkBurst(++phase, 100, 60, 3000, 64, 70, frame.data());
        benchmark::ClobberMemory();
    }
    // No pixel count fits a particle burst: its cost is spread over the
    // frame it is drawn into, as one layer of that frame.
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_SparkBurst)->Name("effect/spark_burst");

void BM_SpriteFlash(benchmark::State& state) {
    std::vector<std::vector<uint32_t>> images(8, std::vector<uint32_t>(128 * 32, 0x203040));
    const uint32_t* frames[8];
    for (int i = 0; i < 8; ++i) frames[i] = images[i].data();
    setFlashFrames(frames);
    std::vector<uint32_t> frame(kFramePixels, 0x101010);
    for (auto _ : state) {
        spriteFlash(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state, 128 * 32);
}
BENCHMARK(BM_SpriteFlash)->Name("effect/sprite_flash");

void BM_BlockGlitch(benchmark::State& state) {
    buildMulTable();
    resetOverlayState();
    std::vector<uint32_t> image(256 * 64);
    for (size_t i = 0; i < image.size(); ++i) image[i] = (i * 2654435761u) & 0xFFFFFF;
    std::vector<uint32_t> frame(kFramePixels, 0x303030);
    const int32_t flags = static_cast<int32_t>(state.range(0));
    const int32_t mode = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        blockGlitch(frame.data(), image.data(), flags, mode);
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state, (flags & 0x40) ? 256 * 64 : 128 * 32);
}
// flags 0x40 = large block; mode 1 = brightness blend.
BENCHMARK(BM_BlockGlitch)->Name("effect/block_glitch")->ArgNames({"flags", "mode"})->Args({0, 0})->Args({0, 1})->Args({0x40, 0})->Args({0x40, 1});

void BM_GlowKnot(benchmark::State& state) {
    const std::vector<uint32_t> sprite = glowSprite();
    std::vector<uint32_t> frame(kFramePixels);
    int32_t phase = 0;
    for (auto _ : state) {
        glowKnot(phase, frame.data(), sprite.data());
        phase = (phase + 7) % 18200;
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state, kFramePixels);
}
BENCHMARK(BM_GlowKnot)->Name("effect/glow_knot");

void BM_SpiralRibbon(benchmark::State& state) {
    std::vector<uint32_t> frame(kFramePixels);
    int32_t phase = 0;
    for (auto _ : state) {
        spiralRibbon(phase, frame.data());
        phase = (phase + 7) % 18200;
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state, kFramePixels);
}
BENCHMARK(BM_SpiralRibbon)->Name("effect/spiral_ribbon");

}  // namespace
