#include "render/shade_table.h"

#include <cmath>

#include "common/numeric.h"
#include "common/mathfn.h"

namespace marrow {

uint8_t ShadeTable[256 * 256];

void initShadeTable() {
    for (int i = 0; i < 256; ++i) {
        const double s = mathfn::sin(i * 0.0061261005);  // once per row, in double
        for (int j = 0; j < 256; ++j) ShadeTable[i * 256 + j] = static_cast<uint8_t>(truncToInt32(j * s));
    }
}

}  // namespace marrow
