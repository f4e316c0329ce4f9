// The presentation as it runs: start-up (initDemo, the soundtrack opening),
// one benchmark per timeline interval, one whole pass, one frame of each
// loaded scene, and the set-up of every scene file. They read the data set of bench_common.h's dataDir().
//
// interval/FROM-TO composes every frame of that interval at 60 frames a
// second, once per repetition, after the presentation has been played at
// that rate from 0 up to the interval's start, so the effects carry the
// state they have there (motion blur, particles, counters). Frames cost
// more or less with the beat (filters on some beats only), so every
// repetition, and the one-core and all-core runs, take the same frames. The
// figure is ms per frame of composeFrame alone, the interval's mean.
//
// interval_all/FROM-TO and presentation_all/... are the same with the
// frame's work shared by all the machine's cores (the frame worker pool);
// their figure is the wall-clock time per frame, since the benchmark
// thread's CPU time leaves out what the workers did. All other benchmarks
// run on one core.
//
// startup/init_demo runs initDemo in a fresh child process each iteration
// (the real start-up: nothing loaded yet), timed inside the child.
// startup/soundtrack_open opens and starts the soundtrack as the program does
// (the whole-file length scan and the audio device); SDL's dummy audio driver
// is used unless SDL_AUDIODRIVER says otherwise, so it runs headless.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "app/demo_init.h"
#include "app/demo_resources.h"
#include "app/timeline.h"
#include "common/frame_workers.h"
#include "bench_common.h"
#include "platform/music.h"
#include "platform/sound_system.h"
#include "render/scene3d.h"

namespace {

using Clock = std::chrono::steady_clock;

// The scene files in loading order (initDemo gives each its work-array
// factor: presentationCapacityFactor).
constexpr const char* kSceneNames[] = {"scene1", "scene2",   "scene3", "scene4", "scene5", "credits",
                                       "canyon", "triangle", "neki",   "greets", "scene6"};
static_assert(std::size(kSceneNames) == marrow::kSceneCount);

constexpr double kFps = 60.0;

// Frame k of the 60-a-second run is composed at k / 60 s (as the capture
// tool does it: no accumulated rounding).
double timeOf(int64_t k) { return static_cast<double>(k) / kFps; }

// The first frame composed at or after `time`.
int64_t firstFrameAt(double time) {
    int64_t k = static_cast<int64_t>(std::ceil(time * kFps));
    while (k > 0 && timeOf(k - 1) >= time) --k;
    while (timeOf(k) < time) ++k;
    return k;
}

// Runs `work` with stdout and stderr sent to /dev/null (initDemo logs each
// stage to the console, which would break up the table).
template <class Work>
void quietly(Work&& work) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1), savedErr = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
    work();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
}

// Runs initDemo in a child process; returns its duration in seconds, or -1
// with `error` set when it failed (initDemo ends the process on a missing
// or broken file).
double initDemoInChild(std::string& error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = "pipe failed";
        return -1;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        double elapsed = -1;
        quietly([&] {
            const Clock::time_point start = Clock::now();
            marrow::initDemo();
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        });
        const ssize_t written = write(fds[1], &elapsed, sizeof elapsed);
        _exit(written == sizeof elapsed ? 0 : 1);  // no static destructors: the child only measured
    }
    close(fds[1]);
    double elapsed = -1;
    const ssize_t got = pid > 0 ? read(fds[0], &elapsed, sizeof elapsed) : -1;
    close(fds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    if (pid <= 0 || got != sizeof elapsed || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "initDemo failed on the data set in " + marrow::bench::dataDir();
        return -1;
    }
    return elapsed;
}

// The presentation of this process: initialised once, then played forward.
struct Presentation {
    bool tried = false, ready = false;
    std::string error;
    int64_t frame = 0;  // the next frame to compose
};

Presentation& presentation() {
    static Presentation p;
    return p;
}

// Initialises the presentation once (after a trial run in a child, so a
// data set that initDemo rejects skips these benchmarks instead of ending
// the program).
bool ensurePresentation(std::string& error) {
    Presentation& p = presentation();
    if (!p.tried) {
        p.tried = true;
        if (marrow::bench::enterDataDir(p.error) && initDemoInChild(p.error) >= 0) {
            quietly([] { marrow::initDemo(); });
            p.ready = true;
        }
    }
    error = p.error;
    return p.ready;
}

// Composes frames from the current one up to (not including) `end`.
void playUntil(int64_t end) {
    Presentation& p = presentation();
    while (p.frame < end) {
        benchmark::DoNotOptimize(marrow::composeFrame(timeOf(p.frame)));
        ++p.frame;
    }
}

