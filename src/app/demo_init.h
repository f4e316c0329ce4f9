// demo_init.h: creates every effect, loads every image and scene at start.
#pragma once

#include <cstdint>

namespace marrow {

// The capacity factor the presentation gives the scene file named `stem`
// ("scene1", "canyon", ...), or 0 for a file it does not load.
int32_t presentationCapacityFactor(const char* stem);

class Scene3D;

// Keyframes per second of music the script advances `scene` by (70, or
// 1/0.042 for scene1).
double keyframesPerSecond(const Scene3D& scene);

// Every image, scene and effect object exists when it returns; a missing or
// broken file ends the process inside it with exit status 1.
void initDemo();

}  // namespace marrow
