// sound_system.h: the sound system on libmpg123 and SDL2 audio.
//
// openMpeg scans the whole file for its exact length in samples and decodes
// 16-bit stereo PCM at the file's own rate while it plays. The clock is the
// count of sample frames the device has consumed, less the device buffer (512
// frames, about 12 ms), so it never runs ahead of what is heard. Length and
// position are in sample frames and become equal when the stream has been
// played out.
//
// With no audio device (a headless machine) the stream plays silently: a
// clock that advances with real time (steady clock) up to the soundtrack's
// length, so the presentation still runs its whole length.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/music.h"

namespace marrow {

class Mp3SoundSystem : public SoundSystem {
public:
    Mp3SoundSystem() = default;
    ~Mp3SoundSystem() override;

    void setOutput(int) override {}
    void setBufferSize(int) override {}
    void setDriver(int) override {}
    bool init(int mixRate, int channels, int flags) override;
    SoundStream* openMpeg(const std::string& path, int mode) override;
    int play(int channel, SoundStream* stream) override;
    int32_t getTime(SoundStream* stream) override;
    int32_t getLength(SoundStream* stream) override;
    int32_t getPosition(SoundStream* stream) override;
    void closeStream(SoundStream* stream) override;
    void close() override;
    std::string error() const override { return error_; }

    // True once play() fell back to the silent clock.
    bool silent() const;

    // Sample frames held by the device buffer.
    static constexpr int kDeviceFrames = 512;

private:
    std::string error_;
    SoundStream* stream_ = nullptr;
};

// The exact length of an MP3 file in seconds (scanned, as the player does).
bool probeMp3(const std::string& path, double& seconds, std::string& error);

// Decodes a whole MP3 file to interleaved 16-bit stereo, for tools and tests.
// Returns false with a message naming the file and the problem.
bool decodeMp3File(const std::string& path, std::string& pcm, long& rate, std::string& error);

}  // namespace marrow
