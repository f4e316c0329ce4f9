// The per-pixel passes give the same pixels on their AVX2 path as on the
// SSE2 one, including the pixels after the last whole group of eight. (On
// a processor without AVX2 both runs take the baseline: nothing to compare.)
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "common/cpu_features.h"
#include "common/framebuffer.h"
#include "effects/compositing.h"
#include "effects/filters.h"
#include "frame_compare.h"

namespace {

using namespace marrow;

// Runs `pass` on copies of the same frames with the AVX2 paths off and on.
void expectSameOnBothPaths(const char* what, const std::function<void(std::vector<uint32_t>&)>& pass) {
    SCOPED_TRACE(what);
    std::vector<uint32_t> baseline = randomFrame(77), wide = baseline;
    allowAvx2(false);
    pass(baseline);
    allowAvx2(true);
    pass(wide);
    expectFramesEqual(wide, baseline);
}

TEST(WidePaths, SamePixelsAsTheBaseline) {
    buildMulTable();
    // Empty pixels matter to the saturating add: a third of each layer.
    std::vector<uint32_t> layer = randomFrame(5);
    for (size_t i = 0; i < layer.size(); i += 3) layer[i] = 0;
    const std::vector<uint32_t> other = randomFrame(9);

    expectSameOnBothPaths("addSaturate", [&](std::vector<uint32_t>& f) { addSaturate(f.data(), layer.data()); });
    expectSameOnBothPaths("addSpan, 1003 pixels", [&](std::vector<uint32_t>& f) { addSpan(f.data() + 5, layer.data(), 1003); });
    for (int32_t alpha : {0, 1, 128, 255, 0x7F000080}) {
        expectSameOnBothPaths("crossFade", [&](std::vector<uint32_t>& f) {
            crossFade(other.data(), layer.data(), f.data(), alpha, kFramePixels);
            crossFade(layer.data(), other.data(), f.data() + 3, alpha, 1001);
        });
    }
    expectSameOnBothPaths("invert", [](std::vector<uint32_t>& f) { InvertFilter().apply(f.data(), f.data()); });
    expectSameOnBothPaths("motion blur", [&](std::vector<uint32_t>& f) {
        MotionBlurFilter blur;
        blur.apply(other.data(), f.data());  // the first frame fills the history
        blur.apply(layer.data(), f.data());
        blur.apply(f.data(), f.data());
    });
    // Every flip mask, on a frame with dark pixels (which keep what is there).
    std::vector<uint32_t> dim = randomFrame(11);
    for (size_t i = 0; i < dim.size(); i += 4) dim[i] &= 0x03030303;
    expectSameOnBothPaths("channel flip", [&](std::vector<uint32_t>& f) {
        ChannelFlipFilter flip;
        for (int call = 0; call < 8; ++call) flip.apply(call % 2 ? dim.data() : f.data(), f.data());
    });
}

}  // namespace
