#include "common/cpu_features.h"

namespace marrow {

namespace {

bool processorHasAvx2() {
#if defined(MARROW_X86)
    // Asked while static objects are made: the feature table must be filled
    // first, whatever order the constructors run in.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// Set before main and changed only between frames (tests, benchmarks).
bool avx2 = processorHasAvx2();

}  // namespace

bool useAvx2() { return avx2; }

void allowAvx2(bool allowed) { avx2 = allowed && processorHasAvx2(); }

}  // namespace marrow
