// synth_voices.cpp: one class per instrument family. Envelopes are
// exponentials run as per-sample multiplications (coefficients computed once
// per note); filters are re-tuned every kControl samples.
#include "synth_voices.h"

#include <algorithm>
#include <cmath>

#include "common/numeric.h"
#include "synth_dsp.h"

namespace marrow::synth {

namespace {

constexpr double kRate = kSampleRate;
// Filter cutoffs and pitch sweeps are updated this often (samples): fine
// enough that sweeps sound smooth, rare enough that the two sines of
// Svf::setup cost little.
constexpr int kControl = 16;

// Per-sample factor of an exponential decay with time constant tau seconds.
double decayCoef(double tau) { return expDet(-1.0 / (tau * kRate)); }

// Constant-power pan, scaled so the centre gives 1 on both sides.
void panGains(double pan, double& left, double& right) {
    const double turns = (std::clamp(pan, -1.0, 1.0) + 1.0) * 0.125;  // 0 .. a quarter turn
    left = sinTurns(turns + 0.25) * 1.4142135623730951;
    right = sinTurns(turns) * 1.4142135623730951;
}

// A duration in whole samples, rounded (durations are never negative).
int seconds(double s) { return truncToInt32(s * kRate + 0.5); }

// What every voice has: its note, its age in samples, its gate and pan.
class Base : public Voice {
protected:
    Base(const NoteEvent& n, uint32_t seed) : note_(n), noise_(seed) {
        gate_ = std::max(1, seconds(n.duration));
        panGains(n.pan, panL_, panR_);
    }
    NoteEvent note_;
    Noise noise_;
    int age_ = 0;
    int gate_;
    double panL_, panR_;
};

// The six square waves of the classic analogue metal cymbal circuit, mixed.
class Metal {
public:
    double next() {
        static const double kHz[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
        double sum = 0.0;
        for (int i = 0; i < 6; ++i) {
            phase_[i] += kHz[i] * 1.7 / kRate;
            if (phase_[i] >= 1.0) phase_[i] -= 1.0;
            sum += phase_[i] < 0.5 ? 1.0 : -1.0;
        }
        return sum * (1.0 / 6.0);
    }

private:
    double phase_[6] = {0.0, 0.13, 0.29, 0.41, 0.57, 0.73};
};

class Kick : public Base {
public:
    Kick(const NoteEvent& n, uint32_t seed) : Base(n, seed) {
        amp_ = n.velocity;
        ampCoef_ = decayCoef(0.22);
        sweepCoef_ = decayCoef(0.03);
        clickCoef_ = decayCoef(0.0015);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            // Pitch falls from about 170 Hz to 47 Hz in the first 100 ms.
            const double hz = 47.0 + 125.0 * sweep_;
            phase_ += hz / kRate;
            sweep_ *= sweepCoef_;
            const double body = softClip(1.8 * sinFast(phase_)) * 0.7;
            const double click = noise_.next() * click_ * 0.25;
            click_ *= clickCoef_;
            // A 1 ms fade-in so the start never steps, and the last 100 ms
            // fade out so the tail is not cut.
            const double in = age_ < 44 ? age_ / 44.0 : 1.0;
            const double out = std::min(1.0, (kLife - age_) / (0.1 * kRate));
            const double v = (body + click) * amp_ * in * out;
            amp_ *= ampCoef_;
            l[i] = v;
            r[i] = v;
        }
        return age_ < kLife;
    }

private:
    static constexpr int kLife = kSampleRate * 6 / 10;  // 0.6 s
    double amp_, ampCoef_, sweep_ = 1.0, sweepCoef_, click_ = 1.0, clickCoef_, phase_ = 0.0;
};

class Snare : public Base {
public:
    Snare(const NoteEvent& n, uint32_t seed) : Base(n, seed) {
        tone_ = n.velocity * 0.35;
        toneCoef_ = decayCoef(0.045);
        noiseAmp_ = n.velocity * 0.42;
        noiseCoef_ = decayCoef(0.09 + 0.08 * n.tone);
        hp_.setup(900.0 + 1500.0 * n.tone, 0.7);
        bp_.setup(5000.0, 0.8);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            phase_ += 185.0 / kRate;
            const double body = sinFast(phase_) * tone_;
            tone_ *= toneCoef_;
            const double x = noise_.next();
            const double v = body + (hp_.process(x).high * 0.7 + bp_.process(x).band * 0.5) * noiseAmp_;
            noiseAmp_ *= noiseCoef_;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return age_ < seconds(0.6);
    }

private:
    double tone_, toneCoef_, noiseAmp_, noiseCoef_, phase_ = 0.0;
    Svf hp_, bp_;
};

class Clap : public Base {
public:
    Clap(const NoteEvent& n, uint32_t seed) : Base(n, seed) {
        bp_.setup(1150.0, 1.6);
        burstCoef_ = decayCoef(0.005);
        tailCoef_ = decayCoef(0.11);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            // Three hand claps 11 ms apart, then the room's tail.
            if (age_ == seconds(0.011) || age_ == seconds(0.022)) burst_ = 1.0;
            if (age_ == seconds(0.03)) tail_ = 0.7;
            const double env = burst_ + tail_;
            burst_ *= burstCoef_;
            tail_ *= tailCoef_;
            const double v = bp_.process(noise_.next()).band * env * note_.velocity * 1.0;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return age_ < seconds(0.7);
    }

private:
    Svf bp_;
    double burst_ = 1.0, tail_ = 0.0, burstCoef_, tailCoef_;
};

// Closed and open hats, ride and shaker: metal and noise through filters.
class Cymbal : public Base {
public:
    Cymbal(const NoteEvent& n, uint32_t seed, double tau, double lowCut, double metalMix, double level, double life)
        : Base(n, seed), metalMix_(metalMix), life_(seconds(life)) {
        amp_ = n.velocity * level * 1.6;
        coef_ = decayCoef(tau);
        hp_.setup(lowCut, 0.7);
        bp_.setup(std::min(lowCut * 1.4, 12000.0), 0.9);
        attack_ = n.instrument == Instrument::Shaker ? seconds(0.012) : 20;
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            const double x = metal_.next() * metalMix_ + noise_.next() * (1.0 - metalMix_);
            const double y = hp_.process(x).high * 0.7 + bp_.process(x).band * 0.6;
            const double in = age_ < attack_ ? static_cast<double>(age_) / attack_ : 1.0;
            // The last 10 ms fade out, so cutting the tail never clicks.
            const double out = std::min(1.0, (life_ - age_) / (0.01 * kRate));
            const double v = y * amp_ * in * out;
            amp_ *= coef_;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return age_ < life_;
    }

private:
    Metal metal_;
    Svf hp_, bp_;
    double metalMix_, amp_, coef_;
    int life_, attack_;
};

// A crash: two independent noise channels for width, plus metal.
class Crash : public Base {
public:
    Crash(const NoteEvent& n, uint32_t seed) : Base(n, seed), noiseR_(seed * 2654435761u + 1u) {
        amp_ = n.velocity * 0.4;
        coef_ = decayCoef(0.55 + 0.5 * n.tone);
        for (int c = 0; c < 2; ++c) hp_[c].setup(3800.0, 0.7);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            const double m = metal_.next() * 0.35;
            const double in = age_ < 60 ? age_ / 60.0 : 1.0;
            // The last half second fades out, so the tail ends in silence.
            const double out = std::min(1.0, (kLife - age_) / (0.5 * kRate));
            const double a = amp_ * in * out;
            l[i] = hp_[0].process(noise_.next() * 0.65 + m).high * a;
            r[i] = hp_[1].process(noiseR_.next() * 0.65 + m).high * a;
            amp_ *= coef_;
        }
        return age_ < kLife;
    }

private:
    static constexpr int kLife = kSampleRate * 3;
    Noise noiseR_;
    Metal metal_;
    Svf hp_[2];
    double amp_, coef_;
};

class Tom : public Base {
public:
    Tom(const NoteEvent& n, uint32_t seed) : Base(n, seed) {
        base_ = 82.0 * exp2Det(n.pitch / 12.0);
        amp_ = n.velocity * 0.8;
        coef_ = decayCoef(0.22);
        sweepCoef_ = decayCoef(0.05);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            phase_ += base_ * (1.0 + 0.7 * sweep_) / kRate;
            sweep_ *= sweepCoef_;
            const double in = age_ < 44 ? age_ / 44.0 : 1.0;
            const double v = (softClip(1.5 * sinFast(phase_)) + noise_.next() * 0.05 * sweep_) * amp_ * in;
            amp_ *= coef_;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return age_ < seconds(1.0);
    }

private:
    double base_, amp_, coef_, sweep_ = 1.0, sweepCoef_, phase_ = 0.0;
};

// The boom under section changes: a very low swept sine and a dark burst.
class Impact : public Base {
public:
    Impact(const NoteEvent& n, uint32_t seed) : Base(n, seed), noiseR_(seed ^ 0xA5A5A5A5u) {
        amp_ = n.velocity;
        coef_ = decayCoef(0.45);
        sweepCoef_ = decayCoef(0.09);
        noiseAmp_ = n.velocity * 0.5;
        noiseCoef_ = decayCoef(0.2);
        for (int c = 0; c < 2; ++c) lp_[c].setup(1800.0, 0.7);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            phase_ += (36.0 + 70.0 * sweep_) / kRate;
            sweep_ *= sweepCoef_;
            const double in = age_ < 88 ? age_ / 88.0 : 1.0;
            const double boom = softClip(2.0 * sinFast(phase_)) * amp_ * 0.75 * in;
            amp_ *= coef_;
            l[i] = boom + lp_[0].process(noise_.next()).low * noiseAmp_ * in;
            r[i] = boom + lp_[1].process(noiseR_.next()).low * noiseAmp_ * in;
            noiseAmp_ *= noiseCoef_;
        }
        return age_ < seconds(2.5);
    }

private:
    Noise noiseR_;
    Svf lp_[2];
    double amp_, coef_, sweep_ = 1.0, sweepCoef_, noiseAmp_, noiseCoef_, phase_ = 0.0;
};

