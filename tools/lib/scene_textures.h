// scene_textures.h: the 256x256 textures the generated scenes map onto
// their meshes, painted with the art toolkit in the production's colours
// (night blue-violet, warm orange light, white DejaVu Sans Bold type).
//
// Textures that wrap round a mesh (pillars, the sun, the rock terrain, the
// tiles) are seamless; the text sheets hold one line per 32-pixel row on
// black, so a card shows a row by its v range (row r: v = r/8 .. (r+1)/8).
// Cost: a few milliseconds each (fractal noise dominates).
#pragma once

#include <string>
#include <vector>

#include "art_raster.h"
#include "art_text.h"

namespace marrow::scenes {

struct SceneTexture {
    const char* file;  // name inside scenes/
    art::Image (*paint)(const art::Font& font);
};

// Every texture the scenes name, in a fixed order.
const std::vector<SceneTexture>& sceneTextures();

// The row of a text sheet (0..7) a line was painted into.
constexpr int kSheetRows = 8;

// Lines of the two text sheets (shown by credits and greets).
const std::vector<std::string>& creditLines();
const std::vector<std::string>& greetLines();

}  // namespace marrow::scenes
