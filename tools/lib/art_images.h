// art_images.h: the images of the default data set, painted from code.
//
// One visual language: deep blue-violet night colours, warm orange light,
// white type in DejaVu Sans Bold, the nightjar emblem. Every image is a pure
// function of fixed seeds and constants: the same pixels on every run.
//
// The table gives each file its exact size, whether it must tile (textures
// the plasma, tunnel, sphere, plane, warp star and attraction wrap across
// their edges) and whether it is an overlay (added over other layers, so its
// background is exact 0 and stays so after JPEG encoding). The lettering
// tiles are drawn by the plasma with clamped coordinates, which stretches
// their edges over the screen, so they keep an exact-black 8-pixel margin.
//
// Cost: the whole set paints and encodes in about a third of a second on
// one core (fractal noise at every texel dominates).
#pragma once

#include <string>
#include <vector>

#include "art_raster.h"
#include "art_text.h"

namespace marrow::art {

struct ArtSpec {
    const char* name;     // image name, e.g. "start"
    const char* path;     // relative to the data set directory, e.g. "pixmaps/start.jpg"
    int width, height;
    bool seamless;        // wraps in both directions
    bool overlay;         // black background must decode to exact 0
};

// Every image the presentation reads, in the order it loads them.
const std::vector<ArtSpec>& artTable();

// The entry of one image, or null when the name is unknown.
const ArtSpec* findArt(const std::string& name);

// Paints images; holds the font once for all of them.
class ArtStudio {
public:
    // Opens the title font; false with a message on failure.
    bool open(std::string& error);

    // Paints the image `name` (one of artTable()) at its table size. For
    // overlays, dark blocks are already cleared to exact 0.
    Image paint(const std::string& name) const;

private:
    Font font_;
};

// JPEG quality of the data set, and whether chroma is kept at full
// resolution (it is, for every image: fine coloured lines stay crisp and
// overlay blocks decode independently).
constexpr int kArtJpegQuality = 90;

// Writes every image of the table under `outDir` (creating pixmaps/ and
// scenes/). False with a message naming the file on the first failure.
bool writeArtImages(const std::string& outDir, std::string& error);

}  // namespace marrow::art