// Filtered noise whose band and level rise over the note, cut at its end.
class Riser : public Base {
public:
    Riser(const NoteEvent& n, uint32_t seed) : Base(n, seed), noiseR_(seed ^ 0x5A5A5A5Au) {}
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            const double u = std::min(1.0, static_cast<double>(age_) / gate_);
            if (age_ % kControl == 0) {
                // From 250 Hz up three to five octaves (at most 8 kHz: noise
                // higher up is what MP3 encoding mangles most), brighter for
                // higher tone.
                const double hz = 250.0 * exp2Det(u * (3.0 + 2.0 * note_.tone));
                bp_[0].setup(hz, 2.5);
                bp_[1].tuneLike(bp_[0]);
            }
            // Full at the end of the rise, then gone in 40 ms so the event it
            // leads into starts on a clean edge.
            const double tail = std::clamp(static_cast<double>(gate_ - age_) / (0.04 * kRate), 0.0, 1.0);
            const double env = u * u * note_.velocity * 0.9 * tail;
            l[i] = bp_[0].process(noise_.next()).band * env;
            r[i] = bp_[1].process(noiseR_.next()).band * env;
        }
        return age_ < gate_;
    }

private:
    Noise noiseR_;
    Svf bp_[2];
};

// Attack, hold for the gate, then a release that falls exponentially
// towards a target a little below zero, so it reaches silence exactly, after
// about three time constants, and the voice can end without a click.
class Envelope {
public:
    Envelope(int attack, int gate, double releaseTau)
        : attack_(std::max(attack, 1)), gate_(gate), releaseStep_(1.0 - decayCoef(releaseTau)) {}
    double next(int age) {
        if (age < gate_) {
            // A gate shorter than the attack releases from where it got to.
            level_ = age < attack_ ? static_cast<double>(age) / attack_ : 1.0;
        } else if (level_ > 0.0) {
            level_ += (-0.05 - level_) * releaseStep_;
            if (level_ < 0.0) level_ = 0.0;
        }
        return level_;
    }
    // True once the release has reached silence.
    bool done(int age) const { return age >= gate_ && level_ <= 0.0; }

private:
    int attack_, gate_;
    double releaseStep_;
    double level_ = 0.0;
};

