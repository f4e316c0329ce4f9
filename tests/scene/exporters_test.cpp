// Files another tool writes: models in other formats, written here as text,
// converted to 3DS with assimp's exporter (`assimp export`, assimp-utils,
// which scripts/install-deps installs), read by the lenient reading and
// compared with what assimp's own 3DS importer reads from the same file
// (`assimp info FILE -r`: meshes, faces, vertices, cameras, lights).
//
// How the counts correspond: assimp splits a mesh into one mesh per
// material its faces use, and gives every face three vertices of its own;
// the library keeps one object per mesh with its shared vertex list. So
// assimp's meshes are our (mesh, face material) pairs, and its vertices our
// faces times three.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "scene_util.h"

using namespace scenetest;

namespace {

struct Counts {
    long meshes = 0, faces = 0, vertices = 0, cameras = 0, lights = 0;
};

// This process's scratch directory, removed with everything in it at exit.
struct ScratchDir {
    std::string path = ::testing::TempDir() + "orin_exporters_" + std::to_string(getpid());
    ScratchDir() { std::filesystem::create_directories(path); }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& scratch() {
    static const ScratchDir dir;
    return dir.path;
}

std::string writeText(const std::string& name, const std::string& text) {
    std::string path = scratch() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

// Runs a command; its standard output, and the exit status in *status.
std::string capture(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

bool haveAssimp() {
    int status = -1;
    capture("assimp version", &status);
    return status == 0;
}

// `assimp export SOURCE OUT.3ds`; the path of the 3DS file or "" on failure.
std::string convert(const std::string& source) {
    std::string out = source.substr(0, source.rfind('.')) + ".3ds";
    int status = -1;
    std::string log = capture("assimp export '" + source + "' '" + out + "'", &status);
    EXPECT_EQ(status, 0) << log;
    return status == 0 ? out : "";
}

// The counts of `assimp info FILE -r` (raw: no post-processing).
Counts assimpCounts(const std::string& file) {
    int status = -1;
    std::string out = capture("assimp info '" + file + "' -r", &status);
    EXPECT_EQ(status, 0) << out;
    Counts c;
    std::map<std::string, long*> fields = {{"Meshes:", &c.meshes},   {"Faces:", &c.faces},
                                           {"Vertices:", &c.vertices}, {"Cameras:", &c.cameras},
                                           {"Lights:", &c.lights}};
    std::set<std::string> seen;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key;
        long value;
        // The first block has the totals; later blocks list per mesh.
        if (words >> key >> value && fields.count(key) && !seen.count(key)) {
            *fields[key] = value;
            seen.insert(key);
        }
    }
    EXPECT_EQ(seen.size(), fields.size()) << out;
    return c;
}

Counts ourCounts(const orin_scene* s) {
    Counts c;
    for (const orin_world_node* n = s->world; n; n = n->next) {
        if (n->type == ORIN_CAMERA) c.cameras++;
        if (n->type == ORIN_LIGHT) c.lights++;
        if (n->type != ORIN_OBJECT) continue;
        const orin_object* o = static_cast<const orin_object*>(n->object);
        std::set<const orin_material*> used;
        for (int i = 0; i < o->num_faces; ++i) used.insert(o->faces[i].material);
        c.meshes += static_cast<long>(used.size());
        c.faces += o->num_faces;
        c.vertices += 3L * o->num_faces;
    }
    return c;
}

// Reads a converted file both ways and compares the lenient reading with
// assimp's. Returns whether the lenient reading loaded it.
bool readsLikeAssimp(const std::string& file, int* warningCount = nullptr) {
    Counts theirs = assimpCounts(file);
    Loaded l(file, true, kLenient);
    EXPECT_EQ(l.world, ORIN_OK) << file;
    EXPECT_EQ(l.motion, ORIN_OK) << file;
    if (warningCount) *warningCount = orin_warning_count();
    Counts ours = ourCounts(l.scene);
    EXPECT_EQ(ours.meshes, theirs.meshes) << file;
    EXPECT_EQ(ours.faces, theirs.faces) << file;
    EXPECT_EQ(ours.vertices, theirs.vertices) << file;
    EXPECT_EQ(ours.cameras, theirs.cameras) << file;
    EXPECT_EQ(ours.lights, theirs.lights) << file;
    return l.world == ORIN_OK && l.motion == ORIN_OK;
}

// ---- models in other formats, written here ----------------------------------------------

// A PLY grid of n x n quads in the z = 0 plane (the exporter triangulates).
std::string plyGrid(int n) {
    std::ostringstream s;
    s << "ply\nformat ascii 1.0\nelement vertex " << (n + 1) * (n + 1)
      << "\nproperty float x\nproperty float y\nproperty float z\nelement face " << n * n
      << "\nproperty list uchar int vertex_indices\nend_header\n";
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) s << x << " " << y << " " << ((x * y) % 3) * 0.25 << "\n";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            int a = y * (n + 1) + x;
            s << "4 " << a << " " << a + 1 << " " << a + n + 2 << " " << a + n + 1 << "\n";
        }
    return writeText("grid.ply", s.str());
}

std::string plyCube() {
    return writeText("cube.ply",
                     "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
                     "property float z\nelement face 12\nproperty list uchar int vertex_indices\nend_header\n"
                     "-1 -1 -1\n1 -1 -1\n1 1 -1\n-1 1 -1\n-1 -1 1\n1 -1 1\n1 1 1\n-1 1 1\n"
                     "3 0 2 1\n3 0 3 2\n3 4 5 6\n3 4 6 7\n3 0 1 5\n3 0 5 4\n"
                     "3 1 2 6\n3 1 6 5\n3 2 3 7\n3 2 7 6\n3 3 0 4\n3 3 4 7\n");
}

// Two objects with mapping coordinates, three materials, one object using
// two of them.
std::string objPair() {
    writeText("pair.mtl",
              "newmtl red\nKd 1 0 0\nNs 20\nd 0.5\nnewmtl blue\nKd 0 0 1\nnewmtl green\nKd 0 1 0\n");
    return writeText("pair.obj",
                     "mtllib pair.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\n"
                     "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                     "o first\nusemtl red\nf 1/1 2/2 3/3\nf 1/1 3/3 4/4\nusemtl green\nf 1/1 5/2 6/3 2/4\n"
                     "o second\nusemtl blue\nf 1/1 2/2 5/3\n");
}

// A node hierarchy with a camera and a light (the 3DS exporter writes the
// mesh and the nodes; assimp's reading then shows what it kept).
std::string daeRig() {
    return writeText(
        "rig.dae",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
        "<asset><unit name=\"meter\" meter=\"1\"/><up_axis>Z_UP</up_axis></asset>\n"
        "<library_cameras><camera id=\"cam\" name=\"cam\"><optics><technique_common><perspective>"
        "<xfov>45</xfov><aspect_ratio>1.6</aspect_ratio><znear>0.1</znear><zfar>100</zfar>"
        "</perspective></technique_common></optics></camera></library_cameras>\n"
        "<library_lights><light id=\"lamp\" name=\"lamp\"><technique_common><point><color>1 1 1</color>"
        "</point></technique_common></light></library_lights>\n"
        "<library_geometries><geometry id=\"quad\" name=\"quad\"><mesh>"
        "<source id=\"qp\"><float_array id=\"qpa\" count=\"12\">0 0 0 1 0 0 1 1 0 0 1 0</float_array>"
        "<technique_common><accessor source=\"#qpa\" count=\"4\" stride=\"3\"><param name=\"X\" type=\"float\"/>"
        "<param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/></accessor></technique_common></source>"
        "<vertices id=\"qv\"><input semantic=\"POSITION\" source=\"#qp\"/></vertices>"
        "<polylist count=\"1\"><input semantic=\"VERTEX\" source=\"#qv\" offset=\"0\"/><vcount>4</vcount>"
        "<p>0 1 2 3</p></polylist></mesh></geometry></library_geometries>\n"
        "<library_visual_scenes><visual_scene id=\"Scene\" name=\"Scene\">"
        "<node id=\"arm\" name=\"arm\"><translate>1 2 3</translate>"
        "<node id=\"hand\" name=\"hand\"><translate>0 0 1</translate><instance_geometry url=\"#quad\"/></node>"
        "<node id=\"finger\" name=\"finger\"><instance_geometry url=\"#quad\"/></node></node>"
        "<node id=\"camnode\" name=\"cam\"><translate>0 -10 0</translate><instance_camera url=\"#cam\"/></node>"
        "<node id=\"lampnode\" name=\"lamp\"><translate>0 0 10</translate><instance_light url=\"#lamp\"/></node>"
        "</visual_scene></library_visual_scenes>\n"
        "<scene><instance_visual_scene url=\"#Scene\"/></scene></COLLADA>\n");
}

std::string stlWedge() {
    return writeText("wedge.stl",
                     "solid wedge\n"
                     "facet normal 0 0 -1\nouter loop\nvertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\nendloop\nendfacet\n"
                     "facet normal 0 -1 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 0 1\nendloop\nendfacet\n"
                     "facet normal 1 1 1\nouter loop\nvertex 1 0 0\nvertex 0 1 0\nvertex 0 0 1\nendloop\nendfacet\n"
                     "endsolid wedge\n");
}

}  // namespace

