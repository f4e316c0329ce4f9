// Hostile 3DS files: what the reader answers and where it says it stopped
// (orin_get_stop, and marrow-scene's message). The guards of each handler
// and the cut/corrupted-byte sweeps are in tests/scene; these are the cases
// around them: every header length below 6, deep and wide files, names past
// their limit, odd node parents, non-finite reals, singular matrices and
// map names that leave the scene directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "bad_input.h"
#include "writer3ds.h"

using namespace hardening;
namespace w = marrow::w3ds;

namespace {

using Body = SceneBody;

std::vector<uint8_t> file(const Body& editor, const Body& keyframer = {}) { return sceneFile(editor, keyframer); }

// A mesh "M" whose vertex chunk (@46) claims `count` vertices and holds
// `held` coordinates: the world pass stops there when they fall short.
std::vector<uint8_t> shortVerticesScene(uint16_t count = 2, int held = 0) {
    return file([count, held](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str("M");
        c.begin(0x4100);
        c.begin(0x4110);
        c.u16(count);
        for (int k = 0; k < held; ++k) c.f32(0);
        c.end();
        c.end();
        c.end();
    });
}

void triangleMesh(w::ChunkWriter& c, const std::string& name) {
    c.begin(0x4000);
    c.str(name);
    c.begin(0x4100);
    c.begin(0x4110);
    c.u16(3);
    c.f32(0), c.f32(0), c.f32(0);
    c.f32(1), c.f32(0), c.f32(0);
    c.f32(0), c.f32(1), c.f32(0);
    c.end();
    c.end();
    c.end();
}

void objectNode(w::ChunkWriter& c, const std::string& name, int number, int16_t parent) {
    node(c, 0xB002, name, parent, number);
}

// The mesh "A" and a node header (@102) naming no record: the motion pass
// stops there.
std::vector<uint8_t> unknownNodeScene() {
    return file([](w::ChunkWriter& c) { triangleMesh(c, "A"); },
                [](w::ChunkWriter& c) {
                    c.begin(0xB002);
                    c.begin(0xB010);
                    c.str("Nobody");
                    c.u16(0), c.u16(0), c.s16(-1);
                    c.end();
                    c.end();
                });
}

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

}  // namespace

// A chunk header that claims fewer than its own 6 bytes can never advance
// the walk: refused for every such length, whatever the id, and the reader
// names that chunk and its offset.
TEST(SceneBadInput, EveryChunkLengthBelowTheHeaderIsRefusedWhereItStands) {
    for (uint16_t id : {0x1234, 0x3D3D, 0x4000, 0x4110, 0xAFFF}) {
        for (uint32_t length = 0; length <= 5; ++length) {
            SceneLoad l(file([&](w::ChunkWriter& c) {
                triangleMesh(c, "Before");  // 6 + 7 + 6 + 6 + 2 + 36 = 63 bytes
                c.u16(id);
                c.u32(length);
                c.u32(0);
            }));
            EXPECT_EQ(l.world, ORIN_ERR_READ) << std::hex << id << " " << length;
            EXPECT_EQ(l.scene->world, nullptr);
            ASSERT_EQ(l.stopResult, ORIN_OK);
            EXPECT_EQ(l.stopId, id);
            EXPECT_EQ(l.stopOffset, kEditorBody + 63);
        }
    }
}

