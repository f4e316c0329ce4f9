// Tests of the composition: the timeline's changes are marked, the steady
// beat is where the flashes are, and short pieces fit their length.
#include <gtest/gtest.h>

#include <cmath>

#include "common/numeric.h"
#include "synth_score.h"

using namespace marrow::synth;

namespace {

bool hasNoteAt(const Score& s, Instrument instrument, double t) {
    for (const NoteEvent& e : s.notes)
        if (e.instrument == instrument && std::fabs(e.time - t) < 1e-6) return true;
    return false;
}

}  // namespace

TEST(SynthScore, NotesAreOrderedAndWellFormed) {
    for (double seconds : {261.5, 100.0, 20.0, 8.0, 3.0, 0.6}) {
        const Score s = buildScore(seconds);
        ASSERT_FALSE(s.notes.empty()) << seconds;
        EXPECT_LE(s.fadeEnd, seconds);
        EXPECT_LT(s.fadeStart, s.fadeEnd);
        EXPECT_GE(s.fadeStart, 0.0);
        double last = 0.0;
        for (const NoteEvent& e : s.notes) {
            ASSERT_GE(e.time, last) << seconds;
            last = e.time;
            ASSERT_LT(e.time, s.fadeEnd) << seconds;
            ASSERT_GT(e.duration, 0.0) << seconds << " at " << e.time;
            ASSERT_GT(e.velocity, 0.0);
            ASSERT_LE(e.velocity, 1.0);
            ASSERT_LE(std::fabs(e.pan), 1.0);
        }
    }
}

TEST(SynthScore, EveryTimelineChangeIsMarkedAndEveryWholeSecondFrom79IsABeat) {
    const Score s = buildScore(261.5);
    EXPECT_DOUBLE_EQ(s.fadeStart, 258.0);
    EXPECT_DOUBLE_EQ(s.fadeEnd, 260.0);
    for (double t : timelineThresholds()) {
        if (t >= s.fadeEnd) continue;  // the end of the fade is the event at 260
        EXPECT_TRUE(hasNoteAt(s, Instrument::Crash, t) || hasNoteAt(s, Instrument::Impact, t)) << t;
    }
    for (int second = 79; second <= 258; ++second) EXPECT_TRUE(hasNoteAt(s, Instrument::Kick, second)) << second;
    // Half-second beats between them, too (120 bpm).
    for (int second = 79; second < 258; ++second)
        EXPECT_TRUE(hasNoteAt(s, Instrument::Kick, second + 0.5)) << second;
}

TEST(SynthScore, ShortPiecesSwellGrooveAndEndOnAHit) {
    const Score s = buildScore(8.0);
    EXPECT_DOUBLE_EQ(s.fadeEnd, 8.0);
    EXPECT_DOUBLE_EQ(s.fadeStart, 6.0);
    EXPECT_TRUE(hasNoteAt(s, Instrument::Riser, 0.0));
    EXPECT_TRUE(hasNoteAt(s, Instrument::Crash, 2.0));  // the groove starts
    EXPECT_TRUE(hasNoteAt(s, Instrument::Crash, 6.0));  // the final hit
    int kicks = 0, leads = 0;
    for (const NoteEvent& e : s.notes) {
        kicks += e.instrument == Instrument::Kick;
        leads += e.instrument == Instrument::Lead;
    }
    EXPECT_GE(kicks, 8);
    EXPECT_GT(leads, 0);

    // A cut of the timeline fades over its last two seconds.
    const Score cut = buildScore(100.0);
    EXPECT_DOUBLE_EQ(cut.fadeStart, 98.0);
    EXPECT_DOUBLE_EQ(cut.fadeEnd, 100.0);
}

TEST(SynthScore, EveryPitchIsInTheKeyOfItsSection) {
    // D minor (D E F G A Bb C) plus the C# of the A7 chord; from 210 s the
    // piece is a whole tone up, in E minor with D#.
    auto inKey = [](double pitch, int transpose) {
        static const bool kDMinor[12] = {true,  true,  true, false, true, true,   // C C# D D# E F
                                         false, true,  false, true, true, false};  // F# G G# A Bb B
        const int note = marrow::truncToInt32(std::floor(pitch + 0.5));
        const int pc = ((note - transpose) % 12 + 12) % 12;
        return kDMinor[pc] && pitch == note;
    };
    const Score s = buildScore(261.5);
    int checked = 0;
    for (const NoteEvent& e : s.notes) {
        switch (e.instrument) {
        case Instrument::Bass:
        case Instrument::AcidBass:
        case Instrument::Pad:
        case Instrument::Stab:
        case Instrument::Lead:
        case Instrument::Pluck:
        case Instrument::Bell: {
            const int transpose = e.time >= 210.0 ? 2 : 0;
            ASSERT_TRUE(inKey(e.pitch, transpose)) << e.time << " s, pitch " << e.pitch;
            for (int i = 0; i + 1 < e.chordNotes; ++i)
                ASSERT_TRUE(inKey(e.chordPitch[i], transpose)) << e.time << " s, chord pitch " << e.chordPitch[i];
            ++checked;
            break;
        }
        default:
            break;
        }
    }
    EXPECT_GT(checked, 1000);
}
