// synth_dsp.cpp: math, oscillators, filters, effects and the loudness measure
// of the soundtrack synthesiser. See synth_dsp.h for the contracts.
#include "synth_dsp.h"

#include <algorithm>
#include <cmath>

#include "common/numeric.h"

namespace marrow::synth {

double sinTurns(double turns) {
    // Reduce to r in [-0.5, 0.5) turns, then fold onto [-0.25, 0.25] where
    // the Taylor series of sin converges fast (|angle| <= pi/2).
    double r = turns - std::floor(turns);
    if (r >= 0.5) r -= 1.0;
    if (r > 0.25) r = 0.5 - r;
    if (r < -0.25) r = -0.5 - r;
    const double x = r * (2.0 * kPi);
    const double x2 = x * x;
    // Horner form up to x^15 / 15!: the next term is below 1e-10 at pi/2.
    double p = -1.0 / 1307674368000.0;
    p = p * x2 + 1.0 / 6227020800.0;
    p = p * x2 - 1.0 / 39916800.0;
    p = p * x2 + 1.0 / 362880.0;
    p = p * x2 - 1.0 / 5040.0;
    p = p * x2 + 1.0 / 120.0;
    p = p * x2 - 1.0 / 6.0;
    p = p * x2 + 1.0;
    return p * x;
}

const double* sineTable() {
    // One period plus a guard entry so index + 1 never wraps.
    static const std::vector<double> table = [] {
        std::vector<double> t(kSineTableSize + 1);
        for (int i = 0; i <= kSineTableSize; ++i) t[i] = sinTurns(static_cast<double>(i) / kSineTableSize);
        return t;
    }();
    return table.data();
}

double exp2Det(double x) {
    x = std::clamp(x, -1000.0, 1000.0);
    // Split into an integer n (applied exactly by ldexp) and f in [-0.5, 0.5].
    const double n = std::floor(x + 0.5);
    const double y = (x - n) * 0.69314718055994530942;  // f * ln 2, |y| <= 0.347
    // Taylor series of e^y to y^12: the remainder is below 1e-15.
    double p = 1.0 / 479001600.0;
    p = p * y + 1.0 / 39916800.0;
    p = p * y + 1.0 / 3628800.0;
    p = p * y + 1.0 / 362880.0;
    p = p * y + 1.0 / 40320.0;
    p = p * y + 1.0 / 5040.0;
    p = p * y + 1.0 / 720.0;
    p = p * y + 1.0 / 120.0;
    p = p * y + 1.0 / 24.0;
    p = p * y + 1.0 / 6.0;
    p = p * y + 0.5;
    p = p * y + 1.0;
    p = p * y + 1.0;
    return std::ldexp(p, truncToInt32(n));  // n is a whole number in [-1000, 1000]
}

double expDet(double x) { return exp2Det(x * 1.44269504088896340736); }

double dbToGain(double db) { return exp2Det(db * (3.32192809488736234787 / 20.0)); }

double midiToHz(double note) { return 440.0 * exp2Det((note - 69.0) / 12.0); }


void Svf::setup(double cutoffHz, double q) {
    const double fc = std::clamp(cutoffHz, 20.0, 0.45 * kSampleRate);
    // g = tan(pi * fc / rate) = sin / cos of fc / (2 rate) turns.
    const double turns = fc / (2.0 * kSampleRate);
    const double g = sinTurns(turns) / sinTurns(turns + 0.25);
    k = 1.0 / std::max(q, 0.5);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

double onePoleCoef(double cutoffHz) {
    return 1.0 - expDet(-2.0 * kPi * cutoffHz / kSampleRate);
}

// Delay lengths in samples at 44.1 kHz, mutually prime-ish so the echoes do
// not line up; the right side is 23 samples longer for a wide image.
static const int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
static const int kAllpassLengths[4] = {556, 441, 341, 225};
static const int kStereoSpread = 23;

Reverb::Reverb(double roomSize, double damping)
    : feedback_(roomSize * 0.28 + 0.7), damp_(damping * 0.4) {
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < 8; ++i) combs_[side][i].buf.assign(kCombLengths[i] + side * kStereoSpread, 0.0);
        for (int i = 0; i < 4; ++i) allpasses_[side][i].buf.assign(kAllpassLengths[i] + side * kStereoSpread, 0.0);
    }
}

void Reverb::process(const double* inL, const double* inR, double* outL, double* outR, int n) {
    for (int i = 0; i < n; ++i) {
        // Both sides are fed the mono sum, scaled so eight combs stay in range.
        const double in = (inL[i] + inR[i]) * 0.015;
        double out[2];
        for (int side = 0; side < 2; ++side) {
            double acc = 0.0;
            for (Comb& c : combs_[side]) {
                const double y = c.buf[c.pos];
                c.store = y * (1.0 - damp_) + c.store * damp_;
                c.buf[c.pos] = in + c.store * feedback_;
                if (++c.pos == c.buf.size()) c.pos = 0;
                acc += y;
            }
            for (Allpass& a : allpasses_[side]) {
                const double b = a.buf[a.pos];
                a.buf[a.pos] = acc + b * 0.5;
                if (++a.pos == a.buf.size()) a.pos = 0;
                acc = b - acc;
            }
            out[side] = acc;
        }
        outL[i] += out[0];
        outR[i] += out[1];
    }
}

PingPongDelay::PingPongDelay(int delaySamples, double feedback, double toneHz)
    : bufL_(static_cast<size_t>(std::max(delaySamples, 1)), 0.0),
      bufR_(static_cast<size_t>(std::max(delaySamples, 1)), 0.0),
      feedback_(feedback),
      tone_(onePoleCoef(toneHz)) {}