TEST(SceneBadInput, TheStopPositionNamesTheInnermostChunkThatFailed) {
    // A vertex count the chunk cannot hold: the vertex chunk itself, inside
    // object @32 (6 + "M\0"), mesh @40, vertex chunk @46.
    SceneLoad counts(shortVerticesScene(0xFFFF, 3));
    EXPECT_EQ(counts.world, ORIN_ERR_READ);
    EXPECT_EQ(counts.stopId, 0x4110);
    EXPECT_EQ(counts.stopOffset, kEditorBody + 14);

    // The version byte: offset 28, no chunk.
    auto old = file(nullptr);
    old[28] = 1;
    SceneLoad version(old);
    EXPECT_EQ(version.world, ORIN_ERR_VERSION);
    ASSERT_EQ(version.stopResult, ORIN_OK);
    EXPECT_EQ(version.stopId, 0);
    EXPECT_EQ(version.stopOffset, 28);

    // A header cut short: the id is read, the length is not.
    SceneLoad cut(file([](w::ChunkWriter& c) { c.u16(0x4000), c.u16(0); }));
    EXPECT_EQ(cut.world, ORIN_ERR_READ);
    EXPECT_EQ(cut.stopId, 0x4000);
    EXPECT_EQ(cut.stopOffset, kEditorBody);

    // A good file has no stop position.
    SceneLoad good(file([](w::ChunkWriter& c) { triangleMesh(c, "T"); }));
    EXPECT_EQ(good.world, ORIN_OK);
    EXPECT_EQ(good.motion, ORIN_OK);
    EXPECT_EQ(good.stopResult, ORIN_ERR_NOT_LOADED);
    uint16_t id;
    EXPECT_EQ(orin_get_stop(nullptr, nullptr), ORIN_ERR_NULL);
    EXPECT_EQ(orin_get_stop(&id, nullptr), ORIN_ERR_NULL);
}

// The text the error messages append: the stop of the pass that failed, and
// nothing for results that never read the file (the library-wide stop then
// belongs to an earlier pass).
TEST(SceneBadInput, TheStopTextNamesTheChunkAndOffsetOfTheFailedPass) {
    char text[64];
    SceneLoad counts(shortVerticesScene(0xFFFF));
    ASSERT_EQ(counts.world, ORIN_ERR_READ);
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_READ, text, sizeof text), "stopped in chunk 0x4110 at offset 46");
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_LOOKUP, text, sizeof text), "stopped in chunk 0x4110 at offset 46");
    for (int32_t unread : {ORIN_OK, ORIN_ERR_OPEN, ORIN_ERR_NOT_LOADED, ORIN_ERR_NULL})
        EXPECT_STREQ(orin_describe_stop(unread, text, sizeof text), "") << unread;
    // A short buffer keeps the start and its terminator; none is no text.
    char small[12];
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_READ, small, sizeof small), "stopped in ");
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_READ, nullptr, 8), "");
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_READ, text, 0), "");

    auto old = file(nullptr);
    old[28] = 1;
    SceneLoad version(old);
    ASSERT_EQ(version.world, ORIN_ERR_VERSION);
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_VERSION, text, sizeof text), "stopped at offset 28");

    SceneLoad good(file([](w::ChunkWriter& c) { triangleMesh(c, "T"); }));
    ASSERT_EQ(good.motion, ORIN_OK);
    EXPECT_STREQ(orin_describe_stop(ORIN_ERR_READ, text, sizeof text), "");
}

TEST(SceneBadInput, TenThousandLevelsDeepStopAtTheFirstLevelPastTheCap) {
    SceneLoad l(file([](w::ChunkWriter& c) {
        for (int i = 0; i < 10000; ++i) c.begin(0x3D3D);
        for (int i = 0; i < 10000; ++i) c.end();
    }));
    EXPECT_EQ(l.world, ORIN_ERR_READ);
    // Main and editor are levels 1 and 2; nested chunk k (from 0) is level
    // 3 + k at offset 32 + 6k, and level 65 is the first one refused,
    // before its header is read (id 0).
    EXPECT_EQ(l.stopResult, ORIN_OK);
    EXPECT_EQ(l.stopId, 0);
    EXPECT_EQ(l.stopOffset, kEditorBody + 6 * 62);
}

