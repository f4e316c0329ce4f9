// TEMPORARY until the resources exist: nothing to load yet.
#include "app/demo_init.h"

namespace marrow {

void initDemo() {}

}  // namespace marrow
