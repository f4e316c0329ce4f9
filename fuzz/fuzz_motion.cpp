// Fuzz target: the world pass and then the motion pass (keyframer nodes,
// hierarchy, pivots) over the same bytes, the way the program loads a scene,
// then again in the lenient reading (dummies for unknown nodes, warnings).
// A failed motion pass must leave no keyframer nodes behind.
#include <cstdlib>

#include "fuzz_scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto load = [](const char* path, orin_scene* scene) {
        if (orin_load_world(path, scene) == ORIN_OK) {
            int32_t rc = orin_load_motion(path, scene);
            if (rc != ORIN_OK && scene->nodes != nullptr) std::abort();
            if (rc == ORIN_OK) {
                // Walk the hierarchy links the pass built: every one must point
                // at a node of this scene (ASan catches a freed one).
                for (orin_kf_node* n = scene->nodes; n; n = n->next) {
                    if (n->parent && n->parent->tracks == nullptr) std::abort();
                    if (n->child && n->child->tracks == nullptr) std::abort();
                    if (n->brother && n->brother->tracks == nullptr) std::abort();
                }
            }
        }
    };
    marrowfuzz::runOnScene(data, size, load);
    return marrowfuzz::runOnScene(data, size, load, marrow::kPresentationLibraryFlags | ORIN_LENIENT);
}
