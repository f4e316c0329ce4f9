// The generated scenes: the shapes face outward, every scene loads through
// the scene library with its camera, lights and frame range, looping scenes
// end where they start, and the bytes are the same on every build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <unistd.h>

#include "render/scene3d.h"
#include "scene/orin.h"
#include "scene_kit.h"
#include "scene_set.h"
#include "scene_textures.h"

using namespace marrow::scenes;
namespace w3ds = marrow::w3ds;
namespace fs = std::filesystem;

namespace {

// Six times the signed volume of a closed mesh (divergence theorem): positive
// when every face is counter-clockwise seen from outside.
double signedVolume(const Geo& g) {
    double sum = 0;
    for (const auto& f : g.f) sum += dot(g.v[f.a], cross(g.v[f.b], g.v[f.c]));
    return sum;
}

Vec3 faceNormal(const Geo& g, size_t i) {
    const auto& f = g.f[i];
    return normalise(cross(g.v[f.b] - g.v[f.a], g.v[f.c] - g.v[f.a]));
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the scene folder once into a temporary directory for the suite.
class SceneFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir() = fs::temp_directory_path() / ("marrow-scenes-" + std::to_string(getpid()));
        std::string error;
        ASSERT_TRUE(writeScenes(dir().string(), error)) << error;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(dir(), ec);
    }
    static fs::path& dir() {
        static fs::path d;
        return d;
    }
};

// One loaded scene, freed at the end of the scope.
struct Loaded {
    orin_scene* scene = nullptr;
    int32_t world = -1, motion = -1;
    explicit Loaded(const std::string& path) {
        orin_init(marrow::kPresentationLibraryFlags);
        orin_alloc_scene(&scene);
        world = orin_load_world(path.c_str(), scene);
        motion = world == ORIN_OK ? orin_load_motion(path.c_str(), scene) : -1;
        orin_set_scene(scene);
    }
    ~Loaded() {
        orin_free_scene(scene);
        orin_done();
    }
    template <class T>
    std::vector<T*> records(int32_t type) const {
        std::vector<T*> out;
        for (orin_world_node* n = scene->world; n; n = n->next)
            if (n->type == type) out.push_back(static_cast<T*>(n->object));
        return out;
    }
};

}  // namespace

// ---- shapes ---------------------------------------------------------------------------------

TEST(SceneShapes, ClosedShapesFaceOutward) {
    EXPECT_GT(signedVolume(box({3, 4, 5})), 0);
    // A box's volume is exact: 6 x (2*3)(2*4)(2*5).
    EXPECT_NEAR(signedVolume(box({3, 4, 5})), 6.0 * 480.0, 1e-2);
    EXPECT_GT(signedVolume(ball(10, 16, 8)), 0);
    EXPECT_GT(signedVolume(sphere(10, 16, 8, true)), 0);
    EXPECT_GT(signedVolume(sphere(10, 16, 8, false)), 0);
    EXPECT_GT(signedVolume(torusKnot(2, 3, 40, 15, 8, 64, 8)), 0);
    // The knot is closed: opposite faces cancel, so the volume is close to
    // the tube's (pi tr^2 times the curve length, the curve over 2 pi R).
    EXPECT_GT(signedVolume(torusKnot(2, 3, 40, 15, 8, 64, 8)) / 6.0, M_PI * 64 * 2 * M_PI * 40);
}

