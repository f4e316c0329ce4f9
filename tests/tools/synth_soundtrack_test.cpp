// Tests of the rendered soundtrack: the contract the presentation relies on
// (length, determinism, headroom, loudness, a beat on every whole second from
// 79 s, audible changes at the timeline's thresholds, silence at the end) and
// the round trip through the MP3 encoder and the program's decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/numeric.h"
#include "mp3_writer.h"
#include "platform/sound_system.h"
#include "synth.h"
#include "synth_dsp.h"
#include "synth_score.h"

namespace {

constexpr int kRate = 44100;
// -1 dBFS in 16-bit samples.
const int kPeakLimit = marrow::truncToInt32(32767.0 * std::pow(10.0, -1.0 / 20.0));

uint64_t fnv1a(const std::vector<int16_t>& pcm) {
    uint64_t h = 1469598103934665603ull;
    for (int16_t s : pcm) {
        h ^= static_cast<uint16_t>(s);
        h *= 1099511628211ull;
    }
    return h;
}

int peakOf(const int16_t* pcm, size_t count) {
    int peak = 0;
    for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
    return peak;
}

// Mean square of the mono mix in consecutive 10 ms windows.
std::vector<double> windowEnergy(const int16_t* pcm, size_t frames) {
    const size_t window = kRate / 100;
    std::vector<double> e(frames / window, 0.0);
    for (size_t w = 0; w < e.size(); ++w) {
        double sum = 0.0;
        for (size_t i = w * window; i < (w + 1) * window; ++i) {
            const double m = (pcm[i * 2] + pcm[i * 2 + 1]) / 65536.0;
            sum += m * m;
        }
        e[w] = sum / static_cast<double>(window) + 1e-12;
    }
    return e;
}

// The strongest rise of energy (dB) across 20 ms anywhere within 30 ms of t:
// an onset there if it is large.
double onsetRise(const std::vector<double>& e, double t) {
    double best = -1e9;
    const int centre = marrow::truncToInt32(std::floor(t * 100.0 + 0.5));
    for (int w = centre - 3; w <= centre + 3; ++w) {
        if (w < 1 || w + 1 >= static_cast<int>(e.size())) continue;
        best = std::max(best, 10.0 * std::log10(e[w + 1] / e[w - 1]));
    }
    return best;
}

// An onset: the energy of the mix at least 2.8 times (4.5 dB) what it was
// 20 ms earlier.
constexpr double kOnsetDb = 4.5;

// Mean level (dB) of the windows from a to b seconds.
double level(const std::vector<double>& e, double a, double b) {
    double sum = 0.0;
    int n = 0;
    for (int w = marrow::truncToInt32(a * 100); w < marrow::truncToInt32(b * 100); ++w, ++n) sum += e[w];
    return 10.0 * std::log10(sum / n);
}

class Soundtrack : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pcm_ = new std::vector<int16_t>(marrow::synthesiseSoundtrack(261.5)); }
    static void TearDownTestSuite() {
        delete pcm_;
        pcm_ = nullptr;
    }
    static std::vector<int16_t>* pcm_;
};

std::vector<int16_t>* Soundtrack::pcm_ = nullptr;

}  // namespace

TEST_F(Soundtrack, LengthDeterminismHeadroomAndLoudness) {
    const std::vector<int16_t>& pcm = *pcm_;
    ASSERT_EQ(pcm.size(), size_t{11532150} * 2);  // 261.5 * 44100 frames
    // A second rendering gives the same samples.
    EXPECT_EQ(fnv1a(marrow::synthesiseSoundtrack(261.5)), fnv1a(pcm));
    EXPECT_LE(peakOf(pcm.data(), pcm.size()), kPeakLimit);
    // And it uses its headroom: the hits reach the limiter's ceiling (-2.5 dBFS).
    EXPECT_GE(peakOf(pcm.data(), pcm.size()), kPeakLimit * 7 / 10);

    std::vector<float> f(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) f[i] = pcm[i] / 32768.0f;
    const double lufs = -0.691 + 10.0 * std::log10(marrow::synth::gatedKWeightedPower(f.data(), pcm.size() / 2));
    EXPECT_NEAR(lufs, -14.0, 1.0);
}

