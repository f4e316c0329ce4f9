// fuzz_scene.h: the set-up and clean-up the scene targets share.
//
// SceneRun starts the scene library with every option the program uses
// (hierarchy, normals, morphing, transform) and allocates an empty scene for
// the current input; it frees the scene and shuts the library down when it
// goes out of scope, so each input starts from nothing.
#pragma once

#include "scene/orin.h"

namespace marrowfuzz {

class SceneRun {
public:
    SceneRun() {
        orin_init(ORIN_HIERARCHY | ORIN_NORMALS | ORIN_MORPH | ORIN_TRANSFORM);
        if (orin_alloc_scene(&scene_) != ORIN_OK) scene_ = nullptr;
    }
    ~SceneRun() {
        if (scene_) orin_free_scene(scene_);
        orin_done();
    }
    SceneRun(const SceneRun&) = delete;
    SceneRun& operator=(const SceneRun&) = delete;

    // The empty scene, or nullptr when it could not be allocated.
    orin_scene* scene() const { return scene_; }

private:
    orin_scene* scene_ = nullptr;
};

}  // namespace marrowfuzz
