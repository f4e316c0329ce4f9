// Every test in this binary composes with the frame's work shared by three
// threads (whatever the machine has), so the plain references and known
// values here check the paths the presentation takes with its worker pool.
#include "common/frame_workers.h"

namespace {
const int kFrameThreads = marrow::startFrameWorkers(3);
}  // namespace
