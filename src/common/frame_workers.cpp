// frame_workers.cpp: the pool behind frame_workers.h.
//
// A job is cut into parts that the caller and the workers claim one at a
// time from a shared counter, so the caller never waits for a worker that
// is asleep or descheduled: it just claims the parts itself, and waits only
// for parts a worker has already started.
//
// The claim word packs the job's number (high 24 bits), its part count (8
// bits) and the next unclaimed part (low 32 bits). A worker claims a part by
// compare-and-swap on the word it read, and only if that part lies below the
// count in the same word: then the job is unfinished, so the caller is still
// waiting in runParts and the job's fields (written before the word was
// published) are the ones it reads. A part done bumps `done`; runParts
// returns once all are.
//
// Waiting workers poll for about half a millisecond (a frame's parallel steps
// follow each other closely), then sleep on `wake` until the caller posts.
#include "common/frame_workers.h"

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)

// The browser build runs in one thread: everything runs on the caller.
namespace marrow {

int startFrameWorkers(int) { return 1; }
int frameThreads() { return 1; }
void useFrameThreads(int) {}
void wakeFrameWorkers() {}
void runParts(PartJob job, void* context) { job(context, 0, 1); }
void startBackground(Task task, void* context) { task(context); }
void finishBackground() {}

}  // namespace marrow

