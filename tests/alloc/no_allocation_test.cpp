// Nothing is allocated while frames are composed: every buffer, table and
// effect object exists once initDemo() has returned. This binary replaces
// malloc and friends with counting versions (operator new goes through
// malloc), loads the generated data set and composes a whole pass with the
// frame worker pool.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <string>

#include "app/demo_init.h"
#include "app/timeline.h"
#include "common/frame_workers.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
inline void count() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    count();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    count();
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    count();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    count();
    *out = __libc_memalign(alignment, n);
    return *out ? 0 : 12;  // ENOMEM
}
void free(void* p) { __libc_free(p); }
}

TEST(NoAllocation, ComposingAWholePassAllocatesNothing) {
    const std::string data = std::string(MARROW_BUILD_DIR) + "/demo";
    ASSERT_EQ(chdir(data.c_str()), 0) << data;
    testing::internal::CaptureStderr();  // the start-up log
    // The worker threads share the frames' work, as in the presentation.
    ASSERT_EQ(marrow::startFrameWorkers(3), 3);
    marrow::initDemo();
    testing::internal::GetCapturedStderr();

    // The counters see allocations at all.
    g_counting = true;
    { std::string probe(200, 'x'); }
    g_counting = false;
    ASSERT_GT(g_allocations.load(), 0);
    g_allocations = 0;

    g_counting = true;
    long frames = 0;
    // 30 frames a second from before the start to past the end, so every
    // interval (and the state each builds up) is visited.
    for (double t = -0.5; t < 262.0; t += 1.0 / 30.0, ++frames) marrow::composeFrame(t);
    g_counting = false;
    EXPECT_GT(frames, 7800);
    EXPECT_EQ(g_allocations.load(), 0) << "allocations while composing " << frames << " frames";
}
