// art_text.h: text for the generated images, rendered with FreeType.
//
// The production's one typeface is DejaVu Sans Bold (Debian package
// fonts-dejavu-core). Text comes out as a coverage Mask cut tight to the ink
// (no empty margin), so callers place and centre it by its visible extent.
// Sizes are in pixels: `pixelSize` is the em height handed to FreeType; the
// capitals of DejaVu Sans come out at about 0.73 of it.
#pragma once

#include <string>

#include "art_raster.h"

namespace marrow::art {

// Where the font is looked for.
extern const char* const kTitleFontPath;

class Font {
public:
    Font() = default;
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Opens the font file; false with a message naming the file (and the
    // package that provides it) on failure.
    bool open(const std::string& path, std::string& error);

    // Renders one line of ASCII/Latin-1 text with kerning. `tracking` adds
    // that many pixels after every glyph (may be fractional or negative).
    // The mask is cut to the ink; `baselineOut`, when given, receives the
    // baseline's row within the mask.
    Mask render(const std::string& text, double pixelSize, double tracking = 0.0, int* baselineOut = nullptr) const;

    // The pen advance of the line in pixels (what the next line would start
    // after), with the same kerning and tracking as render().
    double advance(const std::string& text, double pixelSize, double tracking = 0.0) const;

    // Renders a line whose advance is scaled to exactly `period` pixels by
    // adjusting the tracking, stamped repeatedly along a wrapped row of
    // `dst` (width a multiple of nothing in particular: the repeats overlap
    // the wrap, so the row is seamless when period divides dst.width).
    // `x`, `y` place the first copy's ink box.
    void stampRepeated(Mask& dst, const std::string& text, double pixelSize, int period, int x, int y) const;

private:
    void* library_ = nullptr;  // FT_Library
    void* face_ = nullptr;     // FT_Face
};

}  // namespace marrow::art
