// cpu_features.h: what the processor the program runs on can do, asked
// once at run time, so one build runs everywhere and takes the wider vector
// paths where they exist. Every such path gives the same pixels as the
// SSE2 and plain ones.
#pragma once

// x86 processors (not the browser build): the AVX2 paths are compiled, with
// the target attribute, beside the baseline ones.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__EMSCRIPTEN__)
#define MARROW_X86 1
#endif

namespace marrow {

// Whether the AVX2 paths run: the processor has AVX2 and they have not been
// switched off with allowAvx2(false).
bool useAvx2();

// Switches the AVX2 paths off (or back on where the processor has AVX2), to
// compare them with the baseline in tests and benchmarks.
void allowAvx2(bool allowed);

}  // namespace marrow
