// mp3_writer.h: encodes interleaved 16-bit stereo PCM to an MP3 file with
// LAME (constant bit rate, deterministic for the same input).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marrow {

bool writeMp3(const std::string& path, const std::vector<int16_t>& stereoPcm, int sampleRate, int kbps,
              std::string& error);

}  // namespace marrow
