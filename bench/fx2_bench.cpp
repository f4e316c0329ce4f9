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

// Times advance a little per iteration so the per-frame work varies as in use.
void BM_RadialStripes(benchmark::State& state) {
    static marrow::RadialStripes fx;
    std::vector<uint32_t> frame(kFramePixels);
    float t = 10.0f;
    for (auto _ : state) {
        fx.render(frame.data(), nullptr, t);
        t += 0.014f;
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_RadialStripes)->Name("effect/radial_stripes");

void BM_RadiusAttraction(benchmark::State& state) {
    static marrow::RadiusAttraction fx;
    const std::vector<uint32_t> tex = benchTexture();
    std::vector<uint32_t> frame(kFramePixels);
    float t = 10.0f;
    for (auto _ : state) {
        fx.render(frame.data(), tex.data(), t);
        t += 0.014f;
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_RadiusAttraction)->Name("effect/radius_attraction");

void BM_WarpStar(benchmark::State& state) {
    static marrow::WarpStar fx;
    const std::vector<uint32_t> tex = benchTexture();
    std::vector<uint32_t> frame(kFramePixels);
    float t = 10.0f;
    for (auto _ : state) {
        fx.render(frame.data(), tex.data(), t);
        t += 0.014f;
        benchmark::DoNotOptimize(frame.data());
    }
    marrow::bench::setNsPerPixel(state);
}
BENCHMARK(BM_WarpStar)->Name("effect/warp_star");

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
