// timeline.cpp: the script. For the music time it picks the interval the
// time falls in and runs that interval's steps: effects into the four
// static frame buffers, 3D scenes into their own buffers, and the compositing
// operations that layer them. Everything that changes inside an interval is
// derived from the time alone; the effects keep their own state.
#include "app/timeline.h"

#include <cmath>
#include <cstring>

#include "app/demo_init.h"
#include "app/demo_resources.h"
#include "common/frame_workers.h"
#include "common/framebuffer.h"
#include "common/numeric.h"
#include "effects/bump_map.h"
#include "effects/compositing.h"
#include "effects/filters.h"
#include "effects/glow_knot.h"
#include "effects/multiwave_plasma.h"
#include "effects/radial_stripes.h"
#include "effects/radius_attraction.h"
#include "effects/random.h"
#include "effects/ray_grid.h"
#include "effects/sparks.h"
#include "effects/spiral_ribbon.h"
#include "effects/warp_star.h"
#include "effects/zoom_blur.h"
#include "render/scene3d.h"
#include "common/mathfn.h"

namespace marrow {

// The four composition buffers, zero at start, kept for the whole run.
uint32_t frameA[kFramePixels];
uint32_t frameB[kFramePixels];
uint32_t frameC[kFramePixels];
uint32_t frameD[kFramePixels];

int intervalOf(double time) {
    for (int i = 0; i < kThresholdCount; ++i)
        if (time < kThresholds[i]) return i;
    return kThresholdCount;
}

void reduceFrame(Scene3D& s) {
    // A scene without animation (lastFrame 0 or less) keeps frame 0 rather
    // than looping for ever.
    if (!(s.lastFrame > 0.0f)) {
        if (static_cast<float>(s.frame) > s.lastFrame) s.frame = 0;
        return;
    }
    while (static_cast<float>(s.frame) > s.lastFrame) {
        const int32_t next = truncToInt32(static_cast<float>(s.frame) - s.lastFrame);
        if (next >= s.frame) {
            // A last frame too small to change the number in single
            // precision would never end the loop.
            s.frame = 0;
            break;
        }
        s.frame = next;
    }
}

// Fade weights, per second of their interval. crossFade's weight runs from 0
// (all of the first layer) to 255 (all of the second); each fade rises from
// 0 at the start of its interval to 254 or 255 at its end, never past 255.
namespace fade_rate {
constexpr double kCaption = 140.0;           // 7.0 to 8.82 s: 254.8 at the end
constexpr double kPlasmaTexture = 70.0;      // 8.82 to 12.46 s: 254.8
constexpr double kTunnel = 71.8;             // 14.0 to 17.55 and 17.55 to 21.1 s: 254.89
constexpr double kScene1 = 128.0 / 2.1;      // from 27 s over both scene1 intervals: 128 at 29.1 s
constexpr double kPicture = 255.0 / 2.1;     // the 2.1 s pictures from 29.1 to 39.6 s
constexpr double kWhiteFlash = 255.0 / 0.6;  // 42.4 to 43.0 s
constexpr double kOneSecond = 255.0;         // the one-second changes from 65 s on
constexpr double kFadeOut = 128.0;           // 258 to 260 s, to black
}  // namespace fade_rate

// The ray grid turns once round its 512 angle steps every 3.55 s from 14 s.
constexpr double kGridTurnsPerSecond = 1.0 / 3.55;
// From 33.3 s the zoom feedback shrinks from 1 to 0.5 over the 2.1 s interval.
constexpr double kZoomShrinkPerSecond = 0.5 / 2.1;

void setGridAngles(double time) {
    const double s = (time - 14.0) * kGridTurnsPerSecond;
    const int32_t n = truncToInt32(511.0 * s);
    rayGrid.angleX = wrapAdd(255, n) & 511;
    rayGrid.angleY = rayGrid.angleZ = ~n & 511;
}

void overlayCaption(uint32_t* buf) {
    const uint32_t* strip = start1_1.pixels;
    for (int r = 0; r < 40; ++r)
        for (int x = 0; x < kFrameWidth; ++x) plotAdd(buf[(160 + r) * kFrameWidth + x], strip[r * kFrameWidth + x]);
}

void invertBand(uint32_t* buf) {
    for (int i = 30 * kFrameWidth; i < 170 * kFrameWidth; ++i) buf[i] ^= 0x00FFFFFFu;
}

namespace {

// Values derived from the time at the start of every call.
struct Now {
    double time;
    int32_t phase;     // time * 70, truncated
    float effectTime;  // the time rounded to single precision
    int32_t beat;      // whole seconds since 79 s

