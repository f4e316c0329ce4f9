#include "platform/sdl_display.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace marrow {

namespace {

// A surface is plain memory; copy() uploads it to the picture texture.
class MemorySurface : public DisplaySurface {
public:
    MemorySurface(int width, int height) : pixels_(static_cast<size_t>(width) * height) {}
    uint32_t* lock() override { return pixels_.data(); }
    void unlock() override {}
    const uint32_t* data() const { return pixels_.data(); }

private:
    std::vector<uint32_t> pixels_;
};

// The 4:3 rectangle centred in an output of w x h.
SDL_Rect letterbox(int w, int h) {
    SDL_Rect r;
    if (w * 3 >= h * 4) {
        r.h = h;
        r.w = h * 4 / 3;
    } else {
        r.w = w;
        r.h = w * 3 / 4;
    }
    r.x = (w - r.w) / 2;
    r.y = (h - r.h) / 2;
    return r;
}

// False when the window is on an X server where no window manager runs (a
// bare X session, a kiosk, Xvfb). A window manager announces itself with the
// _NET_SUPPORTING_WM_CHECK property of the root window. On other systems
// (Wayland, ...) the system is trusted to honour full-screen requests.
bool windowManagerRuns(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    Display* display = info.info.x11.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                    &type, &format, &count, &after, &data) == Success &&
                 type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

}  // namespace

SdlConsole::~SdlConsole() {
    if (prescaled_) SDL_DestroyTexture(prescaled_);
    if (picture_) SDL_DestroyTexture(picture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (window_ || renderer_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlConsole::option(const std::string& text) {
    if (text == "windowed output") windowed_ = true;
    if (text == "fixed window") resizable_ = false;
}

bool SdlConsole::open(const std::string& title, int width, int height, const PixelFormat&, int) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = SDL_GetError();
        return false;
    }
    // SDL falls back to drivers that show nothing; that is no display.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                   std::strcmp(driver, "evdev") == 0)) {
        error_ = "no display available (DISPLAY is not set or names no X server)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    Uint32 flags = SDL_WINDOW_SHOWN;
    int w = width * 3, h = width * 3 * 3 / 4;  // 960x720 for 320x200
    if (!windowed_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (resizable_) flags |= SDL_WINDOW_RESIZABLE;
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!window_) {
        error_ = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        error_ = SDL_GetError();
        return false;
    }
    // After the renderer: setting up OpenGL may replace the window, and the
    // new one would be placed where the first was asked to be.
    if (!windowed_ && !windowManagerRuns(window_)) coverDesktop();
    picture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!picture_) {
        error_ = SDL_GetError();
        return false;
    }
    SDL_SetTextureScaleMode(picture_, SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(picture_, SDL_BLENDMODE_NONE);
    SDL_ShowCursor(SDL_DISABLE);
    width_ = width;
    height_ = height;
    return true;
}

// Full screen on an X server is a request to the window manager. With none
// running nobody grants it: the window keeps the size it was created with
// while SDL takes the desktop size as granted, and the picture, scaled for
// the desktop, is cut off at the window's edges. Without a window manager a
// plain window gets whatever size it asks for, so leave the full-screen
// state and cover the desktop with a borderless window: SDL's idea of the
// size is then the window's real one, and later resizes reach SDL as usual.
void SdlConsole::coverDesktop() {
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(window_), &desktop) != 0) return;
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, 0, 0);
    SDL_SetWindowSize(window_, desktop.w, desktop.h);
}

bool SdlConsole::makePrescaleTarget(int outputWidth, int outputHeight) {
    // The largest integer factor that does not pass the output size in
    // either direction, at least 1; the last step is then a gentle linear
    // reduction or enlargement that keeps edges sharp.
    SDL_Rect box = letterbox(outputWidth, outputHeight);
    int factor = std::max(1, std::max((box.w + width_ - 1) / width_, (box.h + height_ - 1) / height_));
    if (factor == prescaleFactor_ && prescaled_) return true;
    if (prescaled_) SDL_DestroyTexture(prescaled_);
    prescaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                   width_ * factor, height_ * factor);
    if (!prescaled_) return false;
    SDL_SetTextureScaleMode(prescaled_, SDL_ScaleModeLinear);
    SDL_SetTextureBlendMode(prescaled_, SDL_BLENDMODE_NONE);
    prescaleFactor_ = factor;
    return true;
}

std::unique_ptr<DisplaySurface> SdlConsole::createSurface(int width, int height, const PixelFormat&) {
    return std::make_unique<MemorySurface>(width, height);
}

void SdlConsole::copy(DisplaySurface& surface) {
    if (!picture_) return;
    // The top byte carries no meaning; ARGB8888 with blending off ignores it.
    SDL_UpdateTexture(picture_, nullptr, static_cast<MemorySurface&>(surface).data(), width_ * 4);
}

void SdlConsole::update() {
    if (!renderer_) return;
    int ow = 0, oh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_Rect box = letterbox(ow, oh);
    if (makePrescaleTarget(ow, oh) && SDL_SetRenderTarget(renderer_, prescaled_) == 0) {
        SDL_RenderCopy(renderer_, picture_, nullptr, nullptr);
        SDL_SetRenderTarget(renderer_, nullptr);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, prescaled_, nullptr, &box);
    } else {
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, picture_, nullptr, &box);
    }
    SDL_RenderPresent(renderer_);
    pumpEvents();
}

bool isProgramKey(int32_t sym, uint16_t mod) {
    switch (sym) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL:
    case SDLK_LALT: case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI: case SDLK_MODE:
    case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK:
        return false;  // a modifier or lock key alone
    default:
        break;
    }
    if (mod & KMOD_GUI) return false;                      // Super chords belong to the desktop
    if (sym == SDLK_TAB && (mod & KMOD_ALT)) return false;  // Alt+Tab: switching windows
    return true;
}

void SdlConsole::pumpEvents() {
    if (!window_) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_KEYDOWN && !e.key.repeat) {
            if (isProgramKey(e.key.keysym.sym, e.key.keysym.mod)) keys_.push_back(static_cast<int>(e.key.keysym.sym));
        } else if (e.type == SDL_QUIT ||
                   (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            keys_.push_back(27);  // closing the window ends the presentation like Escape
        }
    }
}

bool SdlConsole::keyPending() {
    pumpEvents();
    return !keys_.empty();
}

int SdlConsole::readKey() {
    if (keys_.empty()) return 0;
    int code = keys_.front();
    keys_.pop_front();
    return code;
}

}  // namespace marrow
