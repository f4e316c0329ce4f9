// timeline.h: the script of the presentation.
#pragma once

#include <cstdint>

namespace marrow {

// The 33 instants (seconds) at which the script moves to its next interval,
// ascending. Intervals are half-open: a time equal to a threshold belongs to
// the interval that starts there.
constexpr int kThresholdCount = 33;
extern const double kThresholds[kThresholdCount];

// Returns the frame (320x200 pixels) to show at music time `time` seconds.
// The buffer belongs to the timeline, a scene or an image; the caller may
// write into it and must not free it.
uint32_t* composeFrame(double time);

}  // namespace marrow
