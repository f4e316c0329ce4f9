// shading.h: how a material is drawn, and the fixed-point formats its
// texture coordinates and light are kept in.
//
// A texture is 256x256 texels. The scene library gives mapping coordinates
// where 1.0 is the texture's whole width, and unit normals; the fillers want
// texels in fixed point: 16.16 for the affine filler, 8.24 for the
// perspective one (which divides by z and needs the extra bits).
#pragma once

#include <cstdint>

namespace marrow {

// The material kinds of the renderer, in the numbering the set-up assigns
// (texture map first, else reflection map, else colour; the perspective
// forms only for materials whose flags are exactly "two-sided").
enum class Shading : int32_t {
    Flat = 0,                   // the material's colour, Gouraud-lit
    Textured = 1,               // mapping coordinates, 16.16 texels, affine
    Reflection = 2,             // texels from the camera-space normal, 16.16, affine
    TexturedPerspective = 3,    // mapping coordinates, 8.24 texels, perspective-correct
    ReflectionPerspective = 4,  // texels from the camera-space normal, 8.24, perspective-correct
};

constexpr bool isPerspective(Shading s) {
    return s == Shading::TexturedPerspective || s == Shading::ReflectionPerspective;
}
constexpr bool isReflection(Shading s) { return s == Shading::Reflection || s == Shading::ReflectionPerspective; }

constexpr int32_t kTextureSide = 256;  // texels per row and per column

// Mapping coordinate (1.0 = one texture width) to texels in 16.16 and 8.24:
// 256 texels times 2^16 = 2^24, and 256 times 2^24 = 2^32.
constexpr double kMappingTo16_16 = 256.0 * 65536.0;
constexpr double kMappingTo8_24 = 256.0 * 16777216.0;

// Reflection mapping puts a unit normal's x and y at 127 - 128 n texels (the
// texture's centre, reaching its edges at n = +-1), in the filler's format.
constexpr float kReflectCentre16_16 = 127.0f * 65536.0f;      // 8323072
constexpr float kReflectRadius16_16 = 128.0f * 65536.0f;      // 8388608
constexpr float kReflectCentre8_24 = 127.0f * 16777216.0f;    // 2130706432
constexpr float kReflectRadius8_24 = 128.0f * 16777216.0f;    // 2147483648

// 8.24 fixed point: light intensities (1.0 = full light) and the
// perspective filler's 1/z (2^24 / z).
constexpr double kOne8_24 = 16777216.0;

}  // namespace marrow
