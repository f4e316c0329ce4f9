// raw_image.h: the decoded-image files of the browser build's data.
//
// The page has no JPEG decoder of its own: `marrow-webdata` decodes every
// image of a data directory at build time with the program's own loader
// (decodeJpeg), so the browser gets exactly the desktop program's pixels,
// and stores each under its original name in this form:
//   8 bytes  "MRWPIX1" and a NUL
//   4 bytes  width, little-endian
//   4 bytes  height, little-endian
//   width x height 32-bit little-endian pixels 0x00RRGGBB, top row first.
#pragma once

#include <cstdint>

namespace marrow {

constexpr char kRawImageMagic[8] = {'M', 'R', 'W', 'P', 'I', 'X', '1', '\0'};
constexpr int kRawImageHeaderBytes = 16;

}  // namespace marrow
