// scene_set.h: the eleven 3DS scenes of the default data set, built from
// code, and the writer of the whole scene folder.
//
// Each scene is a pure function of constants: the same bytes on every run.
// `end` is the keyframer segment end (the segment starts at 0); scenes the
// presentation wraps loop seamlessly over exactly that many frames, the
// others last past the end of the stretch that shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "writer3ds.h"

namespace marrow::scenes {

// One scene of the data set. The work-array factor the presentation gives
// it is the program's own (presentationCapacityFactor of its name).
struct SceneEntry {
    const char* name;        // file name without ".3ds"
    uint32_t end;            // keyframer segment end
    bool loops;              // shown wrapped: must loop seamlessly
    double firstShown, lastShown;  // frames the presentation shows (first, last)
    w3ds::Scene3ds (*build)();
};

// The eleven scenes in the presentation's loading order.
const std::vector<SceneEntry>& sceneTable();

// Writes OUTDIR/scenes/NAME.3ds for every scene and every texture they name
// (envmap2.jpg is painted by the image set). False with a message naming the
// file on the first failure.
bool writeScenes(const std::string& outDir, std::string& error);

// Builders (scene_build_*.cpp).
w3ds::Scene3ds buildScene1();
w3ds::Scene3ds buildScene2();
w3ds::Scene3ds buildScene3();
w3ds::Scene3ds buildScene4();
w3ds::Scene3ds buildScene5();
w3ds::Scene3ds buildCredits();
w3ds::Scene3ds buildCanyon();
w3ds::Scene3ds buildTriangle();
w3ds::Scene3ds buildNeki();
w3ds::Scene3ds buildGreets();
w3ds::Scene3ds buildScene6();

}  // namespace marrow::scenes
