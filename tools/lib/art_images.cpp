#include "art_images.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "art_emblem.h"
#include "art_jpeg.h"
#include "art_noise.h"
#include "common/numeric.h"

namespace marrow::art {

const std::vector<ArtSpec>& artTable() {
    static const std::vector<ArtSpec> table = {
        {"start", "pixmaps/start.jpg", 256, 256, true, false},
        {"start1_1", "pixmaps/start1_1.jpg", 320, 40, false, true},
        {"part1_1", "pixmaps/part1_1.jpg", 256, 256, true, false},
        {"part1_2", "pixmaps/part1_2.jpg", 256, 256, true, false},
        {"still0", "pixmaps/still0.jpg", 320, 200, false, false},
        {"text1", "pixmaps/text1.jpg", 256, 64, false, true},
        {"text2", "pixmaps/text2.jpg", 256, 64, false, true},
        {"rstar1", "pixmaps/rstar1.jpg", 256, 256, true, false},
        {"tex1", "pixmaps/tex1.jpg", 256, 256, true, false},
        {"tfont1", "pixmaps/tfont1.jpg", 256, 256, true, false},
        {"g0", "pixmaps/g0.jpg", 128, 32, false, true},
        {"g1", "pixmaps/g1.jpg", 128, 32, false, true},
        {"g2", "pixmaps/g2.jpg", 128, 32, false, true},
        {"g3", "pixmaps/g3.jpg", 128, 32, false, true},
        {"g4", "pixmaps/g4.jpg", 128, 32, false, true},
        {"g5", "pixmaps/g5.jpg", 128, 32, false, true},
        {"g6", "pixmaps/g6.jpg", 128, 32, false, true},
        {"g7", "pixmaps/g7.jpg", 128, 32, false, true},
        {"envmap2", "scenes/envmap2.jpg", 256, 256, false, true},
        {"theend", "pixmaps/theend.jpg", 256, 256, true, false},
        {"ug", "pixmaps/ug.jpg", 256, 256, true, false},
        {"tfont2", "pixmaps/tfont2.jpg", 256, 256, true, false},
    };
    return table;
}

const ArtSpec* findArt(const std::string& name) {
    for (const ArtSpec& s : artTable())
        if (name == s.name) return &s;
    return nullptr;
}

bool ArtStudio::open(std::string& error) { return font_.open(kTitleFontPath, error); }

namespace {

constexpr double kTau = 2.0 * M_PI;

// The production's palette.
const Rgb kWhite = {1.0, 1.0, 1.0};
const Rgb kNight = hex(0x070a22);
const Rgb kIndigo = hex(0x16205a);
const Rgb kTeal = hex(0x0f6a76);
const Rgb kViolet = hex(0x3a1f74);
const Rgb kOrange = hex(0xf28a24);
const Rgb kGold = hex(0xffc85a);
const Rgb kEmber = hex(0xc8401c);
const Rgb kIce = hex(0x8fd4ff);

// Fills a canvas from a function of the normalised position (u, v) in
// [0, 1): u = x / width, v = y / height. Sampling periodic functions at
// these points gives a seamless tile.
Canvas shade(int w, int h, const std::function<Rgb(double, double)>& f) {
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.at(x, y) = f(static_cast<double>(x) / w, static_cast<double>(y) / h);
    return c;
}

// The largest pixel size (in steps of 0.5) at which `text` fits in maxW x maxH
// of ink.
double fitSize(const Font& font, const std::string& text, int maxW, int maxH, double tracking = 0.0) {
    double size = 8.0;
    for (double s = 8.0; s <= 120.0; s += 0.5) {
        Mask m = font.render(text, s, tracking);
        if (m.width > maxW || m.height > maxH) break;
        size = s;
    }
    return size;
}

// The largest pixel size (steps of 0.5, at most maxSize) whose line advance
// stays within `advance` pixels.
double fitAdvance(const Font& font, const std::string& text, double advance, double maxSize) {
    double size = 8.0;
    for (double s = 8.0; s <= maxSize; s += 0.5) {
        if (font.advance(text, s) > advance) break;
        size = s;
    }
    return size;
}

// Places a mask centred on (cx, cy).
int centreX(const Mask& m, double cx) { return truncToInt32(std::floor(cx - m.width * 0.5 + 0.5)); }
int centreY(const Mask& m, double cy) { return truncToInt32(std::floor(cy - m.height * 0.5 + 0.5)); }

// --- start: the opening plasma texture -------------------------------------
// Dark blue, teal and violet marbling with thin pale veins. The opening
// shows it inverted, where it reads as warm pastels with dark veins.
Canvas paintStart() {
    Gradient base;
    base.stop(0.0, kNight).stop(0.25, kIndigo).stop(0.45, kTeal).stop(0.62, hex(0x1a2a6a)).stop(0.8, kViolet)
        .stop(1.0, hex(0x120c38));
    return shade(256, 256, [&](double u, double v) {
        // Domain warp by periodic noise keeps the tile periodic.
        double wu = u + 0.10 * tileFbm(u, v, 2, 3, 0.5, 11);
        double wv = v + 0.10 * tileFbm(u, v, 2, 3, 0.5, 12);
        double regions = tileFbm(wu, wv, 2, 4, 0.55, 13);
        // Vein field: a diagonal sine (whole periods across the tile) bent by
        // gentle turbulence, so the veins flow instead of crackling.
        double vein = std::sin(kTau * (wu + 2.0 * wv) + 3.5 * tileFbm(wu, wv, 2, 3, 0.5, 14));
        // A second, fainter family of veins across the first.
        double cross = std::sin(kTau * (3.0 * wu - wv) + 4.0 * tileFbm(wu, wv, 3, 3, 0.5, 16));
        double fine = tileFbm(u, v, 16, 3, 0.5, 15);
        Rgb c = base.sample(0.5 + 0.6 * regions);
        c = c * (0.88 + 0.15 * fine);
        double line = 1.0 - smoothstep(0.0, 0.09, std::abs(vein));
        double halo = 1.0 - smoothstep(0.0, 0.45, std::abs(vein));
        c = c + hex(0x2a3a78) * (0.4 * halo) + hex(0x8cc8e8) * (0.45 * line);
        c = c + hex(0x5a4aa0) * (0.3 * (1.0 - smoothstep(0.0, 0.07, std::abs(cross))));
        return c;
    });
}

// --- start1_1: the title strip over the opening ------------------------------
Canvas paintTitleStrip(const Font& font) {
    Canvas c(320, 40);
    int baseline = 0;
    Mask title = font.render("MARROW", 30.0, 7.0, &baseline);
    paintOver(c, title, kWhite, centreX(title, 160.0), 27 - baseline);
    Mask sub = font.render("A REAL-TIME PRESENTATION", 8.0, 2.0, &baseline);
    int sx = centreX(sub, 160.0);
    paintOver(c, sub, hex(0xc8d4ff), sx, 38 - baseline);
    // Hairlines either side of the subtitle, reaching past the title.
    Mask rule(1, 1);
    rule.at(0, 0) = 1.0f;
    int left = centreX(title, 160.0) - 40, right = centreX(title, 160.0) + title.width + 40;
    int y = 38 - 3;
    for (int x = left; x < right; ++x) {
        if (x >= sx - 6 && x < sx + sub.width + 6) continue;
        paintOver(c, rule, hex(0x8088b0), x, y);
    }
    return c;
}

// --- part1_1: organic cells in strong colours ---------------------------------
Canvas paintCells() {
    const Rgb palette[6] = {kOrange, hex(0xc8287a), hex(0x18a898), hex(0x2444b0), kGold, hex(0x7a2cc8)};
    return shade(256, 256, [&](double u, double v) {
        double wu = u + 0.04 * tileFbm(u, v, 4, 3, 0.5, 21);
        double wv = v + 0.04 * tileFbm(u, v, 4, 3, 0.5, 22);
        CellSample s = tileCells(wu, wv, 6, 23);
        Rgb cell = palette[s.id % 6];
        // Domed cell: bright towards its nucleus, with a darker nucleus dot.
        double dome = 1.0 - 0.75 * smoothstep(0.0, 0.9, s.f1);
        double nx = s.dx + 0.12, ny = s.dy + 0.1;
        double nucleus = 1.0 - smoothstep(0.08, 0.16, std::sqrt(nx * nx + ny * ny));
        double grain = tileFbm(u, v, 32, 2, 0.5, 24);
        Rgb c = cell * (dome * (0.85 + 0.25 * grain));
        c = mix(c, cell * 0.25, 0.7 * nucleus);
        // Highlight on the upper left of each dome.
        double hx = s.dx + 0.2, hy = s.dy + 0.22;
        c = c + kWhite * (0.35 * (1.0 - smoothstep(0.0, 0.22, std::sqrt(hx * hx + hy * hy))));
        // Dark membranes where two cells meet.
        double wall = smoothstep(0.03, 0.12, s.f2 - s.f1);
        return mix(hex(0x0a0616), c, wall);
    });
}

// --- part1_2: hexagonal tech panels, bright lines on dark ----------------------
// Pointy-top hexagons, 8 across and 10 rows down the tile (an even row count
// so the offset rows repeat), slightly squashed to fit 256 exactly.
Canvas paintHexPanels() {
    const double sqrt3 = std::sqrt(3.0);
    const int cols = 8, rows = 10;
    return shade(256, 256, [&](double u, double v) {
        // Hex space: column spacing sqrt3, row spacing 1.5 (circumradius 1).
        double X = u * cols * sqrt3, Y = v * rows * 1.5;
        int j0 = truncToInt32(std::floor(Y / 1.5));
        double best = 1e9, bx = 0.0, by = 0.0;
        int bi = 0, bj = 0;
        for (int j = j0 - 1; j <= j0 + 1; ++j) {
            double off = (wrapIndex(j, 2) == 1) ? 0.5 : 0.0;
            int i0 = truncToInt32(std::floor(X / sqrt3 - off));
            for (int i = i0 - 1; i <= i0 + 2; ++i) {
                double dx = X - (i + off) * sqrt3, dy = Y - j * 1.5;
                double h = std::max(std::abs(dx), std::abs(dx) * 0.5 + std::abs(dy) * sqrt3 * 0.5);
                if (h < best) {
                    best = h;
                    bx = dx;
                    by = dy;
                    bi = i;
                    bj = j;
                }
            }
        }
        double edge = sqrt3 * 0.5 - best;  // distance to the cell's border, hex units
        uint32_t id = hash3(wrapIndex(bi, cols), wrapIndex(bj, rows), 31);
        double r = std::sqrt(bx * bx + by * by);
        // Panel: dark, lit a little from the upper left, with a fine grain.
        Rgb c = mix(hex(0x050818), hex(0x121a44), 0.5 + 0.5 * (-bx * 0.4 - by * 0.6));
        c = c * (0.9 + 0.15 * tileFbm(u, v, 32, 2, 0.5, 32));
        switch (id % 7) {
            case 0:  // glowing inner ring
                c = c + hex(0x38c8ff) * (std::exp(-std::pow((r - 0.45) / 0.05, 2.0)) * 0.9);
                break;
            case 1:  // warm core
                c = c + kOrange * std::exp(-std::pow(r / 0.28, 2.0)) + kGold * std::exp(-std::pow(r / 0.1, 2.0));
                break;
            case 2: {  // dot matrix
                double gx = bx * 5.0 - std::floor(bx * 5.0) - 0.5, gy = by * 5.0 - std::floor(by * 5.0) - 0.5;
                double dot = 1.0 - smoothstep(0.12, 0.2, std::sqrt(gx * gx + gy * gy));
                c = c + hex(0x2a70c0) * (0.7 * dot * (1.0 - smoothstep(0.45, 0.6, r)));
                break;
            }
            case 3:  // filled, brighter panel
                c = mix(c, hex(0x1c3a80), 0.6);
                break;
            default:
                break;
        }
        // The grid lines: a hot core and a cyan glow.
        c = c + hex(0x40d0ff) * (0.8 * std::exp(-edge * 14.0)) + kWhite * (1.0 - smoothstep(0.0, 0.06, edge));
        return c;
    });
}

// --- still0: the title picture ------------------------------------------------
Canvas paintStill(const Font& font) {
    const int w = 320, h = 200;
    const double moonX = 160.0, moonY = 80.0, moonR = 46.0;
    Gradient sky;
    sky.stop(0.0, hex(0x04041a)).stop(0.35, hex(0x141248)).stop(0.6, hex(0x3a1c62)).stop(0.74, hex(0xa04450))
        .stop(0.8, hex(0xf08a3a));
    Canvas c = shade(w, h, [&](double u, double v) {
        Rgb s = sky.sample(v);
        // A faint haze so the gradient is not flat.
        s = s * (0.92 + 0.1 * tileFbm(u, v * 0.625, 6, 3, 0.5, 41));
        double dx = u * w - moonX, dy = v * h - moonY;
        double d = std::sqrt(dx * dx + dy * dy);
        // Halo around the moon.
        s = s + hex(0xff8a3a) * (0.55 * std::exp(-std::max(0.0, d - moonR) / 22.0));
        return s;
    });
    // Stars: away from the moon's halo, brighter ones rarer.
    Rng rng(4242);
    Mask star(3, 3);
    for (int i = 0; i < 140; ++i) {
        double x = rng.uniform() * w, y = rng.uniform() * 120.0, b = rng.uniform();
        double dx = x - moonX, dy = y - moonY;
        if (std::sqrt(dx * dx + dy * dy) < moonR + 30.0) continue;
        int ix = truncToInt32(x), iy = truncToInt32(y);
        double k = 0.25 + 0.75 * b * b * (1.0 - y / 140.0);
        star.a = {0.0f, static_cast<float>(0.3 * b), 0.0f, static_cast<float>(0.3 * b), 1.0f,
                  static_cast<float>(0.3 * b), 0.0f, static_cast<float>(0.3 * b), 0.0f};
        paintAdd(c, star, mix(kIce, kWhite, b), ix - 1, iy - 1, k);
    }
    // The moon: warm disc, lighter towards its upper left.
    Mask disc(w, h);
    std::vector<Point> circle;
    for (int i = 0; i < 96; ++i)
        circle.push_back({moonX + moonR * std::cos(kTau * i / 96), moonY + moonR * std::sin(kTau * i / 96)});
    fillPolygon(disc, circle);
    Canvas moon = shade(w, h, [&](double u, double v) {
        double dx = (u * w - moonX + 15.0) / moonR, dy = (v * h - moonY + 15.0) / moonR;
        return mix(hex(0xffe0a0), hex(0xf07a2a), std::min(1.0, std::sqrt(dx * dx + dy * dy) * 0.75));
    });
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.at(x, y) = mix(c.at(x, y), moon.at(x, y), disc.at(x, y));
    // Hills against the horizon glow: two layers, the nearer darker.
    for (int layer = 0; layer < 2; ++layer) {
        Mask hills(w, h);
        std::vector<Point> ridge;
        for (int x = 0; x <= w; x += 4) {
            double u = static_cast<double>(x) / w;
            double top = (layer == 0 ? 150.0 : 162.0) + (layer == 0 ? 9.0 : 6.0) * tileFbm(u, 0.3 * layer, 3, 4, 0.5, 43 + layer);
            ridge.push_back({static_cast<double>(x), top});
        }
        ridge.push_back({static_cast<double>(w), static_cast<double>(h)});
        ridge.push_back({0.0, static_cast<double>(h)});
        fillPolygon(hills, ridge);
        paintOver(c, hills, layer == 0 ? hex(0x1e0f34) : hex(0x0a0618));
    }
    // The nightjar crossing the moon, dark against it, with pale marks.
    EmblemMasks bird = drawNightjar(w, h, {moonX, moonY - 4.0, 150.0, -0.12});
    paintOver(c, bird.body, hex(0x0c0818));
    paintOver(c, bird.marks, hex(0xe8d8c0), 0, 0, 0.85);
    // The name, with a warm glow behind it, and a small line at the bottom.
    int baseline = 0;
    Mask title = font.render("MARROW", 44.0, 8.0, &baseline);
    int tx = centreX(title, 160.0), ty = 176 - baseline;
    Mask placed(w, h);
    stampMax(placed, title, tx, ty, false);
    paintAdd(c, blur(placed, 4, false), kOrange, 0, 0, 0.9);
    paintOver(c, placed, kWhite);
    Mask line = font.render("A SOFTWARE-RENDERED PRESENTATION", 7.5, 1.6, &baseline);
    paintOver(c, line, hex(0xb0a8d8), centreX(line, 160.0), 193 - baseline);
    return c;
}

// --- text1, text2: the jittering word blocks ----------------------------------
// Key word fitted to the top-left 128x32 (what the small block shows), a
// second word to the top right, a longer line across the bottom half.
Canvas paintWordBlock(const Font& font, const char* key, const char* second, const char* bottom) {
    Canvas c(256, 64);
    auto place = [&](const char* text, int x0, int y0, int boxW, int boxH, double maxSize) {
        double size = std::min(maxSize, fitSize(font, text, boxW - 12, boxH - 8, 1.0));
        Mask m = font.render(text, size, 1.0);
        paintOver(c, m, kWhite, centreX(m, x0 + boxW * 0.5), centreY(m, y0 + boxH * 0.5));
    };
    place(key, 0, 0, 128, 32, 40.0);
    place(second, 128, 0, 128, 32, 40.0);
    place(bottom, 0, 32, 256, 32, 40.0);
    return c;
}

// --- rstar1: warm bands for the warp star -------------------------------------
// The warp star reads the texture's rows as distance from the centre and its
// columns as the angle, so horizontal bands become rings and column
// variation becomes rays.
Canvas paintWarpBands() {
    Gradient bands;
    bands.stop(0.0, hex(0x2a0612))
        .stop(0.22, hex(0x9a1420))
        .stop(0.42, kOrange)
        .stop(0.52, kGold)
        .stop(0.56, hex(0xfff2d0))
        .stop(0.62, kGold)
        .stop(0.78, hex(0xb02a5a))
        .stop(0.92, hex(0x3c0a3a));
    return shade(256, 256, [&](double u, double v) {
        double wobble = 0.06 * std::sin(kTau * 5.0 * u) + 0.1 * tileFbm(u, v, 4, 3, 0.5, 51);
        double t = v * 4.0 + wobble;  // four bands down the tile: broad rings round the star
        Rgb c = bands.sampleWrapped(t);
        // Rays: 10 round the circle, softly.
        double ray = 0.78 + 0.22 * std::cos(kTau * 10.0 * u + 2.0 * tileNoise(u, v, 4, 52));
        return c * ray * (0.9 + 0.12 * tileFbm(u, v, 16, 3, 0.5, 53));
    });
}

// --- tex1: gradient checker with rings, for the radius attraction -------------
Canvas paintCheckerRings() {
    Gradient hue;
    hue.stop(0.0, hex(0xff4a2a))
        .stop(0.17, kGold)
        .stop(0.34, hex(0x2ad27a))
        .stop(0.5, hex(0x1ab0e8))
        .stop(0.67, hex(0x3a4adc))
        .stop(0.84, hex(0xb02ad8));
    return shade(256, 256, [&](double u, double v) {
        int ci = truncToInt32(std::floor(u * 8.0)), cj = truncToInt32(std::floor(v * 8.0));
        double lx = u * 8.0 - ci - 0.5, ly = v * 8.0 - cj - 0.5;  // -0.5..0.5 within the square
        Rgb colour = hue.sampleWrapped(u + v);                     // diagonal rainbow, whole turns
        bool dark = ((ci + cj) & 1) != 0;
        double r = std::sqrt(lx * lx + ly * ly);
        double rings = 0.5 + 0.5 * std::cos(kTau * r * 4.0);
        Rgb c = dark ? colour * (0.18 + 0.22 * rings) : colour * (0.55 + 0.45 * rings);
        // A pale glint at each square's centre.
        c = c + kWhite * (0.6 * std::exp(-std::pow(r / 0.1, 2.0)));
        // Thin dark seams between squares.
        double seam = std::min(0.5 - std::abs(lx), 0.5 - std::abs(ly));
        return c * smoothstep(0.0, 0.04, seam);
    });
}

// --- tfont1, tfont2: tiles of lettering ---------------------------------------
// The plasma draws these with clamped texture coordinates: the tile shows
// once, as a rippling panel, and beyond it the edge rows and columns are
// stretched across the rest of the screen. So the words sit inside a black
// margin of 8 pixels (the stretched edges add nothing, and the tile still
// wraps: black meets black), four centred rows of 60 pixels.
Canvas paintLetterTile(const Font& font, const Rgb rowColours[4], const Rgb& glow) {
    Canvas c(256, 256);
    const char* words[4] = {"MARROW", "NIGHTJAR", "REAL TIME", "PIXELS"};
    for (int row = 0; row < 4; ++row) {
        Mask line(256, 256);
        double size = std::min(48.0, fitSize(font, words[row], 224, 44, 2.0));
        Mask m = font.render(words[row], size, 2.0);
        stampMax(line, m, centreX(m, 128.0), centreY(m, 8 + row * 60 + 30), false);
        paintAdd(c, blur(line, 2, false), glow, 0, 0, 0.7);
        paintOver(c, line, rowColours[row]);
    }
    // The margin is exact black, glow included.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (x < 8 || x >= 248 || y < 8 || y >= 248) c.at(x, y) = {};
    return c;
}

// The word and its glow stay inside the middle 112x16 (rows 8..23, columns
// 8..119), so the border of whole 8x8 blocks round it is exact black.
Canvas paintSweep(const Font& font, int frame) {
    Canvas c(128, 32);
    double size = fitSize(font, "MARROW", 108, 16, 1.0);
    Mask word = font.render("MARROW", size, 1.0);
    Mask placed(128, 32);
    stampMax(placed, word, centreX(word, 64.0), centreY(word, 16.0), false);
    // The sweep: a slanted band moving left to right over the eight frames.
    const double centre = -4.0 + frame * (136.0 / 7.0);
    Mask light(128, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x) {
            double d = (x - centre) + 0.5 * (y - 16);
            light.at(x, y) = static_cast<float>(std::exp(-d * d / (2.0 * 11.0 * 11.0)));
        }
    Mask lit(128, 32);
    for (size_t i = 0; i < lit.a.size(); ++i) lit.a[i] = placed.a[i] * light.a[i];
    Mask halo = blur(lit, 3, false);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x)
            if (y < 8 || y >= 24 || x < 8 || x >= 120) halo.at(x, y) = 0.0f;
    // Letters: a violet body, brightening to warm white under the sweep,
    // with an orange halo round the lit part.
    paintAdd(c, halo, kOrange, 0, 0, 2.2);
    paintOver(c, placed, hex(0x6a5ae8));
    paintAdd(c, lit, hex(0xfff0d8), 0, 0, 1.2);
    return c;
}

// --- envmap2: the glow sprite and chrome reflection ---------------------------
Canvas paintGlow() {
    return shade(256, 256, [&](double u, double v) {
        // Centre between the middle pixels; r = 1 at the middle of each edge.
        double dx = (u * 256.0 - 127.5) / 128.0, dy = (v * 256.0 - 127.5) / 128.0;
        double r = std::sqrt(dx * dx + dy * dy);
        double body = 1.0 - smoothstep(0.0, 0.9, r);
        double core = std::exp(-std::pow(r / 0.16, 2.0));
        double ring = 0.22 * std::exp(-std::pow((r - 0.58) / 0.05, 2.0)) * body;
        return hex(0x3a6cff) * (body * body * 0.95) + kIce * (body * body * body * 0.5) + kWhite * (core + ring);
    });
}

// --- theend: "THE END" as a tile ---------------------------------------------------
Canvas paintTheEnd(const Font& font) {
    Canvas c(256, 256);
    // Large rows repeat once across the tile, small rows twice; the text
    // size is fitted so the natural line nearly fills its period.
    struct Row {
        int period, x, centreY;
        Rgb colour;
    };
    const char* text = "THE END \xB7 ";  // "\xB7": Latin-1 middle dot
    const Row rows[4] = {{256, 10, 40, hex(0xffe2b0)},
                         {128, 30, 100, hex(0x9a86ff)},
                         {256, 138, 164, hex(0xff9a3a)},
                         {128, 94, 226, hex(0x9a86ff)}};
    for (const Row& row : rows) {
        Mask line(256, 256);
        double size = fitAdvance(font, text, row.period * 0.94, 60.0);
        Mask probe = font.render(text, size);
        font.stampRepeated(line, text, size, row.period, row.x, centreY(probe, row.centreY));
        paintAdd(c, blur(line, size > 30 ? 4 : 2, true), kEmber, 0, 0, 0.7);
        paintOver(c, line, row.colour);
    }
    return c;
}

// --- ug: the emblem as a tile -----------------------------------------------------
Canvas paintEmblemTile() {
    Canvas c = shade(256, 256, [&](double u, double v) {
        // Deep night with a faint periodic mottling.
        return hex(0x06061a) * (0.7 + 0.5 * tileFbm(u, v, 4, 4, 0.5, 61));
    });
    Rng rng(6161);
    Mask star(1, 1);
    for (int i = 0; i < 60; ++i) {
        star.a[0] = static_cast<float>(0.3 + 0.7 * rng.uniform());
        paintAdd(c, star, kIce, rng.below(256), rng.below(256), 0.8, true);
    }
    // A dim moon behind the main bird, echoing the title picture.
    Mask disc(256, 256);
    std::vector<Point> circle;
    for (int i = 0; i < 96; ++i) circle.push_back({128.0 + 84.0 * std::cos(kTau * i / 96), 128.0 + 84.0 * std::sin(kTau * i / 96)});
    fillPolygon(disc, circle);
    paintAdd(c, blur(disc, 6, true), hex(0x1c1450), 0, 0, 1.0, true);
    // Small birds round the corners (one bird wrapped), then the main bird.
    EmblemMasks small = drawNightjar(256, 256, {0.0, 0.0, 96.0, M_PI * 0.75}, true);
    paintAdd(c, blur(small.body, 3, true), hex(0x5a3ad0), 0, 0, 1.0, true);
    paintOver(c, small.body, hex(0x8a7aff), 0, 0, 1.0, true);
    paintOver(c, small.marks, kWhite, 0, 0, 1.0, true);
    EmblemMasks bird = drawNightjar(256, 256, {128.0, 124.0, 200.0, 0.0}, true);
    paintAdd(c, blur(bird.body, 6, true), kEmber, 0, 0, 1.3, true);
    Canvas fill = shade(256, 256, [&](double, double v) { return mix(hex(0xffe6b0), kOrange, smoothstep(0.2, 0.85, v)); });
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) c.at(x, y) = mix(c.at(x, y), fill.at(x, y), bird.body.at(x, y));
    paintOver(c, bird.marks, kWhite);
    return c;
}

}  // namespace