void BM_InitDemo(benchmark::State& state) {
    std::string error;
    if (!marrow::bench::enterDataDir(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        const double seconds = initDemoInChild(error);
        if (seconds < 0) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_SoundtrackOpen(benchmark::State& state) {
    std::string error;
    if (!marrow::bench::enterDataDir(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!std::filesystem::exists("music/demo.mp3")) {
        state.SkipWithError("no music/demo.mp3 in the data set");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    for (auto _ : state) {
        marrow::Mp3SoundSystem sound;
        marrow::MusicLayer music(sound);
        const Clock::time_point start = Clock::now();
        music.startMusic("music\\demo.mp3");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        music.stopMusic();
        state.SetIterationTime(seconds);
    }
}

// Uses all the started frame threads while it lives, then one again.
struct AllCores {
    explicit AllCores(bool on) { marrow::useFrameThreads(on ? 64 : 1); }
    ~AllCores() { marrow::useFrameThreads(1); }
};

void BM_Interval(benchmark::State& state, double from, double to, bool allCores) {
    std::string error;
    if (!ensurePresentation(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const AllCores cores(allCores);
    Presentation& p = presentation();
    const int64_t first = firstFrameAt(from), end = firstFrameAt(to);
    if (p.frame > end) p.frame = 0;  // an earlier interval than the last one run: play again from 0
    playUntil(first);
    p.frame = first;
    for (auto _ : state) {
        benchmark::DoNotOptimize(marrow::composeFrame(timeOf(p.frame)));
        if (++p.frame >= end) p.frame = first;
    }
    marrow::bench::setNsPerPixel(state);
}

// The whole script once, frame by frame from 0: the mean cost of a frame.
void BM_WholePass(benchmark::State& state, bool allCores) {
    std::string error;
    if (!ensurePresentation(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const AllCores cores(allCores);
    Presentation& p = presentation();
    p.frame = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(marrow::composeFrame(timeOf(p.frame)));
        ++p.frame;
    }
    marrow::bench::setNsPerPixel(state);
}

void BM_LoadScene(benchmark::State& state, const char* name) {
    std::string error;
    if (!marrow::bench::enterDataDir(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string file = std::string("scenes/") + name + ".3ds";
    if (!std::filesystem::exists(file)) {
        state.SkipWithError(("no " + file + " in the data set").c_str());
        return;
    }
    // As initDemo names it: the library takes either separator.
    const std::string path = std::string("scenes\\") + name + ".3ds";
    const int32_t factor = marrow::presentationCapacityFactor(name);
    for (auto _ : state) {
        auto s = std::make_unique<marrow::Scene3D>();
        const marrow::LoadResult loaded = s->setUp(path.c_str(), "scenes", factor);
        if (!loaded.ok()) {
            state.SkipWithError(loaded.message.c_str());
            return;
        }
        benchmark::DoNotOptimize(s->materials);
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
}

// One scene of the loaded presentation: clear, render and draw, at keyframes
// stepping through its animation at the presentation's 70 a second for 60
// frames a second (scene1 runs slower there; the cost per frame is alike).
void BM_SceneFrame(benchmark::State& state, int index) {
    std::string error;
    if (!ensurePresentation(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    marrow::Scene3D& s = marrow::scenes[index];
    const int32_t frames = s.lastFrame > 1.0f ? static_cast<int32_t>(s.lastFrame) : 1;
    int32_t step = 0;
    for (auto _ : state) {
        const int32_t keyframe = (step * 70 / 60) % frames;
        ++step;
        s.frame = keyframe;
        s.clear();
        s.render(keyframe);
        s.draw();
        benchmark::DoNotOptimize(s.buffer);
    }
}

// "7.0", "8.82", "102.0": the shortest form, always with a decimal point.
std::string seconds(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", t);
    std::string s = text;
    if (s.find('.') == std::string::npos) s += ".0";
    return s;
}

const bool g_registered = [] {
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("startup/init_demo", BM_InitDemo)->UseManualTime()->Unit(benchmark::kMillisecond);
    RegisterBenchmark("startup/soundtrack_open", BM_SoundtrackOpen)->UseManualTime()->Unit(benchmark::kMillisecond);
    // In order, so each interval is reached by playing forward; one core and
    // all cores one after the other, under the same load of the machine.
    double from = 0.0;
    for (int i = 0; i < marrow::kThresholdCount; ++i) {
        const double to = marrow::kThresholds[i];
        const std::string span = seconds(from) + "-" + seconds(to);
        const int64_t frames = firstFrameAt(to) - firstFrameAt(from);
        RegisterBenchmark(("interval/" + span).c_str(), BM_Interval, from, to, false)
            ->Iterations(frames)
            ->Unit(benchmark::kMillisecond);
        RegisterBenchmark(("interval_all/" + span).c_str(), BM_Interval, from, to, true)
            ->Iterations(frames)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        from = to;
    }
    const double end = marrow::kThresholds[marrow::kThresholdCount - 1];
    RegisterBenchmark(("presentation/0.0-" + seconds(end)).c_str(), BM_WholePass, false)
        ->Iterations(firstFrameAt(end))
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("presentation_all/0.0-" + seconds(end)).c_str(), BM_WholePass, true)
        ->Iterations(firstFrameAt(end))
        ->Repetitions(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    for (int i = 0; i < marrow::kSceneCount; ++i)
        RegisterBenchmark((std::string("scene/") + kSceneNames[i]).c_str(), BM_SceneFrame, i)
            ->Unit(benchmark::kMillisecond);
    for (const char* name : kSceneNames)
        RegisterBenchmark((std::string("load3ds/") + name).c_str(), BM_LoadScene, name)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
