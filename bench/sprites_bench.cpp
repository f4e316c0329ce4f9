// Particle bursts, sprite flashes, block overlays, the glowing knot and the
// spiral ribbon. ns_per_pixel is per pixel of the whole frame for the
// full-frame effects (compare with the frame copy), per pixel of the block or
// sprite for the overlays; sparkBurst is per call (500 particles).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "common/framebuffer.h"
#include "effects/compositing.h"
#include "effects/glow_knot.h"
#include "effects/sparks.h"
#include "effects/spiral_ribbon.h"

using namespace marrow;

namespace {

void perPixel(benchmark::State& state, double pixelsPerCall) {
    state.counters["ns_per_pixel"] = benchmark::Counter(static_cast<double>(state.iterations()) * pixelsPerCall,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

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
    state.counters["ns_per_call"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SparkBurst);

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
    perPixel(state, 128 * 32);
}
BENCHMARK(BM_SpriteFlash);

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
    perPixel(state, (flags & 0x40) ? 256 * 64 : 128 * 32);
}
// flags 0x40 = large block; mode 1 = brightness blend.
BENCHMARK(BM_BlockGlitch)->ArgNames({"flags", "mode"})->Args({0, 0})->Args({0, 1})->Args({0x40, 0})->Args({0x40, 1});

void BM_GlowKnot(benchmark::State& state) {
    const std::vector<uint32_t> sprite = glowSprite();
    std::vector<uint32_t> frame(kFramePixels);
    int32_t phase = 0;
    for (auto _ : state) {
        glowKnot(phase, frame.data(), sprite.data());
        phase = (phase + 7) % 18200;
        benchmark::ClobberMemory();
    }
    perPixel(state, kFramePixels);
}
BENCHMARK(BM_GlowKnot);

void BM_SpiralRibbon(benchmark::State& state) {
    std::vector<uint32_t> frame(kFramePixels);
    int32_t phase = 0;
    for (auto _ : state) {
        spiralRibbon(phase, frame.data());
        phase = (phase + 7) % 18200;
        benchmark::ClobberMemory();
    }
    perPixel(state, kFramePixels);
}
BENCHMARK(BM_SpiralRibbon);

}  // namespace
