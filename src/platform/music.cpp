#include "platform/music.h"

#include <cstdio>

#include "console/console_log.h"

namespace marrow {

namespace {
// The sound system's set-up, as the program asks for it. Our SDL layer
// chooses its own output and driver and plays the file at its own rate, so
// it takes these as given and ignores them; a fake records them.
constexpr int kOutputType = 2;          // the output type number the program selects
constexpr int kMixBufferMs = 200;       // a 200 ms mixing buffer
constexpr int kFirstDriver = 0;         // the default output driver
constexpr int kMixRateHz = 44100;
constexpr int kSoftwareChannels = 16;
constexpr int kNoInitFlags = 0;
constexpr int kStreamMode = 0x29;       // the stream mode bits the program opens with (41)
constexpr int kAnyFreeChannel = -1;
}  // namespace

void MusicLayer::startMusic(const char* path) {
    sound_.setOutput(kOutputType);
    sound_.setBufferSize(kMixBufferMs);
    sound_.setDriver(kFirstDriver);
    sound_.init(kMixRateHz, kSoftwareChannels, kNoInitFlags);
    musicStream_ = sound_.openMpeg(path, kStreamMode);
    if (!musicStream_) {
        // The frame loop would otherwise end at once without a word.
        logText((std::string("Could not open ") + path).c_str());
        std::string why = sound_.error();
        if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
        return;
    }
    sound_.play(kAnyFreeChannel, musicStream_);
}

double musicTime() { return music().musicTime(); }

double MusicLayer::musicTime() {
    if (!musicStream_) return 0.0;
    return sound_.getTime(musicStream_) * 0.001;
}

int MusicLayer::musicEnded() {
    // A stream that failed to open has length and position 0: ended.
    if (!musicStream_) return 1;
    int32_t length = sound_.getLength(musicStream_);
    int32_t position = sound_.getPosition(musicStream_);
    return length == position ? 1 : 0;
}

void MusicLayer::stopMusic() {
    if (musicStream_) sound_.closeStream(musicStream_);
    musicStream_ = nullptr;
    sound_.close();
}

void startMusic(const char* path) { music().startMusic(path); }
int musicEnded() { return music().musicEnded(); }
void stopMusic() { music().stopMusic(); }

}  // namespace marrow
