// marrow_web.cpp: the entry points the page calls (marrow-page.js).
//
// The page calls marrow_start() after the click on its start screen, then
// marrow_step() from every requestAnimationFrame callback: that is the
// desktop program's start-up and its frame loop, one iteration per call
// (startDemo / stepDemo / stopDemo of frame_loop.h). When a step returns 0
// the presentation has ended (the soundtrack played out, or Escape), the
// music is stopped and the page shows its start screen again; another
// click restarts the soundtrack from its beginning (the resources and the
// effects' state stay as they are: start-up runs once per page).
//
// Test and measurement entry points run the presentation without sound:
// marrow_prepare() loads everything as the start-up does, and
// marrow_compose(t) composes, border-blanks and hashes the frame for music
// time t as marrow-capture does, so a browser pass at a fixed rate can be
// compared frame by frame with the desktop build's `--hashes`.
#include <emscripten.h>

#include <cstdint>

#include "app/demo_init.h"
#include "app/frame_loop.h"
#include "app/timeline.h"
#include "common/frame_hash.h"
#include "console/console_log.h"

using namespace marrow;

namespace {

enum class PageState { Fresh, Prepared, Running, Stopped };
PageState state = PageState::Fresh;
uint64_t lastHash = 0;

}  // namespace

extern "C" {

// 1 when the presentation is running, 0 when the display could not open.
EMSCRIPTEN_KEEPALIVE int marrow_start() {
    DemoHost& host = realHost();
    if (state == PageState::Fresh) {
        if (!startDemo(host)) return 0;
    } else {
        // Start-up already ran on this page: only the soundtrack restarts.
        host.logLine("Loading & Playing Music..\r\n");
        host.startMusic("music\\demo.mp3");
    }
    state = PageState::Running;
    return 1;
}

// One frame; 0 once the presentation has ended (and has been shut down).
EMSCRIPTEN_KEEPALIVE int marrow_step() {
    if (state != PageState::Running) return 0;
    if (stepDemo(realHost())) return 1;
    stopDemo(realHost());
    state = PageState::Stopped;
    return 0;
}

EMSCRIPTEN_KEEPALIVE void marrow_prepare() {
    if (state != PageState::Fresh) return;
    openConsoleLog();
    logText("Initializing Demo..");
    initDemo();
    state = PageState::Prepared;
}

// Composes the frame for time t, blanks its border, keeps its hash for
// marrow_hash_low/high and returns its pixels.
EMSCRIPTEN_KEEPALIVE const uint32_t* marrow_compose(double t) {
    uint32_t* frame = composeFrame(t);
    blankBorder(frame);
    lastHash = hashFrame(frame);
    return frame;
}

EMSCRIPTEN_KEEPALIVE uint32_t marrow_hash_low() { return static_cast<uint32_t>(lastHash); }
EMSCRIPTEN_KEEPALIVE uint32_t marrow_hash_high() { return static_cast<uint32_t>(lastHash >> 32); }

// The timeline's interval boundaries in seconds, for the ?bench page.
EMSCRIPTEN_KEEPALIVE int marrow_threshold_count() { return kThresholdCount; }
EMSCRIPTEN_KEEPALIVE double marrow_threshold(int i) {
    return i >= 0 && i < kThresholdCount ? kThresholds[i] : 0.0;
}

// What the Save button of the panel does on the desktop.
EMSCRIPTEN_KEEPALIVE void marrow_save_log() { saveConsoleAndReport(); }

}  // extern "C"