TEST(SceneBadInput, OneHundredThousandSiblingsLoad) {
    // Unknown chunks are skipped by their length, named objects without a
    // body make no record, meshes make one record each.
    SceneLoad unknown(file([](w::ChunkWriter& c) {
        for (int i = 0; i < 100000; ++i) c.leaf(0x1234, {});
    }));
    EXPECT_EQ(unknown.world, ORIN_OK);
    EXPECT_EQ(unknown.scene->world, nullptr);

    SceneLoad meshes(file([](w::ChunkWriter& c) {
        for (int i = 0; i < 100000; ++i) {
            c.begin(0x4000);
            c.str("N" + std::to_string(i));
            c.begin(0x4100);
            c.end();
            c.end();
        }
    }));
    EXPECT_EQ(meshes.world, ORIN_OK);
    EXPECT_EQ(meshes.motion, ORIN_OK);
    int count = 0;
    int32_t lastId = -1;
    for (orin_world_node* n = meshes.scene->world; n; n = n->next) {
        ++count;
        lastId = orin_record_id(n);
    }
    EXPECT_EQ(count, 100000);
    EXPECT_EQ(lastId, 99999);
}

TEST(SceneBadInput, NamesLongerThan63BytesAreCutAndStillMatch) {
    const std::string longName(200, 'a');
    const std::string longMaterial = std::string(63, 'm') + "-first";
    const std::string longMap = std::string(250, 'x') + ".JPG";
    SceneLoad l(file([&](w::ChunkWriter& c) {
        c.begin(0xAFFF);
        c.begin(0xA000);
        c.str(longMaterial);
        c.end();
        c.begin(0xA200);
        c.begin(0xA300);
        c.str(longMap);
        c.end();
        c.end();
        c.end();
        c.begin(0x4000);
        c.str(longName);
        c.begin(0x4100);
        c.begin(0x4110);
        c.u16(3);
        for (int i = 0; i < 9; ++i) c.f32(float(i));
        c.end();
        c.begin(0x4120);
        c.u16(1);
        c.u16(0), c.u16(1), c.u16(2), c.u16(7);
        // The group names the material by a different long name with the
        // same first 63 bytes: both are cut alike, so it is found.
        c.begin(0x4130);
        c.str(std::string(63, 'm') + "-second");
        c.u16(1);
        c.u16(0);
        c.end();
        c.end();
        c.end();
        c.end();
    }));
    ASSERT_EQ(l.world, ORIN_OK);
    auto* mesh = l.record<orin_object>(std::string(63, 'a').c_str());
    ASSERT_NE(mesh, nullptr);
    auto* mat = l.record<orin_material>(std::string(63, 'm').c_str());
    ASSERT_NE(mat, nullptr);
    EXPECT_EQ(mesh->faces[0].material, mat);
    EXPECT_EQ(std::string(mat->texture.file), std::string(63, 'x'));
}

TEST(SceneBadInput, AMapFileNameWithoutTerminatorIsRefusedAtItsChunk) {
    // Material @32, its name chunk @38 ("W\0": 8 bytes), map @46, file @52.
    SceneLoad l(file([](w::ChunkWriter& c) {
        c.begin(0xAFFF);
        c.begin(0xA000);
        c.str("W");
        c.end();
        c.begin(0xA200);
        c.begin(0xA300);
        c.bytes("TEX.JPG", 7);
        c.end();
        c.end();
        c.end();
    }));
    EXPECT_EQ(l.world, ORIN_ERR_READ);
    EXPECT_EQ(l.stopId, 0xA300);
    EXPECT_EQ(l.stopOffset, kEditorBody + 20);
}

TEST(SceneBadInput, ASecondMappingListReplacesTheFirst) {
    SceneLoad l(file([](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str("M");
        c.begin(0x4100);
        c.begin(0x4110);
        c.u16(2);
        for (int i = 0; i < 6; ++i) c.f32(0);
        c.end();
        for (float base : {1.0f, 5.0f}) {
            c.begin(0x4140);
            c.u16(2);
            c.f32(base), c.f32(base + 1), c.f32(base + 2), c.f32(base + 3);
            c.end();
        }
        c.end();
        c.end();
    }));
    ASSERT_EQ(l.world, ORIN_OK);
    auto* m = l.record<orin_object>("M");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->vertices[0].u, 5.0f);
    EXPECT_EQ(m->vertices[1].v, 8.0f);
}

