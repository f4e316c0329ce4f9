// scene_build_b.cpp: credits, canyon, triangle, neki, greets and scene6.
//
//   credits   who made Marrow, by role, on text cards that fly up from the
//             distance, hold and sweep past the camera in turn.
//   canyon    a banking flight down a winding valley of textured rock.
//   triangle  a kaleidoscopic tunnel of Sierpinski triangles, textured and
//             mirror, the camera flying through the holes; some blink
//             (hide track); loops (every sixth ring is the same again).
//   neki      a chrome shape morphing sphere > star > twisted torus >
//             sphere while it turns; loops.
//   greets    the projects Marrow stands on, on two-sided cards orbiting a
//             chrome knot; loops.
//   scene6    the finale: chrome gems on six arms bursting out from a core
//             and turning, the camera orbiting; loops.
// All in file space (Z up); see scene_kit.h.
#include <array>
#include <cmath>

#include "art_noise.h"
#include "scene_kit.h"
#include "scene_set.h"
#include "scene_textures.h"

namespace marrow::scenes {

using w3ds::TrackKind;
using w3ds::TrackMode;

namespace {

float smooth(float e0, float e1, float x) {
    float t = (x - e0) / (e1 - e0);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * (3 - 2 * t);
}

// A text card showing sheet row `row` (8 rows of 32 texels), width w.
Geo sheetCard(int row, float w, bool twoSided) {
    const float v0 = static_cast<float>(row) / kSheetRows + 0.004f;
    const float v1 = static_cast<float>(row + 1) / kSheetRows - 0.004f;
    return card(w, w / 8, 0.004f, v0, 0.996f, v1, twoSided);
}

// Tension 1 makes a key's tangents zero: no overshoot between equal keys.
const Spline kHold{1, 0, 0, 0, 0};
}  // namespace

// ---- credits ----------------------------------------------------------------------------------
w3ds::Scene3ds buildCredits() {
    const uint32_t L = 860, G = 140;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Lettering", "credits.jpg"));
    // Group g: top row, bottom row (-1: none), top card width.
    struct Group {
        int top, bottom;
        float width;
    };
    const Group groups[6] = {{0, 5, 200}, {1, 5, 170}, {2, 5, 170}, {3, 5, 170}, {4, 5, 170}, {7, -1, 190}};
    std::vector<std::pair<std::string, int>> cards;  // name, group
    for (int g = 0; g < 6; ++g) {
        std::string top = "Credit" + std::to_string(g) + "a";
        s.objects.push_back(meshObject(top, sheetCard(groups[g].top, groups[g].width, false), "Lettering"));
        cards.push_back({top, g});
        if (groups[g].bottom >= 0) {
            std::string bottom = "Credit" + std::to_string(g) + "b";
            s.objects.push_back(meshObject(bottom, sheetCard(groups[g].bottom, 160, false), "Lettering"));
            cards.push_back({bottom, g});
        }
    }
    s.objects.push_back(cameraObject("Camera01", {0, -200, 0}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Lamp", {0, -160, 40}, 1, 1, 1, 400, 2600));

    Keys k(L);
    for (size_t c = 0; c < cards.size(); ++c) {
        const int g = cards[c].second;
        const bool top = cards[c].first.back() == 'a';
        const float z = groups[g].bottom < 0 ? 0.0f : (top ? 17.0f : -13.0f);
        // Group g is anchored at a = g x 140: it comes in from the distance
        // over the 40 frames before a (while the previous group leaves),
        // holds, and sweeps out of view to the side over a + 70..a + 90,
        // speeding up as it goes (the exit key's tangent carries it out);
        // it waits there, wholly out of view, until its scale drops at
        // a + 100.
        const uint32_t a = static_cast<uint32_t>(g) * G;
        const float dir = g % 2 ? 1.0f : -1.0f;
        const float side = dir * (top ? 1.0f : 0.6f);
        int n = k.object(cards[c].first, -1, {0, 0, 0});
        std::vector<Key> pos, scale;
        if (g == 0) {
            pos.push_back(w3ds::vecKey(0, {side * 20, 160, z * 1.5f}, {0, 0, 0, 0, 0.6f}));
        } else {
            pos.push_back(w3ds::vecKey(a - 40, {side * 110, 950, z * 4}, {0, 0, 0, 0, 0.6f}));
            scale = {w3ds::vecKey(0, {0, 0, 0}, kHold), w3ds::vecKey(a - 41, {0, 0, 0}, kHold)};
        }
        pos.push_back(w3ds::vecKey(a + 10, {0, 0, z}, {0, 0, 0, 0.6f, 0}));
        scale.push_back(w3ds::vecKey(g == 0 ? 0 : a - 40, {1, 1, 1}, kHold));
        if (g < 5) {
            pos.push_back(w3ds::vecKey(a + 70, {0, -25, z}, kHold));
            pos.push_back(w3ds::vecKey(a + 90, {dir * (top ? 300.0f : 280.0f), -115, z * 3}));
            scale.push_back(w3ds::vecKey(a + 99, {1, 1, 1}, kHold));
            scale.push_back(w3ds::vecKey(a + 100, {0, 0, 0}, kHold));
        } else {
            pos.push_back(w3ds::vecKey(L, {0, -10, z}, kHold));
        }
        k.track(n, TrackKind::Position, TrackMode::Once, pos);
        k.track(n, TrackKind::Scale, TrackMode::Once, scale);
    }
    int cam = k.camera("Camera01", -1, {w3ds::vecKey(0, {0, -200, 0}), w3ds::vecKey(L, {12, -200, 6})});
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 0})});
    // The lamp rides with the camera.
    k.omni("Lamp", cam, {w3ds::vecKey(0, {0, 40, 40})});
    s.keyframer = k.kf;
    return s;
}

