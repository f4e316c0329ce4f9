// marrow-assets: writes the default data set into a directory.
//
//   marrow-assets OUTDIR [--only music] [--music-seconds N]
//
// So far it writes the soundtrack, music/demo.mp3: 44.1 kHz stereo at
// 192 kbit/s, a pulse on every second over a soft chord, fading out at the
// end. The same bytes on every run.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mp3_writer.h"

namespace {

constexpr int kRate = 44100;

std::vector<int16_t> synthesise(double seconds) {
    const int frames = static_cast<int>(seconds * kRate);
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
    const double chord[3] = {110.0, 164.81, 220.0};
    for (int i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double beat = t - std::floor(t);
        double kick = std::sin(2 * M_PI * (55.0 + 100.0 * std::exp(-beat * 30)) * beat) * std::exp(-beat * 8);
        double pad = 0;
        for (double f : chord) pad += std::sin(2 * M_PI * f * t) * 0.12;
        double fade = std::min(1.0, std::max(0.0, (seconds - t) / 2.0));
        double v = (0.5 * kick + pad) * fade * 0.8;
        int16_t s = static_cast<int16_t>(std::lrint(v * 32767.0 * 0.85));
        pcm[static_cast<size_t>(i) * 2] = s;
        pcm[static_cast<size_t>(i) * 2 + 1] = s;
    }
    return pcm;
}

int usage(FILE* to) {
    std::fputs("usage: marrow-assets OUTDIR [--only music] [--music-seconds N]\n"
               "Writes the default data set (music/demo.mp3) into OUTDIR.\n",
               to);
    return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir;
    double musicSeconds = 261.5;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return usage(stdout);
        if (a == "--only" && i + 1 < argc) {
            std::string what = argv[++i];
            if (what != "music") {
                std::fprintf(stderr, "marrow-assets: --only %s: not made by this version\n", what.c_str());
                return 2;
            }
        } else if (a == "--music-seconds" && i + 1 < argc) {
            musicSeconds = std::atof(argv[++i]);
            if (!(musicSeconds > 0.0 && musicSeconds < 3600.0)) {
                std::fprintf(stderr, "marrow-assets: --music-seconds wants a length from 0 to 3600\n");
                return 2;
            }
        } else if (!a.empty() && a[0] != '-' && outDir.empty()) {
            outDir = a;
        } else {
            return usage(stderr);
        }
    }
    if (outDir.empty()) return usage(stderr);

    std::error_code ec;
    std::filesystem::create_directories(outDir + "/music", ec);
    if (ec) {
        std::fprintf(stderr, "marrow-assets: %s/music: %s\n", outDir.c_str(), ec.message().c_str());
        return 1;
    }
    std::string error;
    if (!marrow::writeMp3(outDir + "/music/demo.mp3", synthesise(musicSeconds), kRate, 192, error)) {
        std::fprintf(stderr, "marrow-assets: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
