// scene_build_a.cpp: scene1 to scene5 of the default data set.
//
//   scene1  a chrome torus knot turning slowly in the light of two omni
//           lights; the knot's mesh is stored with a tilted mesh matrix.
//   scene2  a ring of eight textured cubes orbiting a dummy centre round a
//           chrome core, each cube spinning and bobbing; loops.
//   scene3  a slowly turning spiral of two-sided tiles, textured and mirror
//           (the perspective-correct fillers); loops.
//   scene4  a low flight down a street of lit blocks between u-wrapping
//           pillars, two spotlights sweeping, the camera banking.
//   scene5  a small solar system: a textured sun, chrome planets, coloured
//           moons on a hierarchy five levels deep, the camera zooming.
// All in file space (Z up); see scene_kit.h.
#include <cmath>

#include "scene_kit.h"
#include "scene_set.h"

namespace marrow::scenes {

using w3ds::TrackKind;
using w3ds::TrackMode;

// ---- scene1 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene1() {
    w3ds::Scene3ds s;
    s.materials.push_back(reflectMaterial("Chrome", "chrome.jpg"));
    // The knot is stored tilted 30 degrees about x (its mesh matrix); the
    // reader brings it back upright into its own space.
    const float c = std::cos(kPi / 6), sn = std::sin(kPi / 6);
    s.objects.push_back(placedMeshObject("Knot", torusKnot(2, 3, 42, 17, 9.5f, 128, 10), "Chrome", {1, 0, 0},
                                         {0, c, sn}, {0, -sn, c}, {5, -3, 8}));
    s.objects.push_back(cameraObject("Camera01", {0, -175, 50}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Amber", {130, -110, 90}, 1.0f, 0.6f, 0.2f, 140, 420));
    s.objects.push_back(omniObject("Azure", {-140, -90, -30}, 0.3f, 0.5f, 1.0f, 120, 380));

    Keys k(120);
    int knot = k.object("Knot", -1, {0, 0, 0});
    // A slow turn that eases in and out, shaped by tension, continuity and bias.
    k.track(knot, TrackKind::Rotation, TrackMode::Once,
            {w3ds::rotKey(0, 0, {0, 0, 1}, {0, 0, 0, 0, 0.6f}), w3ds::rotKey(50, 0.9f, unit(0.2f, 0.3f, 1), {0.2f, 0.1f, 0.3f}),
             w3ds::rotKey(120, 1.3f, unit(0.1f, -0.2f, 1), {0, -0.2f, 0, 0.5f, 0})});
    k.camera("Camera01", -1,
             {w3ds::vecKey(0, {-40, -200, 70}, {0, 0, 0, 0, 0.5f}), w3ds::vecKey(60, {0, -175, 45}, {-0.3f, 0, 0.2f}),
              w3ds::vecKey(120, {35, -150, 25}, {0, 0, 0, 0.5f, 0})});
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 5}), w3ds::vecKey(120, {0, 0, -5})});
    k.omni("Amber", -1,
                       {w3ds::vecKey(0, {140, -120, 100}), w3ds::vecKey(60, {0, -160, 130}), w3ds::vecKey(120, {-120, -120, 90})});
    k.omni("Azure", -1, {w3ds::vecKey(0, {-140, -90, -30}), w3ds::vecKey(120, {100, -110, -50})});
    s.keyframer = k.kf;
    return s;
}

