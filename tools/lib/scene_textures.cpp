// scene_textures.cpp: painters of the scene textures (see scene_textures.h).
#include "scene_textures.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "art_noise.h"
#include "common/numeric.h"

namespace marrow::scenes {

using art::Canvas;
using art::hex;
using art::Mask;
using art::Rgb;

namespace {

constexpr double kTau = 2.0 * M_PI;
constexpr int kSize = 256;

Canvas shade(const std::function<Rgb(double, double)>& f) {
    Canvas c(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) c.at(x, y) = f(static_cast<double>(x) / kSize, static_cast<double>(y) / kSize);
    return c;
}

// Distance to the nearest grid line of `n` lines across the unit, in units
// of one cell (0 on a line, 0.5 midway).
double gridDist(double t, int n) {
    double f = t * n - std::floor(t * n);
    return std::min(f, 1.0 - f);
}

// One text line centred in a 32-pixel row of a sheet, as large as fits.
void sheetLine(Canvas& c, const art::Font& font, const std::string& text, int row, Rgb colour, double maxSize) {
    double size = 8.0;
    for (double s = 8.0; s <= maxSize; s += 0.5) {
        Mask m = font.render(text, s, 0.5);
        if (m.width > kSize - 12 || m.height > 26) break;
        size = s;
    }
    int baseline = 0;
    Mask m = font.render(text, size, 0.5, &baseline);
    const int x = (kSize - m.width) / 2;
    const int y = row * 32 + 16 - m.height / 2;
    art::paintAdd(c, art::blur(m, 2, false), hex(0xf28a24), x, y, 0.6);
    art::paintOver(c, m, colour, x, y);
}

// --- cube panels (scene2): a dark tech panel with a glowing orange frame -----
art::Image paintPanel(const art::Font&) {
    return art::toImage(shade([](double u, double v) {
        double n = art::tileFbm(u, v, 4, 4, 0.5, 201);
        Rgb c = art::mix(hex(0x0c1030), hex(0x2a2470), 0.5 + 0.5 * n);
        double edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
        c = c + hex(0xff9a30) * (1.0 - art::smoothstep(0.0, 0.05, edge));
        double fine = std::min(gridDist(u, 8), gridDist(v, 8));
        c = c + hex(0x3a6ad8) * (0.6 * (1.0 - art::smoothstep(0.0, 0.06, fine)));
        double r = std::hypot(u - 0.5, v - 0.5);
        c = c + hex(0xffc85a) * (1.0 - art::smoothstep(0.0, 0.03, std::abs(r - 0.22)));
        c = c + hex(0xff7a20) * (0.7 * (1.0 - art::smoothstep(0.0, 0.12, r)));
        return c;
    }));
}

// --- spiral tiles (scene3): a bright glyph M in rings, seamless ---------------
art::Image paintTile(const art::Font& font) {
    Canvas c = shade([](double u, double v) {
        double n = art::tileFbm(u, v, 3, 3, 0.5, 301);
        Rgb base = art::mix(hex(0x1a0c48), hex(0x0f6a76), 0.5 + 0.5 * n);
        double r = std::hypot(u - 0.5, v - 0.5);
        double ring = std::abs(std::sin(r * kTau * 6.0));
        return base + hex(0x8fd4ff) * (0.35 * std::pow(ring, 24.0));
    });
    Mask m = font.render("M", 150.0);
    art::paintAdd(c, art::blur(m, 6, false), hex(0xf28a24), (kSize - m.width) / 2, (kSize - m.height) / 2, 0.9);
    art::paintOver(c, m, hex(0xfff2d8), (kSize - m.width) / 2, (kSize - m.height) / 2);
    return art::toImage(c);
}

// --- buildings (scene4): rows of windows, some lit warm, some cold -----------
art::Image paintCity(const art::Font&) {
    return art::toImage(shade([](double u, double v) {
        const int cols = 8, rows = 16;
        int cx = static_cast<int>(u * cols), cy = static_cast<int>(v * rows);
        double fx = u * cols - cx, fy = v * rows - cy;
        uint32_t h = art::hash3(cx, cy, 401);
        Rgb wall = art::mix(hex(0x10123a), hex(0x1c1850), 0.5 + 0.5 * art::tileFbm(u, v, 8, 2, 0.5, 402));
        bool window = fx > 0.2 && fx < 0.8 && fy > 0.25 && fy < 0.8;
        if (!window) return wall;
        switch (h % 5) {
        case 0:
        case 1: return hex(0xffb050) * (0.8 + 0.2 * fy);
        case 2: return hex(0x9fd8ff) * 0.85;
        default: return hex(0x22285c);
        }
    }));
}

// --- pillars (scene4): vertical light bands, seamless round the pillar ------
art::Image paintPillar(const art::Font&) {
    return art::toImage(shade([](double u, double v) {
        Rgb c = art::mix(hex(0x241a5c), hex(0x3a2a80), 0.5 + 0.5 * art::tileFbm(u, v, 4, 3, 0.5, 501));
        double band = 1.0 - art::smoothstep(0.0, 0.04, gridDist(u, 6));
        c = c + hex(0xff9a30) * band;
        double ring = 1.0 - art::smoothstep(0.0, 0.03, gridDist(v, 4));
        return c + hex(0x8fd4ff) * (0.7 * ring);
    }));
}

// --- ground (scene4, scene5 ring): a glowing blue grid -----------------------
art::Image paintGround(const art::Font&) {
    return art::toImage(shade([](double u, double v) {
        Rgb c = art::mix(hex(0x060818), hex(0x141a48), 0.5 + 0.5 * art::tileFbm(u, v, 4, 3, 0.5, 601));
        double line = std::min(gridDist(u, 4), gridDist(v, 4));
        c = c + hex(0x3a8aff) * (1.0 - art::smoothstep(0.0, 0.03, line));
        return c + hex(0x1a3a9a) * (0.5 * (1.0 - art::smoothstep(0.0, 0.15, line)));
    }));
}

// --- sun (scene5): boiling orange plasma, seamless in u (the sphere wraps) --
art::Image paintSun(const art::Font&) {
    art::Gradient fire;
    fire.stop(0.0, hex(0x5a0c04)).stop(0.35, hex(0xc8401c)).stop(0.6, hex(0xf28a24)).stop(0.85, hex(0xffc85a))
        .stop(1.0, hex(0xfff4d0));
    return art::toImage(shade([&](double u, double v) {
        double wu = u + 0.08 * art::tileFbm(u, v, 3, 3, 0.5, 701);
        double n = art::tileFbm(wu, v, 4, 5, 0.55, 702);
        double cells = art::tileCells(u, v, 10, 703).f1;
        return fire.sample(0.55 + 0.5 * n - 0.25 * cells);
    }));
}

// --- rock (canyon): layered sandstone strata in dusk colours, seamless -------
art::Image paintRock(const art::Font&) {
    art::Gradient strata;
    strata.stop(0.0, hex(0x5a2a3a)).stop(0.2, hex(0xa04a32)).stop(0.4, hex(0xd88a4a)).stop(0.55, hex(0x7a3a4a))
        .stop(0.75, hex(0xc8703a)).stop(1.0, hex(0x5a2a3a));
    return art::toImage(shade([&](double u, double v) {
        double warp = 0.12 * art::tileFbm(u, v, 2, 4, 0.5, 801);
        Rgb c = strata.sampleWrapped(3.0 * v + warp);
        double grain = art::tileFbm(u, v, 16, 3, 0.5, 802);
        double crack = art::tileCells(u, v, 6, 803).f2 - art::tileCells(u, v, 6, 803).f1;
        c = c * (0.85 + 0.2 * grain);
        return c * (0.55 + 0.45 * art::smoothstep(0.0, 0.15, crack));
    }));
}

// --- triangle tunnel: a kaleidoscope of nested triangles ---------------------
art::Image paintKaleido(const art::Font&) {
    art::Gradient g;
    g.stop(0.0, hex(0x16205a)).stop(0.3, hex(0x3a1f74)).stop(0.5, hex(0xf28a24)).stop(0.7, hex(0x0f6a76))
        .stop(1.0, hex(0x16205a));
    return art::toImage(shade([&](double u, double v) {
        // Triangle lattice distance: three families of lines 60 degrees apart.
        double x = u * 4.0, y = v * 4.0;
        double a = gridDist(y / 4.0, 4), b = gridDist((x + 0.5 * y) / 4.0, 4), c = gridDist((x - 0.5 * y) / 4.0, 4);
        double d = std::min(a, std::min(b, c));
        Rgb col = g.sampleWrapped(u + 2.0 * v + 0.2 * art::tileFbm(u, v, 2, 3, 0.5, 901));
        col = col + hex(0xffe0a0) * (1.0 - art::smoothstep(0.0, 0.025, d));
        return col + hex(0x8fd4ff) * (0.4 * (1.0 - art::smoothstep(0.0, 0.1, d)));
    }));
}

// --- chrome (reflection map): a studio surround seen in a mirror ball ------
// The renderer picks texel (127 - 128 nx, 127 - 128 ny) from the camera-space
// normal the scene library computes, which points into the surface; so the
// lower rows show on the upper sides of an object: sky below, ground above.
art::Image paintChrome(const art::Font&) {
    art::Gradient sky;
    sky.stop(0.0, hex(0xffb060)).stop(0.12, hex(0xf28a24)).stop(0.35, hex(0x8a4aa8)).stop(0.7, hex(0x3a3a9a))
        .stop(1.0, hex(0x9fc8ff));
    return art::toImage(shade([&](double u, double v) {
        const double ox = (u * 256.0 - 127.0) / 128.0, up = (v * 256.0 - 127.0) / 128.0;
        Rgb c;
        if (up >= 0) {
            c = sky.sample(up);
        } else {
            // Ground: dark violet, warmer towards the horizon.
            c = art::mix(hex(0x5a2a4a), hex(0x140c30), art::smoothstep(0.0, 0.6, -up));
            c = c + hex(0x2a1a5a) * (0.3 + 0.3 * art::tileFbm(u, v, 6, 3, 0.5, 1001));
        }
        // Two soft studio lights and a thin bright horizon.
        const double h1 = std::hypot(ox + 0.35, up - 0.5), h2 = std::hypot(ox - 0.5, up - 0.2);
        c = c + hex(0xffffff) * (1.0 - art::smoothstep(0.0, 0.28, h1));
        c = c + hex(0xffd8a0) * (0.7 * (1.0 - art::smoothstep(0.0, 0.18, h2)));
        c = c + hex(0xfff0d0) * (0.8 * (1.0 - art::smoothstep(0.0, 0.05, std::abs(up))));
        return c;
    }));
}

// --- text sheets (credits, greets) --------------------------------------------
art::Image paintSheet(const art::Font& font, const std::vector<std::string>& lines, Rgb colour) {
    Canvas c(kSize, kSize);
    for (size_t i = 0; i < lines.size() && i < kSheetRows; ++i)
        if (!lines[i].empty()) sheetLine(c, font, lines[i], static_cast<int>(i), colour, 40.0);
    return art::toImage(c);
}

art::Image paintCredits(const art::Font& font) { return paintSheet(font, creditLines(), hex(0xffffff)); }
art::Image paintGreets(const art::Font& font) { return paintSheet(font, greetLines(), hex(0xfff0e0)); }

}  // namespace

const std::vector<std::string>& creditLines() {
    static const std::vector<std::string> lines = {
        "MARROW", "CODE", "3D", "MUSIC", "GRAPHICS", "the Marrow authors", "", "thank you",
    };
    return lines;
}

const std::vector<std::string>& greetLines() {
    static const std::vector<std::string> lines = {
        "SDL", "libjpeg-turbo", "mpg123", "LAME", "FLTK", "FreeType", "GoogleTest", "greetings to",
    };
    return lines;
}

const std::vector<SceneTexture>& sceneTextures() {
    static const std::vector<SceneTexture> table = {
        {"panel.jpg", paintPanel},     {"tile.jpg", paintTile},   {"city.jpg", paintCity},
        {"pillar.jpg", paintPillar},   {"ground.jpg", paintGround}, {"sun.jpg", paintSun},
        {"rock.jpg", paintRock},       {"kaleido.jpg", paintKaleido}, {"credits.jpg", paintCredits},
        {"greets.jpg", paintGreets},    {"chrome.jpg", paintChrome},
    };
    return table;
}

}  // namespace marrow::scenes
