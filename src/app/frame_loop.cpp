#include "app/frame_loop.h"

#include <cstdio>

#include "app/demo_init.h"
#include "app/timeline.h"
#include "common/framebuffer.h"
#include "console/console_log.h"
#include "platform/display.h"
#include "platform/music.h"

namespace marrow {

namespace {

// Every log line is formatted with "%s\r\n" into 256 bytes first.
void logMessage(DemoHost& host, const char* message) {
    char line[256];
    std::snprintf(line, sizeof line, "%s\r\n", message);
    host.logLine(line);
}

class RealHost : public DemoHost {
public:
    void openConsoleLog() override { marrow::openConsoleLog(); }
    void logLine(const char* text) override { marrow::logLine(text); }
    void initDemo() override { marrow::initDemo(); }
    int openDisplay(const char* title, int width, int height) override {
        return marrow::openDisplay(title, width, height);
    }
    void startMusic(const char* path) override { marrow::startMusic(path); }
    int musicEnded() override { return marrow::musicEnded(); }
    double musicTime() override { return marrow::musicTime(); }
    int pollKeys() override { return marrow::pollKeys(); }
    char lastKey() override { return marrow::lastKey(); }
    uint32_t* composeFrame(double time) override { return marrow::composeFrame(time); }
    void presentFrame(const uint32_t* pixels) override { marrow::presentFrame(pixels); }
    void stopMusic() override { marrow::stopMusic(); }
    void closeDisplay() override { marrow::closeDisplay(); }
};

}  // namespace

DemoHost& realHost() {
    static RealHost host;
    return host;
}

void blankBorder(uint32_t* frame) {
    for (int x = 0; x < kFrameWidth; ++x) {
        frame[x] = 0;
        frame[(kFrameHeight - 1) * kFrameWidth + x] = 0;
    }
    for (int y = 0; y < kFrameHeight; ++y) {
        frame[y * kFrameWidth] = 0;
        frame[y * kFrameWidth + kFrameWidth - 1] = 0;
    }
}

bool startDemo(DemoHost& host) {
    host.openConsoleLog();
    logMessage(host, "Initializing Demo..");
    host.initDemo();
    logMessage(host, "Opening Video Display..");
    if (host.openDisplay("Nightjar Video GFX System", kFrameWidth, kFrameHeight) == 0) return false;
    logMessage(host, "Loading & Playing Music..");
    host.startMusic("music\\demo.mp3");
    return true;
}

bool stepDemo(DemoHost& host) {
    if (host.musicEnded() != 0) return false;
    double t = host.musicTime();
    if (host.pollKeys() != 0) {
        if (host.lastKey() != ' ') return false;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "time %f", t);
        logMessage(host, stamp);
    }
    uint32_t* frame = host.composeFrame(t);
    blankBorder(frame);
    host.presentFrame(frame);
    return true;
}

void stopDemo(DemoHost& host) {
    host.stopMusic();
    host.closeDisplay();
}

int runDemo(DemoHost& host) {
    if (!startDemo(host)) return 1;
    while (stepDemo(host)) {
    }
    stopDemo(host);
    return 1;
}

}  // namespace marrow
