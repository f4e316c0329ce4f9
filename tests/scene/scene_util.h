// scene_util.h: shared helpers for the scene library tests: temporary 3DS
// files, a loaded scene that frees itself, and a sample scene that uses
// every world record kind and every keyframer node kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/orin.h"
#include "writer3ds.h"

namespace scenetest {

namespace w = marrow::w3ds;

// Writes bytes to a fresh file under the test temp directory; returns its path.
std::string tempFile(const std::vector<uint8_t>& bytes, const std::string& name = "scene.3ds");

// The presentation's option flags, and the same with the lenient reading.
constexpr int32_t kStrict = ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH | ORIN_TRANSFORM;
constexpr int32_t kLenient = kStrict | ORIN_LENIENT;

// A scene loaded the way the presentation loads one (orin_init(15), world,
// then motion; other option flags on request). Frees everything on
// destruction.
struct Loaded {
    orin_scene* scene = nullptr;
    int32_t world = -1;
    int32_t motion = -1;
    std::string ownedPath;  // a temporary file made from bytes, removed at the end
    explicit Loaded(const std::string& path, bool withMotion = true, int32_t flags = kStrict);
    explicit Loaded(const std::vector<uint8_t>& bytes, bool withMotion = true, int32_t flags = kStrict);
    ~Loaded();
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    orin_world_node* find(const char* name) const;  // any kind, via orin_find_object
    template <class T>
    T* record(const char* name) const {
        orin_world_node* n = find(name);
        return n ? static_cast<T*>(n->object) : nullptr;
    }
    std::vector<orin_world_node*> worldNodes() const;
    std::vector<orin_kf_node*> kfNodes() const;

private:
    void load(const std::string& path, bool withMotion, int32_t flags);
};

// A small complete scene: two materials (one with all three maps), a mapped
// mesh with material groups and a mesh matrix, a second mesh, a camera
// "Camera01", an omni light with ranges, a spotlight; keyframer nodes for
// every kind, a dummy with an instance name, hierarchy, pivots, and tracks
// of every kind.
w::Scene3ds sampleScene();

// A minimal valid file: the usual header chunks and an empty editor chunk,
// with `editor` and `keyframer` appended as raw chunk bytes.
std::vector<uint8_t> wrapFile(const std::vector<uint8_t>& editor,
                              const std::vector<uint8_t>& keyframer = {}, uint8_t version = 3);

// A mesh "A" (one vertex at the origin) driven by object node 0 with the
// given tracks; keyframer segment 0..end.
std::vector<uint8_t> trackScene(const std::vector<w::Track>& tracks, uint32_t end = 100);
// The track set of the first keyframer node of a loaded trackScene.
orin_object_tracks* firstObjectTracks(const Loaded& l);

}  // namespace scenetest
