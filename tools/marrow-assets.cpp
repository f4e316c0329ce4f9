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
//
// Users put their own files into the data directory, so nothing of theirs
// is overwritten: the set is made in a staging folder inside OUTDIR, then
// each file is moved into place only where no file is, or where the file
// there is still exactly what this tool wrote last time. OUTDIR/.marrow-assets
// (the manifest) records the size and hash of every file the tool wrote;
// any other file is the user's: it is kept, with one line saying so.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
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

// ---- keeping the user's files ----------------------------------------------

namespace fs = std::filesystem;

constexpr const char* kManifestName = ".marrow-assets";
constexpr const char* kStagingName = ".marrow-assets-new";

// What the manifest records of a file: "SIZE HASH", the hash 64-bit FNV-1a
// of the bytes in hexadecimal. Empty when the file cannot be read.
std::string fingerprint(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    uint64_t hash = 14695981039346656037ull;  // FNV-1a offset basis
    uint64_t size = 0;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize n = in.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;  // FNV prime
        }
        size += static_cast<uint64_t>(n);
    }
    if (in.bad()) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%llu %016llx", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(hash));
    return text;
}

// Relative path (with '/') to fingerprint, one "FINGERPRINT PATH" per line.
using Manifest = std::map<std::string, std::string>;

Manifest readManifest(const fs::path& file) {
    Manifest m;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        // SIZE, space, HASH, space, PATH (a path may hold spaces).
        const size_t a = line.find(' ');
        const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
        if (b == std::string::npos || b + 1 >= line.size()) continue;
        m[line.substr(b + 1)] = line.substr(0, b);
    }
    return m;
}

// Written whole to a temporary file, then renamed over the old one, so an
// interrupted run never leaves half a manifest.
bool writeManifest(const fs::path& file, const Manifest& m, std::string& error) {
    const fs::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& [path, print] : m) out << print << ' ' << path << '\n';
        out.flush();
        if (!out) {
            error = temp.string() + ": cannot write";
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, file, ec);
    if (ec) {
        error = file.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// Moves every file made in `staging` to the same place under `outDir`
// unless the file there is the user's, and records what it placed.
bool placeFiles(const fs::path& staging, const fs::path& outDir, std::string& error) {
    const fs::path manifestFile = outDir / kManifestName;
    Manifest manifest = readManifest(manifestFile);
    std::vector<fs::path> made;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(staging, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) made.push_back(it->path());
    if (ec) {
        error = staging.string() + ": " + ec.message();
        return false;
    }
    std::sort(made.begin(), made.end());
    for (const fs::path& file : made) {
        const std::string rel = fs::relative(file, staging).generic_string();
        const fs::path target = outDir / rel;
        const std::string ours = fingerprint(file);
        if (fs::exists(target, ec)) {
            const std::string there = fingerprint(target);
            auto recorded = manifest.find(rel);
            const bool stillOurs = recorded != manifest.end() && recorded->second == there;
            if (there != ours && !stillOurs) {
                std::printf("marrow-assets: keeping your %s (remove it to get the default back)\n", rel.c_str());
                manifest.erase(rel);
                continue;
            }
        }
        fs::create_directories(target.parent_path(), ec);
        if (!ec) fs::rename(file, target, ec);
        if (ec) {
            error = target.string() + ": " + ec.message();
            return false;
        }
        manifest[rel] = ours;
    }
    return writeManifest(manifestFile, manifest, error);
}

int makeSet(const std::string& outDir, const std::string& only, double musicSeconds);

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

    // Everything is made in the staging folder first (inside OUTDIR, so each
    // file is then renamed into place), then placed around the user's files.
    const fs::path staging = fs::path(outDir) / kStagingName;
    {
        std::error_code ec;
        fs::remove_all(staging, ec);
        fs::create_directories(staging, ec);
        if (ec) {
            std::fprintf(stderr, "marrow-assets: %s: %s\n", staging.string().c_str(), ec.message().c_str());
            return 1;
        }
    }
    const int status = makeSet(staging.string(), only, musicSeconds);
    std::string error;
    if (status == 0 && !placeFiles(staging, outDir, error)) {
        std::fprintf(stderr, "marrow-assets: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    fs::remove_all(staging, ec);
    return status;
}

namespace {

int makeSet(const std::string& outDir, const std::string& only, double musicSeconds) {
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

}  // namespace
