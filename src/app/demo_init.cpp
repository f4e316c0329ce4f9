// demo_init.cpp: every object the presentation shows is made here, before
// the display opens; afterwards nothing is opened or allocated. Each stage
// logs one line, so a slow or failing start can be followed in the console.
#include "app/demo_init.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/demo_resources.h"
#include "console/console_log.h"
#include "effects/compositing.h"
#include "effects/random.h"
#include "effects/ray_grid.h"
#include "effects/sparks.h"
#include "effects/zoom_blur.h"
#include "platform/display.h"
#include "render/shade_table.h"

namespace marrow {

namespace {
// The display console comes first of all static objects, so it is destroyed
// last (which closes the display).
const bool g_displayFirst = (display(), true);
}  // namespace

Pixmap start, start1_1, part1_1, part1_2;
Pixmap still0, text1, text2, rstar1, tex1, tfont1;
Pixmap g0, g1, g2, g3, g4, g5, g6, g7, envmap2, theend, ug, tfont2;

// rayGrid lives with the ray grid itself (its construction depends on
// nothing else, so its place in the start-up order does not matter).

Scene3D scenes[kSceneCount];
Scene3D &scene1 = scenes[0], &scene2 = scenes[1], &scene3 = scenes[2], &scene4 = scenes[3], &scene5 = scenes[4],
        &credits = scenes[5], &canyon = scenes[6], &triangle = scenes[7], &neki = scenes[8], &greets = scenes[9],
        &scene6 = scenes[10];

InvertFilter* invert;
MotionBlurFilter* motionBlur;
MixFilter* mix;
MultiWavePlasma* plasma;
WarpStar* warpStar;
RadiusAttraction* attraction;
SmoothFilter* smooth;
ChannelFlipFilter* channelFlip;
BumpMap* bumpMapper;
RadialStripes* stripes;

namespace {

// The size the users of each image read: `width` exactly (their row length)
// and at least `height` rows.
struct ImageSpec {
    Pixmap* image;
    const char* file;
    int width, height;
};

// Ends the start-up on a file it cannot use, reporting it as the
// presentation always has: the image loader's own failures as it prints them
// (standard output or standard error), everything else in the console log.
[[noreturn]] void endStartUp(const LoadResult& result) {
    if (result.status == LoadResult::Status::Refused) logText(result.message.c_str());
    else printLoadFailure(result);
    std::exit(1);
}

// Loads an image and checks it against the size its users read; an image of
// another size would be read with the wrong row length or past its end.
// The size is checked on the file's header, before it is decoded.
void load(Pixmap& image, const char* file, int width, int height) {
    const ImageSize required{width, height, true};
    const LoadResult result = image.read(file, &required);
    printLoadWarnings(result);
    if (!result.ok()) endStartUp(result);
}

void loadLogged(Pixmap& image, const char* file, int width, int height) {
    char line[128];
    std::snprintf(line, sizeof line, "Loading %s", file);
    logText(line);
    load(image, file, width, height);
}

// Keyframes the script advances a scene by per second of music: the scenes
// are animated at 70 frames a second, scene1 at one keyframe per 0.042 s.
constexpr double kKeyframesPerSecond = 70.0;
constexpr double kScene1KeyframesPerSecond = 1.0 / 0.042;  // 23.809523809523807

// The scenes with their files, capacity factors and keyframe rates, in
// start-up order.
struct SceneEntry {
    Scene3D& scene;
    const char* stem;
    int32_t factor;
    double keyframesPerSecond;
};
const SceneEntry kScenes[kSceneCount] = {
    {scene1, "scene1", 5, kScene1KeyframesPerSecond},
    {scene2, "scene2", 8, kKeyframesPerSecond},
    {scene3, "scene3", 8, kKeyframesPerSecond},
    {scene4, "scene4", 8, kKeyframesPerSecond},
    {scene5, "scene5", 8, kKeyframesPerSecond},
    {credits, "credits", 8, kKeyframesPerSecond},
    {canyon, "canyon", 14, kKeyframesPerSecond},
    {triangle, "triangle", 20, kKeyframesPerSecond},
    {neki, "neki", 16, kKeyframesPerSecond},
    {greets, "greets", 8, kKeyframesPerSecond},
    {scene6, "scene6", 8, kKeyframesPerSecond}};

// `textures`: the scenes' decoded textures so far, so that a file several
// scenes use is decoded once.
void loadScene(Scene3D& s, int32_t factor, const char* dir, const char* path, TextureCache& textures) {
    const LoadResult result = s.setUp(path, dir, factor, &textures);
    printLoadWarnings(result);
    if (!result.ok()) endStartUp(result);
    char line[128];
    std::snprintf(line, sizeof line, "%s, frames %f", path, static_cast<double>(s.lastFrame));
    logText(line);
}

// Logs the step's line, then loads scene `index` of the table.
void loadTableScene(const char* logLine, int index, TextureCache& textures) {
    logText(logLine);
    const SceneEntry& e = kScenes[index];
    char path[64];
    std::snprintf(path, sizeof path, "scenes\\%s.3ds", e.stem);
    loadScene(e.scene, e.factor, "scenes", path, textures);
}

}  // namespace

int32_t presentationCapacityFactor(const char* stem) {
    for (const SceneEntry& e : kScenes)
        if (std::strcmp(e.stem, stem) == 0) return e.factor;
    return 0;
}

double keyframesPerSecond(const Scene3D& scene) {
    for (const SceneEntry& e : kScenes)
        if (&e.scene == &scene) return e.keyframesPerSecond;
    return kKeyframesPerSecond;
}

void initDemo() {
    // Step 1, the ribbon's row stride and height, is fixed at compile time
    // (320 and 200) in the ribbon itself.
    logText("Init blend..");
    buildMulTable();
    loadLogged(start, "pixmaps/start.jpg", 256, 256);
    loadLogged(start1_1, "pixmaps/start1_1.jpg", 320, 40);

    logText("RotoZoomer, Invert, MotionBlur, Mix, Plasma..");
    invert = new InvertFilter();
    motionBlur = new MotionBlurFilter();
    mix = new MixFilter();
    plasma = new MultiWavePlasma();
    warpStar = new WarpStar();
    attraction = new RadiusAttraction();
    smooth = new SmoothFilter();
    channelFlip = new ChannelFlipFilter();

    logText("initializing bump map effect, perlin, dusk..");
    bumpMapper = new BumpMap();
    noiseInit();
    stripes = new RadialStripes();

    loadLogged(part1_1, "pixmaps/part1_1.jpg", 256, 256);
    loadLogged(part1_2, "pixmaps/part1_2.jpg", 256, 256);
    loadLogged(still0, "pixmaps/still0.jpg", 320, 200);
    loadLogged(text1, "pixmaps/text1.jpg", 256, 64);
    loadLogged(text2, "pixmaps/text2.jpg", 256, 64);

    logText("Init 3d scene");
    TextureCache sceneTextures;  // the materials keep what they use when it goes
    initShadeTable();
    loadTableScene("Loading scenes\\scene1.3ds..", 0, sceneTextures);
    loadLogged(rstar1, "pixmaps/rstar1.jpg", 256, 256);
    loadLogged(tex1, "pixmaps/tex1.jpg", 256, 256);
    loadTableScene("Loading scenes\\scene2.3ds..", 1, sceneTextures);
    loadTableScene("Loading scenes\\scene3.3ds..", 2, sceneTextures);
    loadTableScene("Loading scenes\\scene4.3ds..", 3, sceneTextures);
    loadTableScene("Loading scenes\\scene5.3ds..", 4, sceneTextures);
    loadTableScene("Loading scenes\\credits.3ds..", 5, sceneTextures);
    // The step line names greets for each of the last five scenes; the line
    // each loadScene adds names the real file.
    for (int i = 6; i < kSceneCount; ++i) loadTableScene("Loading scenes\\greets.3ds..", i, sceneTextures);

    logText("ttex");
    load(tfont1, "pixmaps/tfont1.jpg", 256, 256);
    load(tfont2, "pixmaps/tfont2.jpg", 256, 256);
    Pixmap* frames[8] = {&g0, &g1, &g2, &g3, &g4, &g5, &g6, &g7};
    const uint32_t* framePixels[8];
    for (int i = 0; i < 8; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "pixmaps/g%d.jpg", i);
        load(*frames[i], file, 128, 32);
        framePixels[i] = frames[i]->pixels;
    }
    setFlashFrames(framePixels);

    buildZoomWeights(20);
    buildZoomWeights(12);

    load(envmap2, "scenes/envmap2.jpg", 256, 256);
    load(theend, "pixmaps/theend.jpg", 256, 256);
    load(ug, "pixmaps/ug.jpg", 256, 256);
    logText("Starting Demo..");
}

}  // namespace marrow
