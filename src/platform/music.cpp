#include "platform/music.h"

#include <cstdio>

#include "console/console_log.h"

namespace marrow {

void MusicLayer::startMusic(const char* path) {
    sound_.setOutput(2);
    sound_.setBufferSize(200);
    sound_.setDriver(0);
    sound_.init(44100, 16, 0);
    musicStream_ = sound_.openMpeg(path, 41);
    if (!musicStream_) {
        // The frame loop would otherwise end at once without a word.
        logText((std::string("Could not open ") + path).c_str());
        std::string why = sound_.error();
        if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
        return;
    }
    sound_.play(-1, musicStream_);
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
