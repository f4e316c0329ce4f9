// The display layer over a fake display library.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "common/framebuffer.h"
#include "platform/display.h"
#include "platform/sdl_display.h"

#include <SDL2/SDL_keyboard.h>
#include <SDL2/SDL_keycode.h>

using namespace marrow;

namespace {

class FakeSurface : public DisplaySurface {
public:
    FakeSurface(int w, int h) : pixels(static_cast<size_t>(w) * h) {}
    uint32_t* lock() override {
        ++locks;
        return pixels.data();
    }
    void unlock() override { ++unlocks; }
    std::vector<uint32_t> pixels;
    int locks = 0, unlocks = 0;
};

class FakeConsole : public DisplayConsole {
public:
    void option(const std::string& text) override { calls.push_back("option " + text); }
    bool open(const std::string& title, int w, int h, const PixelFormat& f, int pages) override {
        calls.push_back("open " + title + " " + std::to_string(w) + "x" + std::to_string(h));
        format = f;
        EXPECT_EQ(pages, 0);
        return openSucceeds;
    }
    std::unique_ptr<DisplaySurface> createSurface(int w, int h, const PixelFormat&) override {
        calls.push_back("surface");
        auto s = std::make_unique<FakeSurface>(w, h);
        lastSurface = s.get();
        return s;
    }
    void copy(DisplaySurface& s) override {
        calls.push_back("copy");
        shown = static_cast<FakeSurface&>(s).pixels;
    }
    void update() override { calls.push_back("update"); }
    bool keyPending() override { return !keys.empty(); }
    int readKey() override {
        int k = keys.front();
        keys.pop_front();
        return k;
    }
    std::string error() const override { return "no X server"; }

    std::vector<std::string> calls;
    std::deque<int> keys;
    PixelFormat format{};
    FakeSurface* lastSurface = nullptr;
    std::vector<uint32_t> shown;
    bool openSucceeds = true;
};

}  // namespace

TEST(Display, OpensOnceInTheFramePixelFormatWithFixedWindowOnly) {
    FakeConsole console;
    DisplayLayer layer(console);
    EXPECT_EQ(layer.openDisplay("Nightjar Video GFX System", 320, 200), 1);
    // Full screen is the library default: only "fixed window" is requested.
    std::vector<std::string> expected{"option fixed window", "open Nightjar Video GFX System 320x200", "surface"};
    EXPECT_EQ(console.calls, expected);
    EXPECT_EQ(console.format.bits, 32);
    EXPECT_EQ(console.format.redMask, 0x00FF0000u);
    EXPECT_EQ(console.format.greenMask, 0x0000FF00u);
    EXPECT_EQ(console.format.blueMask, 0x000000FFu);
    EXPECT_EQ(console.format.alphaMask, 0u);
    EXPECT_EQ(console.lastSurface->locks, 1);  // locked once, for good

    // The same size again: nothing is reopened, only the title replaced.
    EXPECT_EQ(layer.openDisplay("Another title", 320, 200), 1);
    EXPECT_EQ(console.calls, expected);
    EXPECT_STREQ(layer.title(), "Another title");
    EXPECT_EQ(layer.width(), 320);
    EXPECT_EQ(layer.height(), 200);
}

TEST(Display, ReopeningAtAnotherSizeReplacesTheSurface) {
    FakeConsole console;
    DisplayLayer layer(console);
    layer.openDisplay("t", 320, 200);
    EXPECT_EQ(console.lastSurface->unlocks, 0);
    layer.openDisplay("t", 160, 100);
    EXPECT_EQ(std::count(console.calls.begin(), console.calls.end(), "surface"), 2);
    EXPECT_EQ(console.lastSurface->pixels.size(), 160u * 100u);
    EXPECT_EQ(console.lastSurface->locks, 1);
}

TEST(Display, LongTitlesAreCutToTheTitleBuffer) {
    FakeConsole console;
    DisplayLayer layer(console);
    std::string longTitle(300, 'x');
    layer.openDisplay(longTitle.c_str(), 320, 200);
    EXPECT_EQ(std::string(layer.title()), std::string(127, 'x'));
}

TEST(Display, FailedOpenReturnsZeroWithTheReason) {
    FakeConsole console;
    console.openSucceeds = false;
    DisplayLayer layer(console);
    testing::internal::CaptureStderr();
    EXPECT_EQ(layer.openDisplay("t", 320, 200), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no X server"), std::string::npos);
    EXPECT_EQ(layer.width(), 0);
}

TEST(Display, PresentCopiesTheWholeFrameThenUpdates) {
    FakeConsole console;
    DisplayLayer layer(console);
    layer.openDisplay("t", 320, 200);
    std::vector<uint32_t> frame(kFramePixels);
    for (int i = 0; i < kFramePixels; ++i) frame[i] = static_cast<uint32_t>(i) * 2654435761u;
    console.calls.clear();
    layer.presentFrame(frame.data());
    EXPECT_EQ(console.shown, frame);
    EXPECT_EQ(console.calls, (std::vector<std::string>{"copy", "update"}));
}

TEST(Display, OnePollEmptiesTheQueueAndKeepsTheLastKey) {
    FakeConsole console;
    DisplayLayer layer(console);
    EXPECT_EQ(layer.lastKey(), 0);
    EXPECT_EQ(layer.pollKeys(), 0);
    console.keys = {'a', 'b', ' '};
    EXPECT_EQ(layer.pollKeys(), 1);
    EXPECT_EQ(layer.lastKey(), 32);
    EXPECT_TRUE(console.keys.empty());
    EXPECT_EQ(layer.pollKeys(), 0);
    EXPECT_EQ(layer.lastKey(), 32);  // kept until the next key

    // Codes above 255 keep their low byte (SDL's non-character keys).
    console.keys = {0x40000000 | 0x4F};
    EXPECT_EQ(layer.pollKeys(), 1);
    EXPECT_EQ(static_cast<unsigned char>(layer.lastKey()), 0x4F);
    console.keys = {0x1FF};
    layer.pollKeys();
    EXPECT_EQ(static_cast<unsigned char>(layer.lastKey()), 0xFF);
}

// Modifiers alone and the desktop's window-switching chords are not presses
// of the presentation; everything else, with or without modifiers, is.
TEST(Display, ModifierKeysAndWindowSwitchingAreNotPresentationKeys) {
    for (SDL_Keycode k : {SDLK_LSHIFT, SDLK_RSHIFT, SDLK_LCTRL, SDLK_RCTRL, SDLK_LALT, SDLK_RALT, SDLK_LGUI,
                          SDLK_RGUI, SDLK_MODE, SDLK_CAPSLOCK})
        EXPECT_FALSE(isProgramKey(k, KMOD_NONE)) << SDL_GetKeyName(k);
    EXPECT_FALSE(isProgramKey(SDLK_TAB, KMOD_LALT));
    EXPECT_FALSE(isProgramKey(SDLK_TAB, KMOD_RALT | KMOD_LSHIFT));
    EXPECT_FALSE(isProgramKey(SDLK_d, KMOD_LGUI));
    EXPECT_TRUE(isProgramKey(SDLK_TAB, KMOD_NONE));
    EXPECT_TRUE(isProgramKey(SDLK_ESCAPE, KMOD_NONE));
    EXPECT_TRUE(isProgramKey(SDLK_SPACE, KMOD_NONE));
    EXPECT_TRUE(isProgramKey(SDLK_q, KMOD_LSHIFT));
    EXPECT_TRUE(isProgramKey(SDLK_c, KMOD_LCTRL));
    EXPECT_TRUE(isProgramKey(SDLK_F4, KMOD_LALT));
}
