// synth.cpp: renders the score block by block through the voices, the
// sidechain duck, the reverb and the echo, then masters the whole piece:
// fade, loudness normalisation, peak limiting, 16-bit conversion.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/numeric.h"
#include "synth_dsp.h"
#include "synth_score.h"
#include "synth_voices.h"

namespace marrow {

using namespace synth;

namespace {

constexpr int kBlock = 256;
// Target integrated loudness (LUFS) and the sample peak ceiling: -2.5 dBFS,
// a decibel and a half under the -1 dBFS limit, because MP3 encoding
// overshoots sample peaks by up to about 1 dB on noisy transients (snare
// rolls over a limited mix).
constexpr double kTargetLufs = -14.0;
constexpr double kCeilingDb = -2.5;

int toFrame(double seconds) { return truncToInt32(std::floor(seconds * kSampleRate + 0.5)); }

struct Active {
    std::unique_ptr<Voice> voice;
    Routing routing;
    int start;  // frame
};

// dest += source * gain; nothing to do for a route a voice does not use.
void addScaled(double* dest, const double* source, double gain, int n) {
    if (gain == 0.0) return;
    for (int i = 0; i < n; ++i) dest[i] += source[i] * gain;
}

// Renders every note into `mix` (interleaved stereo float, frames long).
void renderScore(const Score& score, std::vector<float>& mix, int frames) {
    Reverb reverb(0.8, 0.35);
    // Echo of three sixteenths at 120 bpm, the tempo of most of the piece.
    PingPongDelay delay(toFrame(0.375), 0.38, 3500.0);
    // The master's 20 Hz high-pass: the kick's and the boom's first half
    // cycles are lopsided, which would leave a little DC and inaudible
    // rumble that only eats headroom.
    Svf rumble[2];
    rumble[0].setup(20.0, 0.7071);
    rumble[1].tuneLike(rumble[0]);
    std::vector<Active> active;
    size_t next = 0;

    // The duck: each kick pulls the ducked bus down by its depth, which then
    // recovers over 200 ms (quadratic), after a 3 ms fall so it does not click.
    std::vector<std::pair<int, double>> kicks;
    for (const NoteEvent& e : score.notes)
        if (e.instrument == Instrument::Kick && e.duck > 0) kicks.push_back({toFrame(e.time), e.duck});
    size_t nextKick = 0;
    int lastKick = -1000000;
    double depth = 0.0;
    const int duckFall = toFrame(0.003);
    const int duckRecover = toFrame(0.2);

    double dry[2][kBlock], ducked[2][kBlock], rev[2][kBlock], dly[2][kBlock], out[2][kBlock], tmp[2][kBlock];
    for (int block = 0; block < frames; block += kBlock) {
        const int n = std::min(kBlock, frames - block);
        while (next < score.notes.size() && toFrame(score.notes[next].time) < block + n) {
            const NoteEvent& e = score.notes[next];
            // Seeds differ per note and are fixed by the note's position in the score.
            const uint32_t seed = static_cast<uint32_t>(next) * 2654435761u + 12345u;
            active.push_back({makeVoice(e, seed), routingOf(e.instrument), std::max(0, toFrame(e.time))});
            ++next;
        }
        for (int c = 0; c < 2; ++c) {
            std::fill(dry[c], dry[c] + n, 0.0);
            std::fill(ducked[c], ducked[c] + n, 0.0);
            std::fill(rev[c], rev[c] + n, 0.0);
            std::fill(dly[c], dly[c] + n, 0.0);
            std::fill(out[c], out[c] + n, 0.0);
        }
        for (size_t v = 0; v < active.size();) {
            Active& a = active[v];
            const int offset = std::max(0, a.start - block);
            const int count = n - offset;
            const bool alive = a.voice->render(tmp[0], tmp[1], count);
            const Routing& r = a.routing;
            for (int c = 0; c < 2; ++c) {
                addScaled(dry[c] + offset, tmp[c], r.dry, count);
                addScaled(ducked[c] + offset, tmp[c], r.ducked, count);
                addScaled(rev[c] + offset, tmp[c], r.reverb, count);
                addScaled(dly[c] + offset, tmp[c], r.delay, count);
            }
            if (alive) {
                ++v;
            } else {
                active.erase(active.begin() + static_cast<long>(v));
            }
        }
        for (int i = 0; i < n; ++i) {
            const int frame = block + i;
            while (nextKick < kicks.size() && kicks[nextKick].first <= frame) {
                lastKick = kicks[nextKick].first;
                depth = kicks[nextKick].second;
                ++nextKick;
            }
            const int age = frame - lastKick;
            double g = 1.0;
            if (age < duckRecover) {
                const double fall = std::min(1.0, static_cast<double>(age) / duckFall);
                const double u = 1.0 - static_cast<double>(age) / duckRecover;
                g = 1.0 - depth * fall * u * u;
            }
            for (int c = 0; c < 2; ++c) dry[c][i] += ducked[c][i] * g;
        }
        // The echo's output also feeds the reverb so repeats sit in the room.
        delay.process(dly[0], dly[1], out[0], out[1], n);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i) rev[c][i] += out[c][i] * 0.4;
        reverb.process(rev[0], rev[1], out[0], out[1], n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c)
                mix[static_cast<size_t>(block + i) * 2 + c] =
                    static_cast<float>(rumble[c].process(dry[c][i] + out[c][i]).high);
    }
}

// The fade: a smooth fall (raised cosine) from 1 at fadeStart to 0 at
// fadeEnd, and exact silence after it.
void applyFade(std::vector<float>& mix, int frames, double fadeStart, double fadeEnd) {
    const int from = std::clamp(toFrame(fadeStart), 0, frames);
    const int to = std::clamp(toFrame(fadeEnd), from, frames);
    for (int f = from; f < frames; ++f) {
        double g = 0.0;
        if (f < to) g = 0.5 + 0.5 * sinTurns(0.25 + 0.5 * static_cast<double>(f - from) / (to - from));
        mix[static_cast<size_t>(f) * 2] = static_cast<float>(mix[static_cast<size_t>(f) * 2] * g);
        mix[static_cast<size_t>(f) * 2 + 1] = static_cast<float>(mix[static_cast<size_t>(f) * 2 + 1] * g);
    }
}

// Scales the mix by gain and limits it to the ceiling, in place.
void gainAndLimit(std::vector<float>& mix, double gain, double ceiling, std::vector<float>& scratch) {
    for (float& v : mix) v = static_cast<float>(v * gain);
    // 2 ms of look-ahead, 80 ms release: fast enough to catch kick and crash
    // transients, slow enough not to distort the bass.
    limitPeaks(mix.data(), mix.size() / 2, ceiling, toFrame(0.002), 0.08 * kSampleRate, scratch);
}

}  // namespace

