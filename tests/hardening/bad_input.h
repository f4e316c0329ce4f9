// bad_input.h: helpers shared by the bad-input tests: temporary files,
// running a built tool with its standard error captured, and a scene load
// that frees itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/orin.h"
#include "writer3ds.h"

namespace hardening {

// A fresh path under the test temp directory (nothing is created).
std::string tempPath(const std::string& name);
// Writes bytes to a fresh temporary file; returns its path.
std::string tempFile(const std::vector<uint8_t>& bytes, const std::string& name);

// A 3DS file: main chunk @0, version chunk @6 (10 bytes), editor @16, mesh
// version @22 (10 bytes), then what `editor` writes (from file offset 32),
// then a keyframer chunk around what `keyframer` writes when it is given.
using SceneBody = std::function<void(marrow::w3ds::ChunkWriter&)>;
constexpr long kEditorBody = 32;
std::vector<uint8_t> sceneFile(const SceneBody& editor, const SceneBody& keyframer = {});

// A node chunk of kind `kind` (0xB002 object, 0xB003 camera): optional node
// number, header with the name and parent, optional instance name.
void node(marrow::w3ds::ChunkWriter& c, uint16_t kind, const std::string& name, int16_t parent, int number = -1,
          const std::string& instance = "");

// A built executable next to this test binary's build tree (MARROW_BUILD_DIR).
std::string builtTool(const std::string& name);

struct ToolRun {
    int status = -1;     // exit status; -1 when it did not exit normally (a crash)
    std::string out;     // standard output
    std::string err;     // standard error
};
ToolRun runTool(const std::string& tool, const std::vector<std::string>& args);

// World then motion of one file, as the program loads a scene; the stop
// position is read right after the pass that failed.
struct SceneLoad {
    orin_scene* scene = nullptr;
    int32_t world = -1;
    int32_t motion = -1;  // -1 when the world failed (motion not tried)
    int32_t stopResult = ORIN_ERR_NOT_LOADED;  // orin_get_stop after the last pass
    uint16_t stopId = 0;
    long stopOffset = -1;
    explicit SceneLoad(const std::vector<uint8_t>& bytes);
    ~SceneLoad();
    SceneLoad(const SceneLoad&) = delete;
    SceneLoad& operator=(const SceneLoad&) = delete;
    orin_world_node* find(const char* name) const;
    template <class T>
    T* record(const char* name) const {
        orin_world_node* n = find(name);
        return n ? static_cast<T*>(n->object) : nullptr;
    }
};

}  // namespace hardening
