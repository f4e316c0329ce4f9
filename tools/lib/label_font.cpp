#include "label_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace marrow {

LabelFont::LabelFont(int pixelHeight, const char* path) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path, 0, &face) != 0) return;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight));
    face_ = face;
}

LabelFont::~LabelFont() {
    if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

int LabelFont::measure(const std::string& text) const {
    if (!face_) return 0;
    FT_Face face = static_cast<FT_Face>(face_);
    int advance = 0;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) != 0) continue;
        advance += static_cast<int>(face->glyph->advance.x >> 6);
    }
    return advance;
}

int LabelFont::draw(uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
                    uint32_t colour) const {
    if (!face_) return 0;
    FT_Face face = static_cast<FT_Face>(face_);
    int penX = x;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        for (unsigned r = 0; r < bm.rows; ++r) {
            const int py = y - g->bitmap_top + static_cast<int>(r);
            if (py < 0 || py >= height) continue;
            for (unsigned c = 0; c < bm.width; ++c) {
                const int px = penX + g->bitmap_left + static_cast<int>(c);
                if (px < 0 || px >= width) continue;
                const uint32_t a = bm.buffer[r * static_cast<unsigned>(bm.pitch) + c];
                if (a == 0) continue;
                uint32_t& d = pixels[static_cast<size_t>(py) * width + px];
                uint32_t out = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const uint32_t dc = (d >> shift) & 0xFF, sc = (colour >> shift) & 0xFF;
                    out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
                }
                d = out;
            }
        }
        penX += static_cast<int>(g->advance.x >> 6);
    }
    return penX - x;
}

}  // namespace marrow
