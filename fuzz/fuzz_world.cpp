// Fuzz target: the 3DS world pass (meshes, materials, cameras, lights) on
// any bytes. A load either succeeds or fails with a result code; the failed
// world must have been freed, and whatever loaded must be consistent.
#include <cstdlib>

#include "fuzz_scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return marrowfuzz::runOnScene(data, size, [](const char* path, orin_scene* scene) {
        int32_t rc = orin_load_world(path, scene);
        if (rc != ORIN_OK && scene->world != nullptr) std::abort();  // a failed load keeps nothing
        for (orin_world_node* n = scene->world; n; n = n->next) {
            if (n->type != ORIN_OBJECT) continue;
            auto* o = static_cast<orin_object*>(n->object);
            for (int f = 0; f < o->num_faces; ++f) {
                const orin_face& face = o->faces[f];
                if (face.a >= static_cast<uint32_t>(o->num_vertices) || face.pa != o->vertices + face.a) std::abort();
            }
        }
    });
}
