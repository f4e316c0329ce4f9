#include "render/pixmap.h"

#include <csetjmp>
#include <cstdlib>
#include <new>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace marrow {

namespace {

// libjpeg's standard error manager with a recovery point behind it. The
// library hands error_exit a pointer to `pub`, which is the first member, so
// the whole record is reachable from it.
struct RecoveringErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
    volatile bool scanLimitHit;  // the jump came from limitScans, not from libjpeg
};

// Replaces libjpeg's error_exit, which would print and call exit(): keep the
// message text and return to the decoder's recovery point instead. Printing
// is left to the caller, so the core can be called from tests and fuzzers.
[[noreturn]] void keepMessageAndRecover(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<RecoveringErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->recovery, 1);
}

// Called by libjpeg as decoding advances (several times per scan). A
// progressive file can repeat scans without end, and each scan is another
// pass over the whole image: stop one that has more scans than any real
// encoder writes, instead of decoding for minutes.
void limitScans(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<RecoveringErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans in a progressive image", kMaxJpegScans);
        err->scanLimitHit = true;
        std::longjmp(err->recovery, 1);
    }
}

// Everything the decoder touches between setjmp and a longjmp lives in this
// plain record owned by the caller, and decodeRaw itself holds no object with
// a destructor, so a longjmp out of libjpeg skips no destructor and no local
// whose value would be indeterminate afterwards.
struct RawDecode {
    jpeg_decompress_struct cinfo;
    RecoveringErrorManager err;
    jpeg_progress_mgr progress;
    uint32_t* volatile pixels;  // new[]'d here; volatile: read after a longjmp
    int32_t width;
    int32_t height;
};

DecodedImage::Status decodeRaw(std::FILE* file, RawDecode& d) {
    d.pixels = nullptr;
    d.width = 0;
    d.height = 0;
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = keepMessageAndRecover;
    d.progress = jpeg_progress_mgr{};
    d.progress.progress_monitor = limitScans;
    d.err.scanLimitHit = false;
    if (setjmp(d.err.recovery)) {
        // Destroying frees every pool the library allocated (the row too);
        // our own block goes with it.
        jpeg_destroy_decompress(&d.cinfo);
        delete[] d.pixels;
        d.pixels = nullptr;
        return d.err.scanLimitHit ? DecodedImage::Status::TooManyScans : DecodedImage::Status::LibraryError;
    }

    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.progress;
    jpeg_stdio_src(&d.cinfo, file);
    jpeg_read_header(&d.cinfo, TRUE);
    // Checked before decompression starts: a progressive file makes the
    // library allocate whole-image coefficient buffers at start.
    d.width = static_cast<int32_t>(d.cinfo.image_width);
    d.height = static_cast<int32_t>(d.cinfo.image_height);
    if (d.cinfo.image_width > static_cast<JDIMENSION>(kMaxImageSide) ||
        d.cinfo.image_height > static_cast<JDIMENSION>(kMaxImageSide)) {
        jpeg_destroy_decompress(&d.cinfo);
        return DecodedImage::Status::TooLarge;
    }
    // RGB is already the default for colour files; asking for it also turns
    // a greyscale file into three equal samples per pixel, so the row below
    // always holds three samples per pixel. Colour spaces the library cannot
    // convert to RGB (CMYK) fail in jpeg_start_decompress with its message.
    d.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.cinfo);
    if (d.cinfo.output_components != 3) ERREXIT(&d.cinfo, JERR_CONVERSION_NOTIMPL);

    const JDIMENSION width = d.cinfo.output_width;
    const JDIMENSION height = d.cinfo.output_height;
    d.width = static_cast<int32_t>(width);
    d.height = static_cast<int32_t>(height);
    JSAMPARRAY row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE, width * 3, 1);
    // Both sides are at most 4096, so the count fits easily.
    d.pixels = new (std::nothrow) uint32_t[static_cast<size_t>(width) * height];
    if (d.pixels == nullptr) {
        jpeg_destroy_decompress(&d.cinfo);
        return DecodedImage::Status::OutOfMemory;
    }

    while (d.cinfo.output_scanline < height) {
        uint32_t* out = d.pixels + static_cast<size_t>(d.cinfo.output_scanline) * width;
        // The stdio source never suspends, so a row always comes; if none did,
        // the rows below would be left unwritten.
        if (jpeg_read_scanlines(&d.cinfo, row, 1) != 1) ERREXIT(&d.cinfo, JERR_INPUT_EOF);
        const JSAMPLE* s = row[0];
        // Samples come R, G, B; the word is 0x00RRGGBB, top byte 0.
        for (JDIMENSION x = 0; x < width; ++x, s += 3)
            out[x] = (static_cast<uint32_t>(s[0]) << 16) | (static_cast<uint32_t>(s[1]) << 8) | s[2];
    }
    jpeg_finish_decompress(&d.cinfo);
    jpeg_destroy_decompress(&d.cinfo);
    return DecodedImage::Status::Ok;
}

}  // namespace

