// ns per pixel of each compositing operation and each filter over one
// 320x200 frame, to read beside the frame-copy yardstick of the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"
#include "effects/compositing.h"
#include "effects/filters.h"

namespace {

using marrow::kFramePixels;

// A frame with some empty (0) pixels, like a scene or sprite layer.
std::vector<uint32_t> benchFrame(uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint32_t> f(kFramePixels);
    for (uint32_t& p : f) p = (gen() % 4 == 0) ? 0u : (gen() & 0xFFFFFFu);
    return f;
}

void BM_AddSaturate(benchmark::State& state) {
    const std::vector<uint32_t> src = benchFrame(1), base = benchFrame(2);
    std::vector<uint32_t> dst = base;
    for (auto _ : state) {
        // Adding into the same frame over and over would saturate it to
        // white; every round starts again from the same base frame (the copy
        // is not timed).
        state.PauseTiming();
        dst = base;
        state.ResumeTiming();
        marrow::addSaturate(dst.data(), src.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_AddSaturate)->Name("compose/add_saturate");

void BM_CrossFade(benchmark::State& state) {
    marrow::buildMulTable();
    const std::vector<uint32_t> a = benchFrame(3), b = benchFrame(4);
    std::vector<uint32_t> out(kFramePixels);
    int32_t alpha = 0;
    for (auto _ : state) {
        marrow::crossFade(a.data(), b.data(), out.data(), alpha, kFramePixels);
        alpha = (alpha + 1) & 0xFF;
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_CrossFade)->Name("compose/cross_fade");

// Every filter in place, as the timeline calls them.
template <class F>
void BM_Filter(benchmark::State& state) {
    F filter;
    std::vector<uint32_t> buf = benchFrame(5);
    for (auto _ : state) {
        filter.apply(buf.data(), buf.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_Filter<marrow::InvertFilter>)->Name("filter/invert");
BENCHMARK(BM_Filter<marrow::SmoothFilter>)->Name("filter/smooth");
BENCHMARK(BM_Filter<marrow::MotionBlurFilter>)->Name("filter/motion_blur");
// One call in eight of ChannelFlipFilter writes nothing; the figure is the
// average over the cycle, as the timeline sees it.
BENCHMARK(BM_Filter<marrow::ChannelFlipFilter>)->Name("filter/channel_flip");

void BM_MixFilter(benchmark::State& state) {
    marrow::MixFilter filter;
    const std::vector<uint32_t> src = benchFrame(6);
    std::vector<uint32_t> dst = benchFrame(7);
    for (auto _ : state) {
        filter.apply(src.data(), dst.data());
        benchmark::ClobberMemory();
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_MixFilter)->Name("filter/mix");

}  // namespace
