// The ray grid: one shape step plus one block renderer per frame, as the
// timeline runs them, and the renderers alone. ns_per_pixel over 64000 pixels.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_common.h"
#include "common/cpu_features.h"
#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/ray_grid.h"

namespace {

std::vector<uint32_t> benchTexture() { return marrow::bench::noiseTexture(11); }

void setAngles(marrow::RayGrid& grid, double time) {
    const int32_t n = marrow::truncToInt32(511 * ((time - 14) * 0.28169014084507044));
    grid.angleX = (255 + n) & 511;
    grid.angleY = grid.angleZ = (~n) & 511;
}

enum Shape { kTunnel, kSphere, kFlat, kPlane };

// range(0): shape; the times are ones where the timeline shows that shape.
void BM_RayGridFrame(benchmark::State& state) {
    auto grid = std::make_unique<marrow::RayGrid>();
    std::vector<uint32_t> tex = benchTexture(), frame(marrow::kFramePixels);
    const Shape shape = static_cast<Shape>(state.range(0));
    double time = shape == kTunnel ? 15.0 : shape == kSphere ? 70.0 : shape == kFlat ? 105.0 : 110.0;
    for (auto _ : state) {
        setAngles(*grid, time);
        switch (shape) {
            case kTunnel:
                grid->rayTunnel();
                grid->scrollCoords(marrow::truncToInt32(time * 70), 0);
                grid->drawBlocksShaded(frame.data(), tex.data());
                break;
            case kSphere:
                grid->raySphere();
                grid->drawBlocksShaded(frame.data(), tex.data());
                break;
            case kFlat:
                grid->rayFlat();
                grid->drawBlocks(frame.data(), tex.data());
                break;
            case kPlane:
                grid->rayPlane();
                grid->drawBlocksShaded(frame.data(), tex.data());
                break;
        }
        time += 0.01;
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
// Named by shape: tunnel, sphere, flat, plane.
BENCHMARK(BM_RayGridFrame)->Name("effect/ray_grid/frame")->ArgName("shape")->Arg(kTunnel)->Arg(kSphere)->Arg(kFlat)->Arg(kPlane);

// avx2:0 forces the baseline path, avx2:1 takes AVX2 where the processor has
// it (the shaded blocks only).
void BM_RayGridDrawBlocks(benchmark::State& state) {
    marrow::allowAvx2(state.range(1) != 0);
    auto grid = std::make_unique<marrow::RayGrid>();
    std::vector<uint32_t> tex = benchTexture(), frame(marrow::kFramePixels);
    setAngles(*grid, 16.0);
    grid->rayTunnel();
    const bool shaded = state.range(0) != 0;
    for (auto _ : state) {
        if (shaded)
            grid->drawBlocksShaded(frame.data(), tex.data());
        else
            grid->drawBlocks(frame.data(), tex.data());
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
    marrow::allowAvx2(true);
}
BENCHMARK(BM_RayGridDrawBlocks)
    ->Name("effect/ray_grid/draw_blocks")
    ->ArgNames({"shaded", "avx2"})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1});

}  // namespace
