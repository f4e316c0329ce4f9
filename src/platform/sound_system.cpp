#include "platform/sound_system.h"

#include <SDL2/SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace marrow {

class SoundStream {
public:
    mpg123_handle* decoder = nullptr;
    long rate = 44100;
    int64_t lengthFrames = 0;
    SDL_AudioDeviceID device = 0;
    bool playing = false;
    bool silent = false;
    std::chrono::steady_clock::time_point startTime;
    // Written by the audio thread, read by the main thread.
    std::atomic<int64_t> fedFrames{0};
    std::atomic<bool> drained{false};
    bool decoderDone = false;  // audio thread only

    ~SoundStream() {
        if (device) SDL_CloseAudioDevice(device);
        if (decoder) {
            mpg123_close(decoder);
            mpg123_delete(decoder);
        }
    }
};

namespace {

bool initDecoderLibrary() {
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
}

// Opens `path` for 16-bit stereo output at the file's own rate.
mpg123_handle* openDecoder(const std::string& path, long& rate, std::string& error) {
    if (!initDecoderLibrary()) {
        error = path + ": the MP3 decoder could not be initialised";
        return nullptr;
    }
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        error = path + ": " + mpg123_plain_strerror(err);
        return nullptr;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0.0);
    int channels = 0, encoding = 0;
    if (mpg123_open(mh, path.c_str()) != MPG123_OK ||
        mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        error = path + ": " + mpg123_strerror(mh);
        mpg123_delete(mh);
        return nullptr;
    }
    mpg123_format_none(mh);
    if (mpg123_format(mh, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) {
        error = path + ": unsupported sample rate " + std::to_string(rate);
        mpg123_close(mh);
        mpg123_delete(mh);
        return nullptr;
    }
    return mh;
}

void audioCallback(void* user, Uint8* out, int bytes) {
    auto* s = static_cast<SoundStream*>(user);
    int filled = 0;
    while (filled < bytes && !s->decoderDone) {
        size_t got = 0;
        int r = mpg123_read(s->decoder, out + filled, static_cast<size_t>(bytes - filled), &got);
        filled += static_cast<int>(got);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK) s->decoderDone = true;  // end of file, or a broken tail
        else if (got == 0) s->decoderDone = true;
    }
    if (filled < bytes) std::memset(out + filled, 0, static_cast<size_t>(bytes) - static_cast<size_t>(filled));
    if (s->decoderDone && filled == 0) {
        // A whole buffer of silence has gone out after the last samples: the
        // device has played everything.
        s->drained = true;
    }
    s->fedFrames += filled / 4;
}

}  // namespace

Mp3SoundSystem::~Mp3SoundSystem() { close(); }

bool Mp3SoundSystem::init(int, int, int) { return true; }

SoundStream* Mp3SoundSystem::openMpeg(const std::string& givenPath, int) {
    // The program names its files with "\"; on this platform it is "/".
    std::string path = givenPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    auto stream = std::make_unique<SoundStream>();
    stream->decoder = openDecoder(path, stream->rate, error_);
    if (!stream->decoder) return nullptr;
    // Scan the whole file for its exact length in samples.
    if (mpg123_scan(stream->decoder) != MPG123_OK) {
        error_ = path + ": " + mpg123_strerror(stream->decoder);
        return nullptr;
    }
    off_t length = mpg123_length(stream->decoder);
    if (length <= 0 || length > INT32_MAX) {
        error_ = path + ": no audio frames found";
        return nullptr;
    }
    stream->lengthFrames = length;
    stream_ = stream.release();
    return stream_;
}

int Mp3SoundSystem::play(int, SoundStream* s) {
    if (!s || s->playing) return -1;
    s->playing = true;
    s->startTime = std::chrono::steady_clock::now();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{}, have{};
        want.freq = static_cast<int>(s->rate);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kDeviceFrames;
        want.callback = audioCallback;
        want.userdata = s;
        s->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (s->device) {
            SDL_PauseAudioDevice(s->device, 0);
            return 0;
        }
    }
    std::fprintf(stderr, "No audio device (%s): the soundtrack's clock runs silently.\n", SDL_GetError());
    s->silent = true;
    return 0;
}

static int64_t silentFrames(const SoundStream* s) {
    auto elapsed = std::chrono::steady_clock::now() - s->startTime;
    int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    return std::min<int64_t>(s->lengthFrames, us * s->rate / 1000000);
}

// Frames the listener has heard: those fed to the device less its buffer.
static int64_t heardFrames(const SoundStream* s) {
    if (!s->playing) return 0;
    if (s->silent) return silentFrames(s);
    if (s->drained) return s->lengthFrames;
    int64_t fed = s->fedFrames.load() - Mp3SoundSystem::kDeviceFrames;
    return std::clamp<int64_t>(fed, 0, s->lengthFrames);
}

int32_t Mp3SoundSystem::getTime(SoundStream* s) {
    if (!s) return 0;
    return static_cast<int32_t>(heardFrames(s) * 1000 / s->rate);
}

int32_t Mp3SoundSystem::getLength(SoundStream* s) { return s ? static_cast<int32_t>(s->lengthFrames) : 0; }

int32_t Mp3SoundSystem::getPosition(SoundStream* s) { return s ? static_cast<int32_t>(heardFrames(s)) : 0; }

bool Mp3SoundSystem::silent() const { return stream_ && stream_->silent; }

void Mp3SoundSystem::closeStream(SoundStream* s) {
    if (!s) return;
    if (s == stream_) stream_ = nullptr;
    delete s;  // closes the device first, so the callback is done with the decoder
}

void Mp3SoundSystem::close() {
    if (stream_) closeStream(stream_);
    if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool probeMp3(const std::string& path, double& seconds, std::string& error) {
    Mp3SoundSystem sound;
    SoundStream* s = sound.openMpeg(path, 0);
    if (!s) {
        error = sound.error();
        return false;
    }
    seconds = static_cast<double>(s->lengthFrames) / static_cast<double>(s->rate);
    sound.closeStream(s);
    return true;
}

bool decodeMp3File(const std::string& path, std::string& pcm, long& rate, std::string& error) {
    mpg123_handle* mh = openDecoder(path, rate, error);
    if (!mh) return false;
    pcm.clear();
    unsigned char buf[16384];
    for (;;) {
        size_t got = 0;
        int r = mpg123_read(mh, buf, sizeof buf, &got);
        pcm.append(reinterpret_cast<char*>(buf), got);
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK || got == 0) break;
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    if (pcm.empty()) {
        error = path + ": no audio frames found";
        return false;
    }
    return true;
}

}  // namespace marrow
