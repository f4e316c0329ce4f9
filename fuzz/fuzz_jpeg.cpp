// Fuzz target: the image decoding core on any bytes. It must return pixels
// of the size it reports, or an error text, and never exit or print a crash.
#include <cstdlib>

#include "render/pixmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marrow::DecodedImage image = marrow::decodeJpegMemory(data, size);
    if (image.ok()) {
        if (!image.pixels || image.width <= 0 || image.height <= 0 || image.width > marrow::kMaxImageSide ||
            image.height > marrow::kMaxImageSide || !image.error.empty())
            std::abort();
        // Touch the last pixel: the block really is width x height words.
        volatile uint32_t last = image.pixels[static_cast<size_t>(image.width) * image.height - 1];
        if (last >> 24) std::abort();  // top byte is always 0
    } else if (image.pixels || image.error.empty()) {
        std::abort();
    }
    return 0;
}