std::vector<int16_t> synthesiseSoundtrack(double seconds) {
    if (!(seconds > 0.0 && seconds <= 3600.0)) return {};
    const int frames = toFrame(seconds);
    if (frames <= 0) return {};
    const Score score = buildScore(seconds);
    // Only up to the end of the fade is rendered: everything after is silence.
    const int sounding = std::clamp(toFrame(score.fadeEnd), 1, frames);
    std::vector<float> mix(static_cast<size_t>(sounding) * 2, 0.0f);
    renderScore(score, mix, sounding);
    applyFade(mix, sounding, score.fadeStart, score.fadeEnd);

    // Normalise: the gain that brings the measured power to the target; if
    // the limiter then took off more than 0.1 dB, make that up (at most
    // 3 dB, past which it would pump) and limit again.
    const double targetPower = dbToGain(2.0 * (kTargetLufs + 0.691));  // 10^((L + 0.691) / 10)
    const double ceiling = dbToGain(kCeilingDb);
    std::vector<float> scratch;
    const double power = gatedKWeightedPower(mix.data(), static_cast<size_t>(sounding));
    gainAndLimit(mix, power > 0.0 ? std::sqrt(targetPower / power) : 1.0, ceiling, scratch);
    const double after = gatedKWeightedPower(mix.data(), static_cast<size_t>(sounding));
    if (after > 0.0 && after < targetPower * 0.977)
        gainAndLimit(mix, std::min(std::sqrt(targetPower / after), 1.4125), ceiling, scratch);

    std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2, 0);
    for (size_t i = 0; i < mix.size(); ++i) {
        // Round to nearest; the limiter keeps |v| under 1, so no clamp is hit.
        const double v = std::clamp(static_cast<double>(mix[i]) * 32767.0, -32767.0, 32767.0);
        pcm[i] = static_cast<int16_t>(truncToInt32(std::floor(v + 0.5)));
    }
    return pcm;
}

}  // namespace marrow
