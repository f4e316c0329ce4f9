// demo_resources.h: the presentation's process-wide objects, as the timeline
// names them. Images and scenes are static objects (constructed before main
// in the order below, destroyed in reverse at exit); the effect objects are
// created by initDemo() and live until the process ends.
#pragma once

#include "effects/bump_map.h"
#include "effects/filters.h"
#include "effects/multiwave_plasma.h"
#include "effects/radial_stripes.h"
#include "effects/radius_attraction.h"
#include "effects/warp_star.h"
#include "render/pixmap.h"
#include "render/scene3d.h"

namespace marrow {

// Images, named after their files.
extern Pixmap start, start1_1, part1_1, part1_2, still0, text1, text2, rstar1, tex1, tfont1;
extern Pixmap g0, g1, g2, g3, g4, g5, g6, g7, envmap2, theend, ug, tfont2;

// The eleven scenes, in this order in one array.
constexpr int kSceneCount = 11;
extern Scene3D scenes[kSceneCount];
extern Scene3D &scene1, &scene2, &scene3, &scene4, &scene5, &credits, &canyon, &triangle, &neki, &greets, &scene6;

// Effect objects, made by initDemo().
extern InvertFilter* invert;
extern MotionBlurFilter* motionBlur;
extern MixFilter* mix;
extern MultiWavePlasma* plasma;
extern WarpStar* warpStar;
extern RadiusAttraction* attraction;
extern SmoothFilter* smooth;
extern ChannelFlipFilter* channelFlip;
extern BumpMap* bumpMapper;
extern RadialStripes* stripes;

}  // namespace marrow
