// synth_dsp.h: the building blocks of the soundtrack synthesiser: math that
// gives the same bits on every machine, band-limited oscillators, a
// state-variable filter, noise, a stereo reverb and delay, and the loudness
// measure the master stage normalises with.
//
// Everything works in double at 44100 samples a second. Nothing here calls
// libm's transcendental functions: sine and 2^x are polynomials evaluated in
// a fixed order, so a rendering is bit-identical wherever IEEE doubles are
// (the build disables fused multiply-add for the same reason).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/numeric.h"

namespace marrow::synth {

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// sin(2*pi*turns), any finite argument; absolute error below 1e-9.
double sinTurns(double turns);
// One period of sinTurns in kSineTableSize + 1 entries (the last repeats the first).
constexpr int kSineTableSize = 4096;
const double* sineTable();

// sin(2*pi*turns) from the table with linear interpolation; absolute error
// below 3e-7 (-130 dB). For oscillators that need a sine every sample.
inline double sinFast(double turns) {
    static const double* const table = sineTable();
    const double pos = (turns - std::floor(turns)) * kSineTableSize;  // [0, size]
    const int i = std::min(truncToInt32(pos), kSineTableSize - 1);
    const double frac = pos - i;
    return table[i] + (table[i + 1] - table[i]) * frac;
}
// 2^x for x in [-1000, 1000] (clamped outside); relative error below 1e-12.
double exp2Det(double x);
// e^x through exp2Det.
double expDet(double x);
// 10^(dB/20): the amplitude ratio of a level in decibels.
double dbToGain(double db);
// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz), fractional allowed.
double midiToHz(double note);
// tanh-like soft clipper: odd, monotonic, |y| < 1, slope 1 at 0.
// x / sqrt(1 + x^2); sqrt is exactly rounded, so this is as portable as the rest.
inline double softClip(double x) { return x / std::sqrt(1.0 + x * x); }

// Deterministic white noise: xorshift32, uniform in [-1, 1).
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        // The top 24 bits as a fraction of 2^23, minus 1: [-1, 1).
        return static_cast<double>(state >> 8) * (1.0 / 8388608.0) - 1.0;
    }
};

// Band-limited sawtooth and pulse by polyBLEP: phase in turns [0, 1),
// increment = frequency / sample rate (kept below 0.5).
struct BlepOsc {
    double phase = 0.0;
    // Rising ramp from -1 to 1 with the jump smoothed over one sample each side.
    double saw(double increment) {
        const double out = 2.0 * phase - 1.0 - polyBlep(phase, increment);
        phase += increment;
        if (phase >= 1.0) phase -= 1.0;
        return out;
    }
    // Pulse of the given width (0..1), zero mean, from two offset saws.
    double pulse(double increment, double width) {
        double shifted = phase + width;
        if (shifted >= 1.0) shifted -= 1.0;
        const double a = 2.0 * phase - 1.0 - polyBlep(phase, increment);
        const double b = 2.0 * shifted - 1.0 - polyBlep(shifted, increment);
        phase += increment;
        if (phase >= 1.0) phase -= 1.0;
        // a - b is -2 * width for most of the period and 2 - 2 * width for the
        // rest: a pulse of height 2 whose mean is already zero.
        return a - b;
    }
    // polyBLEP residual: subtracts the aliasing step of a jump at phase 0
    // over one sample on either side (t in turns, dt = increment).
    static double polyBlep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }
};

// Topology-preserving state-variable filter (trapezoidal integration), stable
// for any cutoff below Nyquist. setup() costs two sines: call it at control
// rate (every 16 samples or so), not per sample.
struct Svf {
    double a1 = 0, a2 = 0, a3 = 0, k = 1;
    double ic1 = 0, ic2 = 0;
    // cutoff in Hz (clamped to 20 .. 0.45 * rate), q from 0.5 (soft) up.
    void setup(double cutoffHz, double q);
    // Takes the tuning of another filter (stereo pairs tune once), keeping state.
    void tuneLike(const Svf& other) {
        a1 = other.a1;
        a2 = other.a2;
        a3 = other.a3;
        k = other.k;
    }
    struct Out {
        double low, band, high;
    };
    Out process(double x) {
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        return {v2, v1, x - k * v1 - v2};
    }
};

// One-pole low-pass: y += c * (x - y); c from a cutoff in Hz.
double onePoleCoef(double cutoffHz);

// Stereo reverb: eight damped combs and four allpasses per side (the
// Schroeder-Moorer layout), right side with offset delay lengths for width.
class Reverb {
public:
    Reverb(double roomSize, double damping);
    // Adds the wet signal of the input into outL/outR, n samples.
    void process(const double* inL, const double* inR, double* outL, double* outR, int n);

private:
    struct Comb {
        std::vector<double> buf;
        size_t pos = 0;
        double store = 0;
    };
    struct Allpass {
        std::vector<double> buf;
        size_t pos = 0;
    };
    Comb combs_[2][8];
    Allpass allpasses_[2][4];
    double feedback_, damp_;
};

// Stereo ping-pong delay: the left input echoes right, then left, ...; the
// feedback path is low-passed so repeats grow darker.
class PingPongDelay {
public:
    PingPongDelay(int delaySamples, double feedback, double toneHz);
    void process(const double* inL, const double* inR, double* outL, double* outR, int n);

private:
    std::vector<double> bufL_, bufR_;
    size_t pos_ = 0;
    double feedback_, tone_, lpL_ = 0, lpR_ = 0;
};

// Integrated loudness of interleaved stereo float samples (full scale 1.0)
// as mean-square power after K-weighting and the two gates of the broadcast
// loudness measure (400 ms blocks, 75 % overlap, absolute gate -70 LUFS,
// relative gate 10 LU below the ungated mean). LUFS = -0.691 + 10 log10(power).
// Returns 0 for silence.
double gatedKWeightedPower(const float* stereo, size_t frames);

// Look-ahead peak limiter on interleaved stereo, in place: the gain ramps
// down linearly over `lookahead` samples before any peak that would pass
// `ceiling`, and recovers with a one-pole release (time constant in samples).
// Afterwards no |sample| exceeds the ceiling.
// `scratch` holds the gain curve (resized to frames; reuse it across calls).
void limitPeaks(float* stereo, size_t frames, double ceiling, int lookahead, double releaseSamples,
                std::vector<float>& scratch);

}  // namespace marrow::synth
