// console_state.h: what the logging side and the console thread share.
// Internal to src/console.
//
// One mutex guards everything here. `version` counts changes of the text;
// the console thread copies the text into its widget and then records the
// version it showed in `shownVersion` and signals `shown`. A logging thread
// that must wait for the window waits on `shown` until its version is shown
// or the window is no longer open.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "console/console_text.h"

namespace marrow {

enum class ConsoleWindowState {
    NotStarted,  // openConsoleLog has not run yet
    Starting,    // thread started, window not shown yet
    Open,        // window shown; other threads wait for it to take each line
    Closed,      // Exit pressed, or no display: the log is only kept
};

constexpr size_t kReplaceAll = static_cast<size_t>(-1);

struct ConsoleShared {
    std::mutex mutex;
    std::condition_variable shown;  // shownVersion advanced or state left Open
    ConsoleText text;
    uint64_t version = 0;
    uint64_t shownVersion = 0;
    // Bytes put on top of the log since the window last took it, so the
    // window can insert just those; kReplaceAll when the log was replaced.
    size_t addedSinceShown = 0;
    std::string shownText;  // the text view's content after its last update
    ConsoleWindowState state = ConsoleWindowState::NotStarted;
    std::thread::id consoleThread;
};

// The one shared state. Allocated once and never freed: the detached console
// thread may still be running while the process runs its static destructors.
ConsoleShared& consoleShared();

// Body of the console thread: opens the window and runs its event loop until
// Exit; with no X display it marks the window closed and returns at once.
void runConsoleThread();

}  // namespace marrow