// ---- scene2 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene2() {
    const uint32_t L = 280;
    const int cubes = 8;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Panel", "panel.jpg"));
    s.materials.push_back(reflectMaterial("CoreChrome", "chrome.jpg"));
    for (int i = 0; i < cubes; ++i) s.objects.push_back(meshObject("Cube" + std::to_string(i), box({14, 14, 14}), "Panel"));
    s.objects.push_back(meshObject("Core", ball(26, 20, 12), "CoreChrome"));
    s.objects.push_back(cameraObject("Camera01", {0, -230, 110}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("Key", {0, -170, 160}, 1, 0.9f, 0.8f, 200, 620));
    s.objects.push_back(omniObject("Heart", {0, 0, 0}, 1, 0.6f, 0.2f, 60, 170));

    Keys k(L);
    k.ambient({w3ds::vecKey(0, {0.05f, 0.04f, 0.1f})});
    int ring = k.dummy("Ring", -1, {0, 0, 0});
    k.track(ring, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, {0, 0, 1}));
    for (int i = 0; i < cubes; ++i) {
        const float a = kTwoPi * static_cast<float>(i) / cubes;
        const float phase = static_cast<float>(i) / cubes;
        int cube = k.object("Cube" + std::to_string(i), ring, {0, 0, 0});
        k.track(cube, TrackKind::Position, TrackMode::Loop, loopPath(L, 8, [=](float t) {
                    return Vec3{78 * std::cos(a), 78 * std::sin(a), 14 * std::sin(kTwoPi * (2 * t + phase))};
                }));
        k.track(cube, TrackKind::Rotation, TrackMode::Loop,
                spinKeys(L, i % 2 ? 2 : -2, unit(std::cos(a), std::sin(a), 0.7f)));
    }
    int core = k.object("Core", -1, {0, 0, 0});
    k.track(core, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, -1, unit(0.3f, 0, 1)));
    int cam = k.camera("Camera01", -1, {});
    k.track(cam, TrackKind::Position, TrackMode::Loop,
            loopPath(L, 4, [](float t) {
                return Vec3{40 * std::sin(kTwoPi * t), -230 + 15 * std::cos(kTwoPi * t), 100 + 20 * std::sin(kTwoPi * t)};
            }));
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, -5})});
    k.omni("Key", -1, {w3ds::vecKey(0, {0, -170, 160})});
    k.omni("Heart", -1, {w3ds::vecKey(0, {0, 0, 0})});
    s.keyframer = k.kf;
    return s;
}

// ---- scene3 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene3() {
    const uint32_t L = 300;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("TileFace", "tile.jpg", true));
    s.materials.push_back(reflectMaterial("TileMirror", "envmap2.jpg", true));
    // Tiles climb a helix; each is turned 50 degrees off the radial
    // direction so the spin shows fronts and backs in turn.
    Geo tiles, mirrors;
    const int count = 56;
    for (int i = 0; i < count; ++i) {
        const float a = 0.42f * static_cast<float>(i);
        const float r = 55 + 1.6f * static_cast<float>(i);
        const float z = -110 + 4.0f * static_cast<float>(i);
        const float facing = a + 0.9f;
        Geo g = card(30, 30, 0.01f, 0.01f, 0.99f, 0.99f, true);
        g.transform([&](Vec3 p) {
            // Card faces -y; turn it about z by `facing`, then move it out.
            const float cs = std::cos(facing), sn = std::sin(facing);
            Vec3 q{p.x * cs - p.y * sn, p.x * sn + p.y * cs, p.z};
            return q + Vec3{r * std::cos(a), r * std::sin(a), z};
        });
        (i % 4 == 3 ? mirrors : tiles).append(g);
    }
    s.objects.push_back(meshObject("Tiles", tiles, "TileFace"));
    s.objects.push_back(meshObject("Mirrors", mirrors, "TileMirror"));
    s.objects.push_back(cameraObject("Camera01", {0, -280, 40}, {0, 0, 0}, 28));
    s.objects.push_back(omniObject("Key", {60, -220, 120}, 1, 0.9f, 0.8f, 220, 650));
    s.objects.push_back(omniObject("Fill", {-80, 220, -40}, 0.5f, 0.4f, 1, 200, 600));

    Keys k(L);
    int spiral = k.dummy("Spiral", -1, {0, 0, 0});
    k.track(spiral, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, {0, 0, 1}));
    k.object("Tiles", spiral, {0, 0, 0});
    k.object("Mirrors", spiral, {0, 0, 0});
    int cam = k.camera("Camera01", -1, {});
    k.track(cam, TrackKind::Position, TrackMode::Loop, loopPath(L, 6, [](float t) {
                return Vec3{60 * std::sin(kTwoPi * t), -270 + 20 * std::cos(kTwoPi * t), 30 + 60 * std::sin(kTwoPi * t + 1)};
            }));
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 0})});
    k.omni("Key", -1, {w3ds::vecKey(0, {60, -220, 120})});
    k.omni("Fill", -1, {w3ds::vecKey(0, {-80, 220, -40})});
    s.keyframer = k.kf;
    return s;
}

