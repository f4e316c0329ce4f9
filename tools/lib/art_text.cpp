#include "art_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "common/numeric.h"

namespace marrow::art {

const char* const kTitleFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

Font::~Font() {
    if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool Font::open(const std::string& path, std::string& error) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        error = "FreeType could not be initialised";
        return false;
    }
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
        error = path + ": cannot open the font (Debian package fonts-dejavu-core)";
        return false;
    }
    face_ = face;
    return true;
}

namespace {

struct PlacedGlyph {
    int left, top;  // top-left of the bitmap relative to the pen origin (y down)
    Mask bitmap;
};

// 26.6 fixed point (FreeType's unit for positions): 64 = one pixel.
constexpr double kF26Dot6 = 64.0;

// Lays out the line: glyph bitmaps at pen positions, and the final advance.
// Pen positions are kept in doubles and the fraction of a pixel is applied to
// the outline before rasterising, so spacing does not snap to whole pixels.
std::vector<PlacedGlyph> layout(FT_Face face, const std::string& text, double pixelSize, double tracking,
                                double& advanceOut) {
    std::vector<PlacedGlyph> glyphs;
    // 72 dpi makes points equal pixels; the size is given in 26.6.
    FT_Set_Char_Size(face, 0, truncToInt32(pixelSize * kF26Dot6 + 0.5), 72, 72);
    double pen = 0.0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k);
            pen += static_cast<double>(k.x) / kF26Dot6;
        }
        previous = index;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) continue;
        FT_Glyph glyph = nullptr;
        if (FT_Get_Glyph(face->glyph, &glyph) != 0) continue;
        double whole = std::floor(pen);
        int frac = truncToInt32((pen - whole) * kF26Dot6 + 0.5);
        if (glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline_Translate(&reinterpret_cast<FT_OutlineGlyph>(glyph)->outline, frac, 0);
        }
        if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0) {
            FT_BitmapGlyph bg = reinterpret_cast<FT_BitmapGlyph>(glyph);
            const FT_Bitmap& bm = bg->bitmap;
            if (bm.width > 0 && bm.rows > 0) {
                PlacedGlyph pg{truncToInt32(whole) + bg->left, -bg->top,
                               Mask(static_cast<int>(bm.width), static_cast<int>(bm.rows))};
                for (int y = 0; y < static_cast<int>(bm.rows); ++y)
                    for (int x = 0; x < static_cast<int>(bm.width); ++x)
                        pg.bitmap.at(x, y) = static_cast<float>(bm.buffer[y * bm.pitch + x]) / 255.0f;
                glyphs.push_back(std::move(pg));
            }
        }
        FT_Done_Glyph(glyph);
        // linearHoriAdvance is the unhinted advance in 16.16.
        pen += static_cast<double>(face->glyph->linearHoriAdvance) / 65536.0 + tracking;
    }
    advanceOut = pen;
    return glyphs;
}

}  // namespace

Mask Font::render(const std::string& text, double pixelSize, double tracking, int* baselineOut) const {
    double advance = 0.0;
    std::vector<PlacedGlyph> glyphs = layout(static_cast<FT_Face>(face_), text, pixelSize, tracking, advance);
    if (glyphs.empty()) return Mask(1, 1);
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    for (const PlacedGlyph& g : glyphs) {
        x0 = std::min(x0, g.left);
        y0 = std::min(y0, g.top);
        x1 = std::max(x1, g.left + g.bitmap.width);
        y1 = std::max(y1, g.top + g.bitmap.height);
    }
    Mask out(x1 - x0, y1 - y0);
    for (const PlacedGlyph& g : glyphs) stampMax(out, g.bitmap, g.left - x0, g.top - y0, false);
    if (baselineOut) *baselineOut = -y0;
    return out;
}

double Font::advance(const std::string& text, double pixelSize, double tracking) const {
    double advance = 0.0;
    layout(static_cast<FT_Face>(face_), text, pixelSize, tracking, advance);
    return advance;
}

void Font::stampRepeated(Mask& dst, const std::string& text, double pixelSize, int period, int x, int y) const {
    // Spread the difference between the natural advance and the period over
    // every glyph, so the repeat lands exactly on `period`.
    double natural = advance(text, pixelSize, 0.0);
    double tracking = (period - natural) / static_cast<double>(text.size());
    Mask line = render(text, pixelSize, tracking);
    for (int k = 0; k * period < dst.width; ++k) stampMax(dst, line, x + k * period, y, true);
}

}  // namespace marrow::art
