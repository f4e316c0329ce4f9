// The generated image set: the file table, determinism of the written bytes,
// decoding at the table sizes, exact black in overlay images after JPEG, and
// seamless edges where the effects wrap a texture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "art_images.h"
#include "art_jpeg.h"
#include "decoded_jpeg.h"

using namespace marrow::art;
namespace fs = std::filesystem;

namespace {


std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Mean absolute channel difference, per line, across the wrap (last column
// against the first, or last row against the first), and the largest such
// mean between two neighbouring columns (rows) inside the image.
struct EdgeStats {
    double seam = 0.0, largestInside = 0.0;
};

EdgeStats edgeStats(const Decoded& d, bool horizontal) {
    const int along = horizontal ? d.height : d.width;   // pixels in one column (row)
    const int across = horizontal ? d.width : d.height;  // columns (rows)
    auto px = [&](int line, int step, int c) { return horizontal ? d.at(step, line, c) : d.at(line, step, c); };
    auto step = [&](int a, int b) {
        double sum = 0.0;
        for (int l = 0; l < along; ++l)
            for (int c = 0; c < 3; ++c) sum += std::abs(px(l, a, c) - px(l, b, c));
        return sum / (along * 3.0);
    };
    EdgeStats s;
    s.seam = step(across - 1, 0);
    for (int k = 0; k + 1 < across; ++k) s.largestInside = std::max(s.largestInside, step(k, k + 1));
    return s;
}

// Seamless: the step across the wrap is no larger than the largest step
// between neighbouring columns (rows) inside, so the edge of the tile is not
// where anything changes. Designed edges (checker squares, panel borders)
// occur inside the tile too, so they do not count against it.
bool seamless(const Decoded& d) {
    for (bool horizontal : {true, false}) {
        EdgeStats s = edgeStats(d, horizontal);
        if (s.seam > 1.25 * s.largestInside + 2.0) return false;
    }
    return true;
}

Decoded fromImage(const Image& im) {
    Decoded d{im.width, im.height, 3, std::vector<uint8_t>(static_cast<size_t>(im.width) * im.height * 3)};
    for (size_t i = 0; i < im.pixels.size(); ++i) {
        d.rgb[i * 3] = static_cast<uint8_t>(im.pixels[i] >> 16);
        d.rgb[i * 3 + 1] = static_cast<uint8_t>(im.pixels[i] >> 8);
        d.rgb[i * 3 + 2] = static_cast<uint8_t>(im.pixels[i]);
    }
    return d;
}

// Every image painted and encoded once for the whole suite.
struct Painted {
    Image image;
    std::vector<uint8_t> jpeg;
    Decoded decoded;
};

class ArtImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ArtStudio studio;
        std::string error;
        ASSERT_TRUE(studio.open(error)) << error;
        for (const ArtSpec& entry : artTable()) {
            Painted p;
            p.image = studio.paint(entry.name);
            ASSERT_TRUE(encodeJpeg(p.image, {kArtJpegQuality, true}, p.jpeg, error)) << error;
            ASSERT_TRUE(decode(p.jpeg, p.decoded)) << entry.name;
            painted()[entry.name] = std::move(p);
        }
    }
    static std::map<std::string, Painted>& painted() {
        static std::map<std::string, Painted> m;
        return m;
    }
};

}  // namespace

TEST(ArtTable, EveryFileTheProgramReadsAtItsSize) {
    struct Want {
        const char* name;
        const char* path;
        int w, h;
    };
    const Want want[] = {
        {"start", "pixmaps/start.jpg", 256, 256},     {"start1_1", "pixmaps/start1_1.jpg", 320, 40},
        {"part1_1", "pixmaps/part1_1.jpg", 256, 256}, {"part1_2", "pixmaps/part1_2.jpg", 256, 256},
        {"still0", "pixmaps/still0.jpg", 320, 200},   {"text1", "pixmaps/text1.jpg", 256, 64},
        {"text2", "pixmaps/text2.jpg", 256, 64},      {"rstar1", "pixmaps/rstar1.jpg", 256, 256},
        {"tex1", "pixmaps/tex1.jpg", 256, 256},       {"tfont1", "pixmaps/tfont1.jpg", 256, 256},
        {"tfont2", "pixmaps/tfont2.jpg", 256, 256},   {"g0", "pixmaps/g0.jpg", 128, 32},
        {"g1", "pixmaps/g1.jpg", 128, 32},            {"g2", "pixmaps/g2.jpg", 128, 32},
        {"g3", "pixmaps/g3.jpg", 128, 32},            {"g4", "pixmaps/g4.jpg", 128, 32},
        {"g5", "pixmaps/g5.jpg", 128, 32},            {"g6", "pixmaps/g6.jpg", 128, 32},
        {"g7", "pixmaps/g7.jpg", 128, 32},            {"theend", "pixmaps/theend.jpg", 256, 256},
        {"ug", "pixmaps/ug.jpg", 256, 256},           {"envmap2", "scenes/envmap2.jpg", 256, 256},
    };
    EXPECT_EQ(artTable().size(), std::size(want));
    for (const Want& w : want) {
        const ArtSpec* s = findArt(w.name);
        ASSERT_NE(s, nullptr) << w.name;
        EXPECT_STREQ(s->path, w.path);
        EXPECT_EQ(s->width, w.w) << w.name;
        EXPECT_EQ(s->height, w.h) << w.name;
    }
    EXPECT_EQ(findArt("g8"), nullptr);
    // Overlays are what other layers get added to; the textures that wrap.
    for (const char* n : {"start1_1", "text1", "text2", "g0", "g7", "envmap2"}) EXPECT_TRUE(findArt(n)->overlay) << n;
    for (const char* n : {"start", "part1_1", "part1_2", "rstar1", "tex1", "tfont1", "tfont2", "theend", "ug"})
        EXPECT_TRUE(findArt(n)->seamless) << n;
    EXPECT_FALSE(findArt("still0")->seamless);
}

