// The music layer over a fake sound system, and the real sound system on a
// short MP3 made here with LAME (SDL's dummy audio driver under make test).
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "console/console_log.h"
#include "mp3_writer.h"
#include "platform/music.h"
#include "platform/sound_system.h"

using namespace marrow;

namespace {

class FakeSound : public SoundSystem {
public:
    void setOutput(int t) override { calls.push_back("output " + std::to_string(t)); }
    void setBufferSize(int ms) override { calls.push_back("buffer " + std::to_string(ms)); }
    void setDriver(int d) override { calls.push_back("driver " + std::to_string(d)); }
    bool init(int rate, int channels, int flags) override {
        calls.push_back("init " + std::to_string(rate) + " " + std::to_string(channels) + " " +
                        std::to_string(flags));
        return true;
    }
    SoundStream* openMpeg(const std::string& path, int mode) override {
        calls.push_back("open " + path + " " + std::to_string(mode));
        return opens ? reinterpret_cast<SoundStream*>(&token) : nullptr;
    }
    int play(int channel, SoundStream*) override {
        calls.push_back("play " + std::to_string(channel));
        return 0;
    }
    int32_t getTime(SoundStream*) override { return timeMs; }
    int32_t getLength(SoundStream*) override {
        calls.push_back("length");
        return length;
    }
    int32_t getPosition(SoundStream*) override {
        calls.push_back("position");
        return position;
    }
    void closeStream(SoundStream*) override { calls.push_back("close stream"); }
    void close() override { calls.push_back("close"); }

    std::vector<std::string> calls;
    bool opens = true;
    int token = 0;
    int32_t timeMs = 0, length = 100, position = 0;
};

std::string makeMp3(const std::string& name, double seconds) {
    auto dir = std::filesystem::temp_directory_path() / "marrow-music-test";
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    const int frames = static_cast<int>(seconds * 44100);
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        pcm[static_cast<size_t>(i) * 2] = pcm[static_cast<size_t>(i) * 2 + 1] =
            static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 44100));
    std::string error;
    EXPECT_TRUE(writeMp3(path, pcm, 44100, 192, error)) << error;
    return path;
}

}  // namespace

TEST(Music, StartsTheStreamWithTheFixedSettings) {
    FakeSound sound;
    MusicLayer layer(sound);
    layer.startMusic("music\\demo.mp3");
    EXPECT_EQ(sound.calls, (std::vector<std::string>{"output 2", "buffer 200", "driver 0", "init 44100 16 0",
                                                      "open music\\demo.mp3 41", "play -1"}));
    sound.calls.clear();
    layer.stopMusic();
    EXPECT_EQ(sound.calls, (std::vector<std::string>{"close stream", "close"}));
}

TEST(Music, TimeIsMillisecondsTimesAThousandth) {
    FakeSound sound;
    MusicLayer layer(sound);
    layer.startMusic("x");
    sound.timeMs = 1500;
    EXPECT_EQ(layer.musicTime(), 1.5);
    sound.timeMs = 261499;
    EXPECT_EQ(layer.musicTime(), 261499 * 0.001);
}

TEST(Music, EndedExactlyWhenPositionEqualsLength) {
    FakeSound sound;
    MusicLayer layer(sound);
    layer.startMusic("x");
    sound.calls.clear();
    sound.position = 99;
    EXPECT_EQ(layer.musicEnded(), 0);
    // The length is asked first, then the position.
    EXPECT_EQ(sound.calls, (std::vector<std::string>{"length", "position"}));
    sound.position = 100;
    EXPECT_EQ(layer.musicEnded(), 1);
    sound.position = 101;  // no tolerance either way
    EXPECT_EQ(layer.musicEnded(), 0);
}

TEST(Music, AStreamThatCannotBeOpenedIsLoggedAndEndsAtOnce) {
    FakeSound sound;
    sound.opens = false;
    MusicLayer layer(sound);
    layer.startMusic("music\\demo.mp3");
    EXPECT_EQ(sound.calls.back(), "open music\\demo.mp3 41");  // nothing is played
    EXPECT_EQ(consoleText().rfind("Could not open music\\demo.mp3\r\n", 0), 0u);
    EXPECT_EQ(layer.musicEnded(), 1);
    EXPECT_EQ(layer.musicTime(), 0.0);
    layer.stopMusic();
}

TEST(SoundSystem, MissingAndBrokenFilesAreRefusedWithTheirName) {
    Mp3SoundSystem sound;
    EXPECT_EQ(sound.openMpeg("no\\such\\file.mp3", 41), nullptr);
    EXPECT_NE(sound.error().find("no/such/file.mp3"), std::string::npos);

    auto dir = std::filesystem::temp_directory_path() / "marrow-music-test";
    std::filesystem::create_directories(dir);
    for (const char* content : {"", "this is not an mp3 file at all, just text\n"}) {
        std::string path = (dir / "broken.mp3").string();
        std::ofstream(path) << content;
        EXPECT_EQ(sound.openMpeg(path, 41), nullptr) << "content: " << content;
        EXPECT_NE(sound.error().find(path), std::string::npos);
    }
}

TEST(SoundSystem, PlaysToItsExactLengthAndStaysEnded) {
    std::string path = makeMp3("short.mp3", 0.6);
    Mp3SoundSystem sound;
    sound.init(44100, 16, 0);
    SoundStream* s = sound.openMpeg(path, 41);
    ASSERT_NE(s, nullptr) << sound.error();
    // The encoder's Info tag lets the decoder drop its delay and padding:
    // the length is exactly the samples encoded.
    EXPECT_EQ(sound.getLength(s), 26460);
    EXPECT_EQ(sound.getPosition(s), 0);
    EXPECT_EQ(sound.getTime(s), 0);
    sound.play(-1, s);
    int32_t lastTime = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sound.getPosition(s) != sound.getLength(s) && std::chrono::steady_clock::now() < deadline) {
        int32_t t = sound.getTime(s);
        EXPECT_GE(t, lastTime);  // the clock never runs backwards
        lastTime = t;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(sound.getPosition(s), sound.getLength(s));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sound.getPosition(s), sound.getLength(s));
    EXPECT_EQ(sound.getTime(s), static_cast<int32_t>(int64_t{sound.getLength(s)} * 1000 / 44100));
    sound.closeStream(s);
    sound.close();
}

TEST(SoundSystem, WithoutAnAudioDeviceTheClockRunsSilentlyInRealTime) {
    std::string path = makeMp3("silent.mp3", 0.4);
    const char* old = std::getenv("SDL_AUDIODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    Mp3SoundSystem sound;
    SoundStream* s = sound.openMpeg(path, 41);
    ASSERT_NE(s, nullptr) << sound.error();
    testing::internal::CaptureStderr();
    // Taken before play(): the silent clock starts inside it, and trying the
    // missing driver first can take a while.
    auto start = std::chrono::steady_clock::now();
    sound.play(-1, s);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(sound.silent());
    EXPECT_NE(err.find("No audio device"), std::string::npos);
    while (sound.getPosition(s) != sound.getLength(s) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // It took at least the soundtrack's length of real time to end.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(390));
    EXPECT_EQ(sound.getPosition(s), sound.getLength(s));
    sound.close();
    if (old) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else unsetenv("SDL_AUDIODRIVER");
}
