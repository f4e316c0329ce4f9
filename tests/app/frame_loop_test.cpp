// The start-up order, the frame loop and the shutdown, against a fake host.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "common/framebuffer.h"

using namespace marrow;

namespace {

class FakeHost : public DemoHost {
public:
    FakeHost() : frame(kFramePixels, 0x00ABCDEF) {}

    void openConsoleLog() override { calls.push_back("openConsoleLog"); }
    void logLine(const char* text) override { calls.push_back(std::string("log ") + text); }
    void initDemo() override { calls.push_back("initDemo"); }
    int openDisplay(const char* title, int w, int h) override {
        calls.push_back("openDisplay " + std::string(title) + " " + std::to_string(w) + "x" + std::to_string(h));
        return displayOpens;
    }
    void startMusic(const char* path) override { calls.push_back(std::string("startMusic ") + path); }
    int musicEnded() override { return framesLeft-- <= 0 ? 1 : 0; }
    double musicTime() override { return time += 0.25; }
    int pollKeys() override {
        if (keysPerPoll.empty()) return 0;
        std::vector<char> burst = keysPerPoll.front();
        keysPerPoll.pop_front();
        if (burst.empty()) return 0;
        key = burst.back();  // only the last key of a burst is kept
        return 1;
    }
    char lastKey() override { return key; }
    uint32_t* composeFrame(double t) override {
        calls.push_back("compose " + std::to_string(t));
        std::fill(frame.begin(), frame.end(), 0x00ABCDEF);
        return frame.data();
    }
    void presentFrame(const uint32_t* pixels) override {
        calls.push_back("present");
        presented.emplace_back(pixels, pixels + kFramePixels);
    }
    void stopMusic() override { calls.push_back("stopMusic"); }
    void closeDisplay() override { calls.push_back("closeDisplay"); }

    std::vector<std::string> calls;
    std::vector<uint32_t> frame;
    std::vector<std::vector<uint32_t>> presented;
    std::deque<std::vector<char>> keysPerPoll;
    int framesLeft = 2;
    int displayOpens = 1;
    double time = 0;
    char key = 0;
};

const std::vector<std::string> kStartUp{
    "openConsoleLog",
    "log Initializing Demo..\r\n",
    "initDemo",
    "log Opening Video Display..\r\n",
    "openDisplay Nightjar Video GFX System 320x200",
    "log Loading & Playing Music..\r\n",
    "startMusic music\\demo.mp3",
};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(FrameLoop, StartsUpInOrderRunsUntilTheMusicEndsAndShutsDown) {
    FakeHost host;
    EXPECT_EQ(runDemo(host), 1);
    EXPECT_EQ(host.calls, concat(kStartUp, {"compose 0.250000", "present", "compose 0.500000", "present",
                                            "stopMusic", "closeDisplay"}));
}

TEST(FrameLoop, EveryPresentedFrameHasABlackBorder) {
    FakeHost host;
    runDemo(host);
    ASSERT_EQ(host.presented.size(), 2u);
    for (const auto& f : host.presented) {
        for (int x = 0; x < kFrameWidth; ++x) {
            EXPECT_EQ(f[x], 0u);
            EXPECT_EQ(f[199 * kFrameWidth + x], 0u);
        }
        for (int y = 0; y < kFrameHeight; ++y) {
            EXPECT_EQ(f[y * kFrameWidth], 0u);
            EXPECT_EQ(f[y * kFrameWidth + 319], 0u);
        }
        // Only the border: the pixels next to it are untouched.
        EXPECT_EQ(f[1 * kFrameWidth + 1], 0x00ABCDEFu);
        EXPECT_EQ(f[198 * kFrameWidth + 318], 0x00ABCDEFu);
    }
    // The blanking happens in place, in the buffer the timeline returned
    // (for an image's own pixels, the image stays blanked).
    EXPECT_EQ(host.frame[0], 0u);
    EXPECT_EQ(host.frame[kFrameWidth + 1], 0x00ABCDEFu);
}

TEST(FrameLoop, SpaceLogsTheTimeAndStillPresents) {
    FakeHost host;
    host.keysPerPoll = {{'a', ' '}};  // another key followed by space: the space counts
    runDemo(host);
    EXPECT_EQ(host.calls, concat(kStartUp, {"log time 0.250000\r\n", "compose 0.250000", "present",
                                            "compose 0.500000", "present", "stopMusic", "closeDisplay"}));
}

TEST(FrameLoop, AnotherKeyEndsWithoutPresenting) {
    FakeHost host;
    host.framesLeft = 5;
    host.keysPerPoll = {{}, {' ', 'q'}};  // space then another key: the loop ends
    runDemo(host);
    EXPECT_EQ(host.calls, concat(kStartUp, {"compose 0.250000", "present", "stopMusic", "closeDisplay"}));
}

TEST(FrameLoop, MusicEndedBeforeTheFirstFramePresentsNothing) {
    FakeHost host;
    host.framesLeft = 0;
    EXPECT_EQ(runDemo(host), 1);
    EXPECT_EQ(host.calls, concat(kStartUp, {"stopMusic", "closeDisplay"}));
}

TEST(FrameLoop, NoDisplayEndsAtOnceWithoutMusic) {
    FakeHost host;
    host.displayOpens = 0;
    EXPECT_EQ(runDemo(host), 1);
    std::vector<std::string> expected(kStartUp.begin(), kStartUp.begin() + 5);
    EXPECT_EQ(host.calls, expected);
}

// The browser calls the loop one step per animation frame: a step is one
// iteration, and the steps together do what runDemo's loop does.
TEST(FrameLoop, OneStepIsOneIteration) {
    FakeHost host;
    host.framesLeft = 3;
    host.keysPerPoll = {{}, {' '}};
    ASSERT_TRUE(startDemo(host));
    EXPECT_EQ(host.calls, kStartUp);
    host.calls.clear();
    EXPECT_TRUE(stepDemo(host));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"compose 0.250000", "present"}));
    host.calls.clear();
    EXPECT_TRUE(stepDemo(host));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"log time 0.500000\r\n", "compose 0.500000", "present"}));
    host.calls.clear();
    EXPECT_TRUE(stepDemo(host));
    EXPECT_FALSE(stepDemo(host));  // the music has ended: nothing composed
    EXPECT_EQ(host.calls, (std::vector<std::string>{"compose 0.750000", "present"}));
    stopDemo(host);
    EXPECT_EQ(host.calls.back(), "closeDisplay");
}

TEST(FrameLoop, StepWithEscapeEndsWithoutComposing) {
    FakeHost host;
    host.keysPerPoll = {{27}};
    ASSERT_TRUE(startDemo(host));
    host.calls.clear();
    EXPECT_FALSE(stepDemo(host));
    EXPECT_TRUE(host.calls.empty());
}

TEST(FrameLoop, StartWithoutDisplayReportsIt) {
    FakeHost host;
    host.displayOpens = 0;
    EXPECT_FALSE(startDemo(host));
    EXPECT_EQ(host.calls.back(), "openDisplay Nightjar Video GFX System 320x200");
}
