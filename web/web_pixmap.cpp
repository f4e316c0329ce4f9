// web_pixmap.cpp: Pixmap::load_jpeg of the browser build, reading the
// images marrow-webdata decoded at build time (raw_image.h). Failures say
// what the desktop loader says for the same file, then end the program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "raw_image.h"
#include "render/pixmap.h"

namespace marrow {

namespace {

[[noreturn]] void refuse(const char* path, const char* problem) {
    std::fprintf(stderr, "load_jpeg: %s: %s\n", path, problem);
    std::exit(1);
}

uint32_t readLe32(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace

Pixmap::~Pixmap() { delete[] pixels; }

void Pixmap::load_jpeg(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::printf("load_jpeg: Could not find %s\n\r", path);
        std::exit(1);
    }
    unsigned char header[kRawImageHeaderBytes];
    if (std::fread(header, 1, sizeof header, file) != sizeof header ||
        std::memcmp(header, kRawImageMagic, sizeof kRawImageMagic) != 0) {
        std::fclose(file);
        refuse(path, "not an image decoded by marrow-webdata (rebuild the page)");
    }
    const uint32_t w = readLe32(header + 8), h = readLe32(header + 12);
    if (w == 0 || h == 0 || w > static_cast<uint32_t>(kMaxImageSide) || h > static_cast<uint32_t>(kMaxImageSide)) {
        std::fclose(file);
        refuse(path, "image size out of range");
    }
    const size_t count = static_cast<size_t>(w) * h;
    auto* block = new (std::nothrow) uint32_t[count];
    if (block == nullptr) {
        std::fclose(file);
        refuse(path, "out of memory");
    }
    // Both builds run on little-endian machines, so the words are read as
    // they lie.
    const bool whole = std::fread(block, 4, count, file) == count;
    std::fclose(file);
    if (!whole) {
        delete[] block;
        refuse(path, "the file is shorter than its size says");
    }
    delete[] pixels;
    pixels = block;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
}

}  // namespace marrow