class Bass : public Base {
public:
    Bass(const NoteEvent& n, uint32_t seed, bool acid)
        : Base(n, seed), env_(seconds(n.attack), gate_, acid ? 0.02 : 0.03), acid_(acid) {
        hz_ = midiToHz(n.pitch);
        filterCoef_ = decayCoef(acid ? 0.09 : 0.14);
        osc_.phase = 0.0;
    }
    bool render(double* l, double* r, int n) override {
        const double inc = hz_ / kRate;
        for (int i = 0; i < n; ++i, ++age_) {
            if (age_ % kControl == 0) {
                const double tone = note_.tone;
                const double hz = acid_ ? 140.0 + (500.0 + 2600.0 * tone) * filterEnv_ * note_.velocity
                                        : 80.0 + (150.0 + 1400.0 * tone) * (filterEnv_ * 0.8 + 0.2 * tone);
                lp_.setup(hz, acid_ ? 4.5 : 1.1);
            }
            filterEnv_ *= filterCoef_;
            const double saw = osc_.saw(inc);
            subPhase_ += inc;
            if (subPhase_ >= 1.0) subPhase_ -= 1.0;
            const double sub = sinFast(subPhase_);
            double v = lp_.process(saw).low;
            v = acid_ ? softClip(v * 2.2) * 0.55 : softClip((v * 0.8 + sub * 0.75) * 1.1) * 0.7;
            v *= env_.next(age_) * note_.velocity;
            l[i] = v;
            r[i] = v;
        }
        return !env_.done(age_);
    }

private:
    Envelope env_;
    bool acid_;
    BlepOsc osc_;
    Svf lp_;
    double hz_, filterEnv_ = 1.0, filterCoef_, subPhase_ = 0.0;
};

