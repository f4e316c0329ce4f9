// web_platform.cpp: the browser build's display, sound and console layers.
//
// Each is the same interface the desktop program uses (DisplayConsole,
// SoundSystem, the console log calls), implemented by handing the work to
// the page's script (marrow-page.js, object `Marrow` on the window):
// - display: the surface is a 320x200 block in WebAssembly memory; copy()
//   converts it to RGBA bytes and the page puts them on its canvas. Keys
//   come from the page's queue (space 32, Escape 27).
// - sound: the page has decoded music/demo.mp3 with Web Audio before start;
//   the clock is the context's consumed sample frames less its reported
//   output latency, in whole milliseconds; length and position are in
//   sample frames and become equal when the soundtrack has played out.
// - console: the log text is kept here exactly as on the desktop (newest
//   line first, 65535 bytes at most) and the page's panel shows it; Save
//   downloads it as debug.txt.
#include <emscripten.h>

#include <string>

#include "common/framebuffer.h"
#include "console/console_log.h"
#include "console/console_text.h"
#include "platform/display.h"
#include "platform/music.h"

// The page's side of each call. `Marrow` is set up by marrow-page.js before
// the WebAssembly module starts.
EM_JS(void, pageShowFrame, (const uint8_t* rgba, int width, int height),
      { Marrow.showFrame(rgba, width, height); });
EM_JS(int, pageKeyPending, (), { return Marrow.keyPending(); });
EM_JS(int, pageReadKey, (), { return Marrow.readKey(); });
EM_JS(int, pageMusicOpen, (const char* path), { return Marrow.musicOpen(UTF8ToString(path)); });
EM_JS(void, pageMusicPlay, (), { Marrow.musicPlay(); });
EM_JS(int, pageMusicTime, (), { return Marrow.musicTime(); });
EM_JS(int, pageMusicLength, (), { return Marrow.musicLength(); });
EM_JS(int, pageMusicPosition, (), { return Marrow.musicPosition(); });
EM_JS(void, pageMusicStop, (), { Marrow.musicStop(); });
EM_JS(void, pageShowLog, (const char* text), { Marrow.showLog(UTF8ToString(text)); });
EM_JS(int, pageSaveLog, (const char* text, int length),
      { return Marrow.saveLog(UTF8ToString(text, length)); });
EM_JS(int, pageLogVisible, (), { return Marrow.logVisible(); });

namespace marrow {

// The one stream the page can play: music/demo.mp3, decoded by the browser.
class SoundStream {};

namespace {

class WebSurface : public DisplaySurface {
public:
    WebSurface(int width, int height) : pixels_(new uint32_t[static_cast<size_t>(width) * height]()) {}
    ~WebSurface() override { delete[] pixels_; }
    uint32_t* lock() override { return pixels_; }
    void unlock() override {}
    const uint32_t* pixels() const { return pixels_; }

private:
    uint32_t* pixels_;
};

class WebConsole : public DisplayConsole {
public:
    void option(const std::string&) override {}
    bool open(const std::string&, int width, int height, const PixelFormat&, int) override {
        if (width != kFrameWidth || height != kFrameHeight) {
            error_ = "the page shows 320x200 only";
            return false;
        }
        return true;
    }
    std::unique_ptr<DisplaySurface> createSurface(int width, int height, const PixelFormat&) override {
        return std::make_unique<WebSurface>(width, height);
    }
    void copy(DisplaySurface& surface) override {
        // 0x00RRGGBB words to the canvas's R, G, B, A bytes, alpha opaque.
        const uint32_t* in = static_cast<WebSurface&>(surface).pixels();
        for (int i = 0; i < kFramePixels; ++i) {
            const uint32_t p = in[i];
            rgba_[i * 4 + 0] = static_cast<uint8_t>(p >> 16);
            rgba_[i * 4 + 1] = static_cast<uint8_t>(p >> 8);
            rgba_[i * 4 + 2] = static_cast<uint8_t>(p);
            rgba_[i * 4 + 3] = 255;
        }
    }
    void update() override { pageShowFrame(rgba_, kFrameWidth, kFrameHeight); }
    bool keyPending() override { return pageKeyPending() != 0; }
    int readKey() override { return pageReadKey(); }
    std::string error() const override { return error_; }

private:
    uint8_t rgba_[kFrameBytes] = {};
    std::string error_;
};


class WebSound : public SoundSystem {
public:
    void setOutput(int) override {}
    void setBufferSize(int) override {}
    void setDriver(int) override {}
    bool init(int, int, int) override { return true; }
    SoundStream* openMpeg(const std::string& path, int) override {
        if (pageMusicOpen(path.c_str()) == 0) {
            error_ = path + ": the page could not load or decode the soundtrack";
            return nullptr;
        }
        return &stream_;
    }
    int play(int, SoundStream*) override {
        pageMusicPlay();
        return 1;
    }
    int32_t getTime(SoundStream*) override { return pageMusicTime(); }
    int32_t getLength(SoundStream*) override { return pageMusicLength(); }
    int32_t getPosition(SoundStream*) override { return pageMusicPosition(); }
    void closeStream(SoundStream*) override { pageMusicStop(); }
    void close() override {}
    std::string error() const override { return error_; }

private:
    SoundStream stream_;
    std::string error_;
};

ConsoleText& consoleLog() {
    static ConsoleText* log = new ConsoleText;
    return *log;
}

}  // namespace

DisplayLayer& display() {
    static WebConsole console;
    static DisplayLayer layer(console);
    return layer;
}

MusicLayer& music() {
    static WebSound sound;
    static MusicLayer layer(sound);
    return layer;
}

// The browser has one thread and no pause: the panel is part of the page,
// so there is no window to wait for.
void openConsoleLog() {
    setConsoleText(consoleLog(), kConsoleBanner);
    pageShowLog(consoleLog().bytes);
}

void logLine(const char* text) {
    if (text == nullptr) return;
    // Not mirrored to standard error as on the desktop: the page keeps what
    // the program prints there for the message of a failed start.
    prependConsoleText(consoleLog(), text);
    pageShowLog(consoleLog().bytes);
}

int saveConsoleLog(const char*) {
    const ConsoleText& log = consoleLog();
    return pageSaveLog(log.bytes, static_cast<int>(log.length)) != 0 ? 1 : 0;
}

std::string consoleText() { return std::string(consoleLog().bytes, consoleLog().length); }

bool consoleWindowOpen() { return pageLogVisible() != 0; }

std::string consoleWindowText() {
    const ConsoleText& log = consoleLog();
    return withUnixLineEnds(log.bytes, log.length);
}

}  // namespace marrow
