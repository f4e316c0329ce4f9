// render_vertex.h: a vertex as the frame pipeline leaves it for the fillers.
#pragma once

#include <cstdint>

namespace marrow {

struct RenderVertex {
    int32_t sx;         // screen x, 16.16 (fraction bits always 0)
    int32_t sy;         // screen y, whole pixels
    int32_t depth;      // camera-space z * 65536, truncated
    float u, v;         // texture coordinates in the units of the mesh's shading
    float uOverZ, vOverZ;  // u/z, v/z (perspective shadings only)
    float invZ;         // 2^24 / z (perspective shadings only)
    float x, y, z;      // camera-space position
    int32_t intensity;  // light, 8.24 with 1.0 = 2^24, clamped to 0..0xFFFFFF
};

}  // namespace marrow
