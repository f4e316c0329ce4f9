// Scene3D end to end on writer-made scenes: material set-up, a lit textured
// cube turning in front of the camera, and cameras thrown around a scene.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <fstream>
#include <iterator>
#include <vector>

#include "art_jpeg.h"
#include "common/framebuffer.h"
#include "render/scene3d.h"
#include "render/shade_table.h"
#include "writer3ds.h"

using namespace marrow;
using namespace marrow::w3ds;
namespace fs = std::filesystem;

namespace {

// A scratch directory holding scenes/ with a few textures; the test runs
// with it as the working directory, as the presentation does.
class SceneDir : public testing::Test {
protected:
    void SetUp() override {
        initShadeTable();
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("marrow-scene3d-" + std::to_string(getpid()));
        fs::create_directories(dir_ / "scenes");
        fs::current_path(dir_);
        texture("scenes/checker.jpg", 256, 256);
        texture("scenes/small.jpg", 128, 128);
        texture("scenes/upper.jpg", 256, 256);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void texture(const std::string& path, int w, int h) {
        art::Image img(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.pixels[y * w + x] = ((x / 32 + y / 32) & 1) ? 0xF0F0F0 : 0x3060C0;
        std::string error;
        ASSERT_TRUE(art::writeJpeg(path, img, {95, true}, error)) << error;
    }

    // A 40-unit cube at the origin with the given materials (one per face
    // pair), a camera 150 units away looking at it, one omni light, and a
    // keyframer turning the cube once over 100 frames.
    static Scene3ds cubeScene(std::vector<Material> materials, bool wrapFirstFace = false) {
        Scene3ds s;
        s.materials = std::move(materials);
        Mesh mesh;
        const float c = 20;
        const Vec3 v[8] = {{-c, -c, -c}, {c, -c, -c}, {c, c, -c}, {-c, c, -c},
                           {-c, -c, c},  {c, -c, c},  {c, c, c},  {-c, c, c}};
        for (const Vec3& p : v) {
            mesh.vertices.push_back(p);
            mesh.mapping.push_back({(p.x + c) / (2 * c), (p.z + c) / (2 * c)});
        }
        const uint16_t f[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                                   {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
        for (int i = 0; i < 12; ++i) {
            Face face;
            face.a = f[i][0];
            face.b = f[i][1];
            face.c = f[i][2];
            if (i == 0 && wrapFirstFace) face.flags |= 0x08;
            mesh.faces.push_back(face);
        }
        for (size_t m = 0; m < s.materials.size(); ++m) {
            MaterialGroup g;
            g.material = s.materials[m].name;
            for (int i = 0; i < 12; ++i)
                if (static_cast<size_t>(i / 2) % s.materials.size() == m) g.faces.push_back(static_cast<uint16_t>(i));
            mesh.groups.push_back(g);
        }
        s.objects.push_back({"Cube", mesh});
        Camera cam;
        cam.pos = {0, -150, 40};
        cam.target = {0, 0, 0};
        s.objects.push_back({"Camera01", cam});
        Light light;
        light.pos = {0, -200, 60};
        light.innerRange = 50;
        light.outerRange = 1000;
        s.objects.push_back({"Omni01", light});
        Keyframer k;
        k.start = 0;
        k.end = 100;
        Node cube = objectNode("Cube", 0);
        Track rot;
        rot.kind = TrackKind::Rotation;
        rot.keys = {rotKey(0, 0, {0, 0, 1}), rotKey(50, 3.14159265f, {0, 0, 1}), rotKey(100, 3.14159265f, {0, 0, 1})};
        Track scale;
        scale.kind = TrackKind::Scale;
        scale.keys = {vecKey(0, {1, 1, 1})};
        Track pos;
        pos.kind = TrackKind::Position;
        pos.keys = {vecKey(0, {0, 0, 0})};
        cube.tracks = {pos, rot, scale};
        k.nodes.push_back(cube);
        Node camera;
        camera.kind = NodeKind::Camera;
        camera.id = 1;
        camera.name = "Camera01";
        Track cp;
        cp.kind = TrackKind::Position;
        cp.keys = {vecKey(0, cam.pos)};
        camera.tracks = {cp};
        k.nodes.push_back(camera);
        Node target;
        target.kind = NodeKind::CameraTarget;
        target.id = 2;
        target.name = "Camera01";
        Track tp;
        tp.kind = TrackKind::Position;
        tp.keys = {vecKey(0, {0, 0, 0})};
        target.tracks = {tp};
        k.nodes.push_back(target);
        s.keyframer = k;
        return s;
    }

    static void write(const std::string& path, const Scene3ds& s) {
        std::string error;
        ASSERT_TRUE(write3ds(path, s, error)) << error;
    }

    static Material material(const std::string& name, const std::string& texture = "",
                             const std::string& reflection = "") {
        Material m;
        m.name = name;
        m.diffuse = {1.0f, 0.5f, 0.25f};
        m.texture.file = texture;
        m.reflection.file = reflection;
        return m;
    }

    // Sets the scene up as the start-up does and expects it to succeed.
    static void setUp(Scene3D& s, const char* path, int factor = 8) {
        const LoadResult r = s.setUp(path, "scenes", factor);
        ASSERT_TRUE(r.ok()) << r.message;
    }

    fs::path old_, dir_;
};

}  // namespace

TEST_F(SceneDir, MaterialsChooseTheirShadingFromMapsAndTheTwoSidedFlag) {
    Material both = material("BOTH", "checker.jpg", "checker.jpg");
    Material reflect = material("REFL", "", "checker.jpg");
    Material twoTex = material("TWOTEX", "checker.jpg");
    twoTex.twoSided = true;
    Material twoSoft = material("TWOSOFT", "", "checker.jpg");
    twoSoft.twoSided = true;
    twoSoft.soft = true;  // flags not exactly "two-sided": the affine form
    Material plain = material("PLAIN");
    Material upper = material("UPPER", "UPPER.JPG");  // 8.3 upper case name on disk in lower case
    write("scenes/m.3ds", cubeScene({both, reflect, twoTex, twoSoft, plain, upper}));
    Scene3D s;
    setUp(s, "scenes\\m.3ds");
    ASSERT_EQ(s.materialCount, 6);
    EXPECT_EQ(s.materials[0].shading, Shading::Textured);  // texture wins over reflection
    EXPECT_EQ(s.materials[1].shading, Shading::Reflection);
    EXPECT_EQ(s.materials[2].shading, Shading::TexturedPerspective);
    EXPECT_EQ(s.materials[3].shading, Shading::Reflection);
    EXPECT_EQ(s.materials[4].shading, Shading::Flat);
    EXPECT_EQ(s.materials[4].texels(), nullptr);
    EXPECT_EQ(s.materials[5].shading, Shading::Textured);
    EXPECT_NE(s.materials[5].texels(), nullptr);
    EXPECT_EQ(s.materials[0].red, 255);
    EXPECT_EQ(s.materials[0].green, 127);
    EXPECT_EQ(s.materials[0].blue, 63);
    EXPECT_EQ(s.defaultMaterial.shading, Shading::Flat);
    EXPECT_EQ(s.defaultMaterial.red, 255);
    // Faces bind to their own material; the mesh takes face 0's.
    EXPECT_EQ(s.meshes[0].faces[0].material, &s.materials[0]);
    EXPECT_EQ(s.meshes[0].faces[2].material, &s.materials[1]);
    EXPECT_EQ(s.meshes[0].material, &s.materials[0]);
    // Shading 1 mapping is 2^24 per texture width.
    EXPECT_FLOAT_EQ(s.meshes[0].vertices[1].u, 16777216.0f);
}

TEST_F(SceneDir, AMeshWhoseFirstFaceHasNoMaterialGetsTheDefault) {
    Scene3ds scene = cubeScene({material("TEX", "checker.jpg")});
    auto& mesh = std::get<Mesh>(scene.objects[0].body);
    mesh.groups[0].faces.erase(mesh.groups[0].faces.begin());  // face 0 in no group
    write("scenes/d.3ds", scene);
    Scene3D s;
    setUp(s, "scenes/d.3ds");
    EXPECT_EQ(s.meshes[0].material, &s.defaultMaterial);
    EXPECT_EQ(s.meshes[0].faces[1].material, &s.materials[0]);
    EXPECT_EQ(s.meshes[0].vertices[1].u, 0.0f);  // not scaled: the mesh is not textured
}

TEST_F(SceneDir, BadScenesAndTexturesAreReportedNamingTheFile) {
    write("scenes/small.3ds", cubeScene({material("SMALL", "small.jpg")}));
    write("scenes/path.3ds", cubeScene({material("PATH", "../checker.jpg")}));
    write("scenes/gone.3ds", cubeScene({material("GONE", "gone.jpg")}));
    Scene3ds noCamera = cubeScene({material("A")});
    noCamera.objects[1].name = "Camera02";
    noCamera.keyframer->nodes[1].name = "Camera02";
    noCamera.keyframer->nodes[2].name = "Camera02";
    write("scenes/nocam.3ds", noCamera);
    using S = LoadResult::Status;
    const struct {
        const char* scene;
        S status;
        const char* message;
    } cases[] = {
        {"scenes/small.3ds", S::Refused, "scenes/small.jpg: the texture is 128x128, but it must be 256x256"},
        {"scenes/path.3ds", S::Refused,
         "scenes/path.3ds: texture name \"../checker.jpg\" holds a path; textures are read from scenes/ only"},
        {"scenes\\missing.3ds", S::Refused, "scenes\\missing.3ds: cannot be opened"},
        // A texture that is not there is the image loader's own report.
        {"scenes/gone.3ds", S::Missing, "load_jpeg: Could not find scenes/gone.jpg"},
        {"scenes/nocam.3ds", S::Refused, "scenes/nocam.3ds: has no camera named \"Camera01\""},
    };
    for (const auto& c : cases) {
        Scene3D s;
        const LoadResult r = s.setUp(c.scene, "scenes", 8);
        EXPECT_EQ(r.status, c.status) << c.scene;
        EXPECT_EQ(r.message, c.message);
    }
}

TEST_F(SceneDir, ATurningLitTexturedCubeDrawsInsideItsBoundsOnly) {
    write("scenes/cube.3ds", cubeScene({material("TEX", "checker.jpg")}));
    Scene3D s;
    setUp(s, "scenes/cube.3ds");
    EXPECT_EQ(s.lastFrame, 100.0f);
    for (int frame : {0, 13, 50, 99}) {
        s.clear();
        s.render(frame);
        s.draw();
        // The projected bounds of every visible face.
        int x0 = 320, x1 = -1, y0 = 200, y1 = -1;
        const RenderMesh& m = s.meshes[0];
        for (int k = 0; k < m.faceCount; ++k) {
            if (!m.faces[k].visible) continue;
            for (const RenderVertex* v : m.faces[k].vertex) {
                x0 = std::min(x0, v->sx >> 16);
                x1 = std::max(x1, v->sx >> 16);
                y0 = std::min(y0, v->sy);
                y1 = std::max(y1, v->sy);
            }
        }
        int lit = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const uint32_t colour = s.buffer[y * 320 + x];
                const uint32_t depth = s.buffer[64000 + y * 320 + x];
                if (x < x0 || x >= x1 || y < y0 || y >= y1) {
                    ASSERT_EQ(colour, 0u) << frame << ": " << x << "," << y;
                    ASSERT_EQ(depth, 0xFFFFFFFFu) << frame << ": " << x << "," << y;
                }
                lit += colour != 0;
            }
        EXPECT_GT(lit, 2000) << "frame " << frame;
        EXPECT_EQ(s.droppedFaces, 0);
    }
}

// A damaged texture named by several materials of two scenes that share a
// directory: decoded once, its pixels shared, its warning given once with
// the file's name.
TEST_F(SceneDir, ATextureIsDecodedOncePerDirectoryAndWarnsOnce) {
    {
        std::ifstream in("scenes/checker.jpg", std::ios::binary);
        const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream("scenes/worn.jpg", std::ios::binary) << whole.substr(0, whole.size() * 2 / 3);
    }
    write("scenes/a.3ds", cubeScene({material("T", "worn.jpg"), material("R", "", "worn.jpg"),
                                     material("U", "WORN.JPG")}));
    write("scenes/b.3ds", cubeScene({material("T", "worn.jpg")}));
    TextureCache textures;
    Scene3D a, b;
    const LoadResult first = a.setUp("scenes/a.3ds", "scenes", 8, &textures);
    ASSERT_TRUE(first.ok()) << first.message;
    EXPECT_EQ(first.warnings, std::vector<std::string>{"scenes/worn.jpg: Premature end of JPEG file"});
    const LoadResult second = b.setUp("scenes/b.3ds", "scenes", 8, &textures);
    ASSERT_TRUE(second.ok()) << second.message;
    EXPECT_TRUE(second.warnings.empty());
    ASSERT_NE(a.materials[0].texels(), nullptr);
    EXPECT_EQ(a.materials[1].texture, a.materials[0].texture);
    EXPECT_EQ(a.materials[2].texture, a.materials[0].texture);  // found ignoring case: the same file
    EXPECT_EQ(b.materials[0].texture, a.materials[0].texture);
    textures.clear();  // the materials keep their pixels
    EXPECT_EQ(a.materials[0].texture->width, 256);
}

// The scene library's state (active scene, camera, options) is shared; a
// scene that is destroyed clears the options. Each scene selects it before
// it loads or renders, so neither another scene's set-up nor its
// destruction changes what a live scene draws.
TEST_F(SceneDir, MakingAndDestroyingOtherScenesLeavesAScenesFramesAlone) {
    write("scenes/cube.3ds", cubeScene({material("TEX", "checker.jpg")}));
    auto frameOf = [](Scene3D& s, int keyframe) {
        s.clear();
        s.render(keyframe);
        s.draw();
        return std::vector<uint32_t>(s.buffer, s.buffer + 2 * 64000);
    };
    Scene3D s;
    setUp(s, "scenes/cube.3ds");
    const std::vector<uint32_t> alone = frameOf(s, 37);
    const std::vector<uint32_t> later = frameOf(s, 80);
    ASSERT_NE(later, alone);  // the cube turns, so a frame that is not updated shows
    {
        Scene3D other;
        setUp(other, "scenes/cube.3ds");
        frameOf(other, 10);
        EXPECT_EQ(frameOf(s, 37), alone) << "while another scene lives";
        frameOf(s, 80);
    }
    EXPECT_EQ(orin_get_flags(), 0) << "a destroyed scene shuts the library down";
    EXPECT_EQ(frameOf(s, 37), alone) << "after another scene was destroyed";
    EXPECT_EQ(orin_get_flags(), kPresentationLibraryFlags);
    EXPECT_EQ(orin_get_scene(), s.scene);
    EXPECT_EQ(orin_get_camera(), s.camera);
}

TEST_F(SceneDir, CamerasAnywhereNeverWriteOutsideTheBuffer) {
    write("scenes/cube.3ds", cubeScene({material("TEX", "checker.jpg"), material("REF", "", "checker.jpg")}, true));
    Scene3D s;
    setUp(s, "scenes/cube.3ds", 20);
    // The buffer is exactly 2 x 64000 words, so ASan (make sanitize)
    // catches any write past it. The camera and its target are moved through
    // their one-key position tracks: inside, through and around the cube.
    orin_key* eye = nullptr;
    orin_key* aim = nullptr;
    for (orin_kf_node* n = s.scene->nodes; n; n = n->next) {
        if (n->type == ORIN_KF_CAMERA) eye = static_cast<orin_camera_tracks*>(n->tracks)->position->keys;
        if (n->type == ORIN_KF_CAMERA_TARGET) aim = static_cast<orin_target_tracks*>(n->tracks)->position->keys;
    }
    ASSERT_TRUE(eye && aim);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coord(-120.0f, 120.0f);
    int drawn = 0;
    for (int i = 0; i < 300; ++i) {
        for (int c = 0; c < 3; ++c) {
            eye->value.f[c] = coord(rng);
            aim->value.f[c] = coord(rng) * 0.1f;
        }
        s.clear();
        s.render(i % 100);
        s.draw();
        for (int p = 0; p < 64000; ++p)
            if (s.buffer[p] != 0) {
                ++drawn;
                break;
            }
    }
    EXPECT_GT(drawn, 30);  // the camera really moved around (and often saw the cube)
}
