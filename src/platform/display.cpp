#include "platform/display.h"

#include <cstdio>
#include <cstring>

// display() itself, over the build's display library, is defined with that
// library: native_platform.cpp (SDL2) or the browser build's own layer.

namespace marrow {

int DisplayLayer::openDisplay(const char* title, int width, int height) {
    // The title must be shorter than 128 characters; a longer one is cut.
    std::snprintf(displayTitle_, sizeof displayTitle_, "%s", title);
    if (width == displayWidth_ && height == displayHeight_) return 1;

    if (fullscreen == 0) console_.option("windowed output");
    console_.option("fixed window");
    if (!console_.open(displayTitle_, width, height, kFramePixelFormat, 0)) {
        std::fprintf(stderr, "Could not open the display: %s\n", console_.error().c_str());
        return 0;
    }
    displayWidth_ = width;
    displayHeight_ = height;

    if (surface_) {
        surface_->unlock();
        surface_.reset();
    }
    surface_ = console_.createSurface(displayWidth_, displayHeight_, kFramePixelFormat);
    // Locked once for the surface's whole life.
    surfacePixels_ = surface_->lock();
    return 1;
}

void DisplayLayer::presentFrame(const uint32_t* pixels) {
    std::memcpy(surfacePixels_, pixels,
                static_cast<size_t>(displayWidth_) * static_cast<size_t>(displayHeight_) * 4);
    console_.copy(*surface_);
    console_.update();
}

int DisplayLayer::pollKeys() {
    if (!console_.keyPending()) return 0;
    while (console_.keyPending()) lastKeyCode_ = static_cast<char>(console_.readKey() & 0xFF);
    return 1;
}

int openDisplay(const char* title, int width, int height) {
    return display().openDisplay(title, width, height);
}
void presentFrame(const uint32_t* pixels) { display().presentFrame(pixels); }
int pollKeys() { return display().pollKeys(); }
char lastKey() { return display().lastKey(); }
void closeDisplay() { display().closeDisplay(); }

}  // namespace marrow