// ---- canyon -----------------------------------------------------------------------------------
namespace {
// The valley's centre line x = c(y) and the terrain height.
float valleyX(float y) { return 170 * std::sin(y / 800) + 70 * std::sin(y / 330 + 1); }
float canyonHeight(float x, float y) {
    const float d = std::fabs(x - valleyX(y));
    const float n = static_cast<float>(art::tileFbm(x / 1400.0 + 0.5, y / 7000.0 + 0.1, 6, 4, 0.5, 1201));
    const float walls = 400 * smooth(60, 330, d);
    return walls + 45 * n + 25 * smooth(20, 200, d) * static_cast<float>(art::tileFbm(x / 1400.0, y / 7000.0, 24, 2, 0.5, 1202));
}
}  // namespace

w3ds::Scene3ds buildCanyon() {
    const uint32_t L = 840;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Sandstone", "rock.jpg"));
    Geo g = terrain(-660, 660, -300, 6300, 26, 66, canyonHeight, 300);
    for (size_t i = 0; i < g.v.size(); ++i) {
        const Vec3 p = g.v[i];
        g.uv[i] = {(p.y + 0.3f * p.x) / 350, p.z / 170 + p.x / 900};
    }
    s.objects.push_back(meshObject("Canyon", g, "Sandstone"));
    s.objects.push_back(cameraObject("Camera01", {0, 0, 100}, {0, 500, 60}, 28));
    s.objects.push_back(omniObject("Sun", {-3000, 7000, 2600}, 1, 0.75f, 0.5f, 12000, 16000));
    s.objects.push_back(omniObject("Headlamp", {0, 0, 60}, 0.7f, 0.7f, 1, 250, 1500));

    Keys k(L);
    k.object("Canyon", -1, {0, 0, 0});
    std::vector<Key> pos, target, roll;
    for (uint32_t f = 0; f <= L; f += 60) {
        const float y = 100 + 6.5f * static_cast<float>(f);
        const float z = 95 + 35 * std::sin(static_cast<float>(f) / 110);
        pos.push_back(w3ds::vecKey(f, {valleyX(y), y, z}));
        target.push_back(w3ds::vecKey(f, {valleyX(y + 520), y + 520, 70}));
        // Bank into the turns: the bend of the centre line ahead.
        float bend = valleyX(y + 300) - 2 * valleyX(y) + valleyX(y - 300);
        float deg = std::fmax(-28.0f, std::fmin(28.0f, bend * 0.35f));
        roll.push_back(w3ds::scalarKey(f, deg));
    }
    int cam = k.camera("Camera01", -1, pos);
    k.track(cam, TrackKind::Roll, TrackMode::Once, roll);
    k.cameraTarget("Camera01", -1, target);
    k.omni("Sun", -1, {w3ds::vecKey(0, {-3000, 7000, 2600})});
    k.omni("Headlamp", cam, {w3ds::vecKey(0, {0, 0, 60})});
    s.keyframer = k.kf;
    return s;
}

