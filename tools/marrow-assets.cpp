// marrow-assets: writes the default data set into a directory.
//
//   marrow-assets OUTDIR [--only images|scenes|music] [--music-seconds N] [--help]
//
// images: OUTDIR/pixmaps/*.jpg and OUTDIR/scenes/envmap2.jpg, painted by the
//         art toolkit (tools/lib/art_*).
// scenes: OUTDIR/scenes/*.3ds with their 256x256 textures (built from code
//         by tools/lib/scene_*); alone, also scenes/envmap2.jpg, the
//         reflection map they name, so the folder is complete.
// music:  OUTDIR/music/demo.mp3, 44.1 kHz stereo at 192 kbit/s.
// Everything is deterministic: the same bytes on every run. Exit status 0 on
// success, 1 when a file cannot be made, 2 for a bad command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "art_images.h"
#include "art_jpeg.h"
#include "common/numeric.h"
#include "mp3_writer.h"
#include "scene_set.h"

#include "synth.h"

namespace {

constexpr int kMusicRate = 44100;
constexpr int kMusicKbps = 192;

int usage(FILE* to) {
    std::fputs("usage: marrow-assets OUTDIR [--only images|scenes|music] [--music-seconds N] [--help]\n"
               "Writes the default data set into OUTDIR: pixmaps/*.jpg and scenes/envmap2.jpg (images),\n"
               "scenes/*.3ds (scenes) and music/demo.mp3 (music). --only makes one part;\n"
               "--music-seconds sets the soundtrack's length (default 261.5, for tests a few seconds).\n",
               to);
    return to == stdout ? 0 : 2;
}

bool writeMusic(const std::string& outDir, double seconds, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(outDir + "/music", ec);
    if (ec) {
        error = outDir + "/music: " + ec.message();
        return false;
    }
    using namespace marrow;
    return writeMp3(outDir + "/music/demo.mp3", synthesiseSoundtrack(seconds), kMusicRate, kMusicKbps, error);
}

// The reflection map the scenes name, painted as the image set paints it.
bool writeEnvmap(const std::string& outDir, std::string& error) {
    using namespace marrow::art;
    ArtStudio studio;
    if (!studio.open(error)) return false;
    JpegOptions options;
    options.quality = kArtJpegQuality;
    options.fullChroma = true;
    return writeJpeg(outDir + "/scenes/envmap2.jpg", studio.paint("envmap2"), options, error);
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir, only;
    double musicSeconds = 261.5;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return usage(stdout);
        if (a == "--only" && i + 1 < argc) {
            only = argv[++i];
            if (only != "images" && only != "scenes" && only != "music") {
                std::fprintf(stderr, "marrow-assets: --only wants images, scenes or music, not '%s'\n", only.c_str());
                return 2;
            }
        } else if (a == "--music-seconds" && i + 1 < argc) {
            char* end = nullptr;
            musicSeconds = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(musicSeconds > 0.0 && musicSeconds <= 3600.0)) {
                std::fprintf(stderr, "marrow-assets: --music-seconds wants a length above 0 and at most 3600\n");
                return 2;
            }
        } else if (!a.empty() && a[0] != '-' && outDir.empty()) {
            outDir = a;
        } else {
            return usage(stderr);
        }
    }
    if (outDir.empty()) return usage(stderr);

    std::string error;
    if (only.empty() || only == "images") {
        if (!marrow::art::writeArtImages(outDir, error)) {
            std::fprintf(stderr, "marrow-assets: %s\n", error.c_str());
            return 1;
        }
    }
    if (only.empty() || only == "scenes") {
        bool ok = marrow::scenes::writeScenes(outDir, error);
        if (ok && only == "scenes") ok = writeEnvmap(outDir, error);
        if (!ok) {
            std::fprintf(stderr, "marrow-assets: %s\n", error.c_str());
            return 1;
        }
    }
    if (only.empty() || only == "music") {
        if (!writeMusic(outDir, musicSeconds, error)) {
            std::fprintf(stderr, "marrow-assets: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