    static Now at(double time) {
        return {time, truncToInt32(time * 70.0), static_cast<float>(time), truncToInt32(time - 79.0)};
    }
};

void fade(const uint32_t* a, const uint32_t* b, uint32_t* out, double weight) {
    crossFade(a, b, out, truncToInt32(weight), kFramePixels);
}

void copyFrame(uint32_t* to, const uint32_t* from) { std::memcpy(to, from, kFrameBytes); }

void fillFrame(uint32_t* buf, uint32_t value) {
    for (int i = 0; i < kFramePixels; ++i) buf[i] = value;
}

// The scene at the time: its keyframe, cleared buffer and triangles (the
// scene library's part), not yet drawn.
void prepareScene(Scene3D& s, const Now& now, double start, bool reduce) {
    s.frame = truncToInt32((now.time - start) * keyframesPerSecond(s));
    if (reduce) reduceFrame(s);
    s.clear();
    s.render(s.frame);
}

void showScene(Scene3D& s, const Now& now, double start, bool reduce) {
    prepareScene(s, now, start, reduce);
    s.draw();
}

// A scene drawn by a worker thread while the caller composes layers that do
// not touch it (effects, the plasma); finish() waits for it, before anything
// reads the scene's buffer. Only one scene is drawn at a time: they share the
// scene library's state. Without a free worker the scene is drawn at once.
class SceneInBackground {
public:
    SceneInBackground(Scene3D& s, const Now& now, double start, bool reduce)
        : scene_(s), now_(now), start_(start), reduce_(reduce) {
        startBackground([](void* self) { static_cast<SceneInBackground*>(self)->draw(); }, this);
    }
    ~SceneInBackground() { finish(); }
    SceneInBackground(const SceneInBackground&) = delete;
    SceneInBackground& operator=(const SceneInBackground&) = delete;

    Scene3D& finish() {
        if (!finished_) finishBackground();
        finished_ = true;
        return scene_;
    }

private:
    void draw() { showScene(scene_, now_, start_, reduce_); }

