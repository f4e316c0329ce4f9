// music.h: the soundtrack and the program's only clock.
//
// startMusic(path) opens the MP3 stream and starts it; from then on it plays
// by itself. musicTime() is the audible play time in seconds (whole
// milliseconds from the sound system times 0.001); musicEnded() is 1 once the
// stream's position equals its length, and stays 1. stopMusic() closes the
// stream and the sound system.
//
// A soundtrack that cannot be opened is logged ("Could not open
// music\demo.mp3") and reports length and position 0, so the frame loop ends
// at once.
//
// The layer drives a SoundSystem, so tests can use a fake; the real one
// decodes with libmpg123 and plays through SDL2 audio (sound_system.h).
#pragma once

#include <cstdint>
#include <string>

namespace marrow {

class SoundStream;

class SoundSystem {
public:
    virtual ~SoundSystem() = default;
    virtual void setOutput(int type) = 0;
    virtual void setBufferSize(int milliseconds) = 0;
    virtual void setDriver(int driver) = 0;
    virtual bool init(int mixRate, int channels, int flags) = 0;
    // Null when the file cannot be opened or decoded; error() says why.
    virtual SoundStream* openMpeg(const std::string& path, int mode) = 0;
    virtual int play(int channel, SoundStream* stream) = 0;
    // Milliseconds of audible play time.
    virtual int32_t getTime(SoundStream* stream) = 0;
    // Length and position in the same unit; equal once the stream has ended.
    virtual int32_t getLength(SoundStream* stream) = 0;
    virtual int32_t getPosition(SoundStream* stream) = 0;
    virtual void closeStream(SoundStream* stream) = 0;
    virtual void close() = 0;
    virtual std::string error() const { return {}; }
};

class MusicLayer {
public:
    explicit MusicLayer(SoundSystem& sound) : sound_(sound) {}
    void startMusic(const char* path);
    double musicTime();
    int musicEnded();
    void stopMusic();

private:
    SoundSystem& sound_;
    SoundStream* musicStream_ = nullptr;
};

// The process-wide layer over the real sound system.
MusicLayer& music();
void startMusic(const char* path);
double musicTime();
int musicEnded();
void stopMusic();

}  // namespace marrow