// Parent numbers are taken as given: no node yet with that number means no
// parent; a node naming its own number is adopted by itself (the list's
// nodes with that number include the new one).
TEST(SceneBadInput, NodeParentsUnknownOwnOrOnTheFirstNode) {
    SceneLoad l(file(
        [](w::ChunkWriter& c) {
            triangleMesh(c, "A");
            triangleMesh(c, "B");
            triangleMesh(c, "C");
            triangleMesh(c, "D");
        },
        [](w::ChunkWriter& c) {
            objectNode(c, "A", 0, 3);      // first node, parent not yet seen
            objectNode(c, "B", 1, 1);      // its own number
            objectNode(c, "C", 2, 0x7FFF); // never seen
            objectNode(c, "D", 3, 0);      // a proper parent
        }));
    ASSERT_EQ(l.world, ORIN_OK);
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_kf_node* n[4];
    orin_kf_node* k = l.scene->nodes;
    for (int i = 0; i < 4; ++i, k = k->next) n[i] = k;
    EXPECT_EQ(n[0]->parent, nullptr);  // node 3 came later
    EXPECT_EQ(n[1]->parent, n[1]);
    EXPECT_EQ(n[1]->child, n[1]);
    EXPECT_EQ(n[2]->parent, nullptr);
    EXPECT_EQ(n[3]->parent, n[0]);
    EXPECT_EQ(n[0]->child, n[3]);
}

TEST(SceneBadInput, NonFiniteRealsAreCarriedThroughUnchanged) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    SceneLoad l(file([&](w::ChunkWriter& c) {
        c.begin(0x4000);
        c.str("M");
        c.begin(0x4100);
        c.begin(0x4110);
        c.u16(2);
        c.f32(nan), c.f32(inf), c.f32(-inf);
        c.f32(1), c.f32(2), c.f32(3);
        c.end();
        c.end();
        c.end();
        for (float lens : {0.0f, nan, inf}) {
            c.begin(0x4000);
            c.str("Cam" + std::to_string(bits(lens)));
            c.begin(0x4700);
            c.f32(nan), c.f32(inf), c.f32(0), c.f32(0), c.f32(0), c.f32(0), c.f32(nan), c.f32(lens);
            c.end();
            c.end();
        }
        c.begin(0x4000);
        c.str("L");
        c.begin(0x4600);
        c.f32(inf), c.f32(0), c.f32(0);
        c.begin(0x4610);
        c.f32(0), c.f32(0), c.f32(0), c.f32(nan), c.f32(-inf);
        c.end();
        c.begin(0x4659);
        c.f32(nan);
        c.end();
        c.begin(0x0010);
        c.f32(inf), c.f32(nan), c.f32(-1e38f);
        c.end();
        c.end();
        c.end();
    }));
    ASSERT_EQ(l.world, ORIN_OK);
    auto* m = l.record<orin_object>("M");
    ASSERT_NE(m, nullptr);
    // File (x, y, z) is library (x, z, y).
    EXPECT_TRUE(std::isnan(m->vertices[0].local.x));
    EXPECT_EQ(m->vertices[0].local.y, -inf);
    EXPECT_EQ(m->vertices[0].local.z, inf);
    // Field of view 15 / lens x 160: infinite for lens 0, NaN for NaN, 0 for inf.
    EXPECT_EQ(l.record<orin_camera>(("Cam" + std::to_string(bits(0.0f))).c_str())->fov, inf);
    EXPECT_TRUE(std::isnan(l.record<orin_camera>(("Cam" + std::to_string(bits(nan))).c_str())->fov));
    EXPECT_EQ(l.record<orin_camera>(("Cam" + std::to_string(bits(inf))).c_str())->fov, 0.0f);
    auto* light = l.record<orin_light>("L");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->pos.x, inf);
    EXPECT_TRUE(std::isnan(light->hotspot));
    EXPECT_EQ(light->falloff, -inf);
    EXPECT_TRUE(std::isnan(light->inner_range));
    EXPECT_EQ(light->color.r, inf);
    EXPECT_EQ(light->color.b, -1e38f);
}

