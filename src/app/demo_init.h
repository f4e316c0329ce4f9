// demo_init.h: creates every effect, loads every image and scene at start.
#pragma once

namespace marrow {

// Every image, scene and effect object exists when it returns; a missing or
// broken file ends the process inside it with exit status 1.
void initDemo();

}  // namespace marrow