TEST_F(ArtImages, EveryImageDecodesAtItsTableSizeAndIsNotBlank) {
    for (const ArtSpec& entry : artTable()) {
        const Painted& p = painted()[entry.name];
        EXPECT_EQ(p.image.width, entry.width) << entry.name;
        EXPECT_EQ(p.image.height, entry.height) << entry.name;
        EXPECT_EQ(p.decoded.width, entry.width) << entry.name;
        EXPECT_EQ(p.decoded.height, entry.height) << entry.name;
        EXPECT_EQ(p.decoded.components, 3) << entry.name;
        // Something bright in every image, and more than one colour.
        uint8_t peak = *std::max_element(p.decoded.rgb.begin(), p.decoded.rgb.end());
        EXPECT_GE(peak, 200) << entry.name;
        std::set<uint32_t> colours(p.image.pixels.begin(), p.image.pixels.end());
        EXPECT_GT(colours.size(), 50u) << entry.name;
    }
}

TEST_F(ArtImages, OverlayBlackBlocksDecodeToExactZero) {
    for (const ArtSpec& entry : artTable()) {
        if (!entry.overlay) continue;
        const Painted& p = painted()[entry.name];
        int blackBlocks = 0, blocks = 0;
        for (int by = 0; by < entry.height; by += 8)
            for (int bx = 0; bx < entry.width; bx += 8) {
                ++blocks;
                bool black = true;
                for (int y = by; y < by + 8 && black; ++y)
                    for (int x = bx; x < bx + 8; ++x) black &= p.image.pixels[static_cast<size_t>(y) * entry.width + x] == 0;
                if (!black) continue;
                ++blackBlocks;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x)
                        for (int c = 0; c < 3; ++c)
                            ASSERT_EQ(p.decoded.at(x, y, c), 0) << entry.name << " at " << x << "," << y;
            }
        // The background is mostly black.
        EXPECT_GT(blackBlocks * 4, blocks) << entry.name;
    }
    // Named regions: the glow sprite's corners, the strip's ends.
    const Decoded& glow = painted()["envmap2"].decoded;
    for (int y : {0, 224})
        for (int x : {0, 224})
            for (int dy = 0; dy < 32; ++dy)
                for (int dx = 0; dx < 32; ++dx)
                    ASSERT_EQ(glow.at(x + dx, y + dy, 0) | glow.at(x + dx, y + dy, 1) | glow.at(x + dx, y + dy, 2), 0);
    for (int c = 0; c < 3; ++c) EXPECT_GE(glow.at(128, 128, c), 240);  // white-hot centre
    const Decoded& strip = painted()["start1_1"].decoded;
    for (int y = 0; y < 40; ++y)
        for (int x : {0, 7, 8, 15, 304, 319}) ASSERT_EQ(strip.at(x, y, 0) | strip.at(x, y, 1) | strip.at(x, y, 2), 0);
}

TEST_F(ArtImages, ClampedLetterTilesKeepAnExactBlackMargin) {
    // The plasma stretches these tiles' edge rows and columns over the
    // screen; a margin of whole 8x8 blocks keeps that stretch black.
    for (const char* name : {"tfont1", "tfont2"}) {
        const Decoded& d = painted()[name].decoded;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                if (x >= 8 && x < 248 && y >= 8 && y < 248) continue;
                ASSERT_EQ(d.at(x, y, 0) | d.at(x, y, 1) | d.at(x, y, 2), 0) << name << " at " << x << "," << y;
            }
    }
}