void PingPongDelay::process(const double* inL, const double* inR, double* outL, double* outR, int n) {
    for (int i = 0; i < n; ++i) {
        const double dl = bufL_[pos_];
        const double dr = bufR_[pos_];
        lpL_ += tone_ * (dl - lpL_);
        lpR_ += tone_ * (dr - lpR_);
        // Cross-feed: what left the left line re-enters on the right.
        bufL_[pos_] = (inL[i] + inR[i]) * 0.5 + lpR_ * feedback_;
        bufR_[pos_] = lpL_ * feedback_;
        if (++pos_ == bufL_.size()) pos_ = 0;
        outL[i] += dl;
        outR[i] += dr;
    }
}

namespace {

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;
    double process(double x) {
        // Transposed direct form II.
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// The two stages of the K-weighting curve (a +4 dB shelf above ~1.7 kHz and a
// ~38 Hz high-pass) from their analogue prototypes, so the response is the
// same at 44.1 kHz as the published 48 kHz coefficients give at 48 kHz.
void kWeighting(Biquad& shelf, Biquad& highPass) {
    const double rate = kSampleRate;
    {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double turns = f0 / (2.0 * rate);
        const double kk = sinTurns(turns) / sinTurns(turns + 0.25);
        const double vh = dbToGain(gainDb);
        const double vb = exp2Det(0.4996667741545416 * gainDb / 20.0 * 3.32192809488736234787);
        const double a0 = 1.0 + kk / q + kk * kk;
        shelf.b0 = (vh + vb * kk / q + kk * kk) / a0;
        shelf.b1 = 2.0 * (kk * kk - vh) / a0;
        shelf.b2 = (vh - vb * kk / q + kk * kk) / a0;
        shelf.a1 = 2.0 * (kk * kk - 1.0) / a0;
        shelf.a2 = (1.0 - kk / q + kk * kk) / a0;
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double turns = f0 / (2.0 * rate);
        const double kk = sinTurns(turns) / sinTurns(turns + 0.25);
        const double a0 = 1.0 + kk / q + kk * kk;
        highPass.b0 = 1.0;
        highPass.b1 = -2.0;
        highPass.b2 = 1.0;
        highPass.a1 = 2.0 * (kk * kk - 1.0) / a0;
        highPass.a2 = (1.0 - kk / q + kk * kk) / a0;
    }
}

}  // namespace

double gatedKWeightedPower(const float* stereo, size_t frames) {
    // Mean square of the K-weighted signal per 100 ms step; a 400 ms block is
    // four consecutive steps, so blocks overlap by 75 %.
    const size_t step = kSampleRate / 10;
    const size_t steps = frames / step;
    if (steps < 4) return 0.0;
    std::vector<double> stepPower(steps, 0.0);
    Biquad shelf[2], highPass[2];
    for (int c = 0; c < 2; ++c) kWeighting(shelf[c], highPass[c]);
    for (size_t s = 0; s < steps; ++s) {
        double sum = 0.0;
        for (size_t i = s * step; i < (s + 1) * step; ++i) {
            for (int c = 0; c < 2; ++c) {
                const double y = highPass[c].process(shelf[c].process(stereo[i * 2 + c]));
                sum += y * y;
            }
        }
        stepPower[s] = sum / static_cast<double>(step);
    }
    std::vector<double> blocks;
    for (size_t s = 0; s + 4 <= steps; ++s)
        blocks.push_back((stepPower[s] + stepPower[s + 1] + stepPower[s + 2] + stepPower[s + 3]) * 0.25);
    // -70 LUFS as power: 10^((-70 + 0.691) / 10), i.e. the amplitude ratio of twice that in dB.
    const double absoluteGate = dbToGain(2.0 * (-70.0 + 0.691));
    auto meanAbove = [&](double gate) {
        double sum = 0.0;
        size_t count = 0;
        for (double b : blocks) {
            if (b > gate) {
                sum += b;
                ++count;
            }
        }
        return count ? sum / static_cast<double>(count) : 0.0;
    };
    const double ungated = meanAbove(absoluteGate);
    // The relative gate sits 10 LU (a power ratio of 10) below that mean.
    return meanAbove(std::max(absoluteGate, ungated * 0.1));
}

void limitPeaks(float* stereo, size_t frames, double ceiling, int lookahead, double releaseSamples,
                std::vector<float>& gain) {
    if (frames == 0) return;
    gain.resize(frames);
    // The gain each frame needs on its own (never above 1).
    for (size_t i = 0; i < frames; ++i) {
        const double peak = std::max(std::fabs(stereo[i * 2]), std::fabs(stereo[i * 2 + 1]));
        gain[i] = peak > ceiling ? static_cast<float>(ceiling / peak) : 1.0f;
    }
    // Backward pass: the gain may rise by at most 1/lookahead per sample when
    // read backwards, so walking forwards it falls in a straight ramp that
    // reaches each needed value exactly at its peak.
    const double slope = 1.0 / std::max(lookahead, 1);
    for (size_t i = frames - 1; i-- > 0;) {
        const double ramp = static_cast<double>(gain[i + 1]) + slope;
        if (ramp < gain[i]) gain[i] = static_cast<float>(ramp);
    }
    // Forward pass: recover towards 1 no faster than the release allows,
    // never above what the backward pass asked for.
    const double release = 1.0 / std::max(releaseSamples, 1.0);
    double g = gain[0];
    for (size_t i = 0; i < frames; ++i) {
        g = std::min(static_cast<double>(gain[i]), g + (1.0 - g) * release);
        for (int c = 0; c < 2; ++c) {
            double v = stereo[i * 2 + c] * g;
            // Float rounding of the product may land a hair above the ceiling.
            v = std::clamp(v, -ceiling, ceiling);
            stereo[i * 2 + c] = static_cast<float>(v);
        }
    }
}

}  // namespace marrow::synth
