// scene_set.cpp: the scene table and the writer of the scene folder.
#include "scene_set.h"

#include <filesystem>

#include "art_jpeg.h"
#include "art_text.h"
#include "scene_textures.h"

namespace marrow::scenes {

const std::vector<SceneEntry>& sceneTable() {
    // Shown frames: scene1 runs 27.0 to 31.2 s at 1/0.042 frames a second
    // (frames 0..99); the others at 70 a second: scene4 5.7 s (0..398),
    // scene5 5.72 s (0..400), credits and canyon 12 s (0..839); wrapped
    // scenes show every frame of their loop.
    static const std::vector<SceneEntry> table = {
        {"scene1", 120, false, 0, 99, buildScene1},
        {"scene2", 280, true, 0, 279, buildScene2},
        {"scene3", 300, true, 0, 299, buildScene3},
        {"scene4", 420, false, 0, 398, buildScene4},
        {"scene5", 420, false, 0, 400, buildScene5},
        {"credits", 860, false, 0, 839, buildCredits},
        {"canyon", 840, false, 0, 839, buildCanyon},
        {"triangle", 420, true, 0, 419, buildTriangle},
        {"neki", 420, true, 0, 419, buildNeki},
        {"greets", 560, true, 0, 559, buildGreets},
        {"scene6", 560, true, 0, 559, buildScene6},
    };
    return table;
}

bool writeScenes(const std::string& outDir, std::string& error) {
    const std::string dir = outDir + "/scenes";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = dir + ": " + ec.message();
        return false;
    }
    art::Font font;
    if (!font.open(art::kTitleFontPath, error)) return false;
    // Full chroma: fine coloured lines and text stay crisp.
    art::JpegOptions options;
    options.quality = 90;
    options.fullChroma = true;
    for (const SceneTexture& t : sceneTextures())
        if (!art::writeJpeg(dir + "/" + t.file, t.paint(font), options, error)) return false;
    for (const SceneEntry& entry : sceneTable())
        if (!w3ds::write3ds(dir + "/" + entry.name + ".3ds", entry.build(), error)) return false;
    return true;
}

}  // namespace marrow::scenes
