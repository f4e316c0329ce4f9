// Tests of the synthesiser's building blocks against values that follow from
// their definitions: the portable math against libm, the band-limited saw
// against its Fourier series, the filter's gain at DC and at its cutoff, the
// loudness measure against the reference tone, and the limiter's ceiling.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/numeric.h"
#include "synth_dsp.h"

using namespace marrow::synth;

TEST(SynthMath, SineAndExponentialMatchLibm) {
    for (int i = -4000; i <= 4000; ++i) {
        const double turns = i * 0.000731 + 1e-7 * i * i;
        ASSERT_NEAR(sinTurns(turns), std::sin(2.0 * M_PI * turns), 2e-9) << turns;
    }
    for (int i = -3000; i <= 3000; ++i) {
        const double x = i * 0.0137;
        ASSERT_NEAR(exp2Det(x) / std::exp2(x), 1.0, 1e-12) << x;
    }
    // Whole octaves are exact: the integer part goes through ldexp.
    EXPECT_EQ(midiToHz(69), 440.0);
    EXPECT_EQ(midiToHz(81), 880.0);
    EXPECT_EQ(midiToHz(57), 220.0);
    EXPECT_NEAR(midiToHz(60), 261.6255653005986, 1e-9);
    EXPECT_NEAR(dbToGain(-6.0), 0.5011872336272722, 1e-12);
    // The soft clipper is odd, bounded and transparent near zero.
    EXPECT_EQ(softClip(-0.7), -softClip(0.7));
    EXPECT_LT(softClip(1e6), 1.0);
    EXPECT_NEAR(softClip(1e-4), 1e-4, 1e-12);
}

TEST(SynthOscillator, BlepSawIsCloserToTheBandLimitedSawThanANaiveOne) {
    // A rising ramp from -1 to 1 is -2/pi * sum sin(2 pi k p) / k; the
    // band-limited one keeps the harmonics below Nyquist.
    const double hz = 3150.0;  // high enough that a naive ramp aliases badly
    const double inc = hz / kSampleRate;
    const int harmonics = kSampleRate / 2 / 3150;  // those below Nyquist
    BlepOsc osc;
    double naivePhase = 0.0, blepError = 0.0, naiveError = 0.0;
    for (int i = 0; i < 4410; ++i) {
        const double p = std::fmod(inc * i, 1.0);
        double ideal = 0.0;
        for (int k = 1; k <= harmonics; ++k) ideal -= 2.0 / M_PI * std::sin(2.0 * M_PI * k * p) / k;
        const double blep = osc.saw(inc);
        const double naive = 2.0 * naivePhase - 1.0;
        naivePhase += inc;
        if (naivePhase >= 1.0) naivePhase -= 1.0;
        blepError += (blep - ideal) * (blep - ideal);
        naiveError += (naive - ideal) * (naive - ideal);
    }
    EXPECT_LT(blepError, naiveError * 0.4);

    // The pulse has no DC whatever its width.
    for (double width : {0.5, 0.3, 0.1}) {
        BlepOsc pulse;
        double sum = 0.0;
        const int period = 441;  // 100 Hz, whole periods
        for (int i = 0; i < period * 20; ++i) sum += pulse.pulse(1.0 / period, width);
        EXPECT_NEAR(sum / (period * 20), 0.0, 0.01) << width;
    }
}

TEST(SynthFilter, LowPassPassesDcAndHasGainQAtItsCutoff) {
    Svf lp;
    lp.setup(1000.0, 0.7071);
    double y = 0.0;
    for (int i = 0; i < 20000; ++i) y = lp.process(1.0).low;
    EXPECT_NEAR(y, 1.0, 1e-9);

    // The state-variable low-pass has |H| = q exactly at the cutoff.
    for (double q : {0.7071, 2.0}) {
        Svf f;
        f.setup(1000.0, q);
        double peak = 0.0;
        for (int i = 0; i < 44100; ++i) {
            const double out = f.process(sinTurns(1000.0 * i / kSampleRate)).low;
            if (i > 22050) peak = std::max(peak, std::fabs(out));
        }
        EXPECT_NEAR(peak, q, q * 0.01) << q;
    }
    // And its high-pass output blocks DC.
    Svf hp;
    hp.setup(200.0, 0.7071);
    for (int i = 0; i < 20000; ++i) y = hp.process(1.0).high;
    EXPECT_NEAR(y, 0.0, 1e-6);
}

namespace {

double lufs(const std::vector<float>& stereo) {
    return -0.691 + 10.0 * std::log10(gatedKWeightedPower(stereo.data(), stereo.size() / 2));
}

void appendTone(std::vector<float>& stereo, double seconds, double amplitude) {
    const int n = marrow::truncToInt32(seconds * kSampleRate);
    for (int i = 0; i < n; ++i) {
        const float v = static_cast<float>(amplitude * std::sin(2.0 * M_PI * 997.0 * i / kSampleRate));
        stereo.push_back(v);
        stereo.push_back(v);
    }
}

}  // namespace

