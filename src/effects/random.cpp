#include "effects/random.h"

#include "common/numeric.h"

namespace marrow {

namespace {
uint32_t g_randState = 1;
float g_noiseTable[256];
}  // namespace

int32_t rand() {
    // Unsigned arithmetic wraps modulo 2^32 as the generator is defined.
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int32_t>((g_randState >> 16) & 0x7FFF);
}

uint32_t randState() { return g_randState; }
void setRandState(uint32_t state) { g_randState = state; }

void noiseInit() {
    for (float& entry : g_noiseTable) {
        // Single precision at every step: int -> float, times 1/32767 (as a
        // float constant), times 2, minus 1.
        float r = static_cast<float>(rand()) * (1.0f / 32767.0f);
        entry = r * 2.0f - 1.0f;
    }
}

float noise1d(float x, int32_t octaves, float persistence) {
    float amplitude = 0.5f;
    float sum = 0.0f;
    for (int32_t i = 0; i < octaves; ++i) {
        int32_t n = truncToInt32(x);
        // Indices are taken as the low 8 bits; the wrapping add keeps an
        // out-of-range x (n = INT32_MIN) defined.
        float a = g_noiseTable[static_cast<uint32_t>(wrapAdd(n, 1)) & 255];
        float b = g_noiseTable[static_cast<uint32_t>(wrapAdd(n, 2)) & 255];
        float w = static_cast<float>(truncToInt32(x + 1.0f)) - x;
        sum += amplitude * (b + (a - b) * w);
        x *= 2.0f;
        amplitude *= persistence;
    }
    return sum;
}

const float* noiseTable() { return g_noiseTable; }

}  // namespace marrow
