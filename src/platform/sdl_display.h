// sdl_display.h: the display library on SDL2.
//
// Default mode: full screen at the desktop resolution, the picture shown at
// 4:3 (320x200 modes were shown on 4:3 monitors, so pixels are 1.2 times as
// tall as wide), letterboxed, kept crisp by "sharp bilinear" scaling: an
// integer nearest-neighbour prescale, then linear filtering to the output
// size. Option "windowed output": a 960x720 window instead. Option "fixed
// window": the window cannot be resized. Frames are presented with vsync.
// On an X server without a window manager, where no one grants full-screen
// requests, "full screen" is a borderless window covering the desktop. The
// picture always fills the window's real size, following later resizes.
// Closing the window reads as the key Escape (27).
//
// Key presses: only keys meant for the presentation are reported. Shift,
// Ctrl, Alt, Super, AltGr and the lock keys pressed alone are not, nor is a
// window manager's chord that may still reach the window (Tab with Alt held,
// anything with Super held): switching to the console window with Alt+Tab
// must not end the presentation. Every other key is reported as it is.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/display.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace marrow {

// Whether a key press (SDL keycode `sym`, with the modifier state `mod`, SDL's
// KMOD_ bits) is one for the presentation, as above.
bool isProgramKey(int32_t sym, uint16_t mod);

class SdlConsole : public DisplayConsole {
public:
    SdlConsole() = default;
    ~SdlConsole() override;

    void option(const std::string& text) override;
    bool open(const std::string& title, int width, int height, const PixelFormat& format,
              int pages) override;
    std::unique_ptr<DisplaySurface> createSurface(int width, int height,
                                                  const PixelFormat& format) override;
    void copy(DisplaySurface& surface) override;
    void update() override;
    bool keyPending() override;
    int readKey() override;
    std::string error() const override { return error_; }

private:
    void pumpEvents();
    void coverDesktop();
    bool makePrescaleTarget(int outputWidth, int outputHeight);

    bool windowed_ = false;
    bool resizable_ = true;
    int width_ = 0, height_ = 0;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* picture_ = nullptr;    // width x height, nearest
    SDL_Texture* prescaled_ = nullptr;  // integer multiple, linear
    int prescaleFactor_ = 0;
    std::deque<int> keys_;
    std::string error_;
};

}  // namespace marrow
