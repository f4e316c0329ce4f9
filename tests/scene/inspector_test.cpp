// marrow-scene: runs the built tool on files written here and checks its
// exit status and JSON members. Skipped when the tool has not been built.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
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

// --at FRAME: the scene after the renderer's per-frame calls. Base moves
// (0 -> 20 over frames 0..40), turns a quarter turn about library y and
// grows (1 -> 2); its child Lamp sits 3 above it (library y); Arm is hidden
// from frame 30. At frame 30 (t = 0.75): Base at (15, 0, 0), scale 1.75,
// rotation 3/8 of a half-turn; the lamp at Base's matrix applied to
// (0, 3, 0) = (15, 5.25, 0); its colour three quarters of the way from
// (1, 0.5, 0.25) to (0, 0, 1).
TEST(Inspector, EvaluatesAFrame) {
    if (toolPath().empty()) GTEST_SKIP() << "marrow-scene not built";
    w::Scene3ds s;
    w::Mesh m;
    m.vertices = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    m.faces = {{0, 1, 2}};
    s.objects.push_back({"Base", m});
    s.objects.push_back({"Arm", m});
    w::Camera cam;
    cam.pos = {0, -50, 10};
    s.objects.push_back({"Camera01", cam});
    s.objects.push_back({"Lamp", w::Light{}});
    w::Keyframer k;
    k.end = 100;
    w::Node base = w::objectNode("Base", 0);
    base.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, 0, 0}), w::vecKey(40, {20, 0, 0})}},
                   {w::TrackKind::Rotation, w::TrackMode::Once,
                    {w::rotKey(0, 0, {0, 0, 1}), w::rotKey(40, float(M_PI / 2), {0, 0, 1})}},
                   {w::TrackKind::Scale, w::TrackMode::Once, {w::vecKey(0, {1, 1, 1}), w::vecKey(40, {2, 2, 2})}}};
    w::Node arm = w::objectNode("Arm", 1, 0);
    w::Key hide;
    hide.frame = 30;
    arm.tracks = {{w::TrackKind::Hide, w::TrackMode::Once, {hide}}};
    w::Node cn;
    cn.kind = w::NodeKind::Camera;
    cn.id = 2;
    cn.name = "Camera01";
    cn.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, -50, 10}), w::vecKey(100, {50, -50, 10})}}};
    w::Node ln;
    ln.kind = w::NodeKind::Light;
    ln.id = 3;
    ln.name = "Lamp";
    ln.parent = 0;
    ln.tracks = {{w::TrackKind::Position, w::TrackMode::Once, {w::vecKey(0, {0, 0, 3})}},
                 {w::TrackKind::Color, w::TrackMode::Once, {w::vecKey(0, {1, 0.5f, 0.25f}), w::vecKey(40, {0, 0, 1})}}};
    k.nodes = {base, arm, cn, ln};
    s.keyframer = k;
    std::string path = tempFile(w::build3ds(s), "at.3ds");

    ToolRun r = run(path + " --json --at 30");
    EXPECT_EQ(r.status, 0);
    // Rotation by 3/8 of pi about y: (cos 3pi/16, 0, sin 3pi/16, 0) =
    // (0.8314696.., 0, 0.5555702.., 0), to six digits (the slerp rounds).
    const std::string rotate = "\"rotate\": [0.831469";
    const std::string members[] = {
        "\"evaluated\": {\n    \"frame\": 30,",
        "{\"name\": \"Base\", \"translate\": [15, 0, 0]",
        "\"scale\": [1.75, 1.75, 1.75]",
        "\"hidden\": true}",  // Arm
        "{\"name\": \"Camera01\", \"pos\": [15, 10, -50], \"target\": [0, 0, 1]",  // file (0, 1, 0)
        "{\"name\": \"Lamp\", \"pos\": [15, 5.25, 0]",
        "\"color\": [0.25, 0.125, 0.8125]",
        // Track details: the rotation key's spin sum, axis and quaternion.
        "\"key_list\": [{\"frame\": 0, \"value\": {\"spin\": 0, \"axis\": [0, 1, 0], \"quat\": [1, 0, 0, 0]}",
        rotate,
        ", 0, 0.555570",
    };
    for (const std::string& m : members) EXPECT_TRUE(has(r.out, m)) << m << "\n" << r.out;
    // The text report has the same section.
    ToolRun text = run(path + " --at 30");
    EXPECT_TRUE(has(text.out, "evaluated at frame 30")) << text.out;
    EXPECT_TRUE(has(text.out, "frame 40: (20, 0, 0)")) << text.out;
    // Without --at there is no evaluated member; a frame outside the
    // segment is refused with 1; a frame that is no number is a usage error.
    EXPECT_FALSE(has(run(path + " --json").out, "\"evaluated\""));
    EXPECT_EQ(run(path + " --at 100").status, 1);
    EXPECT_EQ(run(path + " --at 1x").status, 2);
    EXPECT_EQ(run(path + " --at").status, 2);
    std::remove(path.c_str());
}

// Files other exporters write: read leniently by default, with the reader's
// warnings in the text and JSON reports; --strict reads them the
// presentation's way and fails where it fails.
TEST(Inspector, ReadsExporterFilesLenientlyUnlessStrict) {
    if (toolPath().empty()) GTEST_SKIP() << "marrow-scene not built";
    w::ChunkWriter c;
    c.begin(0x4D4D);
    c.begin(0x3D3D);
    w::Material paint;
    paint.name = "Paint";  // covers offset 28: the version check passes
    w::writeMaterial(c, paint);
    w::Mesh m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.faces = {{0, 1, 2}};
    w::writeObject(c, {"Body", m});
    c.end();
    c.begin(0xB000);
    w::Node root;  // an object node without a name or number
    w::writeNode(c, root);
    w::Node body = w::objectNode("Body", 1, 0);
    body.id.reset();
    w::writeNode(c, body);
    c.end();
    c.end();
    std::string path = tempFile(c.data(), "exported.3ds");

    ToolRun json = run(path + " --json");
    EXPECT_EQ(json.status, 0) << json.out;
    EXPECT_TRUE(has(json.out, "\"reading\": \"lenient\"")) << json.out;
    EXPECT_TRUE(has(json.out, "\"keyframer node 0 \\\"\\\" (chunk 0xB010 at offset ")) << json.out;
    EXPECT_TRUE(has(json.out, "the presentation's strict reading refuses this file: ORIN_ERR_LOOKUP")) << json.out;
    ToolRun text = run(path);
    EXPECT_EQ(text.status, 0);
    EXPECT_TRUE(has(text.out, "read as an unnamed dummy")) << text.out;
    EXPECT_TRUE(has(text.out, "reading: lenient")) << text.out;

    ToolRun strict = run(path + " --json --strict");
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(has(strict.out, "\"result\": {\"world\": 0, \"motion\": 256}")) << strict.out;
    EXPECT_TRUE(has(strict.out, "\"reading\": \"strict\"")) << strict.out;
    EXPECT_FALSE(has(strict.out, "unnamed dummy")) << strict.out;
    std::remove(path.c_str());
}