// Every converted model loads in the lenient reading, with the counts
// assimp reads from the same file and at least one warning (the exporter's
// root node names no mesh); the default reading refuses each one.
TEST(Exporters, ConvertedModelsLoadLikeAssimpReadsThem) {
    ASSERT_TRUE(haveAssimp()) << "the assimp command is missing (scripts/install-deps installs assimp-utils)";
    const std::string sources[] = {plyCube(), plyGrid(24), objPair(), daeRig(), stlWedge()};
    int loaded = 0;
    for (const std::string& source : sources) {
        std::string file = convert(source);
        if (file.empty()) continue;
        int warningCount = 0;
        if (readsLikeAssimp(file, &warningCount)) loaded++;
        EXPECT_GE(warningCount, 1) << file;
        Loaded strict(file);
        EXPECT_NE(strict.world == ORIN_OK ? strict.motion : strict.world, ORIN_OK) << file;
    }
    EXPECT_EQ(loaded, 5);
}

// Hand-made files in the exporter's own layout (no version chunks, a root
// node without a name, no segment), with a camera and a light it does not
// write: assimp reads the same counts from them.
TEST(Exporters, HandMadeExporterLayoutReadsLikeAssimp) {
    ASSERT_TRUE(haveAssimp());
    w::Material paint;
    paint.name = "Paint";
    w::Mesh quad;
    quad.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}};
    quad.groups = {{"Paint", {0}}};  // face 1 has no material
    w::Camera cam;
    cam.pos = {0, -10, 2};
    w::ChunkWriter c;
    c.begin(0x4D4D);
    c.begin(0x3D3D);
    w::writeMaterial(c, paint);
    w::writeObject(c, {"Quad", quad});
    w::writeObject(c, {"Camera01", cam});
    w::writeObject(c, {"Lamp", w::Light{}});
    c.end();
    c.begin(0xB000);
    w::Node root;
    root.name = "";
    w::Node q = w::objectNode("Quad", 0, 0);
    q.id.reset();
    w::writeNode(c, root);
    w::writeNode(c, q);
    c.end();
    c.end();
    std::string path = scratch() + "/handmade.3ds";
    std::string error;
    ASSERT_TRUE(w::writeFile(path, c.data(), error)) << error;
    int warningCount = 0;
    EXPECT_TRUE(readsLikeAssimp(path, &warningCount));
    EXPECT_EQ(warningCount, 3);  // version byte, unnamed root, no segment
}

// The data set's own scenes, written out by assimp as OBJ and converted
// back to 3DS (assimp keeps only the meshes its node graph holds: morph
// targets without a node of their own are dropped on the way): every one
// loads in the lenient reading with assimp's counts.
TEST(Exporters, DataSetScenesComeBackThroughObj) {
    ASSERT_TRUE(haveAssimp());
    const std::string dir = std::string(MARROW_BUILD_DIR) + "/demo/scenes/";
    const char* names[] = {"scene1", "scene2", "scene3", "scene4", "scene5", "scene6",
                           "credits", "canyon", "triangle", "neki", "greets"};
    int loaded = 0;
    for (const char* name : names) {
        const std::string original = dir + name + ".3ds";
        if (access(original.c_str(), R_OK) != 0) {
            ADD_FAILURE() << original << " missing (the build makes the data set)";
            continue;
        }
        const std::string obj = scratch() + "/" + name + ".obj";
        int status = -1;
        std::string log = capture("assimp export '" + original + "' '" + obj + "'", &status);
        ASSERT_EQ(status, 0) << log;
        std::string file = convert(obj);
        if (!file.empty() && readsLikeAssimp(file)) loaded++;
    }
    EXPECT_EQ(loaded, 11);
}
