// test_jpeg.h: JPEG files made by the tests themselves with libjpeg's
// compressor, in memory.
#pragma once

#include <cstdio>
#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

// Compresses `samples` (rows of width * components bytes) in colour space
// `space`. quality 1..100, or 0 for the library's default. storeRgb keeps
// the samples as RGB in the file (no YCbCr transform, no chroma
// subsampling), so flat 8x8 blocks decode exactly. arithmetic: arithmetic
// entropy coding instead of Huffman.
inline std::vector<uint8_t> encodeTestJpeg(const std::vector<uint8_t>& samples, int width, int height,
                                           int components, J_COLOR_SPACE space, int quality, bool storeRgb,
                                           bool progressive, bool arithmetic = false) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    if (storeRgb) jpeg_set_colorspace(&c, JCS_RGB);
    if (quality > 0) jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    c.arith_code = arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&samples[static_cast<size_t>(c.next_scanline) * width * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}
