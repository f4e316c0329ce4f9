#include "bad_input.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "render/scene3d.h"
#include "writer3ds.h"

namespace hardening {

std::string tempPath(const std::string& name) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + "hardening_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
           name;
}

std::string tempFile(const std::vector<uint8_t>& bytes, const std::string& name) {
    std::string path = tempPath(name);
    std::string error;
    if (!marrow::w3ds::writeFile(path, bytes, error)) ADD_FAILURE() << error;
    return path;
}

std::vector<uint8_t> sceneFile(const SceneBody& editor, const SceneBody& keyframer) {
    marrow::w3ds::ChunkWriter c;
    marrow::w3ds::beginFile(c);
    if (editor) editor(c);
    c.end();
    if (keyframer) {
        c.begin(0xB000);
        keyframer(c);
        c.end();
    }
    c.end();
    return c.data();
}

void node(marrow::w3ds::ChunkWriter& c, uint16_t kind, const std::string& name, int16_t parent, int number,
          const std::string& instance) {
    c.begin(kind);
    if (number >= 0) {
        c.begin(0xB030);
        c.u16(static_cast<uint16_t>(number));
        c.end();
    }
    c.begin(0xB010);
    c.str(name);
    c.u16(0), c.u16(0), c.s16(parent);
    c.end();
    if (!instance.empty()) {
        c.begin(0xB011);
        c.str(instance);
        c.end();
    }
    c.end();
}

std::string builtTool(const std::string& name) { return std::string(MARROW_BUILD_DIR) + "/" + name; }

static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ToolRun runTool(const std::string& tool, const std::vector<std::string>& args) {
    const std::string out = tempPath("out.txt"), err = tempPath("err.txt");
    std::string cmd = "'" + tool + "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " >'" + out + "' 2>'" + err + "'";
    ToolRun r;
    int st = std::system(cmd.c_str());
    r.status = (st != -1 && WIFEXITED(st)) ? WEXITSTATUS(st) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

SceneLoad::SceneLoad(const std::vector<uint8_t>& bytes) {
    const std::string path = tempFile(bytes, "scene.3ds");
    orin_init(marrow::kPresentationLibraryFlags);
    orin_alloc_scene(&scene);
    world = orin_load_world(path.c_str(), scene);
    if (world == ORIN_OK) motion = orin_load_motion(path.c_str(), scene);
    stopResult = orin_get_stop(&stopId, &stopOffset);
    orin_set_scene(scene);
    std::remove(path.c_str());
}

SceneLoad::~SceneLoad() {
    orin_free_scene(scene);
    orin_done();
}

orin_world_node* SceneLoad::find(const char* name) const {
    orin_world_node* n = nullptr;
    orin_find_object(name, &n);
    return n;
}

}  // namespace hardening
