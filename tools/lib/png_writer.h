// png_writer.h: writes 0x00RRGGBB pixels as an 8-bit RGB PNG (top byte
// ignored). Returns false with a message naming the file on failure.
#pragma once

#include <cstdint>
#include <string>

namespace marrow {

bool writePng(const std::string& path, const uint32_t* pixels, int width, int height, std::string& error);

}  // namespace marrow
