// The JPEG loader: pixel layout of decoded images, greyscale and colour-space
// handling, the size cap, and every way a load can end the process.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "exact_regex.h"
#include "render/pixmap.h"
#include "test_jpeg.h"

namespace marrow {
namespace {

// Compresses `samples` at quality 100 (see encodeTestJpeg).
std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& samples, int width, int height, int components,
                                J_COLOR_SPACE space, bool storeRgb, bool progressive = false) {
    return encodeTestJpeg(samples, width, height, components, space, 100, storeRgb, progressive);
}

// The colour of the flat 8x8 block that holds pixel (x, y): every block a
// different mix, with red, green and blue all different from one another.
uint32_t blockColour(int x, int y) {
    const uint32_t bx = static_cast<uint32_t>(x / 8), by = static_cast<uint32_t>(y / 8);
    const uint32_t r = 10 + bx * 6, g = 5 + by * 9, b = (100 + (bx + by) * 3) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

std::vector<uint8_t> blockImageRgb(int width, int height) {
    std::vector<uint8_t> s;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t p = blockColour(x, y);
            s.push_back(static_cast<uint8_t>(p >> 16));
            s.push_back(static_cast<uint8_t>(p >> 8));
            s.push_back(static_cast<uint8_t>(p));
        }
    return s;
}

std::string tempPath(const std::string& name) { return ::testing::TempDir() + "marrow_pixmap_" + name; }

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Sets the height and width fields of the first baseline frame header.
void patchSize(std::vector<uint8_t>& jpeg, int width, int height) {
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            // FF C0, length (2), precision (1), height (2), width (2)
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            return;
        }
    FAIL() << "no baseline frame header";
}

TEST(DecodeJpeg, ColourImageIsRowMajorTopRowFirstWithRedInBits16To23) {
    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(320, 200), 320, 200, 3, JCS_RGB, true);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size());
    ASSERT_TRUE(img.ok()) << img.error;
    ASSERT_EQ(img.width, 320);
    ASSERT_EQ(img.height, 200);
    EXPECT_EQ(img.pixels[0], 0x000A0564u);  // top-left block: r 10, g 5, b 100
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            if (img.pixels[y * 320 + x] != blockColour(x, y)) ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST(DecodeJpeg, YCbCrFileComesOutAsRgbInTheSameOrder) {
    // The usual kind of file: colour stored as YCbCr with subsampled chroma.
    // The round trip through YCbCr is off by a step or two, not more.
    std::vector<uint8_t> s;
    for (int i = 0; i < 64 * 48; ++i) s.insert(s.end(), {200, 100, 30});
    const std::vector<uint8_t> jpeg = encodeJpeg(s, 64, 48, 3, JCS_RGB, false);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size());
    ASSERT_TRUE(img.ok()) << img.error;
    for (int i = 0; i < 64 * 48; ++i) {
        const uint32_t p = img.pixels[i];
        ASSERT_EQ(p >> 24, 0u);
        ASSERT_NEAR(static_cast<int>((p >> 16) & 0xFF), 200, 3) << i;
        ASSERT_NEAR(static_cast<int>((p >> 8) & 0xFF), 100, 3) << i;
        ASSERT_NEAR(static_cast<int>(p & 0xFF), 30, 3) << i;
    }
}

TEST(DecodeJpeg, GreyscaleFileDecodesToGreyRgb) {
    const int w = 40, h = 16;
    std::vector<uint8_t> s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.push_back(static_cast<uint8_t>(20 + (x / 8) * 40 + (y / 8) * 7));
    const std::vector<uint8_t> jpeg = encodeJpeg(s, w, h, 1, JCS_GRAYSCALE, false);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size());
    ASSERT_TRUE(img.ok()) << img.error;
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(img.pixels[i], s[i] * 0x010101u) << i;
}

TEST(DecodeJpeg, CmykFileIsRefusedRatherThanMisread) {
    const std::vector<uint8_t> s(16 * 8 * 4, 0x40);
    const std::vector<uint8_t> jpeg = encodeJpeg(s, 16, 8, 4, JCS_CMYK, false);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size());
    EXPECT_EQ(img.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(img.error, "Unsupported color conversion request");
    EXPECT_EQ(img.pixels, nullptr);
}

