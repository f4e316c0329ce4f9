// bench_main.cpp: the entry point of marrow-bench. It runs every benchmark
// (Google Benchmark flags work as usual; --data DIR picks the data set) and
// prints one table in a stable order: the groups of bench_common.h, each in
// registration order, one row per benchmark with the median of its
// repetitions, its ns per pixel as a multiple of the frame-copy yardstick of
// the same run, and the targets the presentation must meet. With
// --benchmark_out=FILE the same rows go to FILE as Google Benchmark JSON,
// with the multiple added to each row as the counter x_yardstick.
//
// Unless given, the run uses 3 repetitions, reports their aggregates only
// and runs each repetition for at least 0.2 s: the machine's cores are
// shared, so single figures are noisy and the medians are what count.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_common.h"
#include "common/frame_workers.h"

namespace marrow::bench {

namespace {
std::string g_dataDir;
}

const std::string& dataDir() { return g_dataDir; }

bool enterDataDir(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(fs::path(g_dataDir) / "pixmaps", ec) || !fs::is_directory(fs::path(g_dataDir) / "scenes", ec)) {
        error = "no data set in " + g_dataDir + " (make it with marrow-assets, or pass --data DIR)";
        return false;
    }
    if (chdir(g_dataDir.c_str()) != 0) {
        error = g_dataDir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

using Run = benchmark::BenchmarkReporter::Run;

const char* const kGroups[] = {"yardstick",    "compose",          "filter",  "effect",  "filler",
                               "scene",        "interval",         "interval_all", "presentation",
                               "presentation_all", "startup",      "load3ds"};
constexpr int kGroupCount = static_cast<int>(sizeof kGroups / sizeof kGroups[0]);

int groupOf(const std::string& name) {
    const std::string group = name.substr(0, name.find('/'));
    for (int i = 0; i < kGroupCount; ++i)
        if (group == kGroups[i]) return i;
    return kGroupCount;  // unknown groups go last
}

// The benchmark's own name: function name and arguments, without the
// suffixes Google Benchmark adds for iterations, repetitions and timing.
std::string rowName(const Run& r) {
    std::string name = r.run_name.function_name;
    if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
    return name;
}

// The run a row shows: the median when there were repetitions.
bool isRowRun(const Run& r) {
    if (r.run_type == Run::RT_Aggregate) return r.aggregate_name == "median";
    return r.repetitions <= 1;
}

double counter(const Run& r, const char* name) {
    auto it = r.counters.find(name);
    return it == r.counters.end() ? -1.0 : static_cast<double>(it->second.value);
}

// Seconds per iteration: the CPU time of the benchmark's thread, which is
// what the program would take on a core of its own (the wall clock also
// counts the time other processes on a shared machine held the core); for
// benchmarks that time themselves (start-up: other processes, I/O) the time
// they measured, and for those whose work other threads share (all cores)
// the wall clock.
double seconds(const Run& r) {
    const std::string& type = r.run_name.time_type;
    const bool wall = type.find("manual_time") != std::string::npos || type.find("real_time") != std::string::npos;
    const double t = wall ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime();
    // GetTimeUnitMultiplier is the number of the unit's ticks in a second.
    return t / benchmark::GetTimeUnitMultiplier(r.time_unit);
}

// Every run reported, in the order the groups are listed; within a group in
// the order they ran.
std::vector<Run> ordered(const std::vector<Run>& runs) {
    std::vector<Run> out = runs;
    std::stable_sort(out.begin(), out.end(),
                     [](const Run& a, const Run& b) { return groupOf(rowName(a)) < groupOf(rowName(b)); });
    return out;
}

// ns per pixel of the yardstick's row, or -1 when it did not run.
double yardstickNsPerPixel(const std::vector<Run>& runs) {
    for (const Run& r : runs)
        if (isRowRun(r) && !r.error_occurred && rowName(r).rfind("yardstick/", 0) == 0) return counter(r, "ns_per_pixel");
    return -1.0;
}

// The presentation's goals, in frame copies of the same run: per interval
// and for the mean frame of the whole presentation, on one core and with
// the frame's work shared by all cores.
struct Goal {
    const char* group;
    double limit;  // frame copies
    bool mean;     // the whole pass (else one interval)
    int summary;   // 0 one core, 1 all cores
};
constexpr Goal kGoals[] = {{"interval/", 250, false, 0},
                           {"presentation/", 140, true, 0},
                           {"interval_all/", 150, false, 1},
                           {"presentation_all/", 80, true, 1}};

const Goal* goalOf(const std::string& name) {
    for (const Goal& g : kGoals)
        if (name.rfind(g.group, 0) == 0) return &g;
    return nullptr;
}

std::string goalNote(double copies, double limit) {
    if (copies < 0) return "";
    char text[48];
    std::snprintf(text, sizeof text, "%s %.0f copies: %s", copies <= limit ? "<=" : ">", limit,
                  copies <= limit ? "ok" : "MISSES");
    return text;
}

// What the table's closing lines say of one set of intervals.
struct Summary {
    double worst = 0, worstCopies = 0, weighted = 0, weightedCopies = 0, span = 0;
    std::string worstName;
};

// Collects every run; prints one progress line per run to stderr and the
// table to stdout at the end.
class TableReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override {
        std::fprintf(stderr, "marrow-bench: %d cpus at %.0f MHz, data set %s\n", context.cpu_info.num_cpus,
                     context.cpu_info.cycles_per_second * 1e-6, dataDir().c_str());
        return true;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            runs_.push_back(r);
            if (!isRowRun(r)) continue;
            if (r.error_occurred)
                std::fprintf(stderr, "  %-44s skipped: %s\n", rowName(r).c_str(), r.error_message.c_str());
            else
                std::fprintf(stderr, "  %-44s %12.6f ms\n", rowName(r).c_str(), seconds(r) * 1e3);
        }
    }