// Pads and stabs: a chord of up to four notes, three detuned saws each
// (left, centre, right), the notes spread across the stereo field, all
// through one filter per side.
class Pad : public Base {
public:
    Pad(const NoteEvent& n, uint32_t seed, bool stab)
        : Base(n, seed),
          env_(stab ? 40 : seconds(n.attack), gate_, stab ? 0.12 : 0.22),
          stab_(stab),
          notes_(std::clamp(n.chordNotes, 1, 4)) {
        const double spread = stab ? 0.16 : 0.1;  // semitones each side
        for (int k = 0; k < notes_; ++k) {
            const double hz = midiToHz(k == 0 ? n.pitch : n.chordPitch[k - 1]);
            inc_[k][0] = hz * exp2Det(-spread / 12.0) / kRate;
            inc_[k][1] = hz / kRate;
            inc_[k][2] = hz * exp2Det(spread * 0.93 / 12.0) / kRate;
            // Free-running oscillators: start each at its own phase.
            for (auto& o : osc_[k]) o.phase = (noise_.next() + 1.0) * 0.5;
            // Lowest note left of centre, highest right; the note's own pan shifts all.
            const double pan = notes_ > 1 ? -0.6 + 1.2 * k / (notes_ - 1) : 0.0;
            panGains(std::clamp(pan + n.pan, -1.0, 1.0), gainL_[k], gainR_[k]);
        }
        lfoPhase_ = (noise_.next() + 1.0) * 0.5;
        filterCoef_ = decayCoef(0.16);
        amp_ = n.velocity * (stab ? 0.2 : 0.15);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            if (age_ % kControl == 0) {
                double hz;
                if (stab_) {
                    hz = 700.0 + 6500.0 * note_.tone * filterEnv_;
                } else {
                    // A slow sweep, 0.12 Hz, around a cutoff set by the tone.
                    lfoPhase_ += 0.12 * kControl / kRate;
                    hz = (250.0 + 3200.0 * note_.tone * note_.tone) * (1.0 + 0.3 * sinTurns(lfoPhase_));
                }
                lp_[0].setup(hz, 0.8);
                lp_[1].tuneLike(lp_[0]);
            }
            if (stab_) filterEnv_ *= filterCoef_;
            double left = 0.0, right = 0.0;
            for (int k = 0; k < notes_; ++k) {
                const double a = osc_[k][0].saw(inc_[k][0]);
                const double b = osc_[k][1].saw(inc_[k][1]);
                const double c = osc_[k][2].saw(inc_[k][2]);
                left += (a + 0.7 * b) * gainL_[k];
                right += (c + 0.7 * b) * gainR_[k];
            }
            const double e = env_.next(age_) * amp_;
            l[i] = lp_[0].process(left).low * e;
            r[i] = lp_[1].process(right).low * e;
        }
        return !env_.done(age_);
    }

