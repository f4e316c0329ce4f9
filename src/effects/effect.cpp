#include "effects/effect.h"

#include <cstring>

#include "common/framebuffer.h"

namespace marrow {

const char* const kEffectAuthor = "the Marrow authors";

void Effect::render(uint32_t*, const uint32_t*, float) {}

void Filter::apply(const uint32_t* src, uint32_t* dst) {
    if (src != dst) std::memcpy(dst, src, kFrameBytes);
}

}  // namespace marrow
