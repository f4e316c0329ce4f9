// The frame worker pool: how it cuts work, and that everything handed to it
// is done exactly once and finished when the call returns. This binary
// starts three threads (whatever the machine has), so parts really run on
// other threads; the frames' own exactness is checked where the effects are
// tested, with the same pool.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/frame_workers.h"

namespace {

using namespace marrow;

const int kThreads = startFrameWorkers(3);

TEST(FrameWorkers, StartsOnceAndCanBeHeldToOneThread) {
    ASSERT_EQ(kThreads, 3);
    EXPECT_EQ(startFrameWorkers(8), 3);  // a second start changes nothing
    useFrameThreads(1);
    std::atomic<int> calls{0};
    forEachPart([&](int part, int parts) {
        EXPECT_EQ(part, 0);
        EXPECT_EQ(parts, 1);
        ++calls;
    });
    EXPECT_EQ(calls, 1);
    useFrameThreads(99);
    EXPECT_EQ(frameThreads(), 3);
}

TEST(FrameWorkers, EveryPartRunsOnceAndIsDoneOnReturn) {
    for (int round = 0; round < 200; ++round) {
        std::vector<std::atomic<int>> hits(64);
        std::atomic<int> partsSeen{-1};
        forEachPart([&](int part, int parts) {
            partsSeen = parts;
            ASSERT_LT(part, 64);
            ++hits[static_cast<size_t>(part)];
        });
        const int parts = partsSeen;
        ASSERT_GT(parts, 1);
        for (int p = 0; p < 64; ++p) EXPECT_EQ(hits[static_cast<size_t>(p)], p < parts ? 1 : 0) << "part " << p;
    }
}

// Bands and spans cover every row or index exactly once, in order, for
// counts that do and do not divide evenly; spans start on multiples of 16.
TEST(FrameWorkers, BandsAndSpansCoverEachIndexOnce) {
    for (int count : {0, 1, 15, 16, 17, 25, 26, 200, 4131, 64000}) {
        std::vector<std::atomic<int>> rows(static_cast<size_t>(count)), items(static_cast<size_t>(count));
        forRowBands(count, [&](int y0, int y1) {
            EXPECT_LT(y0, y1);
            for (int y = y0; y < y1; ++y) ++rows[static_cast<size_t>(y)];
        });
        forSpans(count, [&](int begin, int end) {
            EXPECT_EQ(begin % 16, 0);
            EXPECT_TRUE(end % 16 == 0 || end == count);
            for (int i = begin; i < end; ++i) ++items[static_cast<size_t>(i)];
        });
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(rows[static_cast<size_t>(i)], 1) << "row " << i << " of " << count;
            ASSERT_EQ(items[static_cast<size_t>(i)], 1) << "index " << i << " of " << count;
        }
    }
    // The bands of one cut: consecutive, sizes within one row of each other.
    int previousEnd = 0;
    for (int part = 0; part < 7; ++part) {
        int y0, y1;
        bandOf(25, part, 7, y0, y1);
        EXPECT_EQ(y0, previousEnd);
        EXPECT_TRUE(y1 - y0 == 3 || y1 - y0 == 4);
        previousEnd = y1;
    }
    EXPECT_EQ(previousEnd, 25);
}

// A background task runs beside the caller's own jobs; what it wrote is
// there once finishBackground returns, and work it hands out runs in place.
TEST(FrameWorkers, BackgroundTaskBesideJobs) {
    struct Work {
        std::vector<int> cells = std::vector<int>(1000);
        int partsInside = 0;
        std::thread::id ranOn;
    };
    for (int round = 0; round < 100; ++round) {
        Work work;
        startBackground(
            [](void* c) {
                Work& w = *static_cast<Work*>(c);
                w.ranOn = std::this_thread::get_id();
                forEachPart([&](int, int parts) { w.partsInside = parts; });
                for (int i = 0; i < 1000; ++i) w.cells[static_cast<size_t>(i)] = i;
            },
            &work);
        std::atomic<int> sum{0};
        forRowBands(100, [&](int y0, int y1) { sum += y1 - y0; });
        EXPECT_EQ(sum, 100);
        finishBackground();
        finishBackground();  // a second finish is harmless
        EXPECT_EQ(work.partsInside, 1);
        EXPECT_NE(work.ranOn, std::this_thread::get_id());
        for (int i = 0; i < 1000; ++i) ASSERT_EQ(work.cells[static_cast<size_t>(i)], i);
    }
}

// With every thread but the caller held back, a background task runs at
// once on the caller, before startBackground returns.
TEST(FrameWorkers, BackgroundRunsInPlaceWithoutAFreeWorker) {
    useFrameThreads(1);
    bool ran = false;
    startBackground([](void* c) { *static_cast<bool*>(c) = true; }, &ran);
    EXPECT_TRUE(ran);
    finishBackground();
    useFrameThreads(3);
}

}  // namespace
