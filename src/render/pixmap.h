// pixmap.h: still images, decoded once at start from JPEG files.
//
// A Pixmap owns width x height pixels, row-major, top row first, each a word
// 0x00RRGGBB (top byte 0) as in a frame. Full-screen images are 320x200 and
// can be used directly as a frame (the pixels are writable, so the frame loop
// may blank their border in place); textures are 256x256, read as
// pixels[v * 256 + u].
//
// decodeJpeg / decodeJpegMemory are the decoding core: they never print an
// error or exit, and return the pixels or an error text. Colour and greyscale
// files come out as RGB; CMYK files and anything else libjpeg rejects fail
// with libjpeg's message. Checked on the header, before any scan is decoded
// or pixel memory allocated: the size a caller requires, and kMaxImageSide.
// The decoding work is bounded: progressive files are stopped past
// kMaxJpegScans scans, or once scans times pixels pass kMaxJpegWork. The
// first warning on corrupt but decodable data (a truncated scan, for
// instance) is kept in `warning` and decoding goes on.
//
// Pixmap::read loads a file and reports: a LoadResult whose message names
// the file, nothing printed. Pixmap::load_jpeg is the same load for callers
// that cannot go on without the image: on failure it prints the message and
// ends the process with exit status 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace marrow {

// No image of the data set is anywhere near this; the cap keeps a hostile
// header from making us allocate gigabytes (4096 x 4096 x 4 bytes = 64 MB).
constexpr int32_t kMaxImageSide = 4096;

// Encoders write about ten scans for a progressive image; a file with
// hundreds only costs time (each scan is another pass over the image).
constexpr int kMaxJpegScans = 500;

// Each scan of a progressive file is another pass over every pixel, so the
// decoding work is about scans x pixels (about a nanosecond each). 2^28
// keeps any accepted file to a few tenths of a second, lets every image of
// the presentation's sizes (at most 320x200 or 256x256) have all
// kMaxJpegScans scans, and still gives the largest image (4096x4096) 16
// scans, more than ordinary encoders write (libjpeg's progressive script
// has 10 for colour, 6 for greyscale).
constexpr uint64_t kMaxJpegWork = uint64_t{1} << 28;

// The size a caller reads an image at: `width` exactly, and `height`
// exactly or, with orTaller, at least.
struct ImageSize {
    int32_t width;
    int32_t height;
    bool orTaller = false;

    bool fits(int32_t w, int32_t h) const { return w == width && (orTaller ? h >= height : h == height); }
};

struct DecodedImage {
    enum class Status {
        Ok,
        LibraryError,  // libjpeg refused the data; error is its message text
        TooLarge,      // the header asks for more than kMaxImageSide per side
        TooManyScans,  // a progressive file with more than kMaxJpegScans scans
        TooMuchWork,   // scans x pixels would pass kMaxJpegWork
        WrongSize,     // the header's size is not the one required
        OutOfMemory,   // the pixel block could not be allocated
    };

    bool ok() const { return status == Status::Ok; }

    Status status = Status::Ok;
    std::unique_ptr<uint32_t[]> pixels;  // width * height words; null unless ok()
    int32_t width = 0;   // from the header, whenever it was read
    int32_t height = 0;
    std::string error;    // one line, no line feed; empty when ok()
    std::string warning;  // libjpeg's first warning on damaged data, or empty
    int scans = 0;        // scans begun (1 for a baseline file)
    uint64_t work = 0;    // scans begun x pixels: the decoding work spent
};

// Decodes a whole JPEG stream from `file` (read from its current position,
// through libjpeg's stdio source). Does not close the file. With `required`,
// a file of another size is refused (WrongSize) right after its header.
DecodedImage decodeJpeg(std::FILE* file, const ImageSize* required = nullptr);

// The same decoder over a memory block (tests, fuzzing). `data` may be null
// when `size` is 0.
DecodedImage decodeJpegMemory(const uint8_t* data, size_t size, const ImageSize* required = nullptr);

// The outcome of loading a file of the data set. Every message is one line
// (no line ending) that names the file.
struct LoadResult {
    enum class Status {
        Ok,
        Missing,     // the image loader cannot open the file
        Unreadable,  // the JPEG decoder refused its data
        Refused,     // a file the program cannot use: an image of the wrong size,
                     // a scene the library cannot read or without its camera
    };

    bool ok() const { return status == Status::Ok; }
    static LoadResult failure(Status status, std::string message) { return {status, std::move(message), {}}; }

    Status status = Status::Ok;
    std::string message;                // empty when ok()
    std::vector<std::string> warnings;  // damaged but decodable files, one line each
};

// Prints a failed load as the image loader reports it: a missing file as
// "load_jpeg: Could not find <path>" then "\n\r" on standard output, anything
// else as the message and "\n" on standard error. Nothing for a success.
void printLoadFailure(const LoadResult& result);
// Prints each warning as one line on standard error.
void printLoadWarnings(const LoadResult& result);

class Pixmap {
public:
    Pixmap() = default;
    virtual ~Pixmap();
    Pixmap(const Pixmap&) = delete;
    Pixmap& operator=(const Pixmap&) = delete;

    // Loads the JPEG file at `path` (relative to the working directory).
    // A file that cannot be opened prints "load_jpeg: Could not find <path>"
    // followed by "\n\r" on standard output; a file libjpeg rejects prints
    // "<path>: " and libjpeg's message on standard error; an oversized image
    // or one over the work bound prints a line naming the file on standard
    // error. Each then exits the process with status 1. A damaged but
    // decodable file prints "<path>: " and libjpeg's warning on standard
    // error and loads. Loading again replaces the old pixels.
    void load_jpeg(const char* path);

    // The same load, reporting instead of exiting. With `required`, a file
    // of another size is refused by its header, before any scan is decoded:
    // "<path>: the <kind> is WxH, but it must be WxH". A directory is
    // refused as such. On failure the pixels already held are kept.
    LoadResult read(const char* path, const ImageSize* required = nullptr, const char* kind = "image");

    uint32_t* pixels = nullptr;  // owned; null until loaded
    int32_t width = 0;           // in pixels; 0 until loaded
    int32_t height = 0;
};

}  // namespace marrow