// A mesh matrix with a zero-length axis cannot be inverted: the linear part
// is dropped and only the origin is subtracted. Axes that are not zero but
// dependent still load (the result is finite).
TEST(SceneBadInput, SingularMeshMatrices) {
    auto meshWithMatrix = [](std::initializer_list<float> m) {
        return file([=](w::ChunkWriter& c) {
            c.begin(0x4000);
            c.str("M");
            c.begin(0x4100);
            c.begin(0x4110);
            c.u16(1);
            c.f32(1), c.f32(2), c.f32(3);
            c.end();
            c.begin(0x4160);
            for (float v : m) c.f32(v);
            c.end();
            c.end();
            c.end();
        });
    };
    SceneLoad zero(meshWithMatrix({0, 0, 0, 0, 2, 0, 0, 0, 2, 1, 1, 1}));
    ASSERT_EQ(zero.world, ORIN_OK);
    const orin_vector p = zero.record<orin_object>("M")->vertices[0].local;
    // Vertex (1, 2, 3) less origin (1, 1, 1) in file space is (0, 1, 2);
    // in library space (0, 2, 1).
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, 2.0f);
    EXPECT_EQ(p.z, 1.0f);

    SceneLoad same(meshWithMatrix({1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0}));
    ASSERT_EQ(same.world, ORIN_OK);
    const orin_vector q = same.record<orin_object>("M")->vertices[0].local;
    EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z));
}

TEST(SceneBadInput, MapNamesAreDataButNeverLeadOutOfTheSceneDirectory) {
    const std::vector<std::string> names = {"../../etc/passwd", "/etc/passwd", "C:\\MAPS\\X.JPG",
                                            "SUB\\..\\..\\X.JPG"};
    w::Scene3ds s;
    for (size_t i = 0; i < names.size(); ++i) {
        w::Material m;
        m.name = "Mat" + std::to_string(i);
        m.texture.file = names[i];
        s.materials.push_back(m);
    }
    w::Camera cam;
    s.objects.push_back({"Camera01", cam});
    const auto bytes = w::build3ds(s);
    SceneLoad l(bytes);
    ASSERT_EQ(l.world, ORIN_OK);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_STREQ(l.record<orin_material>(("Mat" + std::to_string(i)).c_str())->texture.file, names[i].c_str());

    const std::string tool = builtTool("marrow-scene");
    if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "marrow-scene not built";
    const std::string path = tempFile(bytes, "maps.3ds");
    ToolRun r = runTool(tool, {path});
    EXPECT_EQ(r.status, 0) << r.err;
    size_t outside = 0;
    for (size_t at = r.out.find("is outside the scene directory"); at != std::string::npos;
         at = r.out.find("is outside the scene directory", at + 1))
        ++outside;
    EXPECT_EQ(outside, names.size()) << r.out;
    EXPECT_NE(r.out.find("material \"Mat0\": texture file \"../../etc/passwd\" is outside"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("not found in"), std::string::npos) << r.out;
    std::remove(path.c_str());
}

TEST(SceneBadInput, MarrowSceneNamesTheFileTheCodeAndWhereTheReaderStopped) {
    const std::string tool = builtTool("marrow-scene");
    if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "marrow-scene not built";
    // World pass: the vertex chunk at 46 holds fewer vertices than it says.
    const std::string world = tempFile(shortVerticesScene(), "short_vertices.3ds");
    ToolRun r = runTool(tool, {world});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "marrow-scene: " + world +
                         ": world pass failed: ORIN_ERR_READ (3); stopped in chunk 0x4110 at offset 46\n");

    // Motion pass: a node header naming no record. The keyframer starts
    // after the editor: 32 + 58 (the mesh "A") = 90; node @96, header @102.
    // The presentation's reading (--strict) stops there; the tool's own
    // lenient reading makes the node a dummy and says where it was.
    const std::string motion = tempFile(unknownNodeScene(), "unknown_node.3ds");
    r = runTool(tool, {motion, "--strict"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "marrow-scene: " + motion +
                         ": motion pass failed: ORIN_ERR_LOOKUP (256); stopped in chunk 0xB010 at offset 102\n");
    r = runTool(tool, {motion});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(chunk 0xB010 at offset 102): no mesh of that name; read as an unnamed dummy"),
              std::string::npos)
        << r.out;

    // The version byte, and a file that cannot be opened (no position).
    auto old = file(nullptr);
    old[28] = 0;
    const std::string version = tempFile(old, "old.3ds");
    r = runTool(tool, {version});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "marrow-scene: " + version + ": world pass failed: ORIN_ERR_VERSION (4); stopped at offset 28\n");
    const std::string missing = tempPath("missing.3ds");
    r = runTool(tool, {missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "marrow-scene: " + missing + ": no such file\n");

    // A self-parented node prints once, marked, and the tool ends.
    const std::string self = tempFile(file([](w::ChunkWriter& c) { triangleMesh(c, "A"); },
                                           [](w::ChunkWriter& c) { objectNode(c, "A", 4, 4); }),
                                      "self_parent.3ds");
    r = runTool(tool, {self});
    EXPECT_NE(r.status, -1);
    EXPECT_NE(r.out.find("(detached)"), std::string::npos) << r.out;
    for (const std::string& p : {world, motion, version, self}) std::remove(p.c_str());
}

