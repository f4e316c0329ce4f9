// marrow-capture: renders the presentation without a display or sound card.
//
// It runs exactly the presentation's code (initDemo, then composeFrame for
// music times at a fixed rate from --from, each frame's border blanked as the
// frame loop does) and writes what was asked:
//   --at T [T ...]   DIR/frame-T.png for each instant (T as given)
//   --sheet FILE     a contact sheet: one labelled thumbnail per interval
//   --video FILE     every frame, piped into ffmpeg with the soundtrack
//   --hashes         one line per frame: time and a hash of its pixels
// Effects keep state between frames (motion blur, particles, counters), so a
// frame depends on the frames before it: the rate (--fps) is part of what is
// rendered.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo_init.h"
#include "app/frame_loop.h"
#include "app/timeline.h"
#include "common/frame_hash.h"
#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "label_font.h"
#include "platform/sound_system.h"
#include "png_writer.h"

using namespace marrow;

namespace {

struct Options {
    std::string data;
    double fps = 60.0;
    double from = 0.0;
    double to = -1.0;  // the soundtrack's length when not given
    std::vector<std::string> at;
    std::string out = ".";
    std::string sheet;
    std::string video;
    bool hashes = false;
    int threads = 0;  // 0: one per core
};

const char* kUsage =
    "usage: marrow-capture [--data DIR] [--fps N] [--from T] [--to T]\n"
    "                      [--at T [T ...] [--out DIR]] [--sheet FILE.png] [--video FILE.mp4] [--hashes]\n"
    "                      [--threads N]\n"
    "\n"
    "Renders the presentation headless, composing every frame from --from (default 0) at\n"
    "--fps frames a second (default 60), as the program would at that frame rate.\n"
    "  --data DIR     where pixmaps/, scenes/ and music/ are (default: the current directory)\n"
    "  --at T ...     write OUT/frame-T.png for each instant T in seconds\n"
    "  --out DIR      where --at writes (default: the current directory)\n"
    "  --sheet FILE   write a contact sheet, one labelled thumbnail per timeline interval\n"
    "  --video FILE   pipe every frame into ffmpeg, with music/demo.mp3 muxed in\n"
    "  --hashes       print one line per frame: the time and a 64-bit hash of its pixels\n"
    "  --from, --to   the range of music time to render (default: 0 to the soundtrack's end)\n"
    "  --threads N    draw each frame with N threads (default: one per core; the frames are the same)\n";

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == 0 && errno == 0 && std::isfinite(value);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "marrow-capture: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// One thumbnail per interval of the script, each taken in the middle of its
// interval (the last one, where nothing more is composed, at 261 s).
struct Sheet {
    static constexpr int kCols = 6, kThumbW = 160, kThumbH = 100, kLabelH = 18, kPad = 4;
    static constexpr int kCount = kThresholdCount + 1;
    std::vector<double> times;
    std::vector<std::string> labels;
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;

    Sheet() {
        double previous = 0.0;
        for (int i = 0; i <= kThresholdCount; ++i) {
            double end = i < kThresholdCount ? kThresholds[i] : 262.0;
            times.push_back(i < kThresholdCount ? (previous + end) / 2 : 261.0);
            char label[64];
            if (i < kThresholdCount) std::snprintf(label, sizeof label, "%.2f-%.2f", previous, end);
            else std::snprintf(label, sizeof label, "%.2f-", previous);
            labels.push_back(label);
            previous = end;
        }
        const int rows = (kCount + kCols - 1) / kCols;
        width = kCols * (kThumbW + kPad) + kPad;
        height = rows * (kThumbH + kLabelH + kPad) + kPad;
        pixels.assign(static_cast<size_t>(width) * height, 0x202028);
    }

    void place(int index, const uint32_t* frame, const LabelFont& font) {
        const int x0 = kPad + (index % kCols) * (kThumbW + kPad);
        const int y0 = kPad + (index / kCols) * (kThumbH + kLabelH + kPad);
        for (int y = 0; y < kThumbH; ++y)
            for (int x = 0; x < kThumbW; ++x) {
                // A 2x2 box filter: each thumbnail pixel averages four.
                uint32_t sum[3] = {0, 0, 0};
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        uint32_t p = frame[(y * 2 + dy) * kFrameWidth + x * 2 + dx];
                        sum[0] += (p >> 16) & 0xFF;
                        sum[1] += (p >> 8) & 0xFF;
                        sum[2] += p & 0xFF;
                    }
                pixels[static_cast<size_t>(y0 + y) * width + x0 + x] =
                    ((sum[0] / 4) << 16) | ((sum[1] / 4) << 8) | (sum[2] / 4);
            }
        font.draw(pixels.data(), width, height, x0 + 2, y0 + kThumbH + kLabelH - 5, labels[index], 0xE0E0E0);
    }
};

