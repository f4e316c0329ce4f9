// Fuzz target: a scene loaded from any bytes (world and motion), then
// evaluated the way the program drives it: Camera01 (or the first camera)
// active, orin_update at the first frame, the middle and the last frame of
// its range. Every track kind, the hierarchy, morphing and the transform
// run on whatever the file holds (NaN and infinite reals included, where
// UBSan's float-cast-overflow check watches every conversion to integer).
#include <cstdlib>

#include "fuzz_scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return marrowfuzz::runOnScene(data, size, [](const char* path, orin_scene* scene) {
        if (orin_load_world(path, scene) == ORIN_OK && orin_load_motion(path, scene) == ORIN_OK) {
            orin_set_scene(scene);
            orin_camera* camera = marrow::findPresentationCamera();
            for (orin_world_node* n = scene->world; n && !camera; n = n->next)
                if (n->type == ORIN_CAMERA) camera = static_cast<orin_camera*>(n->object);
            orin_set_camera(camera);
            float start = 0, end = 0;
            if (orin_get_frames(&start, &end) == ORIN_OK) {
                // The last frame the range accepts is just below its end.
                const float frames[] = {start, start + (end - start) * 0.5f, end - 1.0f};
                for (float f : frames)
                    if (orin_set_frame(f) == ORIN_OK) orin_update();
            }
        }
    });
}