// ---- tracks --------------------------------------------------------------------------

namespace {

// Track chunk header: flags (mode in bits 0..1), 8 unused bytes, key count
// and its high half.
void trackHeader(w::ChunkWriter& c, uint16_t id, uint16_t flags, uint16_t count) {
    c.begin(id);
    c.u16(flags);
    for (int i = 0; i < 8; ++i) c.u8(0);
    c.u16(count);
    c.u16(0);
}

void positionKey(w::ChunkWriter& c, uint16_t frame, float x, uint16_t splineFlags = 0) {
    c.u16(frame);
    c.u16(0);
    c.u16(splineFlags);
    for (int bit = 0; bit < 16; ++bit)
        if (splineFlags & (1u << bit)) c.f32(0.125f * float(bit + 1));
    c.f32(x), c.f32(2 * x), c.f32(3 * x);
}

// One mesh "A" driven by one object node whose tracks `tracks` writes; the
// segment is frames 0..100. *trackAt receives the file offset where the
// tracks begin.
std::vector<uint8_t> trackFile(const Body& tracks, long* trackAt = nullptr) {
    return file([](w::ChunkWriter& c) { triangleMesh(c, "A"); },
                [&](w::ChunkWriter& c) {
                    c.begin(0xB008);
                    c.u32(0), c.u32(100);
                    c.end();
                    c.begin(0xB002);
                    c.begin(0xB030);
                    c.u16(0);
                    c.end();
                    c.begin(0xB010);
                    c.str("A");
                    c.u16(0), c.u16(0), c.s16(-1);
                    c.end();
                    if (trackAt) *trackAt = static_cast<long>(c.size());
                    tracks(c);
                    c.end();
                });
}

// Updates the loaded scene at every frame of its range; true when every
// update succeeded and left the mesh's world-space vertices finite.
bool updatesStayFinite(SceneLoad& l) {
    auto* a = l.record<orin_object>("A");
    if (!a) return false;
    for (float f = 0; f < 100; f += 0.5f) {
        if (orin_set_frame(f) != ORIN_OK || orin_update() != ORIN_OK) return false;
        for (int i = 0; i < a->num_vertices; ++i) {
            const orin_vector& p = a->vertices[i].world;
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
        }
    }
    return true;
}

}  // namespace