DecodedImage decodeJpeg(std::FILE* file) {
    // Large (the decompression record and a jump buffer), so on the heap
    // rather than the stack of whoever calls us.
    auto raw = std::make_unique<RawDecode>();
    DecodedImage image;
    image.status = decodeRaw(file, *raw);
    image.width = raw->width;
    image.height = raw->height;
    switch (image.status) {
    case DecodedImage::Status::Ok:
        image.pixels.reset(raw->pixels);
        break;
    case DecodedImage::Status::LibraryError:
    case DecodedImage::Status::TooManyScans:
        image.error = raw->err.message;
        break;
    case DecodedImage::Status::TooLarge:
        image.error = "image is " + std::to_string(raw->width) + "x" + std::to_string(raw->height) +
                      " pixels; at most " + std::to_string(kMaxImageSide) + "x" + std::to_string(kMaxImageSide) +
                      " is accepted";
        break;
    case DecodedImage::Status::OutOfMemory:
        image.error = "out of memory for a " + std::to_string(raw->width) + "x" + std::to_string(raw->height) + " image";
        break;
    }
    return image;
}

DecodedImage decodeJpegMemory(const uint8_t* data, size_t size) {
    // fmemopen wants a buffer even for an empty stream; the mode is read-only,
    // so casting away const is safe.
    static unsigned char emptyStream[1];
    void* buffer = size > 0 ? const_cast<uint8_t*>(data) : emptyStream;
    std::FILE* file = fmemopen(buffer, size, "rb");
    if (file == nullptr) {
        DecodedImage image;
        image.status = DecodedImage::Status::OutOfMemory;
        image.error = "could not open a memory stream";
        return image;
    }
    DecodedImage image = decodeJpeg(file);
    std::fclose(file);
    return image;
}

Pixmap::~Pixmap() { delete[] pixels; }

void printLoadFailure(const LoadResult& result) {
    if (result.status == LoadResult::Status::Missing)
        std::printf("%s\n\r", result.message.c_str());  // line feed, then carriage return
    else if (!result.ok())
        std::fprintf(stderr, "%s\n", result.message.c_str());
}

void printLoadWarnings(const LoadResult& result) {
    for (const std::string& w : result.warnings) std::fprintf(stderr, "%s\n", w.c_str());
}

LoadResult Pixmap::read(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return LoadResult::failure(LoadResult::Status::Missing, std::string("load_jpeg: Could not find ") + path);
    DecodedImage image = decodeJpeg(file);
    std::fclose(file);
    if (!image.ok()) {
        // libjpeg's message exactly as it formats it, behind the file it
        // refused (with many images at start the text alone does not say
        // which one); our own refusals are marked as the loader's.
        if (image.status == DecodedImage::Status::LibraryError)
            return LoadResult::failure(LoadResult::Status::Unreadable, std::string(path) + ": " + image.error);
        return LoadResult::failure(LoadResult::Status::Unreadable,
                                   std::string("load_jpeg: ") + path + ": " + image.error);
    }
    delete[] pixels;
    pixels = image.pixels.release();
    width = image.width;
    height = image.height;
    return {};
}

void Pixmap::load_jpeg(const char* path) {
    const LoadResult result = read(path);
    if (!result.ok()) {
        printLoadFailure(result);
        std::exit(1);
    }
}

}  // namespace marrow