// ---- scene4 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene4() {
    const uint32_t L = 420;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Windows", "city.jpg"));
    s.materials.push_back(textureMaterial("Bands", "pillar.jpg"));
    s.materials.push_back(textureMaterial("Street", "ground.jpg"));
    // Two rows of blocks either side of a street along y, heights from a
    // fixed pattern; pillars line the street.
    Geo blocks;
    const float heights[] = {180, 260, 140, 320, 220, 160, 290, 200, 240, 150, 310, 190};
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 15; ++i) {
            const float hz = heights[(i * 5 + (side > 0 ? 3 : 0)) % 12] * 0.5f;
            const float hx = 55, hy = 60;
            Geo b = box({hx, hy, hz}, 1.5f, hz / 40);
            const float cx = static_cast<float>(side) * (130 + 10 * static_cast<float>(i % 3));
            const float cy = -700 + 135 * static_cast<float>(i);
            blocks.append(b, [&](Vec3 p) { return p + Vec3{cx, cy, hz}; });
        }
    Geo pillars;
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 11; ++i) {
            const float px = static_cast<float>(side) * 55, py = -640 + 170 * static_cast<float>(i);
            pillars.append(cylinder(10, 0, 170, 12, 3), [&](Vec3 p) { return p + Vec3{px, py, 0}; });
        }
    // The street is cut by the frustum all the time; quads of their own
    // (no shared corners) keep the clipped vertices within the work arrays.
    Geo ground;
    for (int j = 0; j < 17; ++j)
        for (int i = 0; i < 4; ++i)
            ground.append(terrain(-260 + 130 * static_cast<float>(i), -130 + 130 * static_cast<float>(i),
                                  -900 + 130 * static_cast<float>(j), -770 + 130 * static_cast<float>(j), 1, 1,
                                  [](float, float) { return 0.0f; }, 130));
    s.objects.push_back(meshObject("Blocks", blocks, "Windows"));
    s.objects.push_back(meshObject("Pillars", pillars, "Bands"));
    s.objects.push_back(meshObject("Ground", ground, "Street"));
    s.objects.push_back(cameraObject("Camera01", {0, -850, 150}, {0, 0, 60}, 28));
    s.objects.push_back(spotObject("SweepA", {-200, -300, 520}, {0, 0, 0}, 18, 32, 1, 0.7f, 0.3f, 350, 1100));
    s.objects.push_back(spotObject("SweepB", {200, 300, 520}, {0, 0, 0}, 18, 32, 0.4f, 0.6f, 1, 350, 1100));
    s.objects.push_back(omniObject("Glow", {0, 40, 60}, 1, 0.6f, 0.2f, 220, 800));

    Keys k(L);
    for (const char* name : {"Blocks", "Pillars", "Ground"}) k.object(name, -1, {0, 0, 0});
    // The flight: down from above the street, weaving between the pillar
    // rows, climbing out at the end; tension, continuity, bias and ease
    // shape each key.
    int cam = k.camera("Camera01", -1,
                       {w3ds::vecKey(0, {0, -900, 260}, {0, 0, 0, 0, 0.4f}), w3ds::vecKey(80, {20, -560, 70}, {0.2f, 0, -0.3f}),
                        w3ds::vecKey(170, {-25, -220, 45}, {0, 0.3f, 0}), w3ds::vecKey(260, {25, 130, 50}, {-0.2f, 0, 0.2f}),
                        w3ds::vecKey(340, {-10, 420, 90}, {0, -0.2f, 0}),
                        w3ds::vecKey(420, {0, 620, 230}, {0, 0, 0, 0.4f, 0})});
    k.track(cam, TrackKind::Roll, TrackMode::Once,
            {w3ds::scalarKey(0, 0), w3ds::scalarKey(120, -9), w3ds::scalarKey(210, 8), w3ds::scalarKey(300, -6),
             w3ds::scalarKey(420, 0)});
    k.cameraTarget("Camera01", -1,
                   {w3ds::vecKey(0, {0, -500, 40}), w3ds::vecKey(120, {-20, -100, 50}), w3ds::vecKey(240, {20, 300, 60}),
                    w3ds::vecKey(420, {0, 1000, 60})});
    int spotA = k.spot("SweepA", -1, {w3ds::vecKey(0, {-200, -300, 520})});
    k.track(spotA, TrackKind::Roll, TrackMode::Once, {w3ds::scalarKey(0, 0), w3ds::scalarKey(420, 90)});
    k.lightTarget("SweepA", -1,
                  {w3ds::vecKey(0, {-150, -700, 0}), w3ds::vecKey(140, {150, -300, 0}), w3ds::vecKey(280, {-150, 100, 0}),
                   w3ds::vecKey(420, {150, 600, 0})});
    k.spot("SweepB", -1, {w3ds::vecKey(0, {200, 300, 520})});
    k.lightTarget("SweepB", -1,
                  {w3ds::vecKey(0, {150, -500, 0}), w3ds::vecKey(140, {-150, -100, 0}), w3ds::vecKey(280, {150, 300, 0}),
                   w3ds::vecKey(420, {-150, 800, 0})});
    // A lamp riding with the camera (a light child of a camera is offset by
    // the camera's position) and changing colour from amber to violet.
    int glow = k.omni("Glow", cam, {w3ds::vecKey(0, {0, 40, 60})});
    k.track(glow, TrackKind::Color, TrackMode::Once,
            {w3ds::vecKey(0, {1, 0.6f, 0.2f}), w3ds::vecKey(200, {1, 0.3f, 0.6f}), w3ds::vecKey(420, {0.5f, 0.3f, 1})});
    s.keyframer = k.kf;
    return s;
}

