// marrow-webdata: prepares a data directory for the browser build.
//
//   marrow-webdata DATA_DIR OUT_DIR
//
// The page has no JPEG decoder of its own (emscripten's libjpeg port would
// be downloaded at build time, and the browser's decoder rounds differently
// from libjpeg, so its pixels would not be the desktop program's). So every
// JPEG under DATA_DIR/pixmaps and DATA_DIR/scenes is decoded here, by the
// program's own loader, and written under its original name into OUT_DIR
// in the raw form web/raw_image.h describes; every other file there (the
// 3DS scenes) is copied as it is. OUT_DIR is then packed into the page's
// file system. A JPEG the loader refuses stops the tool with its message,
// naming the file, as the program would stop at start.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "../web/raw_image.h"
#include "render/pixmap.h"

namespace fs = std::filesystem;
using namespace marrow;

namespace {

bool isJpeg(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".jpg" || ext == ".jpeg";
}

void putLe32(unsigned char* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool writeRaw(const fs::path& out, const DecodedImage& image, std::string& error) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) {
        error = out.string() + ": cannot be written";
        return false;
    }
    unsigned char header[kRawImageHeaderBytes];
    std::copy(kRawImageMagic, kRawImageMagic + 8, header);
    putLe32(header + 8, static_cast<uint32_t>(image.width));
    putLe32(header + 12, static_cast<uint32_t>(image.height));
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    std::vector<unsigned char> bytes(count * 4);
    for (size_t i = 0; i < count; ++i) putLe32(&bytes[i * 4], image.pixels[i]);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header &&
              std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = out.string() + ": write failed";
    return ok;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "marrow-webdata: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* const usage =
        "usage: marrow-webdata DATA_DIR OUT_DIR\n"
        "Writes DATA_DIR's pixmaps/ and scenes/ into OUT_DIR for the browser build: every JPEG\n"
        "decoded by the program's own loader, every other file copied.\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(usage, stderr);
        return 2;
    }
    const fs::path data = argv[1], out = argv[2];
    std::error_code ec;
    int images = 0, copied = 0;
    for (const char* sub : {"pixmaps", "scenes"}) {
        const fs::path dir = data / sub;
        if (!fs::is_directory(dir, ec)) return fail(dir.string() + ": no such directory");
        fs::create_directories(out / sub, ec);
        if (ec) return fail((out / sub).string() + ": " + ec.message());
        std::vector<fs::path> files;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
            if (e.is_regular_file()) files.push_back(e.path());
        if (ec) return fail(dir.string() + ": " + ec.message());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const fs::path target = out / sub / file.filename();
            if (!isJpeg(file)) {
                fs::copy_file(file, target, fs::copy_options::overwrite_existing, ec);
                if (ec) return fail(file.string() + ": " + ec.message());
                ++copied;
                continue;
            }
            std::FILE* f = std::fopen(file.c_str(), "rb");
            if (!f) return fail(file.string() + ": cannot be opened");
            DecodedImage image = decodeJpeg(f);
            std::fclose(f);
            if (!image.ok()) return fail(file.string() + ": " + image.error);
            std::string error;
            if (!writeRaw(target, image, error)) return fail(error);
            ++images;
        }
    }
    std::printf("marrow-webdata: %d images decoded, %d files copied into %s\n", images, copied, out.c_str());
    return 0;
}