TEST(SceneShapes, OpenShapesFaceTheirViewer) {
    Geo c = card(10, 4, 0, 0, 1, 1, false);
    ASSERT_EQ(c.f.size(), 2u);
    for (size_t i = 0; i < c.f.size(); ++i) EXPECT_NEAR(faceNormal(c, i).y, -1.0f, 1e-6f);
    // The two-sided card adds a back facing +y.
    Geo c2 = card(10, 4, 0, 0, 1, 1, true);
    ASSERT_EQ(c2.f.size(), 4u);
    EXPECT_NEAR(faceNormal(c2, 3).y, 1.0f, 1e-6f);
    // Upright mapping: the top edge (z > 0) shows v = 0, the left edge u = 0,
    // on both sides as seen by their viewers.
    for (size_t i = 0; i < c2.v.size(); ++i) {
        EXPECT_EQ(c2.uv[i].v, c2.v[i].z > 0 ? 0.0f : 1.0f);
        const bool back = i >= 4;
        EXPECT_EQ(c2.uv[i].u, (c2.v[i].x < 0) != back ? 0.0f : 1.0f);
    }
    Geo t = terrain(0, 10, 0, 10, 2, 2, [](float, float) { return 0.0f; }, 10);
    for (size_t i = 0; i < t.f.size(); ++i) EXPECT_NEAR(faceNormal(t, i).z, 1.0f, 1e-6f);
}

TEST(SceneShapes, WrappingSeamIsFlaggedOnEveryFace) {
    // The renderer repairs seams only when a mesh's first face is flagged.
    Geo s = sphere(5, 12, 6, true);
    for (const auto& f : s.f) EXPECT_EQ(f.flags & kWrapU, kWrapU);
    Geo b = ball(5, 12, 6);
    for (const auto& f : b.f) EXPECT_EQ(f.flags & kWrapU, 0);
    // Morph shapes share one layout.
    Geo a = surface(8, 4, true, false, [](float u, float v) { return Vec3{u, v, 0}; });
    Geo z = surface(8, 4, true, false, [](float u, float v) { return Vec3{v, u, 1}; });
    ASSERT_EQ(a.v.size(), z.v.size());
    for (size_t i = 0; i < a.f.size(); ++i) EXPECT_EQ(a.f[i].b, z.f[i].b);
}

TEST(SceneKeys, SpinKeysMakeWholeTurns) {
    auto keys = spinKeys(280, 2, {0, 0, 1});
    ASSERT_EQ(keys.size(), 9u);
    EXPECT_EQ(keys.front().frame, 0u);
    EXPECT_EQ(keys.back().frame, 280u);
    float total = 0;
    for (const auto& k : keys) total += k.angle;
    EXPECT_NEAR(total, 4 * M_PI, 1e-5);
    auto back = spinKeys(100, -1, {0, 0, 1});
    EXPECT_LT(back[1].angle, 0);
    auto loop = loopPath(100, 4, [](float t) { return Vec3{t, 0, 0}; });
    ASSERT_EQ(loop.size(), 5u);
    EXPECT_EQ(loop.back().v.x, loop.front().v.x);
    EXPECT_EQ(loop.back().frame, 100u);
}

// ---- the scene files -------------------------------------------------------------------------

TEST_F(SceneFiles, EveryTextureAndEnvmapNameIsWritten) {
    for (const SceneTexture& t : sceneTextures()) EXPECT_TRUE(fs::exists(dir() / "scenes" / t.file)) << t.file;
    EXPECT_EQ(sceneTable().size(), 11u);
}

