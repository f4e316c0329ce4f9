// Hostile JPEG files: the decoding core's answer (status and message) and
// what the program does with the same file (Pixmap::load_jpeg: a message and
// exit status 1). Missing files, text, the size cap and endless progressive
// scans in the core are in tests/render; here: segments longer than the
// file (a table cut short), bogus segment lengths, scans that use tables
// never defined, empty frames, and each refusal through the program's path.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bad_input.h"
#include "exact_regex.h"
#include "render/pixmap.h"
#include "test_jpeg.h"

using namespace hardening;
using namespace marrow;

namespace {

// A small test image in colour space `space` at the library's default
// quality: samples i * 7, so every block differs.
std::vector<uint8_t> encode(int width, int height, int components, J_COLOR_SPACE space, bool progressive) {
    std::vector<uint8_t> samples(static_cast<size_t>(width) * height * components);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
    return encodeTestJpeg(samples, width, height, components, space, 0, false, progressive);
}

std::vector<uint8_t> colour() { return encode(32, 16, 3, JCS_RGB, false); }

// Offset of the first marker FF `code` (in the headers, before any scan data).
size_t marker(const std::vector<uint8_t>& jpeg, uint8_t code) {
    for (size_t i = 2; i + 3 < jpeg.size();) {
        if (jpeg[i] != 0xFF) return std::string::npos;
        if (jpeg[i + 1] == code) return i;
        i += 2 + ((jpeg[i + 2] << 8) | jpeg[i + 3]);
    }
    return std::string::npos;
}

DecodedImage decode(const std::vector<uint8_t>& bytes) { return decodeJpegMemory(bytes.data(), bytes.size()); }

void expectRefused(const DecodedImage& img, const std::string& message) {
    EXPECT_EQ(img.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(img.error, message);
    EXPECT_EQ(img.pixels, nullptr);
}

}  // namespace

TEST(JpegBadInput, ATableCutShortByTheEndOfTheFile) {
    const std::vector<uint8_t> good = colour();
    for (uint8_t code : {0xDB, 0xC4}) {  // quantisation table, Huffman table
        const size_t at = marker(good, code);
        ASSERT_NE(at, std::string::npos);
        // The file ends a few bytes into the table's segment.
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(at) + 8);
        DecodedImage img = decode(cut);
        EXPECT_EQ(img.status, DecodedImage::Status::LibraryError) << std::hex << int(code);
        EXPECT_FALSE(img.error.empty());
        EXPECT_EQ(img.pixels, nullptr);
        // A segment that claims more than the whole file holds.
        std::vector<uint8_t> liar = good;
        liar[at + 2] = 0xFF;
        liar[at + 3] = 0xF0;
        img = decode(liar);
        EXPECT_EQ(img.status, DecodedImage::Status::LibraryError) << std::hex << int(code);
        EXPECT_EQ(img.pixels, nullptr);
    }
}

TEST(JpegBadInput, SegmentLengthsBelowTheirOwnTwoBytes) {
    const std::vector<uint8_t> good = colour();
    const size_t at = marker(good, 0xDB);
    for (uint8_t length : {0, 1}) {
        std::vector<uint8_t> bad = good;
        bad[at + 2] = 0;
        bad[at + 3] = length;
        DecodedImage img = decode(bad);
        EXPECT_EQ(img.status, DecodedImage::Status::LibraryError) << int(length);
        EXPECT_EQ(img.pixels, nullptr);
        EXPECT_FALSE(img.error.empty());
    }
}

TEST(JpegBadInput, AScanThatUsesATableNeverDefined) {
    std::vector<uint8_t> good = colour();
    // Point the first scan component at Huffman tables 3/3, which the file
    // never defines. SOS: FF DA, length, count, then (id, tables) pairs.
    const size_t at = marker(good, 0xDA);
    ASSERT_NE(at, std::string::npos);
    good[at + 6] = 0x33;
    expectRefused(decode(good), "Huffman table 0x03 was not defined");
}