    Scene3D& scene_;
    const Now now_;
    const double start_;
    const bool reduce_;
    bool finished_ = false;
};

void bumpLight(const Now& now, int32_t& lightX, int32_t& lightY) {
    const float n = noise1d(now.effectTime, 1, 1.0f);
    lightX = truncToInt32(n * 48.0f + 160.0f);
    lightY = truncToInt32(n * 36.0f + 100.0f);
}

void beatFilters(uint32_t* buf, const Now& now, int bits) {
    const int on = now.beat & bits;
    if (on & 1) invert->apply(buf, buf);
    if (on & 2) channelFlip->apply(buf, buf);
    if (on & 4) spiralRibbon(now.phase, buf);
    if (on & 8) glowKnot(now.phase, buf, envmap2.pixels);
}

void zoomPulse(uint32_t* buf, const Now& now) { ZoomBlur(buf, 160, 100, 0.975 + 0.024 * mathfn::sin(now.time)); }

void sparks(uint32_t* buf, const Now& now, double x, double y) {
    sparkBurst(now.phase, truncToInt32(x), truncToInt32(y), 3000, 64, 70, buf);
}

void sparksCircling(uint32_t* buf, const Now& now) {
    const double s = mathfn::sin(now.time);
    sparks(buf, now, 160.0 * s, 100.0 * s);
}

void tunnelShaded(uint32_t* dst, const Now& now, bool anglesZero) {
    if (anglesZero) {
        rayGrid.angleX = rayGrid.angleY = rayGrid.angleZ = 0;
    } else {
        setGridAngles(now.time);
    }
    rayGrid.rayTunnel();
    rayGrid.scrollCoords(now.phase, 0);
    rayGrid.drawBlocksShaded(dst, part1_2.pixels);
}

void sphereShaded(uint32_t* dst, const Now& now) {
    setGridAngles(now.time);
    rayGrid.raySphere();
    rayGrid.drawBlocksShaded(dst, part1_2.pixels);
}

void flatGrid(uint32_t* dst, const Now& now) {
    setGridAngles(now.time);
    rayGrid.rayFlat();
    rayGrid.drawBlocks(dst, part1_2.pixels);
}

// scene3 from 42.4 s with the lettering rippling over it (drawn through
// `work`, clamped after the ripple) and sparks at its centre.
void letteredScene3(uint32_t* work, const Now& now) {
    SceneInBackground scene(scene3, now, 42.4, true);
    plasma->plasmaRipple(now.phase, 0.9 * now.time, 12000);
    plasma->clampTexCoords();
    plasma->plasmaDraw(work, tfont1.pixels);
    addSaturate(scene.finish().buffer, work);
    sparks(scene3.buffer, now, 0, 0);
}

// The rippling plasma of 58.12 to 66 s into `out`: an inverted band, the
// whole frame inverted, the lettering added (drawn through frameA) and
// sparks circling.
void rippleBand(uint32_t* out, const Now& now) {
    plasma->plasmaRipple(now.phase, 2.9 * now.time, 15000);
    plasma->plasmaDraw(out, part1_2.pixels);
    plasma->clampTexCoords();
    invertBand(out);
    plasma->plasmaDraw(frameA, tfont1.pixels);
    invert->apply(out, out);
    addSaturate(out, frameA);
    sparksCircling(out, now);
}

// The grid of 111 to 180 s, up to and including the unconditional channel
// flip.
void beatGrid(const Now& now) {
    flatGrid(frameA, now);
    beatFilters(frameA, now, 15);
    zoomPulse(frameA, now);
    channelFlip->apply(frameA, frameA);
}

// "THE END" rippling into frameD (clamped after the draw), added over
// frameA, then frameA's motion blur: the close of 180 to 235 s. The ripple
// is drawn while a worker draws the scene under it.
void theEndRipple(const Now& now) {
    plasma->plasmaRipple(now.phase, 2.9 * now.time, 15000);
    plasma->plasmaDraw(frameD, theend.pixels);
    plasma->clampTexCoords();
}

void theEndOver() {
    addSaturate(frameA, frameD);
    motionBlur->apply(frameA, frameA);
}

// neki from 235 s, the stretch that also fades out from 258 s.
void nekiFinale(const Now& now) {
    SceneInBackground scene(neki, now, 89.0, true);
    plasma->plasmaRipple(now.phase, 2.9 * now.time, 10000);
    plasma->clampTexCoords();
    plasma->plasmaDraw(frameD, tfont2.pixels);
    copyFrame(frameA, scene.finish().buffer);
    beatFilters(frameA, now, 1 | 2 | 8);
    addSaturate(frameA, frameD);
    motionBlur->apply(frameA, frameA);
}

// 29.1 to 31.2 s: scene1, still fading in over the title picture, gives way
// to the straight tunnel, with text2 glitching over both. Into frameD.
void scene1IntoTunnel(const Now& now) {
    const double t = now.time;
    SceneInBackground scene(scene1, now, 27.0, false);
    tunnelShaded(frameA, now, true);
    scene.finish();
    fade(still0.pixels, scene1.buffer, scene1.buffer, (t - 27.0) * fade_rate::kScene1);
    fade(scene1.buffer, frameA, frameD, (t - 29.1) * fade_rate::kPicture);
    blockGlitch(frameD, text2.pixels, now.phase, 1);
}

// 110 to 111 s: the flat grid turns into the shaded plane, flashing on the
// beat, pulsing, with the ribbon over it. Into frameD.
void flatIntoPlane(const Now& now) {
    const double t = now.time;
    flatGrid(frameA, now);
    setGridAngles(t);
    rayGrid.rayPlane();
    rayGrid.drawBlocksShaded(frameB, part1_2.pixels);
    fade(frameA, frameB, frameD, (t - 110.0) * fade_rate::kOneSecond);
    beatFilters(frameD, now, 1 | 2);
    zoomPulse(frameD, now);
    spiralRibbon(now.phase, frameD);
}

// 150 to 180 s: the beat grid with the emblem rippling into it, and the
// greetings scene, blurred, added on top. Into frameD.
void gridWithGreetings(const Now& now) {
    SceneInBackground scene(greets, now, 89.0, true);
    beatGrid(now);
    plasma->plasmaRipple(now.phase, 2.9 * now.time, 15000);
    plasma->plasmaDraw(frameD, ug.pixels);
    plasma->clampTexCoords();
    addSaturate(frameA, frameD);
    copyFrame(frameD, frameA);
    copyFrame(frameA, scene.finish().buffer);
    motionBlur->apply(frameA, frameA);
    addSaturate(frameD, frameA);
}

}  // namespace

void beatFilters(uint32_t* buf, double time, int bits) { beatFilters(buf, Now::at(time), bits); }

uint32_t* composeFrame(double time) {
    wakeFrameWorkers();
    const Now now = Now::at(time);
    const double t = time;
    uint32_t* const A = frameA;
    uint32_t* const B = frameB;
    uint32_t* const C = frameC;
    uint32_t* const D = frameD;
    // A pointer, not a reference: the plasma exists only after initDemo(), and
    // binding a reference to the null pointer before then is undefined even
    // when the frame's interval never uses it.
    MultiWavePlasma* const p = plasma;
    int32_t lightX = 0, lightY = 0;

    switch (intervalOf(time)) {
        case 0:  // - to 7.0: the opening plasma under the title strip
            p->plasmaRotating(now.phase, 0.9 * t, 25000);
            p->clampTexCoords();
            p->plasmaDraw(D, start.pixels);
            overlayCaption(D);
            invert->apply(D, D);
            motionBlur->apply(D, D);
            return D;
        case 1:  // 7.0: the title strip fades
            p->plasmaRotating(now.phase, 0.9 * t, 25000);
            p->clampTexCoords();
            p->plasmaDraw(B, start.pixels);
            copyFrame(A, B);
            overlayCaption(A);
            fade(A, B, D, (t - 7.0) * fade_rate::kCaption);
            invert->apply(D, D);
            motionBlur->apply(D, D);
            return D;
        case 2:  // 8.82: the plasma's texture crossfades to part1_1
            p->plasmaRotating(now.phase, 0.9 * t, 25000);
            p->plasmaDraw(B, part1_1.pixels);
            p->clampTexCoords();
            p->plasmaDraw(A, start.pixels);
            fade(A, B, D, (t - 8.82) * fade_rate::kPlasmaTexture);
            invert->apply(D, D);
            motionBlur->apply(D, D);
            return D;
        case 3:  // 12.46
            p->plasmaRotating(now.phase, 0.9 * t, 25000);
            p->plasmaDraw(D, part1_1.pixels);
            invert->apply(D, D);
            motionBlur->apply(D, D);
            return D;
        case 4:  // 14.0: plasma gives way to the tunnel
            p->plasmaRotating(now.phase, 0.9 * t, 25000);
            p->plasmaDraw(A, part1_1.pixels);
            invert->apply(A, A);
            tunnelShaded(B, now, false);
            fade(A, B, D, (t - 14.0) * fade_rate::kTunnel);
            motionBlur->apply(D, D);
            return D;
        case 5:  // 17.55: the title still fades in
            tunnelShaded(A, now, false);
            fade(A, still0.pixels, D, (t - 17.55) * fade_rate::kTunnel);
            motionBlur->apply(D, D);
            return D;
        case 6:  // 21.1: the still itself
            motionBlur->reset();
            return still0.pixels;
        case 7:  // 27.0: scene1 fades in over the still
            showScene(scene1, now, 27.0, false);
            fade(still0.pixels, scene1.buffer, D, (t - 27.0) * fade_rate::kScene1);
            blockGlitch(D, text1.pixels, now.phase, 1);
            return D;
        case 8:  // 29.1: scene1 gives way to the tunnel
            scene1IntoTunnel(now);
            return D;
        case 9:  // 31.2: tunnel into the warp star
            tunnelShaded(A, now, true);
            warpStar->render(B, rstar1.pixels, now.effectTime);
            fade(A, B, D, (t - 31.2) * fade_rate::kPicture);
            motionBlur->apply(D, D);
            return D;
        case 10: {  // 33.3: warp star into radius attraction
            const double u = t - 33.3;
            warpStar->render(A, rstar1.pixels, now.effectTime);
            attraction->render(B, tex1.pixels, now.effectTime);
            fade(A, B, D, u * fade_rate::kPicture);
            zoomFeedback(D, 1.0 - u * kZoomShrinkPerSecond);
            motionBlur->apply(D, D);
            return D;
        }
        case 11:  // 35.4: attraction into bump-lit stripes
            attraction->render(A, tex1.pixels, now.effectTime);
            zoomFeedback(A, 0.5);
            motionBlur->apply(A, A);
            stripes->render(B, nullptr, now.effectTime);
            bumpLight(now, lightX, lightY);
            bumpMap(B, B, lightX, lightY);
            fade(A, B, D, (t - 35.4) * fade_rate::kPicture);
            return D;
        case 12: {  // 37.5: stripes into scene2
            motionBlur->reset();
            SceneInBackground scene(scene2, now, 37.5, true);
            stripes->render(A, nullptr, now.effectTime);
            bumpLight(now, lightX, lightY);
            bumpMap(A, A, lightX, lightY);
            fade(A, scene.finish().buffer, D, (t - 37.5) * fade_rate::kPicture);
            return D;
        }
        case 13:  // 39.6
            showScene(scene2, now, 37.5, true);
            return scene2.buffer;
        case 14:  // 42.4: the white flash into scene3
            fillFrame(C, 0xFFFFFFFFu);
            letteredScene3(D, now);
            fade(C, scene3.buffer, D, (t - 42.4) * fade_rate::kWhiteFlash);
            return D;
        case 15:  // 43.0
            letteredScene3(D, now);
            return scene3.buffer;
        case 16:  // 46.7
            showScene(scene4, now, 46.7, false);
            sparks(scene4.buffer, now, 0, 0);
            return scene4.buffer;
        case 17:  // 52.4
            showScene(scene5, now, 52.4, false);
            sparks(scene5.buffer, now, 0, 0);
            return scene5.buffer;
        case 18:  // 58.12: rippling plasma with an inverted band
            rippleBand(D, now);
            motionBlur->apply(D, D);
            return D;
        case 19:  // 65.0: into the shaded sphere
            rippleBand(B, now);
            sphereShaded(A, now);
            fade(B, A, D, (t - 65.0) * fade_rate::kOneSecond);
            motionBlur->apply(D, D);
            return D;
        case 20: {  // 66.0: the sphere with the credits added
            SceneInBackground scene(credits, now, 66.0, false);
            sphereShaded(D, now);
            addSaturate(D, scene.finish().buffer);
            motionBlur->apply(D, D);
            return D;
        }
        case 21: {  // 78.0: into the canyon
            SceneInBackground scene(canyon, now, 78.0, false);
            sphereShaded(A, now);
            fade(A, scene.finish().buffer, D, (t - 78.0) * fade_rate::kOneSecond);
            motionBlur->apply(D, D);
            return D;
        }
        case 22:  // 79.0: the canyon flashing on the beat
            showScene(canyon, now, 78.0, false);
            beatFilters(canyon.buffer, now, 1);
            motionBlur->apply(canyon.buffer, canyon.buffer);
            return canyon.buffer;
        case 23:  // 89.0: canyon into the triangles
            // Drawing uses only a scene's own arrays, so a worker draws the
            // canyon while the scene library works out the triangles.
            prepareScene(canyon, now, 78.0, true);
            startBackground([](void*) { canyon.draw(); }, nullptr);
            prepareScene(triangle, now, 89.0, true);
            finishBackground();
            triangle.draw();
            fade(canyon.buffer, triangle.buffer, D, (t - 89.0) * fade_rate::kOneSecond);
            beatFilters(D, now, 1);
            motionBlur->apply(D, D);
            return D;
        case 24:  // 90.0
            showScene(triangle, now, 89.0, true);
            beatFilters(triangle.buffer, now, 1);
            motionBlur->apply(triangle.buffer, triangle.buffer);
            return triangle.buffer;
        case 25:  // 102.0: the flat grid with the ribbon
            flatGrid(A, now);
            spiralRibbon(now.phase, A);
            beatFilters(A, now, 1);
            zoomPulse(A, now);
            return A;
        case 26:  // 110.0: into the shaded plane
            flatIntoPlane(now);
            return D;
        case 27:  // 111.0: the grid with every beat filter
            beatGrid(now);
            spriteFlash(A);
            return A;
        case 28:  // 150.0: with the emblem plasma and the greetings
            gridWithGreetings(now);
            return D;
        case 29: {  // 180.0: neki with the ribbon and "THE END"
            SceneInBackground scene(neki, now, 89.0, true);
            theEndRipple(now);
            copyFrame(A, scene.finish().buffer);
            beatFilters(A, now, 1 | 2);
            spiralRibbon(now.phase, A);
            beatFilters(A, now, 8);
            theEndOver();
            return A;
        }
        case 30: {  // 210.0: the finale scene
            SceneInBackground scene(scene6, now, 210.0, true);
            theEndRipple(now);
            copyFrame(A, scene.finish().buffer);
            beatFilters(A, now, 15);
            theEndOver();
            return A;
        }
        case 31:  // 235.0: neki again
            nekiFinale(now);
            return A;
        case 32:  // 258.0: fade to black
            nekiFinale(now);
            fillFrame(B, 0);
            fade(A, B, D, (t - 258.0) * fade_rate::kFadeOut);
            return D;
        default:  // from 260 s nothing more is composed
            return D;
    }
}

}  // namespace marrow
