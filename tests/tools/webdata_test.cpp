// marrow-webdata, which prepares a data directory for the browser build:
// the raw images hold exactly the pixels the desktop loader decodes, other
// files are copied unchanged, and a JPEG the loader refuses stops it with a
// message naming the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "render/pixmap.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolRun {
    int status;
    std::string output;
};

ToolRun webdata(const fs::path& data, const fs::path& out) {
    const std::string command = std::string(MARROW_BUILD_DIR) + "/marrow-webdata '" + data.string() + "' '" +
                                out.string() + "' 2>&1";
    ToolRun r{0, {}};
    FILE* p = popen(command.c_str(), "r");
    char buffer[512];
    while (p && std::fgets(buffer, sizeof buffer, p)) r.output += buffer;
    r.status = p ? pclose(p) : -1;
    return r;
}

class WebData : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("webdata-test-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

}  // namespace

TEST_F(WebData, RawImagesHoldTheDesktopPixelsAndScenesAreCopied) {
    const fs::path data = fs::path(MARROW_BUILD_DIR) / "demo";
    ASSERT_TRUE(fs::exists(data / "pixmaps" / "start.jpg")) << "the default data set is made by the build";
    const ToolRun r = webdata(data, dir / "fs");
    ASSERT_EQ(r.status, 0) << r.output;

    for (const char* name : {"pixmaps/start.jpg", "pixmaps/still0.jpg", "pixmaps/g3.jpg", "scenes/envmap2.jpg"}) {
        std::FILE* f = std::fopen((data / name).c_str(), "rb");
        ASSERT_NE(f, nullptr) << name;
        const marrow::DecodedImage image = marrow::decodeJpeg(f);
        std::fclose(f);
        ASSERT_TRUE(image.ok()) << name;
        const std::vector<uint8_t> raw = readFile(dir / "fs" / name);
        const size_t count = static_cast<size_t>(image.width) * image.height;
        ASSERT_EQ(raw.size(), 16 + count * 4) << name;
        EXPECT_EQ(std::memcmp(raw.data(), "MRWPIX1", 8), 0) << name;
        uint32_t w, h;
        std::memcpy(&w, &raw[8], 4);
        std::memcpy(&h, &raw[12], 4);
        EXPECT_EQ(static_cast<int32_t>(w), image.width) << name;
        EXPECT_EQ(static_cast<int32_t>(h), image.height) << name;
        EXPECT_EQ(std::memcmp(&raw[16], image.pixels.get(), count * 4), 0) << name;
    }
    EXPECT_EQ(readFile(dir / "fs" / "scenes" / "scene1.3ds"), readFile(data / "scenes" / "scene1.3ds"));
}

TEST_F(WebData, ARefusedJpegStopsItNamingTheFile) {
    fs::create_directories(dir / "data" / "pixmaps");
    fs::create_directories(dir / "data" / "scenes");
    std::ofstream(dir / "data" / "pixmaps" / "broken.jpg") << "not a JPEG at all";
    const ToolRun r = webdata(dir / "data", dir / "fs");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("pixmaps/broken.jpg: "), std::string::npos) << r.output;
}

TEST_F(WebData, AMissingFolderIsNamed) {
    fs::create_directories(dir / "data" / "pixmaps");
    const ToolRun r = webdata(dir / "data", dir / "fs");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("scenes: no such directory"), std::string::npos) << r.output;
}