TEST_F(Soundtrack, BeatOnEveryWholeSecondFrom79) {
    const std::vector<double> e = windowEnergy(pcm_->data(), pcm_->size() / 2);
    for (int second = 79; second <= 257; ++second)
        EXPECT_GE(onsetRise(e, second), kOnsetDb) << "no clear onset at " << second << " s";
}

TEST_F(Soundtrack, EnergyChangesAtTheThresholds) {
    const std::vector<double> e = windowEnergy(pcm_->data(), pcm_->size() / 2);
    // Every change of picture is a hit: a sharp rise in energy.
    for (double t : marrow::synth::timelineThresholds()) {
        if (t >= 260.0) continue;
        EXPECT_GE(onsetRise(e, t), kOnsetDb) << "no hit at " << t << " s";
    }
    // And the sections differ in level where the music changes character.
    EXPECT_GT(level(e, 15.0, 21.0), level(e, 0.0, 6.5) + 6.0);    // quiet intro, then drums
    EXPECT_GT(level(e, 15.0, 21.0), level(e, 22.0, 24.0) + 1.5);  // the break for the still
    EXPECT_GT(level(e, 43.5, 58.0), level(e, 59.0, 64.0) + 2.0);  // the breakdown
    EXPECT_GT(level(e, 80.0, 88.0), level(e, 67.0, 77.0) + 0.5);  // the steady beat after the credits
    // The outro: loud at 258, silent from 260 to the end.
    EXPECT_GT(level(e, 257.0, 258.0), -30.0);
    for (size_t i = size_t{260} * kRate * 2; i < pcm_->size(); ++i)
        ASSERT_EQ((*pcm_)[i], 0) << "sound after 260 s at sample " << i;
}

TEST(ShortSoundtrack, EncodesAndDecodesToItsLengthAndFadesOut) {
    const double seconds = 3.0;
    const std::vector<int16_t> pcm = marrow::synthesiseSoundtrack(seconds);
    ASSERT_EQ(pcm.size(), size_t{3} * kRate * 2);
    EXPECT_EQ(fnv1a(marrow::synthesiseSoundtrack(seconds)), fnv1a(pcm));
    // Music in the middle, silence at the very end.
    const std::vector<double> e = windowEnergy(pcm.data(), pcm.size() / 2);
    EXPECT_GT(level(e, 1.0, 2.0), -30.0);
    EXPECT_EQ(pcm[pcm.size() - 1], 0);
    EXPECT_EQ(pcm[pcm.size() - 2], 0);
    EXPECT_LT(level(e, 2.9, 2.99), level(e, 1.0, 2.0) - 30.0);

    const std::string path =
        (std::filesystem::temp_directory_path() / ("marrow-synth-" + std::to_string(getpid()) + ".mp3")).string();
    std::string error;
    ASSERT_TRUE(marrow::writeMp3(path, pcm, kRate, 192, error)) << error;
    std::string decoded;
    long rate = 0;
    const bool ok = marrow::decodeMp3File(path, decoded, rate, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(rate, kRate);
    const double decodedSeconds = static_cast<double>(decoded.size()) / 4.0 / kRate;
    EXPECT_NEAR(decodedSeconds, seconds, 0.1);
    std::vector<int16_t> samples(decoded.size() / 2);
    std::memcpy(samples.data(), decoded.data(), samples.size() * 2);
    EXPECT_LE(peakOf(samples.data(), samples.size()), kPeakLimit);
}

TEST(ShortSoundtrack, RefusesLengthsItCannotRender) {
    EXPECT_TRUE(marrow::synthesiseSoundtrack(0.0).empty());
    EXPECT_TRUE(marrow::synthesiseSoundtrack(-5.0).empty());
    EXPECT_TRUE(marrow::synthesiseSoundtrack(std::nan("")).empty());
    EXPECT_TRUE(marrow::synthesiseSoundtrack(1e9).empty());
    // The shortest lengths still give exactly their frames, ending silent.
    const std::vector<int16_t> tiny = marrow::synthesiseSoundtrack(0.05);
    ASSERT_EQ(tiny.size(), size_t{2205} * 2);  // 0.05 * 44100 frames
    EXPECT_EQ(tiny.back(), 0);
}