// ---- triangle ---------------------------------------------------------------------------------
namespace {
// Sierpinski subdivision of (a, b, c) to `level`, counter-clockwise kept.
void sierpinski(std::vector<std::array<Vec3, 3>>& out, Vec3 a, Vec3 b, Vec3 c, int level) {
    if (level == 0) {
        out.push_back({a, b, c});
        return;
    }
    Vec3 ab = (a + b) * 0.5f, bc = (b + c) * 0.5f, ca = (c + a) * 0.5f;
    sierpinski(out, a, ab, ca, level - 1);
    sierpinski(out, ab, b, bc, level - 1);
    sierpinski(out, ca, bc, c, level - 1);
}
}  // namespace

w3ds::Scene3ds buildTriangle() {
    const uint32_t L = 420;
    const int rings = 21;
    const float gap = 120, radius = 290;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Kaleido", "kaleido.jpg", true));
    s.materials.push_back(reflectMaterial("Prism", "envmap2.jpg", true));
    s.materials.push_back(colourMaterial("Flare", 1.0f, 0.62f, 0.2f));
    Geo tex, mirror, blink;
    for (int r = 0; r < rings; ++r) {
        const float y = 60 + gap * static_cast<float>(r);
        // Each ring turned 60 degrees from the last: every sixth ring is the
        // same again, which is what lets the flight loop.
        const float turn = 60.0f * kPi / 180 * static_cast<float>(r);
        auto corner = [&](float deg) {
            const float a = deg * kPi / 180 + turn;
            return Vec3{radius * std::cos(a), y, radius * std::sin(a)};
        };
        // Counter-clockwise seen from -y (x right, z up): angles rising.
        Vec3 a = corner(90), b = corner(210), c = corner(330);
        std::vector<std::array<Vec3, 3>> tris;
        Vec3 ab = (a + b) * 0.5f, bc = (b + c) * 0.5f, ca = (c + a) * 0.5f;
        sierpinski(tris, a, ab, ca, 2);
        sierpinski(tris, ab, b, bc, 2);
        sierpinski(tris, ca, bc, c, 2);
        Geo& dst = r % 2 ? mirror : tex;
        for (const auto& t : tris) {
            int i0 = dst.vertex(t[0], {t[0].x / 300 + 0.5f, -t[0].z / 300 + 0.5f});
            int i1 = dst.vertex(t[1], {t[1].x / 300 + 0.5f, -t[1].z / 300 + 0.5f});
            int i2 = dst.vertex(t[2], {t[2].x / 300 + 0.5f, -t[2].z / 300 + 0.5f});
            dst.tri(i0, i1, i2);
        }
        // The holes of the second level blink.
        for (const auto& corners : {std::array<Vec3, 3>{a, ab, ca}, std::array<Vec3, 3>{ab, b, bc},
                                    std::array<Vec3, 3>{ca, bc, c}}) {
            Vec3 m0 = (corners[0] + corners[1]) * 0.5f, m1 = (corners[1] + corners[2]) * 0.5f,
                 m2 = (corners[2] + corners[0]) * 0.5f;
            int i0 = blink.vertex(m0), i1 = blink.vertex(m1), i2 = blink.vertex(m2);
            blink.tri(i0, i1, i2);
        }
    }
    s.objects.push_back(meshObject("TriTex", tex, "Kaleido"));
    s.objects.push_back(meshObject("TriMirror", mirror, "Prism"));
    s.objects.push_back(meshObject("Blink", blink, "Flare"));
    s.objects.push_back(cameraObject("Camera01", {0, 330, 0}, {0, 830, 0}, 28));
    s.objects.push_back(omniObject("Beam", {0, -200, 0}, 1, 0.7f, 0.3f, 160, 1300));

    Keys k(L);
    // The whole tunnel rolls round the flight once per loop.
    int tunnel = k.dummy("Tunnel", -1, {0, 0, 0});
    k.track(tunnel, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, {0, 1, 0}));
    k.object("TriTex", tunnel, {0, 0, 0});
    k.object("TriMirror", tunnel, {0, 0, 0});
    int bl = k.object("Blink", tunnel, {0, 0, 0});
    // Blinking: hidden and shown in turn every half second. The renderer
    // draws hidden objects too, so a stepped scale track (tension 1: no
    // overshoot) folds the flares away while they are hidden.
    std::vector<Key> hide, blinkScale;
    for (uint32_t f = 0; f <= L; f += 35) {
        hide.push_back(w3ds::scalarKey(f, 0));
        const float shown = (f / 35) % 2 ? 1.0f : 0.0f;
        if (f > 0) blinkScale.push_back(w3ds::vecKey(f - 1, Vec3{1, 1, 1} * (1 - shown), kHold));
        blinkScale.push_back(w3ds::vecKey(f, Vec3{1, 1, 1} * shown, kHold));
    }
    blinkScale.back().v = blinkScale.front().v;  // the loop closes hidden, as it opens
    k.track(bl, TrackKind::Hide, TrackMode::Loop, hide);
    k.track(bl, TrackKind::Scale, TrackMode::Loop, blinkScale);
    // Six rings (720 units) per loop, with rings behind and far ahead all
    // the way: the view at the end is the view at the start. Two keys give
    // a straight, even flight.
    const float y0 = 330;
    int cam = k.camera("Camera01", -1, {w3ds::vecKey(0, {0, y0, 0}), w3ds::vecKey(L, {0, y0 + 6 * gap, 0})});
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, y0 + 500, 0}), w3ds::vecKey(L, {0, y0 + 500 + 6 * gap, 0})});
    int beam = k.omni("Beam", cam, {w3ds::vecKey(0, {0, 40, 0})});
    k.track(beam, TrackKind::Color, TrackMode::Loop,
            {w3ds::vecKey(0, {1, 0.7f, 0.3f}), w3ds::vecKey(L / 2, {0.4f, 0.5f, 1}), w3ds::vecKey(L, {1, 0.7f, 0.3f})});
    s.keyframer = k.kf;
    return s;
}