// ---- scene5 -----------------------------------------------------------------------------------
w3ds::Scene3ds buildScene5() {
    const uint32_t L = 420;
    w3ds::Scene3ds s;
    s.materials.push_back(textureMaterial("Sunfire", "sun.jpg"));
    s.materials.push_back(reflectMaterial("PlanetChrome", "chrome.jpg"));
    s.materials.push_back(colourMaterial("MoonRock", 0.75f, 0.7f, 0.9f));
    s.materials.push_back(colourMaterial("MoonEmber", 1.0f, 0.55f, 0.25f));
    s.materials.push_back(textureMaterial("RingBands", "ground.jpg"));

    s.objects.push_back(meshObject("Sun", sphere(40, 24, 12, true), "Sunfire"));
    const float planetR[3] = {14, 20, 12};
    for (int i = 0; i < 3; ++i)
        s.objects.push_back(meshObject("Planet" + std::to_string(i + 1), ball(planetR[i], 16, 10), "PlanetChrome"));
    s.objects.push_back(meshObject("Moon2", ball(4, 10, 6), "MoonRock"));
    // Moon3 is modelled away from its origin; its pivot brings it back.
    Geo moon3 = ball(3.5f, 10, 6);
    moon3.transform([](Vec3 p) { return p + Vec3{20, 0, 0}; });
    s.objects.push_back(meshObject("Moon3", moon3, "MoonEmber"));
    // A flat ring round the third planet.
    Geo ring;
    for (int j = 0; j < 24; ++j) {
        const float a0 = kTwoPi * static_cast<float>(j) / 24, a1 = kTwoPi * static_cast<float>(j + 1) / 24;
        int o0 = ring.vertex({19 * std::cos(a0), 19 * std::sin(a0), 0}, {0, 0});
        int o1 = ring.vertex({19 * std::cos(a1), 19 * std::sin(a1), 0}, {1, 0});
        int i1 = ring.vertex({13 * std::cos(a1), 13 * std::sin(a1), 0}, {1, 0.25f});
        int i0 = ring.vertex({13 * std::cos(a0), 13 * std::sin(a0), 0}, {0, 0.25f});
        ring.quad(i0, o0, o1, i1);  // faces +z
        int o0b = ring.vertex({19 * std::cos(a0), 19 * std::sin(a0), 0}, {0, 0});
        int o1b = ring.vertex({19 * std::cos(a1), 19 * std::sin(a1), 0}, {1, 0});
        int i1b = ring.vertex({13 * std::cos(a1), 13 * std::sin(a1), 0}, {1, 0.25f});
        int i0b = ring.vertex({13 * std::cos(a0), 13 * std::sin(a0), 0}, {0, 0.25f});
        ring.quad(i0b, i1b, o1b, o0b);  // faces -z
    }
    s.objects.push_back(meshObject("Ring3", ring, "RingBands"));
    // A shell of small stars beyond the outer orbit, on the far side of the
    // sun from the camera, lit by a wide lamp at the sun.
    Geo stars;
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;  // fixed LCG: the same stars every build
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < 160; ++i) {
        const float az = kPi * (0.1f + 0.8f * next()), el = -0.3f + 1.1f * next();
        const float dist = 900 + 500 * next();
        const Vec3 p{dist * std::cos(az) * std::cos(el), dist * std::sin(az) * std::cos(el), dist * std::sin(el)};
        stars.append(octahedron(2.5f + 3.0f * next()), [&](Vec3 q) { return q + p; });
    }
    s.materials.push_back(colourMaterial("Starlight", 0.85f, 0.9f, 1.0f));
    s.objects.push_back(meshObject("Stars", stars, "Starlight"));
    s.objects.push_back(cameraObject("Camera01", {0, -420, 170}, {0, 0, 0}, 35));
    s.objects.push_back(omniObject("SunLight", {0, 0, 0}, 1, 0.8f, 0.5f, 130, 460));
    s.objects.push_back(omniObject("StarGlow", {0, 0, 0}, 0.6f, 0.7f, 1, 1500, 2200));
    s.objects.push_back(spotObject("SunSpot", {-60, -380, 200}, {0, 0, 0}, 12, 18, 1, 0.7f, 0.3f, 500, 800));

    Keys k(L);
    int sys = k.dummy("System", -1, {0, 0, 0});
    k.track(sys, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 1, {0, 0, 1}));
    int sun = k.object("Sun", sys, {0, 0, 0});
    k.track(sun, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, -1, {0, 0, 1}));
    const float orbitR[3] = {95, 160, 225};
    const int orbitTurns[3] = {2, 1, 1};
    int planets[3];
    for (int i = 0; i < 3; ++i) {
        int orbit = k.dummy("Orbit" + std::to_string(i + 1), sys, {0, 0, 0});
        k.track(orbit, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, orbitTurns[i], unit(0, 0.08f * static_cast<float>(i), 1)));
        // Spread round the sun: 0, 140 and 250 degrees at the start.
        const float start = kPi / 180 * (i == 0 ? 0.0f : i == 1 ? 140.0f : 250.0f);
        planets[i] = k.object("Planet" + std::to_string(i + 1), orbit,
                              {orbitR[i] * std::cos(start), orbitR[i] * std::sin(start), 0});
        k.track(planets[i], TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 3, unit(0.2f, 0, 1)));
    }
    // Planet 2 carries a moon on its own orbit: System > Orbit2 > Planet2 >
    // MoonOrbit2 > Moon2.
    int moonOrbit = k.dummy("MoonOrbit2", planets[1], {0, 0, 0});
    k.track(moonOrbit, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, 2, unit(0.3f, 0, 1)));
    k.object("Moon2", moonOrbit, {28, 0, 0});
    int moon3Orbit = k.dummy("MoonOrbit3", planets[2], {0, 0, 0});
    k.track(moon3Orbit, TrackKind::Rotation, TrackMode::Loop, spinKeys(L, -2, {0, 0, 1}));
    int moon3Node = k.object("Moon3", moon3Orbit, {24, 0, 0});
    k.pivot(moon3Node, {20, 0, 0});
    int ringNode = k.object("Ring3", planets[2], {0, 0, 0});
    k.track(ringNode, TrackKind::Rotation, TrackMode::Once, {w3ds::rotKey(0, 0.5f, {1, 0, 0})});

    int cam = k.camera("Camera01", -1,
                       {w3ds::vecKey(0, {0, -250, 210}, {0, 0, 0, 0, 0.3f}), w3ds::vecKey(200, {140, -220, 130}),
                        w3ds::vecKey(420, {230, -150, 60}, {0, 0, 0, 0.3f, 0})});
    // The zoom: a wide view that narrows onto the inner system.
    k.track(cam, TrackKind::Fov, TrackMode::Once,
            {w3ds::scalarKey(0, 74, {0, 0, 0, 0, 0.5f}), w3ds::scalarKey(260, 56), w3ds::scalarKey(420, 46, {0, 0, 0, 0.5f, 0})});
    k.cameraTarget("Camera01", -1, {w3ds::vecKey(0, {0, 0, 0}), w3ds::vecKey(420, {20, 30, 0})});
    k.omni("SunLight", -1, {w3ds::vecKey(0, {0, 0, 0})});
    k.omni("StarGlow", -1, {w3ds::vecKey(0, {0, 0, 0})});
    k.object("Stars", -1, {0, 0, 0});
    // The sun has no light of its own (its lamp sits inside it): a spot
    // riding with the camera keeps the face it shows lit.
    k.spot("SunSpot", cam, {w3ds::vecKey(0, {0, 0, 30})});
    k.lightTarget("SunSpot", -1, {w3ds::vecKey(0, {0, 0, 0})});
    s.keyframer = k.kf;
    return s;
}

}  // namespace marrow::scenes