    void Finalize() override { printTable(ordered(runs_)); }

private:
    // Milliseconds for the whole-frame and start-up groups down to 0.010 ms,
    // so those columns line up; below that (a still interval, a maths call)
    // and in the other groups, whichever unit shows the figure's digits.
    static std::string perCall(double s, int group) {
        char text[32];
        const bool wholeFrames = group >= groupOf("scene/") && group < kGroupCount;
        if (s >= 1e-3 || (wholeFrames && s >= 1e-5)) std::snprintf(text, sizeof text, "%10.3f ms", s * 1e3);
        else if (s >= 1e-6) std::snprintf(text, sizeof text, "%10.2f us", s * 1e6);
        else std::snprintf(text, sizeof text, "%10.2f ns", s * 1e9);
        return text;
    }

    static void printTable(const std::vector<Run>& runs) {
        const double yard = yardstickNsPerPixel(runs);
        std::printf("\n%-46s %13s %10s %9s  %s\n", "benchmark (median)", "per call", "ns/pixel", "x copy", "note");
        int lastGroup = -1;
        Summary summaries[2];
        for (const Run& r : runs) {
            if (!isRowRun(r)) continue;
            const std::string name = rowName(r);
            const int group = groupOf(name);
            if (group != lastGroup && lastGroup >= 0) std::printf("\n");
            lastGroup = group;
            if (r.error_occurred) {
                std::printf("%-46s %13s %10s %9s  skipped: %s\n", name.c_str(), "-", "-", "-", r.error_message.c_str());
                continue;
            }
            const double s = seconds(r);
            const double nsPerPixel = counter(r, "ns_per_pixel");
            char px[32] = "", mult[32] = "";
            if (nsPerPixel >= 0) std::snprintf(px, sizeof px, "%10.3f", nsPerPixel);
            if (nsPerPixel >= 0 && yard > 0) std::snprintf(mult, sizeof mult, "%9.1f", nsPerPixel / yard);
            std::string note;
            const double mpix = counter(r, "Mpix_per_s");
            if (mpix >= 0) {
                char t[48];
                std::snprintf(t, sizeof t, "%.1f Mpixels/s", mpix);
                note = t;
            }
            const double ms = s * 1e3;
            const double copies = nsPerPixel >= 0 && yard > 0 ? nsPerPixel / yard : -1;
            if (const Goal* goal = goalOf(name)) {
                note = goalNote(copies, goal->limit);
                Summary& sum = summaries[goal->summary];
                if (!goal->mean) {
                    // The interval's share of the presentation, for the mean.
                    double from = 0, to = 0;
                    const std::string span = name.substr(name.find('/') + 1);
                    if (std::sscanf(span.c_str(), "%lf-%lf", &from, &to) == 2 && to > from) {
                        sum.weighted += ms * (to - from);
                        sum.weightedCopies += copies * (to - from);
                        sum.span += to - from;
                    }
                    if (ms > sum.worst) {
                        sum.worst = ms;
                        sum.worstCopies = copies;
                        sum.worstName = name;
                    }
                }
            } else if (name == "startup/init_demo" || name == "startup/soundtrack_open") {
                note = ms <= 300.0 ? "<= 300 ms: ok" : "> 300 ms: MISSES";
            }
            std::printf("%-46s %13s %10s %9s  %s\n", name.c_str(), perCall(s, group).c_str(), px, mult, note.c_str());
        }
        std::printf("\n");
        if (yard > 0) std::printf("yardstick: one frame copy (256000 bytes) = %.4f ns per pixel\n", yard);
        for (int i = 0; i < 2; ++i) {
            const Summary& sum = summaries[i];
            if (sum.span <= 0) continue;
            const double mean = sum.weighted / sum.span, meanCopies = sum.weightedCopies / sum.span;
            std::printf("intervals, %s: slowest %s at %.3f ms per frame = %.0f frame copies (%s); "
                        "time-weighted mean %.3f ms = %.0f copies (%s)\n",
                        i == 0 ? "one core" : "all cores", sum.worstName.c_str(), sum.worst, sum.worstCopies,
                        goalNote(sum.worstCopies, kGoals[i * 2].limit).c_str(), mean, meanCopies,
                        goalNote(meanCopies, kGoals[i * 2 + 1].limit).c_str());
        }
        std::printf("figures are medians of the repetitions: CPU time of the benchmark thread (start-up and all\n"
                    "cores: wall clock); the machine's cores may be shared, so expect noise between runs\n");
        std::fflush(stdout);
    }