TEST(SynthLoudness, ReferenceToneAndGates) {
    // A full-scale 997 Hz sine in both channels reads 0 LUFS by definition,
    // so one at -20 dBFS reads -20.
    std::vector<float> tone;
    appendTone(tone, 5.0, 0.1);
    EXPECT_NEAR(lufs(tone), -20.0, 0.05);

    // Silence is below the absolute gate and does not dilute the reading;
    // only the three 400 ms blocks that straddle the end of the tone count,
    // holding 3/4, 1/2 and 1/4 of a full block: 48.5 blocks' worth in 50.
    const double straddled = -20.0 + 10.0 * std::log10(48.5 / 50.0);
    std::vector<float> withSilence = tone;
    withSilence.resize(withSilence.size() + 10 * kSampleRate * 2, 0.0f);
    EXPECT_NEAR(lufs(withSilence), straddled, 0.02);

    // A passage 25 dB quieter falls under the relative gate the same way.
    std::vector<float> withQuiet = tone;
    appendTone(withQuiet, 5.0, 0.1 * 0.056);
    EXPECT_NEAR(lufs(withQuiet), straddled, 0.02);

    // Nothing to measure: too short, or all silent.
    std::vector<float> shortTone;
    appendTone(shortTone, 0.3, 0.5);
    EXPECT_EQ(gatedKWeightedPower(shortTone.data(), shortTone.size() / 2), 0.0);
    std::vector<float> silent(kSampleRate * 4, 0.0f);
    EXPECT_EQ(gatedKWeightedPower(silent.data(), silent.size() / 2), 0.0);
}

TEST(SynthLimiter, HoldsTheCeilingAndLeavesQuietPassagesAlone) {
    std::vector<float> s;
    Noise noise(7);
    const int n = kSampleRate * 2;
    for (int i = 0; i < n; ++i) {
        // Quiet noise with loud clicks every 10000 samples.
        const double v = noise.next() * 0.2 + ((i % 10000) == 5000 ? 3.0 : 0.0);
        s.push_back(static_cast<float>(v));
        s.push_back(static_cast<float>(-v));
    }
    std::vector<float> original = s, scratch;
    const double ceiling = 0.8;
    limitPeaks(s.data(), n, ceiling, 88, 500.0, scratch);
    float peak = 0.0f;
    for (float v : s) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, static_cast<float>(ceiling));
    // The click is pulled down to the ceiling, not below.
    EXPECT_NEAR(std::fabs(s[5000 * 2]), ceiling, 0.01);
    // Twenty release time constants after a click, just before the next
    // one's ramp, the gain is back to 1 within float precision.
    for (int i = 14800; i < 14900; ++i) ASSERT_NEAR(s[i * 2], original[i * 2], 1e-6) << i;
    // Before the first click's look-ahead nothing changes at all.
    for (int i = 0; i < 4900; ++i) ASSERT_EQ(s[i * 2], original[i * 2]) << i;
}

TEST(SynthEffects, ReverbAndDelayDecayAndSpreadTheImage) {
    Reverb reverb(0.8, 0.35);
    const int n = kSampleRate * 3;
    std::vector<double> inL(n, 0.0), inR(n, 0.0), outL(n, 0.0), outR(n, 0.0);
    inL[0] = inR[0] = 1.0;
    reverb.process(inL.data(), inR.data(), outL.data(), outR.data(), n);
    auto energy = [&](const std::vector<double>& v, int from, int to) {
        double e = 0.0;
        for (int i = from; i < to; ++i) e += v[i] * v[i];
        return e;
    };
    const double early = energy(outL, 0, kSampleRate / 2);
    const double late = energy(outL, kSampleRate * 5 / 2, n);
    EXPECT_GT(early, 0.0);
    EXPECT_LT(late, early * 0.01);
    // The two sides differ (a wide image), though fed the same.
    double diff = 0.0;
    for (int i = 0; i < kSampleRate / 2; ++i) diff += std::fabs(outL[i] - outR[i]);
    EXPECT_GT(diff, 0.01);

    // The echo: an impulse on the left comes back after the delay on the
    // left, then on the right, each repeat quieter.
    PingPongDelay delay(1000, 0.5, 20000.0);
    std::vector<double> dl(5000, 0.0), dr(5000, 0.0), el(5000, 0.0), er(5000, 0.0);
    dl[0] = 1.0;
    delay.process(dl.data(), dr.data(), el.data(), er.data(), 5000);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(el[i], 0.0);
    double firstLeft = 0.0, firstRight = 0.0, secondLeft = 0.0;
    for (int i = 1000; i < 2000; ++i) firstLeft += std::fabs(el[i]);
    for (int i = 2000; i < 3000; ++i) firstRight += std::fabs(er[i]);
    for (int i = 3000; i < 4000; ++i) secondLeft += std::fabs(el[i]);
    EXPECT_GT(firstLeft, 0.4);
    EXPECT_GT(firstRight, 0.1);
    EXPECT_LT(firstRight, firstLeft);
    EXPECT_LT(secondLeft, firstRight);
}
