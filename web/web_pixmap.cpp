// web_pixmap.cpp: the browser build's image decoding core. The page's
// images were decoded at build time by the desktop decoder (marrow-webdata,
// raw_image.h), so here decodeJpeg only reads those raw pixels back: they
// are exactly the desktop's. Everything above the core (Pixmap::read,
// load_jpeg, the messages naming the file) is the desktop's own code.
#include <cstdio>
#include <cstring>
#include <new>

#include "raw_image.h"
#include "render/pixmap.h"

namespace marrow {

namespace {

uint32_t readLe32(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

DecodedImage refuse(DecodedImage image, DecodedImage::Status status, const char* problem) {
    image.status = status;
    image.error = problem;
    return image;
}

}  // namespace

DecodedImage decodeJpeg(std::FILE* file, const ImageSize* required) {
    DecodedImage image;
    unsigned char header[kRawImageHeaderBytes];
    if (std::fread(header, 1, sizeof header, file) != sizeof header ||
        std::memcmp(header, kRawImageMagic, sizeof kRawImageMagic) != 0)
        return refuse(std::move(image), DecodedImage::Status::LibraryError,
                      "not an image decoded by marrow-webdata (rebuild the page)");
    const uint32_t w = readLe32(header + 8), h = readLe32(header + 12);
    if (w == 0 || h == 0 || w > static_cast<uint32_t>(kMaxImageSide) || h > static_cast<uint32_t>(kMaxImageSide))
        return refuse(std::move(image), DecodedImage::Status::TooLarge, "image size out of range");
    image.width = static_cast<int32_t>(w);
    image.height = static_cast<int32_t>(h);
    if (required && !required->fits(image.width, image.height))
        return refuse(std::move(image), DecodedImage::Status::WrongSize, "wrong size");
    const size_t count = static_cast<size_t>(w) * h;
    image.pixels.reset(new (std::nothrow) uint32_t[count]);
    if (!image.pixels) return refuse(std::move(image), DecodedImage::Status::OutOfMemory, "out of memory");
    // Both builds run on little-endian machines, so the words are read as
    // they lie.
    if (std::fread(image.pixels.get(), 4, count, file) != count) {
        image.pixels.reset();
        return refuse(std::move(image), DecodedImage::Status::LibraryError,
                      "the file is shorter than its size says");
    }
    image.scans = 1;
    image.work = count;
    return image;
}

}  // namespace marrow
