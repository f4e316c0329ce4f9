// synth.h: the soundtrack of the default data set, synthesised from nothing.
//
// synthesiseSoundtrack(seconds) renders the piece composed for the
// presentation's timeline (synth_score.h) as interleaved 16-bit stereo at
// 44100 Hz: round(seconds * 44100) frames, the same samples on every run and
// every machine (fixed seeds, portable math, one thread). 261.5 s gives the
// full piece, fading to silence between 258 and 260 s (silence after that);
// from 20 s to 260 s the timeline is cut short with a two-second fade at its
// end; below 20 s it is a compact piece that still swells, grooves and fades
// to silence at its end. The master stage normalises to about -14 LUFS
// integrated and limits the sample peak to -2.5 dBFS (headroom for MP3
// encoding). `seconds` must be above 0 and at most an hour; anything else
// (NaN included) gives an empty vector.
//
// Cost: about four seconds of one core for the full length on this machine
// (7600 notes), and one and a half floats per sample up to the end of the
// fade as working memory besides the result (about 140 MB at full length).
#pragma once

#include <cstdint>
#include <vector>

namespace marrow {

std::vector<int16_t> synthesiseSoundtrack(double seconds);

}  // namespace marrow
