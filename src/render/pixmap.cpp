#include "render/pixmap.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace marrow {

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

LoadResult Pixmap::read(const char* path, const ImageSize* required, const char* kind) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return LoadResult::failure(LoadResult::Status::Missing, std::string("load_jpeg: Could not find ") + path);
    // A directory opens, then reads as an empty file: say what it is.
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return LoadResult::failure(LoadResult::Status::Unreadable,
                                   std::string(path) + ": is a directory, not a JPEG file");
    }
    DecodedImage image = decodeJpeg(file, required);
    std::fclose(file);
    LoadResult result;
    if (!image.warning.empty()) result.warnings.push_back(std::string(path) + ": " + image.warning);
    if (image.status == DecodedImage::Status::WrongSize) {
        result.status = LoadResult::Status::Refused;
        result.message = std::string(path) + ": the " + kind + " is " + std::to_string(image.width) + "x" +
                         std::to_string(image.height) + ", but it must be " + std::to_string(required->width) +
                         "x" + std::to_string(required->height);
        return result;
    }
    if (!image.ok()) {
        // libjpeg's message exactly as it formats it, behind the file it
        // refused (with many images at start the text alone does not say
        // which one); our own refusals are marked as the loader's.
        result.status = LoadResult::Status::Unreadable;
        result.message = image.status == DecodedImage::Status::LibraryError
                             ? std::string(path) + ": " + image.error
                             : std::string("load_jpeg: ") + path + ": " + image.error;
        return result;
    }
    delete[] pixels;
    pixels = image.pixels.release();
    width = image.width;
    height = image.height;
    return result;
}

void Pixmap::load_jpeg(const char* path) {
    const LoadResult result = read(path);
    printLoadWarnings(result);
    if (!result.ok()) {
        printLoadFailure(result);
        std::exit(1);
    }
}

}  // namespace marrow
