// fuzz_scene.h: the set-up and clean-up the scene targets share.
//
// SceneRun starts the scene library with every option the program uses
// (hierarchy, normals, morphing, transform; and the lenient reading on
// request) and allocates an empty scene for
// the current input; it frees the scene and shuts the library down when it
// goes out of scope, so each input starts from nothing. runOnScene does all
// of one input's set-up around a target's own checks.
#pragma once

#include <string>

#include "fuzz_input.h"
#include "render/scene3d.h"
#include "scene/orin.h"

namespace marrowfuzz {

class SceneRun {
public:
    explicit SceneRun(int32_t flags = marrow::kPresentationLibraryFlags) {
        orin_init(flags);
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

// Writes the input to the target's input file and calls body(path, scene)
// with a fresh empty scene (nothing when none can be allocated), the
// library started with `flags`; returns the 0 libFuzzer expects.
template <typename Body>
int runOnScene(const uint8_t* data, size_t size, Body&& body,
               int32_t flags = marrow::kPresentationLibraryFlags) {
    static InputFile input;
    const std::string& path = input.write(data, size);
    SceneRun run(flags);
    if (orin_scene* const scene = run.scene()) body(path.c_str(), scene);
    return 0;
}

}  // namespace marrowfuzz
