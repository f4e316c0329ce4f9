// synth_score.h: the composition of the soundtrack as a list of notes.
//
// The piece follows the presentation's timeline: every change of picture is
// a bar line, a hit, a drop or a break, and from 79 s to 258 s the tempo is
// 120 beats a minute with beat 0 on 79.0, so every whole second is a beat.
// Before 79 s each stretch between two changes has its own tempo (114 to
// 135 beats a minute; the one-beat gasp of the drop, 42.4 to 43.0, is 100),
// chosen so the stretch holds a whole number of beats and every change falls
// on a bar line; the tempo map is the list of those stretches.
//
// buildScore() is called once per rendering; it is pure (same notes for the
// same length) and cheap (a few thousand notes).
#pragma once

#include <vector>

namespace marrow::synth {

enum class Instrument {
    Kick,       // pitch-swept sine with a click; `duck` is the sidechain depth it triggers
    Snare,      // tone plus high-passed noise
    Clap,       // three noise bursts and a tail
    ClosedHat,  // short metallic noise
    OpenHat,    // longer metallic noise
    Ride,       // bell-like metallic ping
    Crash,      // long bright stereo noise
    Shaker,     // soft band-passed noise
    Tom,        // pitched sine drum for fills
    Impact,     // deep boom and noise burst on section changes
    Riser,      // noise sweep rising over its duration into the next event
    Bass,       // saw and sub through a resonant low-pass with envelope
    AcidBass,   // resonant squelchy saw for the late sections
    Pad,        // three detuned saws per note, slow attack, low-passed
    Stab,       // bright short pad chord note for hits
    Lead,       // detuned saws with vibrato
    Pluck,      // short filtered saw/pulse for arpeggios
    Bell,       // two-operator FM bell
};

// One note. Times in seconds from the start of the piece; pitch as a MIDI
// note number (drums use it as a tuning offset); velocity 0..1; pan -1 (left)
// .. 1 (right); tone 0..1 is the instrument's brightness or variant.
struct NoteEvent {
    double time;
    double duration;
    Instrument instrument;
    double pitch;
    double velocity;
    double pan;
    double tone;
    double duck;    // kicks: sidechain depth 0..1 they pull the pads and bass down by
    double attack;  // pads, bass, lead: attack time in seconds
    // Pads and stabs sound a whole chord through one filter: `pitch` and
    // then these, spread from left (first) to right (last).
    int chordNotes;         // 1 .. 4, including `pitch`
    double chordPitch[3];   // the notes after `pitch`
};

struct Score {
    std::vector<NoteEvent> notes;  // sorted by time
    // The master fades out from fadeStart to fadeEnd (seconds), silent after.
    double fadeStart;
    double fadeEnd;
};

// The section boundaries of the timeline the music marks (seconds).
const std::vector<double>& timelineThresholds();

// Composes a piece `seconds` long: the full timeline when seconds reaches the
// timeline's end (260 s); a timeline cut short with a two-second fade when
// it is shorter but at least 20 s; a compact piece (swell, a few bars of
// groove, final hit and fade) below that.
Score buildScore(double seconds);

}  // namespace marrow::synth
