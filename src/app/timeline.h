// timeline.h: the script of the presentation.
#pragma once

#include <cstdint>

namespace marrow {

// The 33 instants (seconds) at which the script moves to its next interval,
// ascending. Intervals are half-open: a time equal to a threshold belongs to
// the interval that starts there.
// Kept here, not in the timeline's object file, so tools that only need the
// instants (the soundtrack's score) take them without the script.
constexpr int kThresholdCount = 33;
inline constexpr double kThresholds[kThresholdCount] = {
    7.0,   8.82, 12.46, 14.0, 17.55, 21.1, 27.0,  29.1,  31.2,  33.3,  35.4,  37.5,  39.6,  42.4,  43.0,  46.7,  52.4,
    58.12, 65.0, 66.0,  78.0, 79.0,  89.0, 90.0,  102.0, 110.0, 111.0, 150.0, 180.0, 210.0, 235.0, 258.0, 260.0};

class Scene3D;

// The four composition buffers (320x200 each), zero at start.
extern uint32_t frameA[], frameB[], frameC[], frameD[];

// Building blocks of the script, exposed for tests and tools.
// The index of the interval `time` falls in: 0 below 7.0 (negative times
// too), kThresholdCount from 260.0 on.
int intervalOf(double time);
// Brings s.frame into 0..s.lastFrame by whole steps of lastFrame (a multiple
// of lastFrame ends at lastFrame, not 0); a scene without animation keeps
// frame 0.
void reduceFrame(Scene3D& s);
// The ray grid's three angles for `time`, measured from 14 s.
void setGridAngles(double time);
// Adds rows 0..39 of the caption strip into rows 160..199 of buf.
void overlayCaption(uint32_t* buf);
// Flips the colour channels of rows 30..169.
void invertBand(uint32_t* buf);
// The beat filters of `bits` (1 invert, 2 channel flip, 4 ribbon, 8 knot)
// that beat = trunc(time - 79) has set, in that order.
void beatFilters(uint32_t* buf, double time, int bits);

// Returns the frame (320x200 pixels) to show at music time `time` seconds.
// The buffer belongs to the timeline, a scene or an image; the caller may
// write into it and must not free it.
uint32_t* composeFrame(double time);

}  // namespace marrow