// ---- neki -------------------------------------------------------------------------------------
namespace {
constexpr int kNekiU = 36, kNekiV = 18;
Vec3 onSphere(float u, float v, float r) {
    const float th = v * kPi, ph = u * kTwoPi;
    return Vec3{r * std::sin(th) * std::cos(ph), r * std::sin(th) * std::sin(ph), r * std::cos(th)};
}
Geo nekiSphere() { return surface(kNekiU, kNekiV, true, false, [](float u, float v) { return onSphere(u, v, 62); }); }
Geo nekiStar() {
    // Fourteen spikes: six along the axes, eight along the cube diagonals.
    return surface(kNekiU, kNekiV, true, false, [](float u, float v) {
        const Vec3 d = onSphere(u, v, 1);
        float spikes = 0;
        for (int i = 0; i < 14; ++i) {
            Vec3 axis = i < 6 ? Vec3{i / 2 == 0 ? 1.0f : 0.0f, i / 2 == 1 ? 1.0f : 0.0f, i / 2 == 2 ? 1.0f : 0.0f}
                              : unit(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f);
            if (i < 6 && (i & 1)) axis = axis * -1.0f;
            const float c = dot(d, axis);
            if (c > 0) spikes += std::pow(c, i < 6 ? 10.0f : 16.0f) * (i < 6 ? 1.0f : 0.7f);
        }
        return d * (40 * (1 + 1.3f * spikes));
    });
}
Geo nekiTorus() {
    // A ring whose flat oval cross-section turns once round the ring.
    return surface(kNekiU, kNekiV, true, false, [](float u, float v) {
        const float ph = u * kTwoPi;
        // v runs round the tube downwards on the outside, as on the sphere.
        const float al = -v * kTwoPi;
        const float p = 32 * std::cos(al), q = 14 * std::sin(al);
        const float pr = p * std::cos(ph) - q * std::sin(ph), qr = p * std::sin(ph) + q * std::cos(ph);
        return Vec3{(62 + pr) * std::cos(ph), (62 + pr) * std::sin(ph), qr};
    });
}
}  // namespace