TEST(DecodeJpeg, BadStreamsReportLibjpegsMessage) {
    const std::string text = "hello, this is not an image";
    DecodedImage notJpeg = decodeJpegMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(notJpeg.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(notJpeg.error, "Not a JPEG file: starts with 0x68 0x65");
    EXPECT_EQ(notJpeg.pixels, nullptr);

    DecodedImage empty = decodeJpegMemory(nullptr, 0);
    EXPECT_EQ(empty.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(empty.error, "Empty input file");

    // Cut inside the headers: the library pads with an end marker, finds no
    // image and fails.
    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(64, 64), 64, 64, 3, JCS_RGB, true);
    DecodedImage header = decodeJpegMemory(jpeg.data(), 30);
    EXPECT_EQ(header.status, DecodedImage::Status::LibraryError);
    EXPECT_FALSE(header.error.empty());
    EXPECT_EQ(header.pixels, nullptr);
}

TEST(DecodeJpeg, FileCutInsideTheScanStillDecodesWithTheTopRowsIntact) {
    // Corrupt but decodable: libjpeg warns and fills the missing part.
    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(320, 200), 320, 200, 3, JCS_RGB, true);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size() / 2);
    ASSERT_TRUE(img.ok()) << img.error;
    ASSERT_EQ(img.width, 320);
    ASSERT_EQ(img.height, 200);
    for (int i = 0; i < 320 * 8; ++i) ASSERT_EQ(img.pixels[i], blockColour(i % 320, i / 320)) << i;
}

TEST(DecodeJpeg, SidesAboveTheCapAreRefusedBeforeDecoding) {
    const std::vector<uint8_t> atCap = encodeJpeg(std::vector<uint8_t>(4096 * 8 * 3, 90), 4096, 8, 3, JCS_RGB, true);
    DecodedImage ok = decodeJpegMemory(atCap.data(), atCap.size());
    ASSERT_TRUE(ok.ok()) << ok.error;
    EXPECT_EQ(ok.width, 4096);

    const std::vector<uint8_t> wide = encodeJpeg(std::vector<uint8_t>(4097 * 8 * 3, 90), 4097, 8, 3, JCS_RGB, true);
    DecodedImage tooWide = decodeJpegMemory(wide.data(), wide.size());
    EXPECT_EQ(tooWide.status, DecodedImage::Status::TooLarge);
    EXPECT_EQ(tooWide.error, "image is 4097x8 pixels; at most 4096x4096 is accepted");
    EXPECT_EQ(tooWide.pixels, nullptr);

    // A small file whose header claims a huge image.
    std::vector<uint8_t> liar = encodeJpeg(blockImageRgb(16, 16), 16, 16, 3, JCS_RGB, true);
    patchSize(liar, 300, 60000);
    DecodedImage tall = decodeJpegMemory(liar.data(), liar.size());
    EXPECT_EQ(tall.status, DecodedImage::Status::TooLarge);
    EXPECT_EQ(tall.height, 60000);
}

// Repeats one scan of a progressive file (its SOS marker and entropy data)
// `times` more times, right after itself: the first scan or the last.
enum class Scan { First, Last };
std::vector<uint8_t> repeatScan(const std::vector<uint8_t>& jpeg, Scan which, int times) {
    std::vector<std::pair<size_t, size_t>> scans;  // [SOS, end of its data)
    bool open = false;
    for (size_t i = 2; i + 3 < jpeg.size();) {
        if (jpeg[i] != 0xFF) {
            ++i;  // entropy-coded data
            continue;
        }
        const uint8_t marker = jpeg[i + 1];
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;  // stuffed byte or restart marker inside the data
            continue;
        }
        if (open) scans.back().second = i;
        open = marker == 0xDA;
        if (open) scans.push_back({i, jpeg.size() - 2});
        i += 2 + ((jpeg[i + 2] << 8) | jpeg[i + 3]);
    }
    const auto [from, to] = which == Scan::First ? scans.front() : scans.back();
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(to));
    for (int k = 0; k < times; ++k) out.insert(out.end(), jpeg.begin() + static_cast<long>(from), jpeg.begin() + static_cast<long>(to));
    out.insert(out.end(), jpeg.begin() + static_cast<long>(to), jpeg.end());
    return out;
}