TEST(SceneBadInput, AKeyCountOf0xFFFFInATinyTrackIsRefusedAtTheTrack) {
    long at = -1;
    SceneLoad l(trackFile(
        [](w::ChunkWriter& c) {
            trackHeader(c, 0xB020, 0, 0xFFFF);
            positionKey(c, 0, 1);
            c.end();
        },
        &at));
    EXPECT_EQ(l.world, ORIN_OK);
    EXPECT_EQ(l.motion, ORIN_ERR_READ);
    EXPECT_EQ(l.scene->nodes, nullptr);
    ASSERT_EQ(l.stopResult, ORIN_OK);
    EXPECT_EQ(l.stopId, 0xB020);
    EXPECT_EQ(l.stopOffset, at);
}

TEST(SceneBadInput, EverySplineFlagSetReadsSixteenRealsPerKey) {
    SceneLoad l(trackFile([](w::ChunkWriter& c) {
        trackHeader(c, 0xB020, 0, 2);
        positionKey(c, 0, 1, 0xFFFF);
        positionKey(c, 50, 4, 0xFFFF);
        c.end();
    }));
    ASSERT_EQ(l.motion, ORIN_OK);
    const orin_kf_node* n = l.scene->nodes;
    ASSERT_NE(n, nullptr);
    const orin_track* t = static_cast<const orin_object_tracks*>(n->tracks)->position;
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->num_keys, 2);
    // Bits 0..4 are tension, continuity, bias, ease to, ease from; the key
    // data after all sixteen reals is the key's own.
    const orin_key* k = t->keys->next;
    EXPECT_EQ(k->frame, 50.0f);
    EXPECT_EQ(k->tension, 0.125f);
    EXPECT_EQ(k->continuity, 0.25f);
    EXPECT_EQ(k->bias, 0.375f);
    EXPECT_EQ(k->ease_to, 0.5f);
    EXPECT_EQ(k->ease_from, 0.625f);
    EXPECT_EQ(k->value.f[0], 4.0f);
    EXPECT_EQ(k->value.f[1], 12.0f);  // file z
    EXPECT_EQ(k->value.f[2], 8.0f);   // file y
    EXPECT_TRUE(updatesStayFinite(l));
}

TEST(SceneBadInput, KeysOnOneFrameOrOutOfOrderWithLoopModeStillUpdate) {
    for (const std::vector<uint16_t>& frames :
         {std::vector<uint16_t>{5, 5, 5}, std::vector<uint16_t>{9, 3, 6}, std::vector<uint16_t>{0, 0}}) {
        SceneLoad l(trackFile([&](w::ChunkWriter& c) {
            trackHeader(c, 0xB020, 3, static_cast<uint16_t>(frames.size()));  // loop
            for (size_t i = 0; i < frames.size(); ++i) positionKey(c, frames[i], float(i + 1));
            c.end();
            trackHeader(c, 0xB021, 3, static_cast<uint16_t>(frames.size()));
            for (uint16_t f : frames) {
                c.u16(f), c.u16(0), c.u16(0);
                c.f32(0.5f), c.f32(0), c.f32(0), c.f32(1);
            }
            c.end();
            trackHeader(c, 0xB022, 2, static_cast<uint16_t>(frames.size()));  // repeat
            for (uint16_t f : frames) positionKey(c, f, 1);
            c.end();
        }));
        ASSERT_EQ(l.motion, ORIN_OK) << frames[0];
        EXPECT_TRUE(updatesStayFinite(l)) << frames[0] << " " << frames[1];
    }
}

TEST(SceneBadInput, AZeroRotationAxisAndZeroScaleUpdate) {
    SceneLoad l(trackFile([](w::ChunkWriter& c) {
        trackHeader(c, 0xB021, 0, 2);
        c.u16(0), c.u16(0), c.u16(0);
        c.f32(1), c.f32(0), c.f32(0), c.f32(0);  // angle 1 about (0, 0, 0)
        c.u16(40), c.u16(0), c.u16(0);
        c.f32(2), c.f32(0), c.f32(0), c.f32(0);
        c.end();
        trackHeader(c, 0xB022, 0, 1);
        positionKey(c, 0, 0);  // scale (0, 0, 0)
        c.end();
    }));
    ASSERT_EQ(l.motion, ORIN_OK);
    EXPECT_TRUE(updatesStayFinite(l));
}

