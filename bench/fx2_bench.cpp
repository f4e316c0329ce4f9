// ns per pixel of the stripes, attraction and warp star renders, the zoom
// blur (at the presentation's centre and a typical factor), zoom feedback
// and bump mapping, on a colourful synthetic texture and frame. Compare with
// BM_FrameCopy from the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_common.h"
#include "common/framebuffer.h"
#include "effects/bump_map.h"
#include "effects/radial_stripes.h"
#include "effects/radius_attraction.h"
#include "effects/warp_star.h"
#include "effects/zoom_blur.h"

namespace {

using marrow::kFramePixels;

std::vector<uint32_t> benchTexture() {
    std::vector<uint32_t> t(256 * 256);
    for (uint32_t v = 0; v < 256; ++v)
        for (uint32_t u = 0; u < 256; ++u) t[v * 256 + u] = (u ^ v) << 16 | ((u + v) & 0xFF) << 8 | (u * 3 & 0xFF);
    return t;
}

// Whole frames of an effect drawn from the bench texture (or from nothing).
// Times advance a little per iteration so the per-frame work varies as in use.
template <class Fx, bool Textured>
void BM_EffectFrames(benchmark::State& state) {
    static Fx fx;
    const std::vector<uint32_t> tex = benchTexture();
    std::vector<uint32_t> frame(kFramePixels);
    float t = 10.0f;
    for (auto _ : state) {
        fx.render(frame.data(), Textured ? tex.data() : nullptr, t);
        t += 0.014f;
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK_TEMPLATE(BM_EffectFrames, marrow::RadialStripes, false)->Name("effect/radial_stripes");
BENCHMARK_TEMPLATE(BM_EffectFrames, marrow::RadiusAttraction, true)->Name("effect/radius_attraction");
BENCHMARK_TEMPLATE(BM_EffectFrames, marrow::WarpStar, true)->Name("effect/warp_star");

// The blurs work in place and feed on their own output; the frame is
// refreshed outside the timed region every iteration.
void BM_ZoomBlur(benchmark::State& state) {
    marrow::buildZoomWeights(12);
    static marrow::WarpStar fx;
    const std::vector<uint32_t> tex = benchTexture();
    std::vector<uint32_t> source(kFramePixels), frame(kFramePixels);
    fx.render(source.data(), tex.data(), 10.0f);
    const double factor = 0.975 + 0.024 * std::sin(10.0);
    for (auto _ : state) {
        state.PauseTiming();
        frame = source;
        state.ResumeTiming();
        marrow::ZoomBlur(frame.data(), 160, 100, factor);
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_ZoomBlur)->Name("effect/zoom_blur");

void BM_ZoomFeedback(benchmark::State& state) {
    static marrow::WarpStar fx;
    const std::vector<uint32_t> tex = benchTexture();
    std::vector<uint32_t> frame(kFramePixels);
    fx.render(frame.data(), tex.data(), 10.0f);
    for (auto _ : state) {
        marrow::zoomFeedback(frame.data(), 0.5);
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_ZoomFeedback)->Name("effect/zoom_feedback");

void BM_BumpMap(benchmark::State& state) {
    static marrow::BumpMap bump;
    static marrow::RadialStripes stripes;
    std::vector<uint32_t> source(kFramePixels), frame(kFramePixels);
    stripes.render(source.data(), nullptr, 36.0f);
    for (auto _ : state) {
        marrow::bumpMap(frame.data(), source.data(), 150, 110);
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_BumpMap)->Name("effect/bump_map");

}  // namespace
