// frame_loop.h: the program's start-up order, its one loop and its shutdown.
//
// runDemo() brings the system up (console log, every resource, display,
// music), then composes and presents one frame per iteration for the music
// time read at its start, until the soundtrack has ended or a key other than
// space is pressed (space logs "time %f"). It returns 1 on every path: the
// program's exit status.
//
// The operations it calls come through DemoHost so tests can drive the loop
// with fakes; realHost() calls the program's own layers.
#pragma once

#include <cstdint>

namespace marrow {

class DemoHost {
public:
    virtual ~DemoHost() = default;
    virtual void openConsoleLog() = 0;
    virtual void logLine(const char* text) = 0;
    virtual void initDemo() = 0;
    virtual int openDisplay(const char* title, int width, int height) = 0;
    virtual void startMusic(const char* path) = 0;
    virtual int musicEnded() = 0;
    virtual double musicTime() = 0;
    virtual int pollKeys() = 0;
    virtual char lastKey() = 0;
    virtual uint32_t* composeFrame(double time) = 0;
    virtual void presentFrame(const uint32_t* pixels) = 0;
    virtual void stopMusic() = 0;
    virtual void closeDisplay() = 0;
};

DemoHost& realHost();

int runDemo(DemoHost& host);

// Sets the one-pixel border of a 320x200 frame to 0, in place.
void blankBorder(uint32_t* frame);

}  // namespace marrow
