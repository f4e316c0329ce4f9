// art_raster.h: the small raster toolkit the asset generator paints with.
//
// Two buffer kinds:
//   Canvas - linear RGB in doubles, 0.0 = black, 1.0 = full channel; painted
//            with "over" and "add" operations, then quantised once by toImage.
//   Mask   - coverage in floats, 0.0..1.0 (text, shapes, glows).
// Image is the final 8-bit form, 0x00RRGGBB words, row-major, top row first
// (the layout the program's image loader produces), ready for the JPEG writer.
//
// Coordinates are pixels; anything that may wrap (seamless textures) takes a
// `wrap` flag and then indexes modulo the size. Nothing here draws randomly:
// every image is a pure function of its inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marrow::art {

struct Rgb {
    double r = 0.0, g = 0.0, b = 0.0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb mix(Rgb a, Rgb b, double t) { return a + (b - a) * t; }

// 0xRRGGBB to channels in 0..1.
Rgb hex(uint32_t rgb);

// Hermite smoothstep: 0 below e0, 1 above e1, 3t^2 - 2t^3 between.
double smoothstep(double e0, double e1, double x);

// x mod m in 0..m-1 for any integer x (m > 0).
inline int wrapIndex(int x, int m) {
    int r = x % m;
    return r < 0 ? r + m : r;
}

// A piecewise-linear colour ramp: stops at ascending positions in 0..1.
// sample() clamps outside the first and last stop; sampleWrapped() takes t
// modulo 1 and runs from the last stop back to the first, so a ramp used on
// a periodic value has no seam.
class Gradient {
public:
    Gradient& stop(double pos, Rgb colour);
    Rgb sample(double t) const;
    Rgb sampleWrapped(double t) const;

private:
    struct Stop {
        double pos;
        Rgb colour;
    };
    std::vector<Stop> stops_;
};

struct Mask {
    int width = 0, height = 0;
    std::vector<float> a;  // coverage, 0..1, row-major

    Mask() = default;
    Mask(int w, int h) : width(w), height(h), a(static_cast<size_t>(w) * h, 0.0f) {}
    float& at(int x, int y) { return a[static_cast<size_t>(y) * width + x]; }
    float at(int x, int y) const { return a[static_cast<size_t>(y) * width + x]; }
};

struct Canvas {
    int width = 0, height = 0;
    std::vector<Rgb> px;  // row-major

    Canvas() = default;
    Canvas(int w, int h, Rgb fill = {}) : width(w), height(h), px(static_cast<size_t>(w) * h, fill) {}
    Rgb& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    const Rgb& at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row-major, top row first

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0u) {}
};

// Places `src` with its top-left corner at (x, y) of `dst`, keeping the larger
// coverage of the two (so overlapping glyphs do not darken each other).
// With wrap, positions outside `dst` fold back in; without, they are dropped.
void stampMax(Mask& dst, const Mask& src, int x, int y, bool wrap);

// Blur with three box passes of the given radius per axis (close to a
// Gaussian of sigma ~ radius). With wrap the blur runs across the edges of a
// seamless tile; without, pixels beyond the edge count as 0.
Mask blur(const Mask& src, int radius, bool wrap);

// Every pixel of `dst` becomes dst * (1 - a) + colour * a, a = coverage *
// opacity, for `mask` placed at (x, y).
void paintOver(Canvas& dst, const Mask& mask, Rgb colour, int x = 0, int y = 0, double opacity = 1.0,
               bool wrap = false);

// Every pixel of `dst` gains colour * coverage * strength (light added).
void paintAdd(Canvas& dst, const Mask& mask, Rgb colour, int x = 0, int y = 0, double strength = 1.0,
              bool wrap = false);

// Quantises each channel: clamp to 0..1 (NaN gives 0), times 255, rounded
// to nearest. The top byte of every word is 0.
Image toImage(const Canvas& canvas);

// For images added over other layers: every size x size block whose largest
// channel value is at most `threshold` becomes exactly 0, so faint glow tails
// end on block boundaries and the JPEG encoder sees whole black blocks (which
// decode to exact 0). Returns the number of blocks cleared.
int clearDarkBlocks(Image& image, int size, int threshold);

// Largest channel of a 0x00RRGGBB word.
inline int maxChannel(uint32_t p) {
    int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF), b = static_cast<int>(p & 0xFF);
    int m = r > g ? r : g;
    return m > b ? m : b;
}

}  // namespace marrow::art