private:
    Envelope env_;
    bool stab_;
    int notes_;
    BlepOsc osc_[4][3];
    double inc_[4][3];
    double gainL_[4], gainR_[4];
    Svf lp_[2];
    double lfoPhase_, filterEnv_ = 1.0, filterCoef_, amp_;
};

class Lead : public Base {
public:
    Lead(const NoteEvent& n, uint32_t seed) : Base(n, seed), env_(seconds(n.attack), gate_, 0.07) {
        hz_ = midiToHz(n.pitch);
        filterCoef_ = decayCoef(0.35);
        osc_[1].phase = 0.37;
        osc_[2].phase = 0.71;
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            if (age_ % kControl == 0) {
                // Vibrato fades in after 150 ms: 5.5 Hz, up to 0.12 semitone.
                const double t = static_cast<double>(age_) / kRate;
                const double depth = std::clamp((t - 0.15) * 2.0, 0.0, 1.0) * 0.12;
                const double bend = exp2Det(depth * sinTurns(5.5 * t) / 12.0);
                inc_ = hz_ * bend / kRate;
                lp_.setup(900.0 + 5200.0 * note_.tone * (0.45 + 0.55 * filterEnv_), 1.0);
            }
            filterEnv_ *= filterCoef_;
            const double a = osc_[0].saw(inc_ * 1.0035);
            const double b = osc_[1].saw(inc_ * 0.9965);
            const double p = osc_[2].pulse(inc_ * 0.5, 0.3);
            const double e = env_.next(age_) * note_.velocity * 0.24;
            // The two saws go to opposite sides, the sub-octave pulse down the middle.
            const double mid = p * 0.45;
            const double left = lp_.process(a + b + mid).low;
            l[i] = (left * 0.8 + (a - b) * 0.12) * e;
            r[i] = (left * 0.8 - (a - b) * 0.12) * e;
        }
        return !env_.done(age_);
    }

private:
    Envelope env_;
    BlepOsc osc_[3];
    Svf lp_;
    double hz_, inc_ = 0.0, filterEnv_ = 1.0, filterCoef_;
};

class Pluck : public Base {
public:
    Pluck(const NoteEvent& n, uint32_t seed) : Base(n, seed), env_(20, gate_, 0.05) {
        inc_ = midiToHz(n.pitch) / kRate;
        ampCoef_ = decayCoef(0.22);
        filterCoef_ = decayCoef(0.07);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            if (age_ % kControl == 0) lp_.setup(250.0 + (1200.0 + 5000.0 * note_.tone) * filterEnv_, 1.3);
            filterEnv_ *= filterCoef_;
            const double x = osc_[0].saw(inc_) + 0.5 * osc_[1].pulse(inc_, 0.5);
            const double v = lp_.process(x).low * env_.next(age_) * amp_ * note_.velocity * 0.3;
            amp_ *= ampCoef_;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return !env_.done(age_);
    }

private:
    Envelope env_;
    BlepOsc osc_[2];
    Svf lp_;
    double inc_, amp_ = 1.0, ampCoef_, filterEnv_ = 1.0, filterCoef_;
};

// Two-operator FM: a sine modulating a sine at 3.5 times its frequency,
// the modulation index decaying faster than the tone.
class Bell : public Base {
public:
    Bell(const NoteEvent& n, uint32_t seed) : Base(n, seed), env_(30, gate_, 0.25) {
        inc_ = midiToHz(n.pitch) / kRate;
        ampCoef_ = decayCoef(1.0);
        indexCoef_ = decayCoef(0.35);
    }
    bool render(double* l, double* r, int n) override {
        for (int i = 0; i < n; ++i, ++age_) {
            carrier_ += inc_;
            modulator_ += inc_ * 3.5;
            if (carrier_ >= 1.0) carrier_ -= 1.0;
            if (modulator_ >= 1.0) modulator_ -= 1.0;
            // Index in turns: 0.45 turns of phase deviation at the strike.
            const double v = sinFast(carrier_ + index_ * 0.45 * sinFast(modulator_)) * env_.next(age_) * amp_ *
                             note_.velocity * 0.3;
            index_ *= indexCoef_;
            amp_ *= ampCoef_;
            l[i] = v * panL_;
            r[i] = v * panR_;
        }
        return !env_.done(age_);
    }

private:
    Envelope env_;
    double inc_, carrier_ = 0.0, modulator_ = 0.0, index_ = 1.0, indexCoef_, amp_ = 1.0, ampCoef_;
};

}  // namespace