TEST_F(SceneFiles, EverySceneLoadsWithCameraLightsAndRange) {
    // Keyframe needs of the stretches that show each scene.
    const std::map<std::string, float> minimumEnd = {
        {"scene1", 100.5f}, {"scene4", 399.5f}, {"scene5", 401.5f}, {"credits", 840.5f}};
    std::set<std::string> textures;
    for (const SceneTexture& t : sceneTextures()) textures.insert(t.file);
    textures.insert("envmap2.jpg");
    for (const SceneEntry& entry : sceneTable()) {
        SCOPED_TRACE(entry.name);
        Loaded l((dir() / "scenes" / (std::string(entry.name) + ".3ds")).string());
        ASSERT_EQ(l.world, ORIN_OK);
        ASSERT_EQ(l.motion, ORIN_OK);
        EXPECT_EQ(l.scene->frame_start, 0.0f);
        EXPECT_EQ(l.scene->frame_end, static_cast<float>(entry.end));
        auto it = minimumEnd.find(entry.name);
        if (it != minimumEnd.end()) {
            EXPECT_GT(l.scene->frame_end, it->second);
        }
        if (std::string(entry.name) == "canyon") {
            EXPECT_EQ(l.scene->frame_end, 840.0f);
        }
        EXPECT_GT(entry.lastShown, entry.firstShown);
        EXPECT_LT(entry.lastShown, entry.end);

        orin_world_node* cam = nullptr;
        ASSERT_EQ(orin_find_object("Camera01", &cam), ORIN_OK);
        ASSERT_NE(cam, nullptr);
        EXPECT_EQ(cam->type, ORIN_CAMERA);
        // Camera01 is driven by a camera node and a target node.
        int camNodes = 0, targetNodes = 0;
        for (orin_kf_node* n = l.scene->nodes; n; n = n->next) {
            if (n->object != cam->object) continue;
            camNodes += n->type == ORIN_KF_CAMERA;
            targetNodes += n->type == ORIN_KF_CAMERA_TARGET;
        }
        EXPECT_EQ(camNodes, 1);
        EXPECT_EQ(targetNodes, 1);

        auto lights = l.records<orin_light>(ORIN_LIGHT);
        EXPECT_FALSE(lights.empty());
        for (orin_light* light : lights) {
            EXPECT_GT(light->inner_range, 0.0f) << light->name;
            EXPECT_LT(light->inner_range, light->outer_range) << light->name;
            if (light->type == ORIN_LIGHT_SPOT) {
                EXPECT_LT(light->hotspot, light->falloff) << light->name;
            }
        }
        // A few thousand faces at most; morph targets (meshes no keyframer
        // node drives, so they collapse onto one point) count only in the
        // file's total.
        std::set<const void*> driven;
        for (orin_kf_node* n = l.scene->nodes; n; n = n->next) driven.insert(n->object);
        int faces = 0, drawn = 0;
        for (orin_object* o : l.records<orin_object>(ORIN_OBJECT)) {
            faces += o->num_faces;
            if (driven.count(o)) drawn += o->num_faces;
        }
        EXPECT_GT(drawn, 0);
        EXPECT_LE(drawn, 4000);
        EXPECT_LE(faces, 6000);
        // Every map the materials name is a file of the scene folder.
        for (orin_material* m : l.records<orin_material>(ORIN_MATERIAL)) {
            if (m->texture.file) {
                EXPECT_TRUE(textures.count(m->texture.file)) << m->texture.file;
            }
            if (m->reflection.file) {
                EXPECT_TRUE(textures.count(m->reflection.file)) << m->reflection.file;
            }
        }
    }
}

// Keyframer nodes find their records by name among materials and objects
// alike (materials come first), so no two may share a name.
TEST(SceneNames, RecordNamesAreUnique) {
    for (const SceneEntry& entry : sceneTable()) {
        SCOPED_TRACE(entry.name);
        w3ds::Scene3ds s = entry.build();
        std::set<std::string> names;
        for (const auto& m : s.materials) EXPECT_TRUE(names.insert(m.name).second) << m.name;
        for (const auto& o : s.objects) EXPECT_TRUE(names.insert(o.name).second) << o.name;
    }
}