// Progress on a terminal: one line rewritten in place at most five times a
// second (frames done of all, music time, frames a second, time left), then
// a last line naming what was written. Silent when standard error is not a
// terminal (make, scripts, tests) and for work of two seconds' music or less.
class Progress {
public:
    using Clock = std::chrono::steady_clock;
    Progress(double from, double to, double fps)
        : from_(from), fps_(fps), total_(static_cast<int64_t>(std::floor((to - from) * fps)) + 1),
          enabled_(isatty(2) && to - from > 2.0), start_(Clock::now()), shown_(start_) {}
    // Called after frame `k` (from 0), at music time `t`.
    void update(int64_t k, double t) {
        if (!enabled_) return;
        const Clock::time_point now = Clock::now();
        if (now - shown_ < std::chrono::milliseconds(200) && k + 1 < total_) return;
        shown_ = now;
        const int64_t done = std::min(k + 1, total_);
        const double elapsed = seconds(now);
        const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
        const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0.0;
        std::fprintf(stderr, "\r%lld/%lld frames  t = %7.2f s  %6.1f frames/s  %s left  ",
                     static_cast<long long>(done), static_cast<long long>(total_), t, rate, clock(left).c_str());
        drawn_ = true;
    }
    // The last line: what was written, the frames and the time it took.
    void finish(const std::string& wrote) {
        if (!enabled_) return;
        if (drawn_) std::fputs("\n", stderr);
        drawn_ = false;
        std::fprintf(stderr, "marrow-capture: %s (%lld frames from %.2f s at %g a second, in %s)\n",
                     wrote.c_str(), static_cast<long long>(total_), from_, fps_, clock(seconds(Clock::now())).c_str());
    }
    // A run that failed ends the progress line, so its messages start on a
    // line of their own.
    ~Progress() {
        if (drawn_) std::fputs("\n", stderr);
    }

private:
    double seconds(Clock::time_point now) const { return std::chrono::duration<double>(now - start_).count(); }
    static std::string clock(double s) {
        const long long whole = static_cast<long long>(s + 0.5);
        char text[32];
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
        return text;
    }
    double from_, fps_;
    int64_t total_;
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_, shown_;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto needValue = [&](const char* what) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)what;
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--hashes") {
            o.hashes = true;
        } else if (a == "--at") {
            while (i + 1 < argc && argv[i + 1][0] != '-') o.at.push_back(argv[++i]);
            if (o.at.empty()) return usageError("--at wants at least one time in seconds");
        } else if (a == "--fps" || a == "--from" || a == "--to") {
            const char* v = needValue(a.c_str());
            double value = 0;
            if (!v || !parseNumber(v, value)) return usageError(a + " wants a number");
            if (a == "--fps") {
                if (!(value >= 1.0 && value <= 1000.0)) return usageError("--fps wants 1 to 1000");
                o.fps = value;
            } else if (a == "--from") {
                o.from = value;
            } else {
                o.to = value;
            }
        } else if (a == "--threads") {
            const char* v = needValue(a.c_str());
            double value = 0;
            if (!v || !parseNumber(v, value) || value != std::floor(value) || value < 1 || value > 64)
                return usageError("--threads wants a whole number from 1 to 64");
            o.threads = static_cast<int>(value);
        } else if (a == "--data" || a == "--out" || a == "--sheet" || a == "--video") {
            const char* v = needValue(a.c_str());
            if (!v) return usageError(a + " wants a path");
            (a == "--data" ? o.data : a == "--out" ? o.out : a == "--sheet" ? o.sheet : o.video) = v;
        } else {
            return usageError("unknown argument " + a);
        }
    }
    if (o.at.empty() && o.sheet.empty() && o.video.empty() && !o.hashes)
        return usageError("nothing to do: give --at, --sheet, --video or --hashes");

    // Output paths are taken relative to where the tool was started.
    const std::filesystem::path startDir = std::filesystem::current_path();
    auto fromStart = [&](const std::string& p) { return p.empty() ? p : (startDir / p).string(); };
    o.out = fromStart(o.out);
    o.sheet = fromStart(o.sheet);
    o.video = fromStart(o.video);
    if (!o.data.empty() && chdir(o.data.c_str()) != 0) {
        std::fprintf(stderr, "marrow-capture: %s: %s\n", o.data.c_str(), std::strerror(errno));
        return 1;
    }
    // Everything is read from the data directory: say where to point it
    // before the start-up fails on its first image.
    if (!std::filesystem::is_directory("pixmaps") || !std::filesystem::is_directory("scenes")) {
        const std::string where = o.data.empty() ? "the current directory" : o.data;
        std::fprintf(stderr,
                     "marrow-capture: no data set in %s (no pixmaps/ and scenes/ there): run it in a data "
                     "directory or give --data DIR (make build writes the default one to build/demo)\n",
                     where.c_str());
        return 1;
    }

    std::vector<double> atTimes;
    for (const std::string& t : o.at) {
        double value = 0;
        if (!parseNumber(t.c_str(), value)) return usageError("--at: not a time: " + t);
        if (value < o.from) return usageError("--at " + t + " lies before --from");
        atTimes.push_back(value);
    }

    if (o.to < 0) {
        double length = 0;
        std::string error;
        o.to = probeMp3("music/demo.mp3", length, error) ? length : 262.0;
    }
    if (o.to < o.from) return usageError("--to lies before --from");

    FILE* ffmpeg = nullptr;
    if (!o.video.empty()) {
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
            std::fprintf(stderr, "marrow-capture: --video needs the ffmpeg program, which is not installed "
                                 "(apt-get install ffmpeg)\n");
            return 1;
        }
        char cmd[4096];
        std::snprintf(cmd, sizeof cmd,
                      "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pixel_format bgr0 -video_size 320x200 "
                      "-framerate %g -i - -ss %f -i music/demo.mp3 -map 0:v -map 1:a? -vf "
                      "scale=1280:960:flags=neighbor -c:v libx264 -pix_fmt yuv420p -crf 16 -c:a aac -b:a 192k "
                      "-shortest '%s'",
                      o.fps, o.from, o.video.c_str());
        ffmpeg = popen(cmd, "w");
        if (!ffmpeg) {
            std::fprintf(stderr, "marrow-capture: could not start ffmpeg\n");
            return 1;
        }
    }

    startFrameWorkers(o.threads);
    initDemo();

    // Every regular frame up to the last instant anything needs.
    const bool wholeRange = o.hashes || ffmpeg;
    Sheet sheet;
    double last = wholeRange ? o.to : o.from;
    for (double t : atTimes) last = std::max(last, t);
    if (!o.sheet.empty()) last = std::max(last, sheet.times.back());

    // Instants outside the regular rate are composed in order with it.
    struct Extra {
        double time;
        int at;     // index into o.at, or -1
        int thumb;  // index into the sheet, or -1
    };
    std::vector<Extra> extras;
    for (size_t i = 0; i < atTimes.size(); ++i) extras.push_back({atTimes[i], static_cast<int>(i), -1});
    if (!o.sheet.empty())
        for (int i = 0; i < Sheet::kCount; ++i)
            if (sheet.times[i] >= o.from) extras.push_back({sheet.times[i], -1, i});
    std::stable_sort(extras.begin(), extras.end(), [](const Extra& a, const Extra& b) { return a.time < b.time; });

    LabelFont font(11);
    std::error_code ec;
    if (!atTimes.empty()) std::filesystem::create_directories(o.out, ec);
    Progress progress(o.from, last, o.fps);
    int status = 0;
    size_t next = 0;
    for (int64_t k = 0;; ++k) {
        const double t = o.from + static_cast<double>(k) / o.fps;
        while (next < extras.size() && extras[next].time <= t && extras[next].time <= last) {
            const Extra& e = extras[next++];
            uint32_t* frame = composeFrame(e.time);
            blankBorder(frame);
            if (e.at >= 0) {
                std::string path = o.out + "/frame-" + o.at[static_cast<size_t>(e.at)] + ".png", error;
                if (!writePng(path, frame, kFrameWidth, kFrameHeight, error)) {
                    std::fprintf(stderr, "marrow-capture: %s\n", error.c_str());
                    status = 1;
                }
            }
            if (e.thumb >= 0) sheet.place(e.thumb, frame, font);
        }
        if (t > last) break;
        uint32_t* frame = composeFrame(t);
        blankBorder(frame);
        if (t <= o.to) {
            if (o.hashes) std::printf("%.6f %016llx\n", t, static_cast<unsigned long long>(hashFrame(frame)));
            if (ffmpeg && std::fwrite(frame, 1, kFrameBytes, ffmpeg) != kFrameBytes) {
                std::fprintf(stderr, "marrow-capture: ffmpeg stopped taking frames\n");
                pclose(ffmpeg);
                ffmpeg = nullptr;
                status = 1;
            }
        }
        progress.update(k, t);
    }
    if (ffmpeg && pclose(ffmpeg) != 0) {
        std::fprintf(stderr, "marrow-capture: ffmpeg failed writing %s\n", o.video.c_str());
        status = 1;
    }
    if (!o.sheet.empty()) {
        std::string error;
        if (!writePng(o.sheet, sheet.pixels.data(), sheet.width, sheet.height, error)) {
            std::fprintf(stderr, "marrow-capture: %s\n", error.c_str());
            status = 1;
        }
    }
    if (status == 0) {
        std::vector<std::string> wrote;
        if (!o.video.empty()) wrote.push_back(o.video);
        if (!o.sheet.empty()) wrote.push_back(o.sheet);
        if (!atTimes.empty())
            wrote.push_back(std::to_string(atTimes.size()) + (atTimes.size() == 1 ? " picture" : " pictures") +
                            " in " + o.out);
        if (o.hashes) wrote.push_back("the frames' hashes to standard output");
        std::string line = "wrote";
        for (size_t i = 0; i < wrote.size(); ++i) line += (i == 0 ? " " : ", ") + wrote[i];
        progress.finish(line);
    }
    return status;
}
