// random.h: the one pseudo-random generator of the program, and the 1D value
// noise built from it.
//
// rand(): 32-bit state, 1 at program start and never seeded; each call sets
// state = state * 214013 + 2531011 (mod 2^32) and returns (state >> 16) & 0x7FFF,
// a value in 0..32767. Every effect that draws random numbers shares this one
// state, so the order of calls across effects is part of what is drawn.
#pragma once

#include <cstdint>

namespace marrow {

int32_t rand();

// The generator's state, for tests and tools that replay a sequence.
uint32_t randState();
void setRandState(uint32_t state);

// Fills the 256-entry noise table from rand(): entry i = rand() * (1/32767)
// * 2 - 1, in single precision, in index order. Called once at start, after
// the bump map's light spot is built (which draws no random numbers).
void noiseInit();

// Sum over `octaves` of amplitude * (b + (a - b) * w), with n = trunc(x),
// a = table[(n+1) & 255], b = table[(n+2) & 255], w = trunc(x + 1) - x; the
// amplitude starts at 0.5 and is multiplied by `persistence` per octave, x
// doubles per octave. All in single precision. 0 octaves give 0.
float noise1d(float x, int32_t octaves, float persistence);

// The table noiseInit filled (256 floats in -1..1).
const float* noiseTable();

}  // namespace marrow