#else

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrow {

namespace {

// Tells the core a spin loop is waiting (frees the pipeline for the other
// hyperthread and saves power).
inline void cpuPause() {
#if defined(__SSE2__)
    _mm_pause();
#endif
}

using Clock = std::chrono::steady_clock;
constexpr auto kPollTime = std::chrono::microseconds(500);

// Parts per thread: enough that a thread held up by the system leaves only a
// small share to the others.
constexpr int kPartsPerThread = 4;

// The claim word: job number (24 bits) above the part count (8 bits) above
// the next part to hand out (32 bits). The job number is only there to make
// each job's words differ from the last job's, so a worker's compare-exchange
// made with a word it read during the last job fails; nothing reads it back.
constexpr uint64_t claimWord(uint32_t job, uint32_t parts, uint32_t next) {
    return static_cast<uint64_t>(job & 0xFFFFFF) << 40 | static_cast<uint64_t>(parts & 0xFF) << 32 | next;
}
constexpr uint32_t partsOf(uint64_t w) { return static_cast<uint32_t>(w >> 32) & 0xFF; }
constexpr uint32_t nextOf(uint64_t w) { return static_cast<uint32_t>(w); }

// Set on the pool's own threads: work they hand out (a background scene
// drawing in bands) runs on them in one part.
thread_local bool onWorker = false;

class Pool {
public:
    explicit Pool(int workers) {
        threads_.reserve(static_cast<size_t>(workers));
        for (int i = 0; i < workers; ++i) threads_.emplace_back(&Pool::serve, this, i == 0);
        used_ = workers + 1;
    }

    ~Pool() {
        stopping_.store(true);
        wakeAll();
        for (std::thread& t : threads_) t.join();
    }

    int threads() const { return used_; }

    void use(int n) {
        const int started = static_cast<int>(threads_.size()) + 1;
        used_ = n < 1 ? 1 : (n > started ? started : n);
    }

    void wake() {
        if (used_ > 1) wakeAll();
    }

    void runParts(PartJob job, void* context) {
        // A background task that has ended frees its worker for the job.
        if (background_ && taskDone_.load(std::memory_order_acquire) == taskPosted_.load(std::memory_order_relaxed))
            background_ = false;
        // While the first worker holds a background task the others (if any)
        // still share the job.
        const int helpers = used_ - 1 - (background_ ? 1 : 0);
        if (helpers <= 0) {
            job(context, 0, 1);
            return;
        }
        const uint32_t parts = static_cast<uint32_t>((helpers + 1) * kPartsPerThread);
        job_.store(job, std::memory_order_relaxed);
        context_.store(context, std::memory_order_relaxed);
        done_.store(0, std::memory_order_relaxed);
        jobNumber_ = (jobNumber_ + 1) & 0xFFFFFF;
        claim_.store(claimWord(jobNumber_, parts, 0), std::memory_order_seq_cst);
        wakeAll();
        for (;;) {
            const uint32_t part = nextOf(claim_.fetch_add(1, std::memory_order_acq_rel));
            if (part >= parts) break;
            job(context, static_cast<int>(part), static_cast<int>(parts));
            done_.fetch_add(1, std::memory_order_release);
        }
        // Only parts a worker has started remain: wait for them.
        int rounds = 0;
        while (done_.load(std::memory_order_acquire) != parts) {
            cpuPause();
            if (++rounds > 100000) std::this_thread::yield();
        }
    }

    void startBackground(Task task, void* context) {
        if (background_ || used_ <= 1) {
            task(context);
            return;
        }
        background_ = true;
        task_.store(task, std::memory_order_relaxed);
        taskContext_.store(context, std::memory_order_relaxed);
        taskPosted_.fetch_add(1, std::memory_order_seq_cst);
        wakeAll();
    }

    void finishBackground() {
        if (!background_) return;
        const uint32_t posted = taskPosted_.load(std::memory_order_relaxed);
        int rounds = 0;
        while (taskDone_.load(std::memory_order_acquire) != posted) {
            cpuPause();
            if (++rounds > 1000) std::this_thread::yield();
        }
        background_ = false;
    }

    static constexpr int kMaxThreads = 32;  // parts per job fit the claim word's 8 bits

private:
    void wakeAll() {
        wake_.fetch_add(1, std::memory_order_seq_cst);
        if (sleepers_.load(std::memory_order_seq_cst) > 0) wake_.notify_all();
    }

    // Claims and runs one part of the posted job; false when none is left.
    bool helpWithJob() {
        uint64_t w = claim_.load(std::memory_order_acquire);
        while (nextOf(w) < partsOf(w)) {
            if (claim_.compare_exchange_weak(w, w + 1, std::memory_order_acq_rel, std::memory_order_acquire)) {
                const PartJob job = job_.load(std::memory_order_relaxed);
                job(context_.load(std::memory_order_relaxed), static_cast<int>(nextOf(w)),
                    static_cast<int>(partsOf(w)));
                done_.fetch_add(1, std::memory_order_release);
                return true;
            }
        }
        return false;
    }

    bool runTask(bool takesTasks) {
        if (!takesTasks) return false;
        const uint32_t posted = taskPosted_.load(std::memory_order_acquire);
        if (posted == taskDone_.load(std::memory_order_relaxed)) return false;
        task_.load(std::memory_order_relaxed)(taskContext_.load(std::memory_order_relaxed));
        taskDone_.store(posted, std::memory_order_release);
        return true;
    }

    void serve(bool takesTasks) {
        onWorker = true;
        while (!stopping_.load(std::memory_order_acquire)) {
            // The post count is read before looking for work, so a post
            // that comes after the look is never missed.
            const uint32_t seen = wake_.load(std::memory_order_seq_cst);
            if (runTask(takesTasks) || helpWithJob()) continue;
            // Nothing to do: poll for a while, then sleep until a post.
            const auto until = Clock::now() + kPollTime;
            bool posted = false;
            while (!posted && Clock::now() < until) {
                for (int i = 0; i < 64 && !posted; ++i) {
                    cpuPause();
                    posted = wake_.load(std::memory_order_relaxed) != seen;
                }
            }
            if (posted) continue;
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            if (wake_.load(std::memory_order_seq_cst) == seen) wake_.wait(seen, std::memory_order_seq_cst);
            sleepers_.fetch_sub(1, std::memory_order_seq_cst);
        }
    }

    std::vector<std::thread> threads_;
    int used_ = 1;  // threads in use, the caller included: the caller's own record
    std::atomic<bool> stopping_{false};
    std::atomic<uint32_t> wake_{0};
    std::atomic<int> sleepers_{0};

    // The current job.
    std::atomic<uint64_t> claim_{0};
    std::atomic<PartJob> job_{nullptr};
    std::atomic<void*> context_{nullptr};
    std::atomic<uint32_t> done_{0};
    uint32_t jobNumber_ = 0;  // the caller's own count

    // The background task, taken by the first worker only.
    std::atomic<Task> task_{nullptr};
    std::atomic<void*> taskContext_{nullptr};
    std::atomic<uint32_t> taskPosted_{0}, taskDone_{0};
    bool background_ = false;  // the caller's own record
};

std::unique_ptr<Pool> pool;

}  // namespace

int startFrameWorkers(int threads) {
    if (!pool) {
        if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
        if (threads > Pool::kMaxThreads) threads = Pool::kMaxThreads;
        if (threads > 1) pool = std::make_unique<Pool>(threads - 1);
    }
    return frameThreads();
}

int frameThreads() { return pool ? pool->threads() : 1; }

void useFrameThreads(int n) {
    if (pool) pool->use(n);
}

void wakeFrameWorkers() {
    if (pool) pool->wake();
}

void runParts(PartJob job, void* context) {
    if (pool && !onWorker)
        pool->runParts(job, context);
    else
        job(context, 0, 1);
}

void startBackground(Task task, void* context) {
    if (pool && !onWorker)
        pool->startBackground(task, context);
    else
        task(context);
}

void finishBackground() {
    if (pool && !onWorker) pool->finishBackground();
}

}  // namespace marrow

#endif