Image ArtStudio::paint(const std::string& name) const {
    const ArtSpec* entry = findArt(name);
    if (!entry) return Image();
    Canvas c;
    if (name == "start") {
        c = paintStart();
    } else if (name == "start1_1") {
        c = paintTitleStrip(font_);
    } else if (name == "part1_1") {
        c = paintCells();
    } else if (name == "part1_2") {
        c = paintHexPanels();
    } else if (name == "still0") {
        c = paintStill(font_);
    } else if (name == "text1") {
        c = paintWordBlock(font_, "MARROW", "REAL TIME", "SOFTWARE RENDERED");
    } else if (name == "text2") {
        c = paintWordBlock(font_, "PIXELS", "32 BIT", "320 x 200 TRUE COLOUR");
    } else if (name == "rstar1") {
        c = paintWarpBands();
    } else if (name == "tex1") {
        c = paintCheckerRings();
    } else if (name == "tfont1") {
        const Rgb rows[4] = {kWhite, kOrange, kGold, hex(0xff6a3a)};
        c = paintLetterTile(font_, rows, kEmber);
    } else if (name == "tfont2") {
        const Rgb rows[4] = {hex(0x7ae0ff), hex(0xa07aff), hex(0xe0e8ff), hex(0xff6ad0)};
        c = paintLetterTile(font_, rows, hex(0x2a3ad0));
    } else if (name.size() == 2 && name[0] == 'g') {
        c = paintSweep(font_, name[1] - '0');
    } else if (name == "envmap2") {
        c = paintGlow();
    } else if (name == "theend") {
        c = paintTheEnd(font_);
    } else if (name == "ug") {
        c = paintEmblemTile();
    }
    Image image = toImage(c);
    // Overlays: glow tails too faint to see become whole black blocks.
    if (entry->overlay) clearDarkBlocks(image, 8, 6);
    return image;
}

bool writeArtImages(const std::string& outDir, std::string& error) {
    ArtStudio studio;
    if (!studio.open(error)) return false;
    std::error_code ec;
    for (const char* sub : {"pixmaps", "scenes"}) {
        std::filesystem::create_directories(outDir + "/" + sub, ec);
        if (ec) {
            error = outDir + "/" + sub + ": " + ec.message();
            return false;
        }
    }
    for (const ArtSpec& entry : artTable()) {
        Image image = studio.paint(entry.name);
        if (!writeJpeg(outDir + "/" + entry.path, image, {kArtJpegQuality, true}, error)) return false;
    }
    return true;
}

}  // namespace marrow::art
