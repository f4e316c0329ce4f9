// art_jpeg.h: writes Images as baseline RGB JPEG files with libjpeg-turbo.
//
// Output is deterministic: no timestamps or comments, the library's standard
// Huffman tables (not optimised per image), integer DCT. Chroma is either
// subsampled 2x2 (photographic images) or kept at full resolution; images
// that are added over other layers use full resolution, so every 8x8 block
// decodes on its own: an all-black block then comes back exactly 0, with no
// colour bleeding in from a neighbour through chroma upsampling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "art_raster.h"

namespace marrow::art {

struct JpegOptions {
    int quality = 90;            // 1..100, libjpeg's scale
    bool fullChroma = false;     // 4:4:4 instead of 4:2:0
};

// Encodes to memory; false with a message on failure.
bool encodeJpeg(const Image& image, const JpegOptions& options, std::vector<uint8_t>& out, std::string& error);

// Encodes and writes the file (created or replaced through a temporary
// file beside it, so the old file or nothing stays on failure); false with a
// message naming the file on failure.
bool writeJpeg(const std::string& path, const Image& image, const JpegOptions& options, std::string& error);

}  // namespace marrow::art
