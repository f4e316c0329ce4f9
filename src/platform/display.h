// display.h: the display and keyboard layer the frame loop talks to.
//
// One process-wide display: openDisplay() opens a 320x200 output in the
// 0x00RRGGBB format once, presentFrame() shows a finished frame, pollKeys()
// and lastKey() read the keyboard (space is 32, other codes are reduced to
// their low 8 bits, closing the window reads as Escape, 27). closeDisplay()
// is the shutdown hook and does nothing: the display closes when the
// process-wide console is destroyed at exit.
//
// The layer sits on a small display library (DisplayConsole) so tests can
// drive it with a fake; the real one is built on SDL2 (sdl_display.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace marrow {

struct PixelFormat {
    int bits;
    uint32_t redMask, greenMask, blueMask, alphaMask;
};

// The pixel format of every frame: 32 bits, 0x00RRGGBB, no alpha.
constexpr PixelFormat kFramePixelFormat{32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};

// An off-screen surface of the display library.
class DisplaySurface {
public:
    virtual ~DisplaySurface() = default;
    // Pointer to width*height contiguous 32-bit pixels, valid until unlock().
    virtual uint32_t* lock() = 0;
    virtual void unlock() = 0;
};

// What the display layer needs of a display library.
class DisplayConsole {
public:
    virtual ~DisplayConsole() = default;
    // Accepted before open: "windowed output", "fixed window".
    virtual void option(const std::string& text) = 0;
    // Opens an output of exactly width x height pixels. On failure returns
    // false and leaves a one-line reason in error().
    virtual bool open(const std::string& title, int width, int height, const PixelFormat& format,
                      int pages) = 0;
    virtual std::unique_ptr<DisplaySurface> createSurface(int width, int height,
                                                          const PixelFormat& format) = 0;
    // The whole surface becomes the next picture; update() shows it.
    virtual void copy(DisplaySurface& surface) = 0;
    virtual void update() = 0;
    virtual bool keyPending() = 0;
    // Removes the oldest waiting key press and returns its code.
    virtual int readKey() = 0;
    virtual std::string error() const { return {}; }
};

class DisplayLayer {
public:
    explicit DisplayLayer(DisplayConsole& console) : console_(console) {}

    // Returns 1 when a width x height display is ready for presentFrame; a
    // second call at the same size only replaces the stored title. Returns 0,
    // with the reason on standard error, when no display can be opened.
    int openDisplay(const char* title, int width, int height);
    // Copies width*height pixels to the display and shows them.
    void presentFrame(const uint32_t* pixels);
    // 1 if at least one key was pending; every pending key is consumed and
    // the low 8 bits of the last one are kept for lastKey().
    int pollKeys();
    char lastKey() const { return lastKeyCode_; }
    void closeDisplay() {}

    const char* title() const { return displayTitle_; }
    int width() const { return displayWidth_; }
    int height() const { return displayHeight_; }

    // Always 1: the library's default (full-screen) mode is used.
    static constexpr int32_t fullscreen = 1;

private:
    DisplayConsole& console_;
    char displayTitle_[128] = {};
    int32_t displayWidth_ = 0;
    int32_t displayHeight_ = 0;
    std::unique_ptr<DisplaySurface> surface_;
    uint32_t* surfacePixels_ = nullptr;
    char lastKeyCode_ = 0;
};

// The process-wide display, over the SDL2 console built at static
// initialisation.
DisplayLayer& display();
int openDisplay(const char* title, int width, int height);
void presentFrame(const uint32_t* pixels);
int pollKeys();
char lastKey();
void closeDisplay();

}  // namespace marrow
