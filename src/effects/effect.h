// effect.h: the two class families every full-screen 2D effect belongs to.
//
// Effect: a generator that fills a whole 320x200 frame from time (and usually
// a 256x256 texture read as src[v*256 + u]). Filter: turns one frame into
// another; src and dst may be the same buffer for every filter.
// Objects of both families are created once at start and live to the end.
#pragma once

#include <cstdint>

namespace marrow {

// What getInfo() reports. Nothing in the program reads it; it names the
// effect for tools and logs.
struct EffectInfo {
    const char* description;
    const char* author;
    int32_t flag;
};

// The author line every effect reports.
extern const char* const kEffectAuthor;

class Effect {
public:
    Effect() : mode(0) {}
    virtual ~Effect() = default;

    // Fills all 64000 pixels of dst. src is a 256x256 texture or null for
    // effects that need none; time is the music time in seconds. The base
    // class draws nothing.
    virtual void render(uint32_t* dst, const uint32_t* src, float time);

    virtual void setMode(int32_t value) { mode = value; }

    // Returns the caller's record with this effect's fields filled in; the
    // base class leaves it untouched.
    virtual EffectInfo getInfo(EffectInfo record) const { return record; }

    // Only the plasma reads it: its low three bits choose the height field.
    int32_t mode;
};

class Filter {
public:
    virtual ~Filter() = default;

    // Reads the frame src and writes dst (64000 pixels each). The base class
    // copies src to dst unless they are the same buffer.
    virtual void apply(const uint32_t* src, uint32_t* dst);

    // Makes the next apply start afresh; the base class has nothing to reset.
    virtual void reset() {}
};

}  // namespace marrow
