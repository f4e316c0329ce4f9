// frame_workers.h: the threads that share a frame's work.
//
// A small pool made once (startFrameWorkers) before the first frame and kept
// until the process ends. A frame's steps hand it work in two shapes:
//
//   - runParts(job): job(part, parts) runs once for every part 0..parts-1,
//     on the calling thread and the workers, and the call returns when all
//     are done. `parts` is 1 when there is no pool (the browser build,
//     tests, a single core, --threads 1) or no worker is free (a background
//     task holds it), and otherwise a few parts per thread, claimed one at a
//     time by whichever thread is free. Jobs split their work so that the
//     result does not depend on `parts` (row bands, independent quadrants):
//     every frame is the same whether one thread drew it or several.
//   - startBackground(task) / finishBackground(): task runs on a worker while
//     the caller goes on with other work; finishBackground waits for it.
//     With no free worker the task runs at once, inside startBackground. One
//     background task at a time; the caller must not touch what it writes
//     until finishBackground returns.
//
// Jobs and tasks are plain function pointers with a context pointer, so no
// call allocates; the pool itself allocates only when it starts. Waiting
// workers spin briefly (a frame hands out work every few microseconds), then
// sleep until the next call, so an idle presentation costs no CPU.
//
// Calls come from one thread, the one that composes frames; calls made by a
// job or task running on a worker run their work in place, in one part.
#pragma once

#include <cstdint>

namespace marrow {

// Starts threads - 1 workers (threads <= 0: one thread per core, at most
// 32). Once workers run, later calls change nothing; in a build without
// threads nothing does. Returns the number of threads frames are drawn with,
// the caller included.
int startFrameWorkers(int threads);

// Lets frames use at most n of the started threads (n >= 1, the caller
// included; more than started counts as all): 1 makes every call run on the
// caller, as without a pool. For measuring one core against all.
void useFrameThreads(int n);

// Rouses sleeping workers ahead of work to come (a frame about to be
// composed), so they are polling by the time it is handed out.
void wakeFrameWorkers();

// The threads frames are drawn with, the caller included (1 before
// startFrameWorkers and in a build without threads), within the limit of
// useFrameThreads.
int frameThreads();

using PartJob = void (*)(void* context, int part, int parts);
using Task = void (*)(void* context);

void runParts(PartJob job, void* context);
void startBackground(Task task, void* context);
void finishBackground();

// runParts over a callable f(part, parts), with no copy and no allocation.
template <class F>
void forEachPart(F&& f) {
    runParts([](void* c, int part, int parts) { (*static_cast<F*>(c))(part, parts); }, &f);
}

// Rows y0..y1-1 of `rows` for part `part` of `parts`: consecutive bands whose
// sizes differ by at most one row.
inline void bandOf(int rows, int part, int parts, int& y0, int& y1) {
    y0 = rows * part / parts;
    y1 = rows * (part + 1) / parts;
}

// Calls f(y0, y1) over bands of rows 0..rows-1 that together cover each row
// exactly once.
template <class F>
void forRowBands(int rows, F&& f) {
    forEachPart([&](int part, int parts) {
        int y0, y1;
        bandOf(rows, part, parts, y0, y1);
        if (y1 > y0) f(y0, y1);
    });
}

// Calls f(begin, end) over spans of 0..count-1 that together cover each
// index exactly once, every span but the last starting and ending on a
// multiple of 16 (whole vectors for per-pixel loops).
template <class F>
void forSpans(int count, F&& f) {
    forEachPart([&](int part, int parts) {
        const int units = (count + 15) / 16;
        const int begin = units * part / parts * 16, end = units * (part + 1) / parts * 16;
        const int last = end < count ? end : count;
        if (last > begin) f(begin, last);
    });
}

}  // namespace marrow