TEST(DecodeJpeg, ProgressiveFileDecodesButEndlessScansAreStopped) {
    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(64, 64), 64, 64, 3, JCS_RGB, true, true);
    DecodedImage img = decodeJpegMemory(jpeg.data(), jpeg.size());
    ASSERT_TRUE(img.ok()) << img.error;
    for (int i = 0; i < 64 * 64; ++i) ASSERT_EQ(img.pixels[i], blockColour(i % 64, i / 64)) << i;

    const std::vector<uint8_t> few = repeatScan(jpeg, Scan::Last, 20);
    EXPECT_TRUE(decodeJpegMemory(few.data(), few.size()).ok());

    const std::vector<uint8_t> many = repeatScan(jpeg, Scan::Last, kMaxJpegScans);
    DecodedImage stopped = decodeJpegMemory(many.data(), many.size());
    EXPECT_EQ(stopped.status, DecodedImage::Status::TooManyScans);
    EXPECT_EQ(stopped.error, "more than 500 scans in a progressive image");
    EXPECT_EQ(stopped.pixels, nullptr);
}

// A hostile texture: 4096x4096, arithmetic-coded, progressive, its first
// scan repeated until it has 499 scans (under kMaxJpegScans). Decoded in
// full it costs seconds; what bounds it is checked through the decoder's
// own work counter, not a clock.
TEST(DecodeJpeg, ManyScansOfALargeImageAreRefusedByTheHeaderOrBoundedByWork) {
    const int side = 4096;
    const std::vector<uint8_t> flat(static_cast<size_t>(side) * side * 3, 0x80);
    const std::vector<uint8_t> ordinary = encodeTestJpeg(flat, side, side, 3, JCS_RGB, 75, false, true, true);
    const std::vector<uint8_t> hostile = repeatScan(ordinary, Scan::First, 489);

    const ImageSize texture{256, 256};
    const DecodedImage refused = decodeJpegMemory(hostile.data(), hostile.size(), &texture);
    EXPECT_EQ(refused.status, DecodedImage::Status::WrongSize);
    EXPECT_EQ(refused.error, "image is 4096x4096, but it must be 256x256");
    EXPECT_EQ(refused.scans, 0);  // nothing decoded
    EXPECT_EQ(refused.work, 0u);

    // Any size accepted: stopped once scans x pixels pass the bound, that
    // is in the 17th scan (16 x 4096^2 = 2^28).
    const DecodedImage stopped = decodeJpegMemory(hostile.data(), hostile.size());
    EXPECT_EQ(stopped.status, DecodedImage::Status::TooMuchWork);
    EXPECT_EQ(stopped.scans, 17);
    EXPECT_LE(stopped.work, kMaxJpegWork + static_cast<uint64_t>(side) * side);
    EXPECT_EQ(stopped.pixels, nullptr);

    // The encoder's own progressive file of the largest size (10 scans) is
    // within the bound.
    const DecodedImage plain = decodeJpegMemory(ordinary.data(), ordinary.size());
    ASSERT_TRUE(plain.ok()) << plain.error;
    EXPECT_EQ(plain.scans, 10);
    EXPECT_EQ(plain.pixels[side * side - 1], 0x808080u);

    // At a texture's size the same 499 scans are all decoded, well within
    // the bound; the repeats draw libjpeg's warning, kept once.
    const std::vector<uint8_t> small(static_cast<size_t>(256) * 256 * 3, 0x80);
    const std::vector<uint8_t> many =
        repeatScan(encodeTestJpeg(small, 256, 256, 3, JCS_RGB, 75, false, true, true), Scan::First, 489);
    const DecodedImage decoded = decodeJpegMemory(many.data(), many.size(), &texture);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.scans, 499);
    EXPECT_EQ(decoded.work, 499u * 256 * 256);
    EXPECT_EQ(decoded.warning, "Inconsistent progression sequence for component 0 coefficient 0");
}

TEST(Pixmap, ReadNamesTheFileInWarningsAndSaysWhenItIsADirectory) {
    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(320, 200), 320, 200, 3, JCS_RGB, true);
    const std::string cut = tempPath("truncated.jpg");
    writeFile(cut, std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)));
    Pixmap p;
    LoadResult r = p.read(cut.c_str());
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.warnings, std::vector<std::string>{cut + ": Premature end of JPEG file"});

    const std::string dir = tempPath("folder.jpg");
    std::filesystem::create_directories(dir);
    r = p.read(dir.c_str());
    EXPECT_EQ(r.status, LoadResult::Status::Unreadable);
    EXPECT_EQ(r.message, dir + ": is a directory, not a JPEG file");

    // A required size is checked on the header, with the caller's noun.
    const ImageSize square{256, 256};
    r = p.read(cut.c_str(), &square, "picture");
    EXPECT_EQ(r.status, LoadResult::Status::Refused);
    EXPECT_EQ(r.message, cut + ": the picture is 320x200, but it must be 256x256");
    EXPECT_TRUE(r.warnings.empty()) << "nothing is decoded";
}

