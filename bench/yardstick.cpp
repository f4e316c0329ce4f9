// The yardstick every other figure is compared with: one frame copy
// (256000 bytes), measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"

static void BM_FrameCopy(benchmark::State& state) {
    std::vector<uint32_t> a(marrow::kFramePixels, 0x123456), b(marrow::kFramePixels);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), marrow::kFrameBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_FrameCopy)->Name("yardstick/frame_copy");