w3ds::Scene3ds buildNeki() {
    const uint32_t L = 420;
    w3ds::Scene3ds s;
    s.materials.push_back(reflectMaterial("Liquid", "chrome.jpg"));
    s.objects.push_back(meshObject("Neki", nekiSphere(), "Liquid"));
    // The morph targets: same layout, no keyframer node of their own.
    s.objects.push_back(meshObject("NekiSphere", nekiSphere(), "Liquid"));
    s.objects.push_back(meshObject("NekiStar", nekiStar(), "Liquid"));
    s.objects.push_back(meshObject("NekiTorus", nekiTorus(), "Liquid"));
    s.objects.push_back(cameraObject("Camera01", {0, -240, 50}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Warm", {160, -170, 130}, 1, 0.6f, 0.2f, 160, 520));
    s.objects.push_back(omniObject("Cold", {-170, -130, -70}, 0.3f, 0.5f, 1, 150, 480));
    // Lit from all round: a morphing mesh keeps its own (sphere) normals, so
    // a part the morph turns towards the camera may carry a normal facing
    // away from the front lights.
    s.objects.push_back(omniObject("Rim", {60, 260, 40}, 0.6f, 0.4f, 1, 200, 500));
    s.objects.push_back(omniObject("Under", {-40, -60, -280}, 1, 0.5f, 0.3f, 200, 500));
    s.objects.push_back(omniObject("Over", {30, 40, 290}, 0.8f, 0.8f, 1, 200, 500));

    Keys k(L);
    int neki = k.object("Neki", -1, {0, 0, 0});
    k.track(neki, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, unit(1, 0.4f, 0.7f)));
    const Spline ease{0, 0, 0, 0.4f, 0.4f};
    auto morphKey = [&](uint32_t f, const char* target) {
        Key key;
        key.frame = f;
        key.spline = ease;
        key.target = target;
        return key;
    };
    k.track(neki, TrackKind::Morph, TrackMode::Once,
            {morphKey(0, "NekiSphere"), morphKey(140, "NekiStar"), morphKey(280, "NekiTorus"), morphKey(L, "NekiSphere")});
    int cam = k.camera("Camera01", -1, {});
    k.track(cam, TrackKind::Position, TrackMode::Loop, loopPath(L, 6, [](float t) {
                return Vec3{50 * std::sin(kTwoPi * t), -230 + 20 * std::cos(kTwoPi * t), 90 + 40 * std::sin(kTwoPi * t)};
            }));
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 0})});
    int warm = k.omni("Warm", -1, {});
    k.track(warm, TrackKind::Position, TrackMode::Loop, loopPath(L, 6, [](float t) {
                return Vec3{170 * std::cos(kTwoPi * t), -170 + 60 * std::sin(kTwoPi * t), 120};
            }));
    k.track(warm, TrackKind::Color, TrackMode::Once,
            {w3ds::vecKey(0, {1, 0.6f, 0.2f}), w3ds::vecKey(L / 2, {1, 0.3f, 0.7f}), w3ds::vecKey(L, {1, 0.6f, 0.2f})});
    k.omni("Cold", -1, {w3ds::vecKey(0, {-170, -130, -70})});
    k.omni("Rim", -1, {w3ds::vecKey(0, {60, 260, 40})});
    k.omni("Under", -1, {w3ds::vecKey(0, {-40, -60, -280})});
    k.omni("Over", -1, {w3ds::vecKey(0, {30, 40, 290})});
    s.keyframer = k.kf;
    return s;
}