TEST_F(ArtImages, GlowSpriteFadesOutwardsFromItsCentre) {
    const Image& glow = painted()["envmap2"].image;
    auto lum = [&](int x, int y) {
        uint32_t p = glow.pixels[static_cast<size_t>(y) * 256 + x];
        return static_cast<int>((p >> 16) & 0xFF) + static_cast<int>((p >> 8) & 0xFF) + static_cast<int>(p & 0xFF);
    };
    // Along the centre row: nothing brighter than the centre, and no step up
    // larger than the faint ring inside the glow.
    for (int x = 129; x < 256; ++x) {
        EXPECT_LE(lum(x, 128), lum(x - 1, 128) + 40) << x;
        EXPECT_LE(lum(x, 128), lum(128, 128)) << x;
    }
    EXPECT_EQ(lum(255, 128), 0);
    // Blue-white: blue never below red in the glow.
    for (int x = 128; x < 256; ++x) {
        uint32_t p = glow.pixels[128 * 256 + x];
        EXPECT_GE(p & 0xFF, (p >> 16) & 0xFF) << x;
    }
}

TEST_F(ArtImages, SweepFramesMoveTheLightLeftToRight) {
    double previous = -1.0;
    for (int k = 0; k < 8; ++k) {
        std::string name = "g" + std::to_string(k);
        const Image& im = painted()[name].image;
        // Centroid of the warm-white light (red high where the letters are lit).
        double sum = 0.0, weight = 0.0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 128; ++x) {
                uint32_t p = im.pixels[static_cast<size_t>(y) * 128 + x];
                double r = static_cast<double>((p >> 16) & 0xFF);
                if (r < 160) continue;
                sum += x * r;
                weight += r;
            }
        ASSERT_GT(weight, 0.0) << name;
        double centroid = sum / weight;
        EXPECT_GT(centroid, previous) << name;
        previous = centroid;
    }
}

TEST_F(ArtImages, WrappingTexturesHaveNoSeam) {
    for (const ArtSpec& entry : artTable()) {
        if (!entry.seamless) continue;
        EXPECT_TRUE(seamless(painted()[entry.name].decoded)) << entry.name;
        EXPECT_TRUE(seamless(fromImage(painted()[entry.name].image))) << entry.name << " before encoding";
    }
    // The measure does see a seam: a ramp across the tile, and a smooth wave
    // whose period (200 pixels) does not divide the tile.
    Image ramp(256, 256), wave(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            ramp.pixels[static_cast<size_t>(y) * 256 + x] = static_cast<uint32_t>(x * 0x010101);
            uint32_t level = static_cast<uint32_t>(128.0 + 100.0 * std::sin(2.0 * M_PI * y / 200.0));
            wave.pixels[static_cast<size_t>(y) * 256 + x] = level * 0x010101u;
        }
    EXPECT_FALSE(seamless(fromImage(ramp)));
    EXPECT_FALSE(seamless(fromImage(wave)));
}

TEST(ArtWrite, TwoRunsWriteIdenticalBytes) {
    fs::path base = fs::temp_directory_path() / ("marrow-art-" + std::to_string(getpid()));
    fs::remove_all(base);
    std::string error;
    ASSERT_TRUE(writeArtImages((base / "a").string(), error)) << error;
    ASSERT_TRUE(writeArtImages((base / "b").string(), error)) << error;
    for (const ArtSpec& entry : artTable()) {
        std::vector<uint8_t> a = readFile(base / "a" / entry.path), b = readFile(base / "b" / entry.path);
        ASSERT_FALSE(a.empty()) << entry.path;
        EXPECT_EQ(a, b) << entry.path;
        Decoded d;
        ASSERT_TRUE(decode(a, d)) << entry.path;
        EXPECT_EQ(d.width, entry.width);
        EXPECT_EQ(d.height, entry.height);
    }
    fs::remove_all(base);
}

TEST(ArtWrite, AnUnwritableDirectoryIsAnErrorNamingIt) {
    std::string error;
    EXPECT_FALSE(writeArtImages("/proc/marrow-no-such-place", error));
    EXPECT_NE(error.find("/proc/marrow-no-such-place"), std::string::npos) << error;
}

namespace {

// The tool lives in the build directory the tests were built for.
fs::path toolPath() { return fs::path(MARROW_BUILD_DIR) / "marrow-assets"; }

int runTool(const std::string& args) {
    std::string cmd = toolPath().string() + " " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(ArtTool, CommandLine) {
    if (!fs::exists(toolPath())) GTEST_SKIP() << "marrow-assets not built";
    EXPECT_EQ(runTool("--help"), 0);
    EXPECT_EQ(runTool(""), 2);
    EXPECT_EQ(runTool("/tmp/x --only pictures"), 2);
    EXPECT_EQ(runTool("/tmp/x --music-seconds 0"), 2);
    EXPECT_EQ(runTool("/tmp/x --music-seconds 3x"), 2);
    EXPECT_EQ(runTool("/tmp/x --bogus"), 2);
    fs::path out = fs::temp_directory_path() / ("marrow-art-tool-" + std::to_string(getpid()));
    fs::remove_all(out);
    EXPECT_EQ(runTool(out.string() + " --only images"), 0);
    for (const ArtSpec& entry : artTable()) EXPECT_TRUE(fs::exists(out / entry.path)) << entry.path;
    EXPECT_FALSE(fs::exists(out / "music"));
    fs::remove_all(out);
}