std::unique_ptr<Voice> makeVoice(const NoteEvent& n, uint32_t seed) {
    switch (n.instrument) {
    case Instrument::Kick: return std::make_unique<Kick>(n, seed);
    case Instrument::Snare: return std::make_unique<Snare>(n, seed);
    case Instrument::Clap: return std::make_unique<Clap>(n, seed);
    case Instrument::ClosedHat: return std::make_unique<Cymbal>(n, seed, 0.03, 7000.0, 0.5, 0.5, 0.2);
    case Instrument::OpenHat: return std::make_unique<Cymbal>(n, seed, 0.12, 6500.0, 0.5, 0.45, 0.6);
    case Instrument::Ride: return std::make_unique<Cymbal>(n, seed, 0.2, 4500.0, 0.8, 0.35, 0.7);
    case Instrument::Shaker: return std::make_unique<Cymbal>(n, seed, 0.03, 5000.0, 0.0, 0.4, 0.25);
    case Instrument::Crash: return std::make_unique<Crash>(n, seed);
    case Instrument::Tom: return std::make_unique<Tom>(n, seed);
    case Instrument::Impact: return std::make_unique<Impact>(n, seed);
    case Instrument::Riser: return std::make_unique<Riser>(n, seed);
    case Instrument::Bass: return std::make_unique<Bass>(n, seed, false);
    case Instrument::AcidBass: return std::make_unique<Bass>(n, seed, true);
    case Instrument::Pad: return std::make_unique<Pad>(n, seed, false);
    case Instrument::Stab: return std::make_unique<Pad>(n, seed, true);
    case Instrument::Lead: return std::make_unique<Lead>(n, seed);
    case Instrument::Pluck: return std::make_unique<Pluck>(n, seed);
    case Instrument::Bell: return std::make_unique<Bell>(n, seed);
    }
    return std::make_unique<Kick>(n, seed);
}

Routing routingOf(Instrument instrument) {
    switch (instrument) {
    case Instrument::Kick: return {1.0, 0.0, 0.0, 0.0};
    case Instrument::Snare: return {1.0, 0.0, 0.18, 0.0};
    case Instrument::Clap: return {1.0, 0.0, 0.25, 0.0};
    case Instrument::ClosedHat: return {1.0, 0.0, 0.05, 0.0};
    case Instrument::OpenHat: return {1.0, 0.0, 0.08, 0.0};
    case Instrument::Ride: return {1.0, 0.0, 0.1, 0.0};
    case Instrument::Shaker: return {1.0, 0.0, 0.08, 0.0};
    case Instrument::Crash: return {1.0, 0.0, 0.15, 0.0};
    case Instrument::Tom: return {1.0, 0.0, 0.25, 0.0};
    case Instrument::Impact: return {1.0, 0.0, 0.35, 0.0};
    case Instrument::Riser: return {1.0, 0.0, 0.3, 0.0};
    case Instrument::Bass: return {0.0, 1.0, 0.0, 0.0};
    case Instrument::AcidBass: return {0.0, 1.0, 0.05, 0.12};
    case Instrument::Pad: return {0.0, 1.0, 0.35, 0.0};
    case Instrument::Stab: return {1.0, 0.0, 0.3, 0.15};
    case Instrument::Lead: return {1.0, 0.0, 0.22, 0.28};
    case Instrument::Pluck: return {0.0, 1.0, 0.18, 0.3};
    case Instrument::Bell: return {1.0, 0.0, 0.3, 0.3};
    }
    return {1.0, 0.0, 0.0, 0.0};
}

}  // namespace marrow::synth
