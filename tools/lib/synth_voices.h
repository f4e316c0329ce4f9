// synth_voices.h: the instruments of the soundtrack. A voice is one sounding
// note; the engine asks it for blocks of samples from its start until it
// reports that it has finished (its envelope has died away).
#pragma once

#include <cstdint>
#include <memory>

#include "synth_score.h"

namespace marrow::synth {

// How much of a voice goes where: straight to the mix, to the bus that the
// kick ducks, to the reverb and to the echo.
struct Routing {
    double dry, ducked, reverb, delay;
};

class Voice {
public:
    virtual ~Voice() = default;
    // Writes (overwrites) the next n samples of the note into left/right.
    // Returns false once the note has ended; what it wrote is still valid.
    virtual bool render(double* left, double* right, int n) = 0;
};

// The voice that plays `note`; `seed` makes its noise and phases distinct.
std::unique_ptr<Voice> makeVoice(const NoteEvent& note, uint32_t seed);
Routing routingOf(Instrument instrument);

}  // namespace marrow::synth
