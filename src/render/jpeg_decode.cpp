// jpeg_decode.cpp: the JPEG decoding core over libjpeg (decodeJpeg,
// decodeJpegMemory). The browser build has its own core in its place, over
// the raw images decoded by this one at build time.
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
    char warning[JMSG_LENGTH_MAX];  // the first warning, or empty
    DecodedImage::Status stop;      // why we jumped: LibraryError, or a bound of ours
    int scans;                      // scans begun so far
    uint64_t work;                  // scans begun x pixels
};

RecoveringErrorManager& manager(j_common_ptr cinfo) { return *reinterpret_cast<RecoveringErrorManager*>(cinfo->err); }

// Replaces libjpeg's error_exit, which would print and call exit(): keep the
// message text and return to the decoder's recovery point instead. Printing
// is left to the caller, so the core can be called from tests and fuzzers.
[[noreturn]] void keepMessageAndRecover(j_common_ptr cinfo) {
    RecoveringErrorManager& err = manager(cinfo);
    (*cinfo->err->format_message)(cinfo, err.message);
    err.stop = DecodedImage::Status::LibraryError;
    std::longjmp(err.recovery, 1);
}

// Replaces emit_message, which prints warnings without the file's name:
// keep the first warning's text for the caller, who knows the file, and
// count the rest as the library does. Trace messages (levels above 0) are
// not wanted.
void keepFirstWarning(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    RecoveringErrorManager& err = manager(cinfo);
    if (err.pub.num_warnings == 0) (*cinfo->err->format_message)(cinfo, err.warning);
    ++err.pub.num_warnings;
}

// Called by libjpeg as decoding advances (several times per scan). A
// progressive file can repeat scans without end, and each scan is another
// pass over the whole image: stop a file with more scans than any real
// encoder writes, or whose scans times pixels pass the work bound, instead
// of decoding for seconds or minutes.
void limitWork(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    RecoveringErrorManager& err = manager(cinfo);
    err.scans = d->input_scan_number;
    err.work = static_cast<uint64_t>(d->input_scan_number) * d->image_width * d->image_height;
    if (d->input_scan_number > kMaxJpegScans) {
        std::snprintf(err.message, sizeof err.message, "more than %d scans in a progressive image", kMaxJpegScans);
        err.stop = DecodedImage::Status::TooManyScans;
        std::longjmp(err.recovery, 1);
    }
    if (err.work > kMaxJpegWork) {
        std::snprintf(err.message, sizeof err.message,
                      "too many scans (%d) for a %ux%u progressive image: at most %llu scans x pixels",
                      d->input_scan_number, d->image_width, d->image_height,
                      static_cast<unsigned long long>(kMaxJpegWork));
        err.stop = DecodedImage::Status::TooMuchWork;
        std::longjmp(err.recovery, 1);
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

DecodedImage::Status decodeRaw(std::FILE* file, const ImageSize* required, RawDecode& d) {
    d.pixels = nullptr;
    d.width = 0;
    d.height = 0;
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = keepMessageAndRecover;
    d.err.pub.emit_message = keepFirstWarning;
    d.err.message[0] = 0;
    d.err.warning[0] = 0;
    d.err.stop = DecodedImage::Status::LibraryError;
    d.err.scans = 0;
    d.err.work = 0;
    d.progress = jpeg_progress_mgr{};
    d.progress.progress_monitor = limitWork;
    if (setjmp(d.err.recovery)) {
        // Destroying frees every pool the library allocated (the row too);
        // our own block goes with it.
        jpeg_destroy_decompress(&d.cinfo);
        delete[] d.pixels;
        d.pixels = nullptr;
        return d.err.stop;
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
    // A caller that can only use one size learns it from the header: no
    // scan of a file it would refuse anyway is decoded.
    if (required && !required->fits(d.width, d.height)) {
        jpeg_destroy_decompress(&d.cinfo);
        return DecodedImage::Status::WrongSize;
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

DecodedImage decodeJpeg(std::FILE* file, const ImageSize* required) {
    // Large (the decompression record and a jump buffer), so on the heap
    // rather than the stack of whoever calls us.
    auto raw = std::make_unique<RawDecode>();
    DecodedImage image;
    image.status = decodeRaw(file, required, *raw);
    image.width = raw->width;
    image.height = raw->height;
    image.warning = raw->err.warning;
    image.scans = raw->err.scans;
    image.work = raw->err.work;
    const std::string size = std::to_string(raw->width) + "x" + std::to_string(raw->height);
    switch (image.status) {
    case DecodedImage::Status::Ok:
        image.pixels.reset(raw->pixels);
        break;
    case DecodedImage::Status::LibraryError:
    case DecodedImage::Status::TooManyScans:
    case DecodedImage::Status::TooMuchWork:
        image.error = raw->err.message;
        break;
    case DecodedImage::Status::TooLarge:
        image.error = "image is " + size + " pixels; at most " + std::to_string(kMaxImageSide) + "x" +
                      std::to_string(kMaxImageSide) + " is accepted";
        break;
    case DecodedImage::Status::WrongSize:
        image.error = "image is " + size + ", but it must be " + std::to_string(required->width) + "x" +
                      std::to_string(required->height);
        break;
    case DecodedImage::Status::OutOfMemory:
        image.error = "out of memory for a " + size + " image";
        break;
    }
    return image;
}

DecodedImage decodeJpegMemory(const uint8_t* data, size_t size, const ImageSize* required) {
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
    DecodedImage image = decodeJpeg(file, required);
    std::fclose(file);
    return image;
}

}  // namespace marrow
