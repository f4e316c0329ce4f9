// The plasma: whole render() frames, the block drawing alone, and the
// timeline's usual step sequence. ns_per_pixel over the 64000 pixels.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"
#include "effects/multiwave_plasma.h"

namespace {

std::vector<uint32_t> benchTexture() { return marrow::bench::noiseTexture(7); }

void BM_PlasmaRender(benchmark::State& state) {
    auto plasma = std::make_unique<marrow::MultiWavePlasma>();
    plasma->setMode(static_cast<int32_t>(state.range(0)));
    std::vector<uint32_t> tex = benchTexture(), frame(marrow::kFramePixels);
    float time = 10.0f;
    for (auto _ : state) {
        plasma->render(frame.data(), tex.data(), time);
        time += 0.02f;
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_PlasmaRender)->Name("effect/plasma/render")->ArgName("mode")->DenseRange(0, 7);

void BM_PlasmaDraw(benchmark::State& state) {
    auto plasma = std::make_unique<marrow::MultiWavePlasma>();
    std::vector<uint32_t> tex = benchTexture(), frame(marrow::kFramePixels);
    plasma->plasmaRotating(700, 9.0, 25000.0);
    plasma->plasmaRotating(701, 9.01, 25000.0);
    plasma->clampTexCoords();
    for (auto _ : state) {
        plasma->plasmaDraw(frame.data(), tex.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_PlasmaDraw)->Name("effect/plasma/draw");

// plasmaRipple, clampTexCoords, plasmaDraw: one frame of the later intervals.
void BM_PlasmaRippleFrame(benchmark::State& state) {
    auto plasma = std::make_unique<marrow::MultiWavePlasma>();
    std::vector<uint32_t> tex = benchTexture(), frame(marrow::kFramePixels);
    double time = 200.0;
    for (auto _ : state) {
        plasma->plasmaRipple(static_cast<int32_t>(time * 70), 2.9 * time, 15000.0);
        plasma->clampTexCoords();
        plasma->plasmaDraw(frame.data(), tex.data());
        time += 0.02;
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_PlasmaRippleFrame)->Name("effect/plasma/ripple_frame");

}  // namespace
