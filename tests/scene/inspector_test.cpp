// marrow-scene: runs the built tool on files written here and checks its
// exit status and JSON members. Skipped when the tool has not been built.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "scene_util.h"

using namespace scenetest;

namespace {

// The tool lives in the build directory: MARROW_BUILD_DIR when set, else
// one level above this test binary (build/tests/test_scene).
std::string toolPath() {
    std::vector<std::string> candidates;
    if (const char* dir = std::getenv("MARROW_BUILD_DIR")) candidates.push_back(std::string(dir) + "/marrow-scene");
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string exe(self, static_cast<size_t>(n));
        std::string dir = exe.substr(0, exe.find_last_of('/'));
        candidates.push_back(dir + "/../marrow-scene");
    }
    for (const std::string& path : candidates) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0) return path;
    }
    return std::string();
}

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun run(const std::string& args) {
    ToolRun r;
    FILE* p = popen((toolPath() + " " + args + " 2>/dev/null").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace

TEST(Inspector, ReportsASceneInTextAndJson) {
    if (toolPath().empty()) GTEST_SKIP() << "marrow-scene not built";
    std::string path = tempFile(w::build3ds(sampleScene()), "inspect.3ds");
    ToolRun text = run(path);
    EXPECT_EQ(text.status, 0);
    EXPECT_TRUE(has(text.out, "\"Camera01\"")) << text.out;
    EXPECT_TRUE(has(text.out, "keyframer nodes (9)")) << text.out;

    // Loading the motion updates the scene at frame 0: the camera's FOV
    // track (60) replaces the 35 mm lens's 63 degrees.
    ToolRun json = run(path + " --json");
    EXPECT_EQ(json.status, 0);
    const char* members[] = {"\"file\": ", "\"result\": {\"world\": 0, \"motion\": 0}",
                             "\"frames\": {\"start\": 0, \"end\": 200}",
                             "{\"name\": \"Pivot\", \"id\": 1025, \"vertices\": 0", "\"pivot\": [1, 3, 2]",
                             "\"texture\": \"TEX1.JPG\"", "\"bump\": \"BUMP.JPG\"",
                             "\"pos\": [10, 30, 20]", "\"fov\": 60", "\"inner_range\": 10",
                             "\"parent\": 4", "\"nodes\": [", "\"warnings\": ["};
    for (const char* m : members) EXPECT_TRUE(has(json.out, m)) << m << "\n" << json.out;
    // The maps are not beside the file: one warning for the texture, one for
    // the reflection map; the camera is there.
    EXPECT_TRUE(has(json.out, "texture file \\\"TEX1.JPG\\\" not found")) << json.out;
    EXPECT_TRUE(has(json.out, "reflection file \\\"ENVMAP2.JPG\\\" not found")) << json.out;
    EXPECT_FALSE(has(json.out, "Camera01\\\"\"")) << json.out;
}

TEST(Inspector, WarnsAboutAMissingCamera) {
    if (toolPath().empty()) GTEST_SKIP() << "marrow-scene not built";
    w::Scene3ds s;
    s.objects.push_back({"Camera02", w::Camera{}});
    ToolRun r = run(tempFile(w::build3ds(s)) + " --json");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.out, "no camera named \\\"Camera01\\\"")) << r.out;
}

TEST(Inspector, FailedLoadsExitWithOne) {
    if (toolPath().empty()) GTEST_SKIP() << "marrow-scene not built";
    auto bytes = w::build3ds(sampleScene());
    bytes[28] = 1;
    ToolRun r = run(tempFile(bytes) + " --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "\"result\": {\"world\": 4, \"motion\": null}")) << r.out;
    EXPECT_EQ(run("/nonexistent/x.3ds").status, 1);
    EXPECT_EQ(run("").status, 2);
}
