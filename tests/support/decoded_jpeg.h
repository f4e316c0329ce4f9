// decoded_jpeg.h: JPEG bytes decoded through the program's own loader into
// plain RGB samples, for tests that check what the presentation will read.
#pragma once

#include <cstdint>
#include <vector>

#include "render/pixmap.h"

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> rgb;
    int at(int x, int y, int c) const { return rgb[(static_cast<size_t>(y) * width + x) * components + c]; }
};

inline bool decode(const std::vector<uint8_t>& bytes, Decoded& out) {
    marrow::DecodedImage image = marrow::decodeJpegMemory(bytes.data(), bytes.size());
    if (!image.ok()) return false;
    out.width = image.width;
    out.height = image.height;
    out.components = 3;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (size_t i = 0; i < static_cast<size_t>(out.width) * out.height; ++i) {
        const uint32_t p = image.pixels[i];
        out.rgb[i * 3 + 0] = static_cast<uint8_t>(p >> 16);
        out.rgb[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
        out.rgb[i * 3 + 2] = static_cast<uint8_t>(p);
    }
    return true;
}
