// label_font.h: draws short labels with FreeType (DejaVu Sans Bold) into
// 0x00RRGGBB pixel buffers, for contact sheets and generated pictures.
#pragma once

#include <cstdint>
#include <string>

namespace marrow {

class LabelFont {
public:
    // pixelHeight: the em size in pixels. Throws nothing: a font that cannot
    // be loaded leaves ok() false and draws nothing.
    explicit LabelFont(int pixelHeight, const char* path = kDefaultPath);
    ~LabelFont();
    LabelFont(const LabelFont&) = delete;
    LabelFont& operator=(const LabelFont&) = delete;

    bool ok() const { return face_ != nullptr; }
    // Draws text with its baseline at y, starting at x, blending `colour` by
    // coverage over what is there; clipped to the buffer. Returns the advance
    // in pixels.
    int draw(uint32_t* pixels, int width, int height, int x, int y, const std::string& text, uint32_t colour) const;
    int measure(const std::string& text) const;

    static constexpr const char* kDefaultPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

private:
    void* library_ = nullptr;
    void* face_ = nullptr;
};

}  // namespace marrow