TEST(JpegBadInput, AFrameWithNoWidthOrNoComponents) {
    std::vector<uint8_t> zero = colour();
    const size_t sof = marker(zero, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    zero[sof + 7] = 0;  // width, high byte
    zero[sof + 8] = 0;
    DecodedImage img = decode(zero);
    EXPECT_EQ(img.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_FALSE(img.error.empty());

    std::vector<uint8_t> none = colour();
    none[sof + 9] = 0;  // component count
    img = decode(none);
    EXPECT_EQ(img.status, DecodedImage::Status::LibraryError);
    EXPECT_EQ(img.pixels, nullptr);
}

TEST(JpegBadInput, HugeButAllowedSidesInATinyProgressiveFile) {
    // A 16x16 progressive file whose frame says 4096x4096: within the cap,
    // so the decoder allocates the whole image, finds the data missing,
    // warns and fills it. It ends with a full image, not a crash.
    std::vector<uint8_t> tiny = encode(16, 16, 1, JCS_GRAYSCALE, true);
    const size_t sof = marker(tiny, 0xC2);
    ASSERT_NE(sof, std::string::npos);
    tiny[sof + 5] = 0x10, tiny[sof + 6] = 0x00;  // height 4096
    tiny[sof + 7] = 0x10, tiny[sof + 8] = 0x00;  // width 4096
    DecodedImage img = decode(tiny);
    ASSERT_TRUE(img.ok()) << img.error;
    EXPECT_EQ(img.width, 4096);
    EXPECT_EQ(img.height, 4096);
    // Grey comes out as three equal samples.
    const uint32_t last = img.pixels[4096u * 4096u - 1];
    EXPECT_EQ(last, (last & 0xFF) * 0x010101u);
}

// The program's path: every refusal ends the process with status 1 and a
// line on standard error: the file, then libjpeg's text unchanged.
using JpegBadInputDeathTest = ::testing::Test;

std::string fileWith(const std::vector<uint8_t>& bytes, const std::string& name) { return tempFile(bytes, name); }

TEST_F(JpegBadInputDeathTest, EachRefusalEndsTheProgramWithItsMessage) {
    const std::string empty = fileWith({}, "empty.jpg");
    EXPECT_EXIT(Pixmap().load_jpeg(empty.c_str()), ::testing::ExitedWithCode(1),
                "^" + exactRegex(empty) + ": Empty input file\n$");

    const std::string cmyk = fileWith(encode(16, 16, 4, JCS_CMYK, false), "cmyk.jpg");
    EXPECT_EXIT(Pixmap().load_jpeg(cmyk.c_str()), ::testing::ExitedWithCode(1),
                "^" + exactRegex(cmyk) + ": Unsupported color conversion request\n$");

    std::vector<uint8_t> noTable = colour();
    noTable[marker(noTable, 0xDA) + 6] = 0x33;
    const std::string undefined = fileWith(noTable, "undefined_table.jpg");
    EXPECT_EXIT(Pixmap().load_jpeg(undefined.c_str()), ::testing::ExitedWithCode(1),
                "^" + exactRegex(undefined) + ": Huffman table 0x03 was not defined\n$");

    std::vector<uint8_t> wide = colour();
    const size_t sof = marker(wide, 0xC0);
    wide[sof + 7] = 0xFF;
    wide[sof + 8] = 0xFF;
    const std::string big = fileWith(wide, "wide.jpg");
    // Past libjpeg's own limit the library refuses before our size cap.
    EXPECT_EXIT(Pixmap().load_jpeg(big.c_str()), ::testing::ExitedWithCode(1),
                "^" + exactRegex(big) + ": Maximum supported image dimension is 65500 pixels\n$");

    for (const std::string& p : {empty, cmyk, undefined, big}) std::remove(p.c_str());
}