TEST(Pixmap, LoadJpegFillsPixelsAndSizeAndReplacesAnEarlierLoad) {
    const std::string path = tempPath("blocks.jpg");
    writeFile(path, encodeJpeg(blockImageRgb(320, 200), 320, 200, 3, JCS_RGB, true));
    const std::string small = tempPath("small.jpg");
    writeFile(small, encodeJpeg(blockImageRgb(16, 8), 16, 8, 3, JCS_RGB, true));

    Pixmap p;
    EXPECT_EQ(p.pixels, nullptr);
    p.load_jpeg(small.c_str());
    EXPECT_EQ(p.width, 16);
    EXPECT_EQ(p.height, 8);
    p.load_jpeg(path.c_str());
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.pixels[0], blockColour(0, 0));
    EXPECT_EQ(p.pixels[199 * 320 + 319], blockColour(319, 199));
}

TEST(Pixmap, ReadReportsFailuresNamingTheFileAndKeepsThePixelsItHad) {
    const std::string good = tempPath("good.jpg");
    writeFile(good, encodeJpeg(blockImageRgb(16, 8), 16, 8, 3, JCS_RGB, true));
    const std::string missing = tempPath("absent.jpg");
    std::remove(missing.c_str());
    const std::string text = tempPath("text.jpg");
    writeFile(text, {'G', 'I', 'F', '8', '9', 'a'});

    Pixmap p;
    EXPECT_TRUE(p.read(good.c_str()).ok());
    const uint32_t* kept = p.pixels;
    LoadResult r = p.read(missing.c_str());
    EXPECT_EQ(r.status, LoadResult::Status::Missing);
    EXPECT_EQ(r.message, "load_jpeg: Could not find " + missing);
    r = p.read(text.c_str());
    EXPECT_EQ(r.status, LoadResult::Status::Unreadable);
    EXPECT_EQ(r.message, text + ": Not a JPEG file: starts with 0x47 0x49");
    EXPECT_EQ(p.pixels, kept);
    EXPECT_EQ(p.width, 16);
}

using PixmapDeathTest = ::testing::Test;

TEST_F(PixmapDeathTest, MissingFilePrintsItsNameOnStandardOutputAndExits1) {
    const std::string path = tempPath("no_such_image.jpg");
    std::remove(path.c_str());
    const std::string captured = tempPath("missing_stdout.txt");
    EXPECT_EXIT(
        {
            if (!std::freopen(captured.c_str(), "w", stdout)) std::abort();
            Pixmap p;
            p.load_jpeg(path.c_str());
        },
        ::testing::ExitedWithCode(1), "");
    // Line feed, then carriage return.
    EXPECT_EQ(readFile(captured), "load_jpeg: Could not find " + path + "\n\r");
}

TEST_F(PixmapDeathTest, RejectedFilesPrintTheReasonOnStandardErrorAndExit1) {
    const std::string text = tempPath("text.jpg");
    writeFile(text, {'G', 'I', 'F', '8', '9', 'a'});
    // libjpeg's own text, unchanged, behind the file it refused.
    EXPECT_EXIT(Pixmap().load_jpeg(text.c_str()), ::testing::ExitedWithCode(1),
                "^" + exactRegex(text) + ": Not a JPEG file: starts with 0x47 0x49\n$");

    const std::vector<uint8_t> jpeg = encodeJpeg(blockImageRgb(64, 64), 64, 64, 3, JCS_RGB, true);
    const std::string cut = tempPath("cut.jpg");
    writeFile(cut, std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 30));
    EXPECT_EXIT(Pixmap().load_jpeg(cut.c_str()), ::testing::ExitedWithCode(1), ".");

    std::vector<uint8_t> liar = jpeg;
    patchSize(liar, 5000, 64);
    const std::string big = tempPath("big.jpg");
    writeFile(big, liar);
    EXPECT_EXIT(Pixmap().load_jpeg(big.c_str()), ::testing::ExitedWithCode(1),
                "load_jpeg: .*big\\.jpg: image is 5000x64 pixels; at most 4096x4096 is accepted\n$");
}

}  // namespace
}  // namespace marrow
