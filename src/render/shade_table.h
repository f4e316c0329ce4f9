// shade_table.h: the light curve every filler colours through.
//
// ShadeTable[i*256 + j] = trunc(j * sin(i * 0.0061261005)): row i is a light
// level (the top 8 bits of a 8.24 intensity), column j a colour component,
// the entry the lit component. A quarter sine: row 0 is black, row 128 maps
// 255 to 180, row 255 maps 255 to 254 (full light never quite reaches 255).
// Built once at start by initShadeTable().
#pragma once

#include <cstdint>

namespace marrow {

extern uint8_t ShadeTable[256 * 256];
void initShadeTable();

}  // namespace marrow
