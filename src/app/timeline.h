// timeline.h: the script of the presentation.
#pragma once

#include <cstdint>

namespace marrow {

// Returns the frame (320x200 pixels) to show at music time `time` seconds.
// The buffer belongs to the timeline, a scene or an image; the caller may
// write into it and must not free it.
uint32_t* composeFrame(double time);

}  // namespace marrow
