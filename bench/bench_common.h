// bench_common.h: the naming and counter scheme every benchmark of
// marrow-bench follows, so that one table (bench_main.cpp) can read them all.
//
// Names are GROUP/WHAT[/VARIANT], and the table lists the groups in this
// order (within a group, in registration order):
//   yardstick/   one frame copy (memcpy of 256000 bytes): the unit the
//                per-pixel figures are compared with, measured in the same run
//   compose/     compositing of whole frames
//   filter/      the frame filters
//   effect/      the 2D effects (and their parts)
//   filler/      the triangle fillers on a fixed triangle set
//   scene/       one frame of a loaded scene (clear, render, draw); ms
//   interval/    one timeline interval, FROM-TO in seconds; ms per frame
//   presentation/ the whole script at 60 frames a second; ms per frame
//   startup/     initDemo, the soundtrack opening; ms
//   load3ds/     set-up of one scene file (read, materials, textures); ms
//
// Counters:
//   ns_per_pixel  time per iteration over the pixels the operation touches
//                 (the whole frame for full-frame work, the block or sprite
//                 for overlays); the table adds its multiple of the
//                 yardstick's ns_per_pixel
//   Mpix_per_s    pixels filled per second (fillers)
// Timing is the CPU time of one iteration (start-up: the wall clock, timed by
// the benchmark itself); figures for scenes, intervals, start-up and loads
// are read from the time per iteration, in milliseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/framebuffer.h"

namespace marrow::bench {

// Sets ns_per_pixel from the iterations run so far: `pixels` per iteration.
// An inverted rate is seconds per unit counted; counting pixels in units of
// 1e-9 makes it nanoseconds per pixel.
inline void setNsPerPixel(benchmark::State& state, double pixels = kFramePixels) {
    state.counters["ns_per_pixel"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * pixels * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Sets Mpix_per_s: `pixels` filled per iteration.
inline void setMpixPerSecond(benchmark::State& state, double pixels) {
    state.counters["Mpix_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * pixels * 1e-6, benchmark::Counter::kIsRate);
}

// A 256x256 texture of pseudo-random texels (a linear congruential sequence
// from `seed`, top 24 bits): every look-up lands somewhere new.
inline std::vector<uint32_t> noiseTexture(uint32_t seed) {
    std::vector<uint32_t> tex(256 * 256);
    for (uint32_t& t : tex) t = (seed = seed * 1664525u + 1013904223u) >> 8;
    return tex;
}

// The data set the presentation benchmarks read (pixmaps/, scenes/, music/):
// --data DIR on the command line, else $MARROW_BENCH_DATA, else build/demo.
// Made absolute when the program starts, so changing directory is safe.
const std::string& dataDir();

// Makes the data directory the working directory (the presentation opens its
// files relative to it). False, with the reason in `error`, when it is
// missing or lacks scenes/ or pixmaps/.
bool enterDataDir(std::string& error);

}  // namespace marrow::bench
