// rasteriser.h: the three triangle fillers of the 3D scenes.
//
// Each fills one triangle, whose corners the frame pipeline has projected,
// lit and textured, into a colour-and-depth buffer: 64000 colour pixels
// (0x00RRGGBB) followed by 64000 unsigned depth values (camera z * 65536,
// smaller is nearer; a pixel is written only when strictly nearer). Colours
// pass through ShadeTable (initShadeTable() must have run).
//
// - fillShadedTriangle: material colour, Gouraud light.
// - fillTexturedTriangle: affine texture; vertex u, v are 16.16 texels.
// - fillPerspectiveTriangle: perspective-correct texture from uOverZ,
//   vOverZ, invZ (2^24/z), one division per 16 pixels.
// Textures are 256x256 texels, texel (c, r) at r*256 + c; coordinates wrap.
//
// Set-up and stepping use 32-bit fixed point; the inner loops use integer
// additions, table look-ups and one unsigned compare per pixel. Writes are
// clamped to columns 0..319 and rows 0..199 whatever the vertices hold.
//
// Each also takes a band of rows and writes only inside it: the rows are
// walked as without it, so a triangle drawn band by band gives the pixels
// it gives drawn whole, and bands of a scene can be drawn side by side.
#pragma once

#include <cstdint>

#include "common/framebuffer.h"
#include "render/render_vertex.h"

namespace marrow {

// Rows begin..end-1 of the frame.
struct RowBand {
    int32_t begin = 0, end = kFrameHeight;
};

void fillShadedTriangle(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c, uint8_t red,
                        uint8_t green, uint8_t blue, uint32_t* buffer, RowBand rows = {});
void fillTexturedTriangle(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                          const uint32_t* texture, uint32_t* buffer, RowBand rows = {});
void fillPerspectiveTriangle(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                             const uint32_t* texture, uint32_t* buffer, RowBand rows = {});

}  // namespace marrow