    std::vector<Run> runs_;
};

// Google Benchmark's JSON, written at the end in the table's order, each row
// with its multiple of the yardstick as the counter x_yardstick.
class OrderedJsonReporter : public benchmark::JSONReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override { runs_.insert(runs_.end(), runs.begin(), runs.end()); }
    void Finalize() override {
        std::vector<Run> runs = ordered(runs_);
        const double yard = yardstickNsPerPixel(runs);
        for (Run& r : runs) {
            const double nsPerPixel = counter(r, "ns_per_pixel");
            if (yard > 0 && nsPerPixel >= 0 && r.aggregate_name != "cv" && r.aggregate_name != "stddev")
                r.counters["x_yardstick"] = benchmark::Counter(nsPerPixel / yard);
        }
        // One call per benchmark: the reporter writes each run it is given.
        for (const Run& r : runs) benchmark::JSONReporter::ReportRuns({r});
        benchmark::JSONReporter::Finalize();
    }

private:
    std::vector<Run> runs_;
};

}  // namespace
}  // namespace marrow::bench

int main(int argc, char** argv) {
    using namespace marrow::bench;
    std::vector<char*> args;
    std::string data;
    bool hasOut = false, hasRepetitions = false, hasMinTime = false, hasAggregates = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (i > 0 && a == "--data" && i + 1 < argc) {
            data = argv[++i];
            continue;
        }
        if (i > 0 && a.rfind("--data=", 0) == 0) {
            data = a.substr(7);
            continue;
        }
        hasOut |= a.rfind("--benchmark_out=", 0) == 0;
        hasRepetitions |= a.rfind("--benchmark_repetitions=", 0) == 0;
        hasMinTime |= a.rfind("--benchmark_min_time=", 0) == 0;
        hasAggregates |= a.rfind("--benchmark_report_aggregates_only", 0) == 0 ||
                         a.rfind("--benchmark_display_aggregates_only", 0) == 0;
        args.push_back(argv[i]);
    }
    if (data.empty()) {
        const char* env = std::getenv("MARROW_BENCH_DATA");
        data = env && *env ? env : "build/demo";
    }
    std::error_code ec;
    marrow::bench::g_dataDir = std::filesystem::absolute(data, ec).lexically_normal().string();

    static char repetitions[] = "--benchmark_repetitions=3";
    static char minTime[] = "--benchmark_min_time=0.2";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    if (!hasRepetitions) args.push_back(repetitions);
    if (!hasMinTime) args.push_back(minTime);
    if (!hasAggregates) args.push_back(aggregates);
    args.push_back(nullptr);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    // The frame worker pool, made once as the presentation makes it; every
    // benchmark but the all-cores ones runs on one core.
    marrow::startFrameWorkers(0);
    marrow::useFrameThreads(1);

    TableReporter table;
    OrderedJsonReporter json;
    benchmark::RunSpecifiedBenchmarks(&table, hasOut ? &json : nullptr);
    benchmark::Shutdown();
    return 0;
}