// ---- greets -----------------------------------------------------------------------------------
w3ds::Scene3ds buildGreets() {
    const uint32_t L = 560;
    const int names = 7;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Names", "greets.jpg", true));
    s.materials.push_back(textureMaterial("HeadingInk", "greets.jpg"));
    s.materials.push_back(reflectMaterial("KnotChrome", "chrome.jpg"));
    for (int i = 0; i < names; ++i) {
        // Card i on the ring, facing outward.
        const float a = kTwoPi * static_cast<float>(i) / names;
        const float t = a + kPi / 2, cs = std::cos(t), sn = std::sin(t);
        Geo g = sheetCard(i, 160, true);
        g.transform([&](Vec3 p) { return Vec3{p.x * cs - p.y * sn, p.x * sn + p.y * cs, p.z} + Vec3{190 * std::cos(a), 190 * std::sin(a), 0}; });
        s.objects.push_back(meshObject("Greet" + std::to_string(i), g, "Names"));
    }
    s.objects.push_back(meshObject("Heading", sheetCard(7, 170, false), "HeadingInk"));
    s.objects.push_back(meshObject("Knot", torusKnot(3, 2, 44, 17, 9.5f, 120, 8), "KnotChrome"));
    s.objects.push_back(cameraObject("Camera01", {0, -420, 170}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Front", {0, -430, 110}, 1, 0.9f, 0.8f, 350, 950));
    s.objects.push_back(omniObject("Centre", {0, 0, 40}, 1, 0.6f, 0.3f, 120, 330));

    Keys k(L);
    int carousel = k.dummy("Carousel", -1, {0, 0, 0});
    k.track(carousel, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, -1, {0, 0, 1}));
    for (int i = 0; i < names; ++i) {
        int n = k.object("Greet" + std::to_string(i), carousel, {0, 0, 0});
        const float phase = static_cast<float>(i) / names;
        k.track(n, TrackKind::Position, TrackMode::Loop, loopPath(L, 8, [=](float t) {
                    return Vec3{0, 0, 18 * std::sin(kTwoPi * (2 * t + phase))};
                }));
    }
    k.object("Heading", -1, {0, -40, 120});
    int knot = k.object("Knot", -1, {0, 0, 5});
    k.track(knot, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 2, unit(0.4f, 0.3f, 1)));
    int cam = k.camera("Camera01", -1, {});
    k.track(cam, TrackKind::Position, TrackMode::Loop, loopPath(L, 4, [](float t) {
                return Vec3{60 * std::sin(kTwoPi * t), -420, 170 + 30 * std::cos(kTwoPi * t)};
            }));
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 10})});
    k.omni("Front", -1, {w3ds::vecKey(0, {0, -430, 110})});
    k.omni("Centre", -1, {w3ds::vecKey(0, {0, 0, 40})});
    s.keyframer = k.kf;
    return s;
}

