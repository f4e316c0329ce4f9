#include "art_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace marrow::art {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    longjmp(err->jump, 1);
}

}  // namespace

bool encodeJpeg(const Image& image, const JpegOptions& options, std::vector<uint8_t>& out, std::string& error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        error = "JPEG encoding: empty or inconsistent image";
        return false;
    }
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        error = std::string("JPEG encoding: ") + err.message;
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    cinfo.write_JFIF_header = TRUE;
    if (options.fullChroma) {
        for (int c = 0; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint32_t* src = &image.pixels[static_cast<size_t>(cinfo.next_scanline) * image.width];
        for (int x = 0; x < image.width; ++x) {
            row[static_cast<size_t>(x) * 3 + 0] = static_cast<JSAMPLE>(src[x] >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(src[x] >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(src[x]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return true;
}

bool writeJpeg(const std::string& path, const Image& image, const JpegOptions& options, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!encodeJpeg(image, options, bytes, error)) {
        error = path + ": " + error;
        return false;
    }
    // Written beside the target and renamed over it, so a failed run never
    // leaves a truncated image where the program would read it.
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = path + ": cannot create the file";
        return false;
    }
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || written != bytes.size()) {
        std::remove(temp.c_str());
        error = path + ": write failed";
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = path + ": cannot replace the file";
        return false;
    }
    return true;
}

}  // namespace marrow::art