// A looping scene must look the same at its end as at its start: every
// looping track closes on its segment (its last key at the end or a whole
// fraction of it), and every other animated track ends on its first value at
// the segment's end. The triangle camera alone flies on (the tunnel repeats
// every six rings) and is checked for that.
TEST_F(SceneFiles, LoopingScenesCloseTheirTracks) {
    for (const SceneEntry& entry : sceneTable()) {
        if (!entry.loops) continue;
        SCOPED_TRACE(entry.name);
        w3ds::Scene3ds s = entry.build();
        ASSERT_TRUE(s.keyframer);
        for (const w3ds::Node& n : s.keyframer->nodes)
            for (const w3ds::Track& t : n.tracks) {
                if (t.keys.size() < 2) continue;
                SCOPED_TRACE(n.name + (n.instance ? "/" + *n.instance : std::string()));
                const w3ds::Key& first = t.keys.front();
                const w3ds::Key& last = t.keys.back();
                EXPECT_EQ(first.frame, 0u);
                if (t.mode != w3ds::TrackMode::Once) {
                    ASSERT_GT(last.frame, 0u);
                    EXPECT_EQ(entry.end % last.frame, 0u);
                    if (t.kind == w3ds::TrackKind::Position || t.kind == w3ds::TrackKind::Scale) {
                        EXPECT_EQ(first.v.x, last.v.x);
                        EXPECT_EQ(first.v.y, last.v.y);
                        EXPECT_EQ(first.v.z, last.v.z);
                    }
                    if (t.kind == w3ds::TrackKind::Rotation) {
                        // Whole turns.
                        float sum = 0;
                        for (const auto& k : t.keys) sum += k.angle;
                        const float turns = sum / (2 * M_PI);
                        EXPECT_NEAR(turns, std::round(turns), 1e-4);
                    }
                    continue;
                }
                EXPECT_EQ(last.frame, entry.end);
                if (std::string(entry.name) == "triangle" && n.name == "Camera01") {
                    EXPECT_FLOAT_EQ(last.v.y - first.v.y, 720.0f);
                    EXPECT_EQ(first.v.x, last.v.x);
                    continue;
                }
                EXPECT_EQ(first.v.x, last.v.x);
                EXPECT_EQ(first.v.y, last.v.y);
                EXPECT_EQ(first.v.z, last.v.z);
                EXPECT_EQ(first.target, last.target);
            }
    }
}

TEST_F(SceneFiles, BytesAreTheSameOnEveryBuild) {
    for (const SceneEntry& entry : sceneTable()) {
        SCOPED_TRACE(entry.name);
        std::vector<uint8_t> again = w3ds::build3ds(entry.build());
        EXPECT_EQ(readFile(dir() / "scenes" / (std::string(entry.name) + ".3ds")), again);
    }
    // Textures too: a second folder matches the first byte for byte.
    fs::path second = dir() / "again";
    std::string error;
    ASSERT_TRUE(writeScenes(second.string(), error)) << error;
    for (const SceneEntry& entry : sceneTable()) {
        std::string f = std::string(entry.name) + ".3ds";
        EXPECT_EQ(readFile(dir() / "scenes" / f), readFile(second / "scenes" / f)) << f;
    }
    for (const SceneTexture& t : sceneTextures())
        EXPECT_EQ(readFile(dir() / "scenes" / t.file), readFile(second / "scenes" / t.file)) << t.file;
}

// The files are standard 3DS: an independent importer (assimp, a test-only
// tool) reads each one and finds the faces, cameras and lights our reader
// finds. It runs raw (-r): its default post-processing folds identical meshes
// into instances, which changes the face total.
TEST_F(SceneFiles, AnotherImporterReadsTheSameCounts) {
    if (std::system("assimp version >/dev/null 2>&1") != 0) GTEST_SKIP() << "assimp (assimp-utils) not installed";
    for (const SceneEntry& entry : sceneTable()) {
        SCOPED_TRACE(entry.name);
        const std::string path = (dir() / "scenes" / (std::string(entry.name) + ".3ds")).string();
        FILE* p = popen(("assimp info '" + path + "' -r 2>&1").c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[4096];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        const int status = pclose(p);
        EXPECT_EQ(status, 0) << out;
        auto count = [&](const std::string& label) {
            const size_t at = out.find("\n" + label + ":");
            return at == std::string::npos ? -1L : std::strtol(out.c_str() + at + label.size() + 2, nullptr, 10);
        };
        Loaded l(path);
        ASSERT_EQ(l.world, ORIN_OK);
        long faces = 0;
        for (orin_object* o : l.records<orin_object>(ORIN_OBJECT)) faces += o->num_faces;
        EXPECT_EQ(count("Faces"), faces);
        EXPECT_EQ(count("Cameras"), static_cast<long>(l.records<orin_camera>(ORIN_CAMERA).size()));
        EXPECT_EQ(count("Lights"), static_cast<long>(l.records<orin_light>(ORIN_LIGHT).size()));
    }
}
