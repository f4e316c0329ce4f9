// frame_loop.h: the program's start-up order, its one loop and its shutdown.
//
// runDemo() brings the system up (console log, every resource, display,
// music), then composes and presents one frame per iteration for the music
// time read at its start, until the soundtrack has ended or a key other than
// space is pressed (space logs "time %f"). It returns 1 on every path: the
// program's exit status.
//
// The loop itself is one call per frame, stepDemo(): the native program
// calls it until it returns false, and the browser build calls it once per
// animation frame, so both builds run the same per-frame code. runDemo() is
// startDemo(), stepDemo() while it returns true, stopDemo().
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

// Start-up: console log, resources, display, music. False when the display
// could not be opened (nothing after it has run; the exit status is 1).
bool startDemo(DemoHost& host);

// One iteration of the frame loop: false, without composing anything, once
// the music has ended or a key other than space was read; otherwise reads
// the music time, logs "time %f" on space, composes, blanks the border and
// presents the frame, and returns true.
bool stepDemo(DemoHost& host);

// Shutdown after the loop: stops the music and calls the display's hook.
void stopDemo(DemoHost& host);

// Sets the one-pixel border of a 320x200 frame to 0, in place.
void blankBorder(uint32_t* frame);

}  // namespace marrow