// A node that is its own parent (and child) must not send the update round
// in circles: the update ends and the mesh stays finite.
TEST(SceneBadInput, TheUpdateEndsOnASelfParentedNode) {
    SceneLoad l(file([](w::ChunkWriter& c) { triangleMesh(c, "A"); },
                     [](w::ChunkWriter& c) {
                         c.begin(0xB008);
                         c.u32(0), c.u32(100);
                         c.end();
                         objectNode(c, "A", 4, 4);
                     }));
    ASSERT_EQ(l.motion, ORIN_OK);
    ASSERT_EQ(l.scene->nodes->parent, l.scene->nodes);
    EXPECT_TRUE(updatesStayFinite(l));
}

// The presentation's own start-up error for a broken scene in its data set
// names the file, the result and where the reader stopped, as marrow-scene
// does. The scenes load after the images and before any window opens, so
// the program runs without a display.
TEST(SceneBadInput, TheStartUpErrorForABrokenSceneSaysWhereTheReaderStopped) {
    const std::string marrow = builtTool("marrow"), assets = builtTool("marrow-assets");
    if (access(marrow.c_str(), X_OK) != 0 || access(assets.c_str(), X_OK) != 0)
        GTEST_SKIP() << "marrow or marrow-assets not built";
    const std::string dir = tempPath("data");
    ToolRun made = runTool(assets, {dir, "--music-seconds", "1"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string scene1 = dir + "/scenes/scene1.3ds", scene2 = dir + "/scenes/scene2.3ds";
    ASSERT_EQ(access(scene1.c_str(), R_OK), 0);
    auto start = [&] {
        return runTool("env", {"-C", dir, "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy", marrow});
    };
    // One whole line of standard error, whatever its line end.
    auto hasLine = [](const std::string& err, const std::string& line) {
        size_t at = 0;
        while (at < err.size()) {
            size_t end = err.find('\n', at);
            if (end == std::string::npos) end = err.size();
            std::string have = err.substr(at, end - at);
            if (!have.empty() && have.back() == '\r') have.pop_back();
            if (have == line) return true;
            at = end + 1;
        }
        return false;
    };
    std::string error;

    // The first scene fails in the world pass: its vertex chunk @46 claims
    // more vertices than it holds.
    const std::vector<uint8_t> good1 = [&] {
        FILE* f = std::fopen(scene1.c_str(), "rb");
        std::vector<uint8_t> bytes;
        for (int ch; f && (ch = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(ch));
        if (f) std::fclose(f);
        return bytes;
    }();
    ASSERT_FALSE(good1.empty());
    ASSERT_TRUE(w::writeFile(scene1, shortVerticesScene(), error))
        << error;
    ToolRun r = start();
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(hasLine(r.err, "scenes\\scene1.3ds: cannot be read as a 3DS scene (ORIN_ERR_READ); "
                               "stopped in chunk 0x4110 at offset 46"))
        << r.err;

    // The first scene restored, the second fails in the motion pass: its
    // node header @102 names no record.
    ASSERT_TRUE(w::writeFile(scene1, good1, error)) << error;
    ASSERT_TRUE(w::writeFile(scene2, unknownNodeScene(), error))
        << error;
    r = start();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("scenes\\scene1.3ds, frames"), std::string::npos) << r.err;
    EXPECT_TRUE(hasLine(r.err, "scenes\\scene2.3ds: cannot be read as a 3DS scene (ORIN_ERR_LOOKUP); "
                               "stopped in chunk 0xB010 at offset 102"))
        << r.err;

    // A scene that is missing was never read: no position.
    std::remove(scene2.c_str());
    r = start();
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(hasLine(r.err, "scenes\\scene2.3ds: cannot be opened")) << r.err;
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}