// ---- scene6 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene6() {
    const uint32_t L = 560;
    w3ds::Scene3ds s;
    s.materials.push_back(reflectMaterial("GemChrome", "chrome.jpg"));
    s.materials.push_back(colourMaterial("GemAmber", 1.0f, 0.6f, 0.18f));
    s.materials.push_back(reflectMaterial("CoreMirror", "envmap2.jpg"));
    const Vec3 dirs[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 4; ++j) {
            const int kind = (i + j) % 3;
            Geo g = kind == 0 ? octahedron(19) : kind == 1 ? box({13, 13, 13}) : ball(14, 12, 8);
            const char* mat = j == 3 ? "GemAmber" : "GemChrome";
            s.objects.push_back(meshObject("Gem" + std::to_string(i) + std::to_string(j), g, mat));
        }
    s.objects.push_back(meshObject("Core", ball(30, 20, 12), "CoreMirror"));
    s.objects.push_back(cameraObject("Camera01", {0, -300, 100}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Key", {80, 0, 90}, 1, 0.9f, 0.8f, 300, 800));
    s.objects.push_back(omniObject("Heart", {0, 0, 0}, 1, 0.5f, 0.2f, 70, 260));
    s.objects.push_back(omniObject("Top", {0, 0, 420}, 0.5f, 0.6f, 1, 250, 750));

    Keys k(L);
    k.ambient({w3ds::vecKey(0, {0.04f, 0.03f, 0.08f}), w3ds::vecKey(L / 2, {0.08f, 0.05f, 0.1f}),
               w3ds::vecKey(L, {0.04f, 0.03f, 0.08f})});
    int core = k.object("Core", -1, {0, 0, 0});
    k.track(core, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, unit(0.3f, 0.5f, 1)));
    for (int i = 0; i < 6; ++i) {
        const Vec3 d = dirs[i];
        int arm = k.dummy("Arm" + std::to_string(i), core, {0, 0, 0});
        // Two bursts per loop: out to 150, back to 50.
        k.track(arm, TrackKind::Position, TrackMode::Loop, loopPath(L, 16, [=](float t) {
                    const float r = 70 + 100 * (0.5f - 0.5f * std::cos(kTwoPi * 2 * t));
                    return d * r;
                }));
        k.track(arm, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, i % 2 ? 2 : -2, d));
        const Vec3 e1 = std::fabs(d.z) > 0.5f ? Vec3{1, 0, 0} : Vec3{0, 0, 1};
        const Vec3 e2 = cross(d, e1);
        for (int j = 0; j < 4; ++j) {
            const float a = kTwoPi * static_cast<float>(j) / 4;
            const Vec3 off = (e1 * std::cos(a) + e2 * std::sin(a)) * 42 + d * 10;
            int gem = k.object("Gem" + std::to_string(i) + std::to_string(j), arm, off);
            const float phase = static_cast<float>(i * 4 + j) / 24;
            k.track(gem, TrackKind::Scale, TrackMode::Loop, loopPath(L, 8, [=](float t) {
                        const float sc = 1.0f + 0.35f * std::sin(kTwoPi * (4 * t + phase));
                        return Vec3{sc, sc, sc};
                    }));
            k.track(gem, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, j % 2 ? 3 : -3, unit(0.5f, 1, 0.3f)));
        }
    }
    // The camera rides a rig that turns once per loop.
    int rig = k.dummy("CamRig", -1, {0, 0, 0});
    k.track(rig, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, {0, 0, 1}));
    int cam = k.camera("Camera01", rig, {});
    k.track(cam, TrackKind::Position, TrackMode::Loop, loopPath(L, 4, [](float t) {
                return Vec3{0, -300 + 40 * std::sin(kTwoPi * t), 100 + 60 * std::sin(kTwoPi * 2 * t)};
            }));
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 0})});
    k.omni("Key", cam, {w3ds::vecKey(0, {80, 0, 90})});
    k.omni("Heart", -1, {w3ds::vecKey(0, {0, 0, 0})});
    k.omni("Top", -1, {w3ds::vecKey(0, {0, 0, 420})});
    s.keyframer = k.kf;
    return s;
}

}  // namespace marrow::scenes
