// synth_score.cpp: the composition. D minor, built on the loop
// Dm9 - Bbmaj7 - F6/9 - Cadd9 with a Gm9 - Bbmaj7 - F - A7 turnaround for
// the breaks; the last two big sections move up a whole tone.
#include "synth_score.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>

#include "app/timeline.h"
#include "common/numeric.h"

namespace marrow::synth {

namespace {

// A chord: the bass root and four pad tones (MIDI), voiced around middle C so
// consecutive chords move by small steps.
struct Chord {
    int bass;
    int pad[4];
};

const Chord kDm{38, {53, 57, 60, 64}};  // D | F A C E     Dm9
const Chord kBb{34, {53, 57, 58, 62}};  // Bb | F A Bb D   Bbmaj7
const Chord kF{41, {55, 57, 60, 64}};   // F | G A C E     F6/9
const Chord kC{36, {52, 55, 60, 62}};   // C | E G C D     Cadd9
const Chord kGm{43, {50, 53, 57, 58}};  // G | D F A Bb    Gm9
const Chord kA{33, {52, 55, 57, 61}};   // A | E G A C#    A7

const Chord* const kLoop[4] = {&kDm, &kBb, &kF, &kC};
const Chord* const kTurn[4] = {&kGm, &kBb, &kF, &kA};
const Chord* const kCredits[4] = {&kF, &kC, &kDm, &kBb};

// The main hook, one string per bar of eighth notes over the loop: a note
// name starts a note, '-' holds it, '.' rests.
const char* const kHook[8] = {
    "A4 . D5 . E5 F5 - E5", "D5 - - - . . C5 D5", "C5 - A4 - . . G4 A4", "G4 - E4 - G4 - C5 -",
    "A4 . D5 . E5 F5 - G5", "F5 - - - D5 - F5 -", "A5 - G5 F5 E5 - C5 -", "E5 - D5 - C5 - D5 -",
};
// The answering bell figure, four bars over the loop.
const char* const kBellHook[4] = {
    "D6 D6 . A6 . G6 F6 .", "F6 . D6 . F6 G6 A6 .", "C7 . A6 . G6 F6 . E6", "G6 - - - E6 - - .",
};
// The credits theme, over F C Dm Bb.
const char* const kCreditsTheme[4] = {
    "A4 - - - C5 - - -", "G4 - - - E4 - G4 -", "F4 - - - A4 - D5 -", "D5 - - - C5 - Bb4 -",
};
// The break's melody over Gm Bb A.
const char* const kBreakTheme[3] = {"D5 - - - - - F5 -", "A5 - - - F5 - D5 -", "E5 - - - C#5 - - -"};

// A stretch of the tempo map: `beats` equal beats from start to end.
struct Seg {
    double start, end;
    int beats;
    double beat() const { return (end - start) / beats; }
    double at(double b) const { return start + b * beat(); }
};

// Parses one note name ("C#5", "Bb4", "A6") to a MIDI number; -1 if not one.
int parseNote(const std::string& token) {
    static const int kSemis[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (token.empty() || token[0] < 'A' || token[0] > 'G') return -1;
    int n = kSemis[token[0] - 'A'];
    size_t i = 1;
    if (i < token.size() && token[i] == '#') {
        ++n;
        ++i;
    } else if (i < token.size() && token[i] == 'b') {
        --n;
        ++i;
    }
    if (i >= token.size() || token[i] < '0' || token[i] > '9') return -1;
    return n + 12 * (token[i] - '0' + 1);
}

struct Kit {
    int kick = 0;  // 0 none, 1 every beat, 2 half time (beat 1 and the "and" of 3)
    double kickVel = 1.0;
    bool clap = false;   // beats 2 and 4 (beat 3 in half time)
    bool snare = false;  // layered under the clap
    int hats = 0;        // 0 none, 1 off-beat eighths, 2 sixteenths
    bool openHats = false;
    bool ride = false;
    bool shaker = false;
    double duck = 0.5;
};

struct Groove {
    const Chord* const* progression = kLoop;
    int progressionLength = 4;
    Kit kit;
    int bass = 0;  // 0 none, 1 held, 2 off-beat eighths, 3 rolling sixteenths, 4 driving eighths, 5 acid
    double bassVel = 0.8;
    double bassTone = 0.4;
    double padVel = 0.5;
    double padTone = 0.3;
    double padAttack = 0.2;
    int arp = 0;  // 0 none, 1 eighths, 2 sixteenths
    double arpVel = 0.4;
    double arpTone = 0.5;
    bool lead = false;
    int leadBarOffset = 0;  // hook bar played in the groove's first bar
    int leadOctave = 0;
    bool leadDouble = false;  // add the octave above
    double leadVel = 0.6;
    bool bells = false;
    double bellVel = 0.35;
    int transpose = 0;
};

class Arranger {
public:
    explicit Arranger(Score& score) : score_(score) {}

    void add(Instrument instrument, double time, double duration, double pitch, double velocity, double pan = 0.0,
             double tone = 0.5, double duck = 0.0, double attack = 0.005) {
        score_.notes.push_back({time, duration, instrument, pitch, velocity, pan, tone, duck, attack, 1, {0, 0, 0}});
    }

    // The four pad tones of a chord as one note (they share a filter).
    void chord(Instrument instrument, double time, double duration, const Chord& c, double offset, double velocity,
               double tone, double attack) {
        add(instrument, time, duration, c.pad[0] + offset, velocity, 0.0, tone, 0.0, attack);
        NoteEvent& e = score_.notes.back();
        e.chordNotes = 4;
        for (int i = 0; i < 3; ++i) e.chordPitch[i] = c.pad[i + 1] + offset;
    }

    // A marked section change: cymbal, boom and, if given, a chord stab.
    void hit(double t, double strength, const Chord* chord, int transpose) {
        add(Instrument::Crash, t, 2.5, 0, 0.55 + 0.4 * strength, 0, 0.5);
        add(Instrument::Impact, t, 1.6, 0, 0.35 + 0.6 * strength);
        if (chord) {
            this->chord(Instrument::Stab, t, 0.45, *chord, 12 + transpose, 0.35 + 0.3 * strength, 0.8, 0.001);
            add(Instrument::Bass, t, 0.45, chord->bass + transpose, 0.75, 0, 0.7, 0, 0.002);
        }
    }

    // A crescendo of filtered noise arriving at `end`.
    void swell(double start, double end, double velocity, double tone) {
        add(Instrument::Riser, start, end - start, 0, velocity, 0, tone);
    }

    // `count` snare hits evenly from start to end (exclusive), rising.
    void roll(double start, double end, int count, double from, double to) {
        for (int i = 0; i < count; ++i) {
            const double u = count > 1 ? static_cast<double>(i) / (count - 1) : 1.0;
            add(Instrument::Snare, start + (end - start) * i / count, 0.2, 0, from + (to - from) * u, 0.1 * ((i & 1) ? 1 : -1),
                0.3 + 0.5 * u);
        }
    }

    void pad(double t, double duration, const Chord& chord, double velocity, double tone, double attack,
             int transpose) {
        this->chord(Instrument::Pad, t, duration, chord, transpose, velocity, tone, attack);
    }

    // Plays a line of eighth-note tokens (see kHook) from `t`, each token
    // `step` seconds long, notes cut at `limit`.
    void melody(Instrument instrument, double t, double step, const char* line, double pitchOffset, double velocity,
                double pan, double tone, double limit) {
        std::string text(line);
        std::vector<std::string> tokens;
        size_t p = 0;
        while (p < text.size()) {
            while (p < text.size() && text[p] == ' ') ++p;
            size_t q = p;
            while (q < text.size() && text[q] != ' ') ++q;
            if (q > p) tokens.push_back(text.substr(p, q - p));
            p = q;
        }
        for (size_t i = 0; i < tokens.size(); ++i) {
            const int note = parseNote(tokens[i]);
            if (note < 0) continue;
            size_t len = 1;
            while (i + len < tokens.size() && tokens[i + len] == "-") ++len;
            const double start = t + step * static_cast<double>(i);
            if (start >= limit - 0.01) break;
            const double duration = std::min(step * static_cast<double>(len) * 0.92, limit - start);
            add(instrument, start, duration, note + pitchOffset, velocity, pan, tone, 0, 0.01);
        }
    }

    // Drums, bass, pads, arpeggio and melodies over beats [b0, b1) of a
    // stretch, bars counted from the stretch's beat 0.
    void groove(const Seg& seg, int b0, int b1, const Groove& g) {
        const double beat = seg.beat();
        const Kit& k = g.kit;
        for (int b = b0; b < b1; ++b) {
            const double t = seg.at(b);
            const int inBar = b % 4;
            if (k.kick == 1) add(Instrument::Kick, t, 0.45, 0, k.kickVel * (inBar == 0 ? 1.0 : 0.92), 0, 0.5, k.duck);
            if (k.kick == 2) {
                if (inBar == 0) add(Instrument::Kick, t, 0.45, 0, k.kickVel, 0, 0.5, k.duck);
                if (inBar == 2) add(Instrument::Kick, t + beat * 0.5, 0.45, 0, k.kickVel * 0.8, 0, 0.5, k.duck);
            }
            const bool backbeat = k.kick == 2 ? inBar == 2 : (inBar & 1) == 1;
            if (k.clap && backbeat) add(Instrument::Clap, t, 0.4, 0, 0.8, 0.05);
            if (k.snare && backbeat) add(Instrument::Snare, t, 0.3, 0, 0.6, -0.05, 0.5);
            if (k.hats == 1) add(Instrument::ClosedHat, t + beat * 0.5, 0.1, 0, 0.55, 0.25);
            if (k.hats == 2) {
                static const double kAccent[4] = {0.35, 0.22, 0.6, 0.25};
                for (int s = 0; s < 4; ++s)
                    add(Instrument::ClosedHat, t + beat * 0.25 * s, 0.08, 0, kAccent[s], 0.25 - 0.1 * (s & 1));
            }
            if (k.openHats) add(Instrument::OpenHat, t + beat * 0.5, 0.4, 0, 0.5, -0.2);
            if (k.ride) add(Instrument::Ride, t, 0.9, 0, 0.35, 0.35);
            if (k.shaker)
                for (int s = 0; s < 4; ++s)
                    add(Instrument::Shaker, t + beat * 0.25 * s, 0.1, 0, (s & 1) ? 0.5 : 0.3, -0.35);
        }

        // Harmony, one chord per bar; a partial last bar takes the next chord.
        const double end = seg.at(b1);
        for (int bar = b0 / 4; bar * 4 < b1; ++bar) {
            const Chord& c = *g.progression[bar % g.progressionLength];
            const int first = std::max(bar * 4, b0);
            const int last = std::min(bar * 4 + 4, b1);
            const double t0 = seg.at(first);
            const double t1 = seg.at(last);
            const int tr = g.transpose;
            if (g.padVel > 0) pad(t0, t1 - t0 + 0.05, c, g.padVel, g.padTone, g.padAttack, tr);
            for (int b = first; b < last; ++b) {
                const double t = seg.at(b);
                const double root = c.bass + tr;
                switch (g.bass) {
                case 1:
                    if (b == first) add(Instrument::Bass, t, t1 - t0, root, g.bassVel, 0, g.bassTone, 0, 0.02);
                    break;
                case 2:
                    add(Instrument::Bass, t + beat * 0.5, beat * 0.4, root, g.bassVel, 0, g.bassTone);
                    break;
                case 3:
                    for (int s = 1; s < 4; ++s)
                        add(Instrument::Bass, t + beat * 0.25 * s, beat * 0.2, root + (s == 3 ? 12 : 0),
                            g.bassVel * (s == 2 ? 1.0 : 0.8), 0, g.bassTone);
                    break;
                case 4:
                    add(Instrument::Bass, t, beat * 0.42, root, g.bassVel, 0, g.bassTone);
                    add(Instrument::Bass, t + beat * 0.5, beat * 0.42, root + 12, g.bassVel * 0.85, 0, g.bassTone);
                    break;
                case 5: {
                    // A fixed sixteenth figure of roots, fifths and octaves, so it
                    // fits every chord of the loop.
                    static const int kAcidStep[16] = {0, 12, 0, 7, 0, 12, 7, 0, 0, 12, 0, 7, 12, 19, 7, 12};
                    static const double kAcidVel[16] = {1, .6, .8, .7, 1, .6, .9, .5, 1, .6, .8, .7, .9, .7, .8, .6};
                    for (int s = 0; s < 4; ++s) {
                        const int idx = (b % 4) * 4 + s;
                        add(Instrument::AcidBass, t + beat * 0.25 * s, beat * 0.22, root + kAcidStep[idx],
                            g.bassVel * kAcidVel[idx], 0, g.bassTone);
                    }
                    break;
                }
                default:
                    break;
                }
                if (g.arp) {
                    // Chord tones up and down an octave and a half.
                    static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
                    const int steps = g.arp == 2 ? 4 : 2;
                    for (int s = 0; s < steps; ++s) {
                        const int idx = kOrder[((b % 4) * steps + s) % 8];
                        const int note = idx == 4 ? c.pad[0] + 12 : c.pad[idx];
                        add(Instrument::Pluck, t + beat * s / steps, beat / steps * 0.9, note + 12 + tr, g.arpVel,
                            ((s & 1) ? 0.4 : -0.4), g.arpTone);
                    }
                }
            }
            if (g.lead) {
                const char* line = kHook[(bar + g.leadBarOffset) % 8];
                // Bars shorter than four beats still start on the hook's phrase.
                melody(Instrument::Lead, seg.at(bar * 4), beat * 0.5, line, tr + 12 * g.leadOctave, g.leadVel, 0.0,
                       0.55, std::min(t1, end));
                if (g.leadDouble)
                    melody(Instrument::Lead, seg.at(bar * 4), beat * 0.5, line, tr + 12 * g.leadOctave + 12,
                           g.leadVel * 0.45, 0.0, 0.7, std::min(t1, end));
            }
            if (g.bells)
                melody(Instrument::Bell, seg.at(bar * 4), beat * 0.5, kBellHook[bar % 4], tr - 12, g.bellVel, 0.3, 0.5,
                       std::min(t1, end));
        }
    }

private:
    Score& score_;
};

// The piece for the full timeline (or a cut of it: notes past the cut are
// silenced by the fade).
void composeTimeline(Arranger& a) {
    // 0 - 7: pads alone, opening slowly, a few bell notes; a swell into 7.0.
    a.pad(0.0, 7.1, kDm, 0.5, 0.12, 3.0, 0);
    a.add(Instrument::Bass, 0.5, 6.5, kDm.bass, 0.35, 0, 0.1, 0, 2.5);
    {
        const char* line = "A5 - - D6 - - - . E6 - - - . . F6 - - - - - - - E6 - - - . . . .";
        a.melody(Instrument::Bell, 1.0, 0.25, line, 0, 0.22, 0.3, 0.3, 7.0);
    }
    a.swell(4.5, 7.0, 0.4, 0.2);

    // 7.0 - 14.0: three swells, each landing on a chord change, 131.9 bpm
    // (7.0 to 8.82 is four beats, 8.82 to 12.46 eight), then three beats at
    // 116.9 bpm on the dominant into the drums.
    const Seg s7{7.0, 8.82, 4};
    a.add(Instrument::Impact, 7.0, 1.5, 0, 0.4);
    a.add(Instrument::Crash, 7.0, 2.0, 0, 0.3, 0, 0.2);
    a.pad(7.0, s7.end - 7.0 + 0.1, kBb, 0.55, 0.2, 0.15, 0);
    a.add(Instrument::Bass, 7.0, 1.8, kBb.bass, 0.5, 0, 0.15, 0, 0.05);
    a.melody(Instrument::Bell, 7.0, s7.beat() * 0.5, "F6 - D6 - A5 - - -", 0, 0.22, -0.3, 0.3, 8.82);
    a.swell(7.6, 8.82, 0.45, 0.3);

    const Seg s8{8.82, 12.46, 8};
    a.add(Instrument::Impact, 8.82, 1.5, 0, 0.5);
    a.add(Instrument::Crash, 8.82, 2.0, 0, 0.35, 0, 0.3);
    Groove intro;
    static const Chord* const kFC[2] = {&kF, &kC};
    intro.progression = kFC;
    intro.progressionLength = 2;
    intro.padVel = 0.55;
    intro.padTone = 0.28;
    intro.padAttack = 0.1;
    intro.bass = 1;
    intro.bassVel = 0.55;
    intro.bassTone = 0.15;
    intro.arp = 1;
    intro.arpVel = 0.3;
    intro.arpTone = 0.3;
    a.groove(s8, 0, 8, intro);
    a.swell(10.9, 12.46, 0.55, 0.4);

    const Seg s12{12.46, 14.0, 3};
    a.add(Instrument::Impact, 12.46, 1.2, 0, 0.55);
    a.add(Instrument::Crash, 12.46, 2.0, 0, 0.4, 0, 0.4);
    a.pad(12.46, 1.6, kA, 0.6, 0.35, 0.05, 0);
    a.add(Instrument::Bass, 12.46, 1.5, kA.bass, 0.6, 0, 0.2, 0, 0.01);
    for (int b = 0; b < 3; ++b) a.add(Instrument::Tom, s12.at(b), 0.5, 12 - 5 * b, 0.5 + 0.15 * b, 0.3 - 0.3 * b);
    a.roll(s12.at(2), 14.0, 8, 0.2, 0.7);
    a.swell(12.46, 14.0, 0.7, 0.6);

    // 14.0 - 21.1: the drums enter with the tunnel, 135.2 bpm (16 beats);
    // claps and sixteenth hats join on the bar at 17.55.
    const Seg s14{14.0, 21.1, 16};
    a.hit(14.0, 0.6, &kDm, 0);
    Groove tunnel;
    tunnel.kit.kick = 1;
    tunnel.kit.hats = 1;
    tunnel.kit.duck = 0.45;
    tunnel.bass = 2;
    tunnel.bassTone = 0.35;
    tunnel.padVel = 0.45;
    tunnel.padTone = 0.3;
    tunnel.arp = 1;
    tunnel.arpVel = 0.32;
    a.groove(s14, 0, 8, tunnel);
    a.hit(17.55, 0.5, nullptr, 0);
    tunnel.kit.clap = true;
    tunnel.kit.hats = 2;
    tunnel.kit.openHats = true;
    tunnel.arp = 2;
    tunnel.padTone = 0.4;
    tunnel.lead = true;
    tunnel.leadBarOffset = 0;
    tunnel.leadVel = 0.45;
    a.groove(s14, 8, 15, tunnel);
    a.roll(s14.at(15), 21.1, 4, 0.5, 0.8);

    // 21.1 - 27.0: the break for the title still, 122 bpm (12 beats): pads,
    // a long bass and the break melody; a riser and a snare roll into 27.
    const Seg s21{21.1, 27.0, 12};
    a.hit(21.1, 0.7, &kGm, 0);
    static const Chord* const kBreak[3] = {&kGm, &kBb, &kA};
    Groove brk;
    brk.progression = kBreak;
    brk.progressionLength = 3;
    brk.padVel = 0.5;
    brk.padTone = 0.25;
    brk.padAttack = 0.6;
    brk.bass = 1;
    brk.bassVel = 0.5;
    brk.bassTone = 0.1;
    a.groove(s21, 0, 12, brk);
    for (int bar = 0; bar < 3; ++bar)
        a.melody(Instrument::Lead, s21.at(bar * 4), s21.beat() * 0.5, kBreakTheme[bar], 0, 0.4, 0, 0.3, s21.at(bar * 4 + 4));
    a.swell(24.0, 27.0, 0.7, 0.8);
    a.roll(s21.at(8), s21.at(10), 8, 0.15, 0.45);
    a.roll(s21.at(10), 27.0, 16, 0.45, 0.85);

    // 27.0 - 39.6: the driving section, one 114.3 bpm bar per 2.1 s picture,
    // a hit on every bar line.
    const Seg s27{27.0, 39.6, 24};
    Groove drive;
    drive.kit.kick = 1;
    drive.kit.clap = true;
    drive.kit.snare = true;
    drive.kit.hats = 2;
    drive.kit.duck = 0.5;
    drive.bass = 4;
    drive.bassTone = 0.5;
    drive.padVel = 0.45;
    drive.padTone = 0.45;
    drive.arp = 2;
    drive.arpVel = 0.35;
    drive.arpTone = 0.6;
    a.groove(s27, 0, 24, drive);
    for (int bar = 0; bar < 6; ++bar) a.hit(s27.at(bar * 4), 0.55, kLoop[bar % 4], 0);

    // 39.6 - 42.4: the build, six beats at 128.6 bpm on Gm and A: the kick
    // drops out, the snare roll doubles, the riser climbs, and everything
    // stops a sixteenth before the drop so it lands out of a breath of silence.
    const Seg s39{39.6, 42.4, 6};
    const double gasp = 42.4 - s39.beat() * 0.25;
    a.hit(39.6, 0.5, &kGm, 0);
    a.pad(39.6, s39.at(4) - 39.6, kGm, 0.5, 0.5, 0.05, 0);
    a.pad(s39.at(4), gasp - s39.at(4), kA, 0.55, 0.6, 0.05, 0);
    for (int b = 0; b < 4; ++b) a.add(Instrument::Kick, s39.at(b), 0.45, 0, 0.85, 0, 0.5, 0.4);
    a.add(Instrument::Bass, 39.6, s39.at(4) - 39.6, kGm.bass, 0.7, 0, 0.3, 0, 0.01);
    a.add(Instrument::Bass, s39.at(4), gasp - s39.at(4), kA.bass, 0.75, 0, 0.4, 0, 0.01);
    a.roll(39.6, s39.at(2), 4, 0.3, 0.45);
    a.roll(s39.at(2), s39.at(4), 8, 0.45, 0.65);
    a.roll(s39.at(4), gasp, 14, 0.6, 0.75);
    a.swell(39.6, gasp, 0.75, 1.0);

    // 42.4: the drop. One beat of the full chord on a huge hit, then the
    // groove lands at 43.0.
    a.hit(42.4, 1.0, &kDm, 0);
    a.add(Instrument::Kick, 42.4, 0.5, 0, 1.0, 0, 0.5, 0.6);
    a.pad(42.4, 0.65, kDm, 0.6, 0.8, 0.005, 0);

    // 43.0 - 58.12: full energy, the hook over eight bars: 129.7 bpm to
    // 46.7, 126.3 to 52.4, 125.9 to 58.12, a hit on each change.
    Groove full;
    full.kit.kick = 1;
    full.kit.clap = true;
    full.kit.hats = 2;
    full.kit.openHats = true;
    full.kit.duck = 0.6;
    full.bass = 3;
    full.bassTone = 0.45;
    full.padVel = 0.5;
    full.padTone = 0.55;
    full.arp = 2;
    full.arpVel = 0.25;
    full.arpTone = 0.45;
    full.lead = true;
    full.leadVel = 0.6;
    const Seg s43{43.0, 46.7, 8};
    a.hit(43.0, 0.6, nullptr, 0);
    a.groove(s43, 0, 8, full);
    const Seg s46{46.7, 52.4, 12};
    a.hit(46.7, 0.6, &kF, 0);
    static const Chord* const kFrom2[4] = {&kF, &kC, &kDm, &kBb};
    full.progression = kFrom2;
    full.leadBarOffset = 2;
    a.groove(s46, 0, 12, full);
    const Seg s52{52.4, 58.12, 12};
    a.hit(52.4, 0.65, &kBb, 0);
    static const Chord* const kFrom5[4] = {&kBb, &kF, &kC, &kDm};
    full.progression = kFrom5;
    full.leadBarOffset = 5;
    full.leadDouble = true;
    a.groove(s52, 0, 10, full);
    full.kit.hats = 1;
    a.groove(s52, 10, 12, full);
    a.roll(s52.at(10), 58.12, 8, 0.4, 0.8);

    // 58.12 - 66.0: the breakdown at 122 bpm: no drums, the arpeggio echoing
    // over the turnaround, bells; a roll and riser from 65 into the credits.
    const Seg s58{58.12, 65.0, 14};
    a.hit(58.12, 0.6, &kGm, 0);
    Groove down;
    down.progression = kTurn;
    down.padVel = 0.55;
    down.padTone = 0.22;
    down.padAttack = 0.4;
    down.bass = 1;
    down.bassVel = 0.55;
    down.bassTone = 0.1;
    down.arp = 2;
    down.arpVel = 0.3;
    down.arpTone = 0.35;
    down.bells = true;
    down.bellVel = 0.2;
    a.groove(s58, 0, 14, down);
    a.swell(62.0, 66.0, 0.6, 0.7);
    const Seg s65{65.0, 66.0, 2};
    a.add(Instrument::Impact, 65.0, 1.0, 0, 0.45);
    a.add(Instrument::Tom, 65.0, 0.5, 12, 0.7, 0.3);
    a.add(Instrument::Tom, s65.at(1), 0.5, 5, 0.7, -0.3);
    a.roll(65.0, 66.0, 8, 0.4, 0.8);

    // 66.0 - 78.0: the credits, 120 bpm, half-time drums, the credits theme.
    const Seg s66{66.0, 78.0, 24};
    a.hit(66.0, 0.6, &kF, 0);
    Groove credits;
    credits.progression = kCredits;
    credits.kit.kick = 2;
    credits.kit.clap = true;
    credits.kit.snare = true;
    credits.kit.shaker = true;
    credits.kit.hats = 1;
    credits.kit.duck = 0.35;
    credits.bass = 2;
    credits.bassTone = 0.3;
    credits.padVel = 0.5;
    credits.padTone = 0.35;
    credits.padAttack = 0.15;
    credits.arp = 1;
    credits.arpVel = 0.22;
    a.groove(s66, 0, 24, credits);
    for (int bar = 0; bar < 6; ++bar)
        a.melody(Instrument::Lead, s66.at(bar * 4), 0.25, kCreditsTheme[bar % 4], 0, 0.5, 0, 0.35, s66.at(bar * 4 + 4));

    // 78.0 - 79.0: the canyon cut: a hit and a roll into the steady beat.
    a.hit(78.0, 0.7, &kBb, 0);
    a.add(Instrument::Kick, 78.0, 0.5, 0, 0.9, 0, 0.5, 0.5);
    a.add(Instrument::Kick, 78.5, 0.5, 0, 0.8, 0, 0.5, 0.5);
    a.roll(78.5, 79.0, 4, 0.4, 0.7);
    a.swell(77.0, 79.0, 0.5, 0.8);

    // 79.0 - 258.0: 120 bpm, a kick on every beat so every whole second is
    // a beat, building section by section.
    Groove beat;
    beat.kit.kick = 1;
    beat.kit.openHats = true;
    beat.kit.duck = 0.55;
    beat.bass = 2;
    beat.bassTone = 0.35;
    beat.padVel = 0.45;
    beat.padTone = 0.3;
    beat.arp = 1;
    beat.arpVel = 0.3;
    const Seg s79{79.0, 89.0, 20};
    a.hit(79.0, 0.7, &kDm, 0);
    // The pads and plucks open bar by bar through the canyon.
    for (int bar = 0; bar < 5; ++bar) {
        beat.padTone = 0.22 + 0.05 * bar;
        beat.arpTone = 0.3 + 0.08 * bar;
        a.groove(s79, bar * 4, bar * 4 + 4, beat);
    }
    beat.arpTone = 0.5;

    // 89 - 90: the triangle cut, a hit and a tom fill on the beat.
    a.hit(89.0, 0.7, &kBb, 0);
    a.add(Instrument::Kick, 89.0, 0.45, 0, 1.0, 0, 0.5, 0.55);
    a.add(Instrument::Kick, 89.5, 0.45, 0, 0.9, 0, 0.5, 0.55);
    for (int i = 0; i < 4; ++i) a.add(Instrument::Tom, 89.5 + 0.125 * i, 0.4, 12 - 3 * i, 0.5 + 0.1 * i, 0.4 - 0.25 * i);

    // 90 - 102: claps, sixteenth hats, the hook.
    const Seg s90{90.0, 102.0, 24};
    a.hit(90.0, 0.7, nullptr, 0);
    beat.kit.clap = true;
    beat.kit.hats = 2;
    beat.bass = 3;
    beat.padTone = 0.45;
    beat.lead = true;
    beat.leadVel = 0.55;
    a.groove(s90, 0, 24, beat);

    // 102 - 110: the turnaround, the arpeggio up front, a riser.
    const Seg s102{102.0, 110.0, 16};
    a.hit(102.0, 0.7, &kGm, 0);
    Groove turn = beat;
    turn.progression = kTurn;
    turn.lead = false;
    turn.arp = 2;
    turn.arpVel = 0.42;
    turn.arpTone = 0.7;
    turn.padTone = 0.6;
    turn.kit.ride = true;
    a.groove(s102, 0, 16, turn);
    a.swell(106.0, 110.0, 0.75, 0.9);

    // 110 - 111: a break of one beat pair: the kick, a roll.
    a.hit(110.0, 0.6, &kA, 0);
    a.add(Instrument::Kick, 110.0, 0.45, 0, 1.0, 0, 0.5, 0.6);
    a.add(Instrument::Kick, 110.5, 0.45, 0, 0.85, 0, 0.5, 0.6);
    a.roll(110.0, 111.0, 8, 0.5, 0.9);

    // 111 - 150: everything: ride, rolling bass, brighter pads, the hook; a
    // crash every eight bars.
    const Seg s111{111.0, 150.0, 78};
    a.hit(111.0, 0.9, &kDm, 0);
    Groove big = beat;
    big.kit.ride = true;
    big.kit.duck = 0.65;
    big.padVel = 0.5;
    big.padTone = 0.6;
    big.arpVel = 0.25;
    big.leadVel = 0.6;
    a.groove(s111, 0, 76, big);
    for (int bar = 8; bar < 19; bar += 8) {
        // A sixteenth snare fill on the last beat of each eight-bar phrase.
        a.roll(s111.at(bar * 4 - 1), s111.at(bar * 4), 4, 0.3, 0.5);
        a.hit(s111.at(bar * 4), 0.4, nullptr, 0);
    }
    a.groove(s111, 76, 78, big);
    a.roll(s111.at(76), 150.0, 8, 0.5, 0.85);

    // 150 - 180: bells answer the hook, shaker and toms; the lead rests for
    // eight bars first.
    const Seg s150{150.0, 180.0, 60};
    a.hit(150.0, 0.9, &kDm, 0);
    Groove greet = big;
    greet.kit.shaker = true;
    greet.bells = true;
    greet.bellVel = 0.32;
    greet.lead = false;
    a.groove(s150, 0, 32, greet);
    a.hit(s150.at(32), 0.4, nullptr, 0);
    greet.lead = true;
    a.groove(s150, 32, 60, greet);
    for (int bar = 3; bar < 15; bar += 4)
        for (int i = 0; i < 4; ++i)
            a.add(Instrument::Tom, s150.at(bar * 4 + 3) + 0.125 * i, 0.4, 12 - 3 * i, 0.35 + 0.1 * i, 0.4 - 0.25 * i);

    // 180 - 210: the acid bass, the hook an octave up over sixteenth plucks.
    const Seg s180{180.0, 210.0, 60};
    a.hit(180.0, 0.9, &kDm, 0);
    Groove acid = big;
    acid.bass = 5;
    acid.bassVel = 0.75;
    acid.bassTone = 0.5;
    acid.arp = 2;
    acid.arpVel = 0.22;
    acid.leadOctave = 1;
    acid.leadVel = 0.45;
    a.groove(s180, 0, 60, acid);
    a.hit(s180.at(32), 0.45, nullptr, 0);
    // The build stops a sixteenth early, like the one before the drop.
    a.swell(206.0, 209.875, 0.75, 1.0);
    a.roll(s180.at(56), s180.at(58), 8, 0.4, 0.6);
    a.roll(s180.at(58), 209.875, 7, 0.45, 0.6);

    // 210 - 235: the finale, a whole tone up: everything, the hook doubled.
    const Seg s210{210.0, 235.0, 50};
    a.hit(210.0, 1.0, &kDm, 2);
    Groove fin = big;
    fin.transpose = 2;
    fin.bass = 3;
    fin.leadDouble = true;
    fin.bells = true;
    fin.bellVel = 0.22;
    fin.arp = 2;
    fin.arpVel = 0.2;
    fin.padTone = 0.7;
    a.groove(s210, 0, 50, fin);
    for (int bar = 4; bar < 12; bar += 4) {
        a.roll(s210.at(bar * 4 - 1), s210.at(bar * 4), 4, 0.3, 0.5);
        a.hit(s210.at(bar * 4), 0.45, nullptr, 0);
    }
    a.roll(s210.at(48), 235.0, 8, 0.5, 0.85);

    // 235 - 258: the last round: acid bass back under the doubled hook,
    // everything open; a two-bar build into the final hit.
    const Seg s235{235.0, 258.0, 46};
    a.hit(235.0, 1.0, &kDm, 2);
    Groove last = fin;
    last.bass = 5;
    last.bassVel = 0.7;
    last.bassTone = 0.65;
    last.padTone = 0.75;
    a.groove(s235, 0, 38, last);
    a.hit(s235.at(16), 0.5, nullptr, 0);
    last.lead = false;
    last.bells = false;
    last.kit.hats = 1;
    a.groove(s235, 38, 46, last);
    a.swell(254.0, 257.875, 0.75, 1.0);
    a.roll(s235.at(38), s235.at(42), 16, 0.35, 0.6);
    a.roll(s235.at(42), 257.875, 15, 0.45, 0.65);

    // 258: the final chord rings out under the fade.
    a.hit(258.0, 1.0, &kDm, 2);
    a.add(Instrument::Kick, 258.0, 0.6, 0, 1.0, 0, 0.5, 0.0);
    a.pad(258.0, 2.0, kDm, 0.6, 0.6, 0.005, 2);
    a.add(Instrument::Bass, 258.0, 2.0, kDm.bass + 2, 0.8, 0, 0.4, 0, 0.005);
}

// A compact piece for short lengths: a swell, a few beats of groove with
// the hook, a final hit that rings into the fade.
void composeShort(Arranger& a, double seconds, double fadeStart) {
    const double beat = 0.5;
    const double hitTime = std::max(0.0, std::floor(fadeStart / beat) * beat);
    const double introEnd = std::min(hitTime, std::max(beat, std::floor(seconds * 0.25 / beat) * beat));
    a.pad(0.0, introEnd + 0.05, kDm, 0.5, 0.2, std::min(1.0, introEnd * 0.6), 0);
    if (introEnd > 0.25) a.swell(0.0, introEnd, 0.6, 0.7);
    const int beats = truncToInt32((hitTime - introEnd) / beat + 0.5);  // both on the beat grid: round
    if (beats > 0) {
        a.hit(introEnd, 0.7, &kDm, 0);
        const Seg seg{introEnd, hitTime, beats};
        Groove g;
        g.kit.kick = 1;
        g.kit.clap = true;
        g.kit.hats = 2;
        g.kit.duck = 0.6;
        g.bass = 3;
        g.bassTone = 0.45;
        g.padVel = 0.5;
        g.padTone = 0.5;
        g.arp = 2;
        g.arpVel = 0.25;
        g.lead = true;
        g.leadVel = 0.6;
        a.groove(seg, 0, beats, g);
    }
    a.hit(hitTime, 1.0, &kDm, 0);
    a.add(Instrument::Kick, hitTime, 0.6, 0, 1.0, 0, 0.5, 0.0);
    a.pad(hitTime, seconds - hitTime, kDm, 0.6, 0.6, 0.005, 0);
}

}  // namespace

const std::vector<double>& timelineThresholds() {
    // The program's own table: the sections change where the script does.
    static const std::vector<double> kTimeline(std::begin(kThresholds), std::end(kThresholds));
    return kTimeline;
}

Score buildScore(double seconds) {
    Score score;
    Arranger a(score);
    if (seconds >= 20.0) {
        score.fadeEnd = std::min(seconds, 260.0);
        score.fadeStart = score.fadeEnd - 2.0;
        composeTimeline(a);
    } else {
        // Two seconds of fade, less for very short pieces, never all of it.
        const double fade = std::min(2.0, std::max(std::min(0.5, seconds * 0.8), seconds * 0.3));
        score.fadeEnd = seconds;
        score.fadeStart = seconds - fade;
        composeShort(a, seconds, score.fadeStart);
    }
    // Drop what starts after the music ends; order by time (stable, so notes
    // at the same instant keep the order they were written in).
    std::vector<NoteEvent>& n = score.notes;
    n.erase(std::remove_if(n.begin(), n.end(), [&](const NoteEvent& e) { return e.time >= score.fadeEnd; }), n.end());
    std::stable_sort(n.begin(), n.end(), [](const NoteEvent& x, const NoteEvent& y) { return x.time < y.time; });
    return score;
}

}  // namespace marrow::synth
