// console_log.cpp: the log text, its hand-over to the console window, and
// saving it to a file. The window itself lives in console_window.cpp.
//
// Cost per logged line: a move of the kept log (at most 64 KB) under the
// mutex, one write to standard error and, while the window is open, one
// round trip to the console thread, which inserts only the new lines.
#include "console/console_log.h"

#include <FL/Fl.H>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "console/console_state.h"

namespace marrow {

namespace {

// Mirrors log text to standard error so a terminal or CI log shows it too.
// One fwrite per call, so lines from two threads never interleave.
void writeToStderr(const char* text, size_t length) {
    std::string out = withUnixLineEnds(text, length);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

ConsoleShared& consoleShared() {
    static ConsoleShared* shared = new ConsoleShared;
    return *shared;
}

void openConsoleLog() {
    ConsoleShared& s = consoleShared();
    writeToStderr(kConsoleBanner, std::strlen(kConsoleBanner));
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        setConsoleText(s.text, kConsoleBanner);
        ++s.version;
        s.addedSinceShown = kReplaceAll;
        // The window can be opened once per process; a second call only
        // rewrites the banner.
        if (s.state == ConsoleWindowState::NotStarted) {
            s.state = ConsoleWindowState::Starting;
            start = true;
        }
    }
    if (start) {
        try {
            // Never joined: the process may end while the window is open.
            std::thread(runConsoleThread).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.state = ConsoleWindowState::Closed;
        }
    }
    // Gives the window time to appear before the first start-up line.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

void logLine(const char* text) {
    if (text == nullptr) return;
    const size_t length = std::char_traits<char>::length(text);
    // Outside the lock: a slow terminal must not hold up the window.
    writeToStderr(text, length);
    ConsoleShared& s = consoleShared();
    std::unique_lock<std::mutex> lock(s.mutex);
    prependConsoleText(s.text, text);
    s.addedSinceShown = s.addedSinceShown > kReplaceAll - length ? kReplaceAll : s.addedSinceShown + length;
    const uint64_t mine = ++s.version;
    // Only another thread waits, and only for a window that is open: the
    // console thread itself (the Save button) would wait for itself, and
    // before the window appears or after Exit nobody would ever answer.
    if (s.state != ConsoleWindowState::Open || s.consoleThread == std::this_thread::get_id()) {
        return;
    }
    lock.unlock();
    // Wakes the console thread's event loop; it takes the newest text.
    Fl::awake();
    lock.lock();
    s.shown.wait(lock, [&] {
        return s.shownVersion >= mine || s.state != ConsoleWindowState::Open;
    });
}

int saveConsoleLog(const char* path) {
    ConsoleShared& s = consoleShared();
    std::string text;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        text.assign(s.text.bytes, s.text.length);
    }
    // Written beside the target and renamed over it: a save that fails half
    // way never leaves a truncated file, and an older file survives.
    const std::string temp = std::string(path) + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return 0;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path) == 0) return 1;
    std::remove(temp.c_str());
    return 0;
}

std::string consoleText() {
    ConsoleShared& s = consoleShared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::string(s.text.bytes, s.text.length);
}

bool consoleWindowOpen() {
    ConsoleShared& s = consoleShared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.state == ConsoleWindowState::Open;
}

std::string consoleWindowText() {
    ConsoleShared& s = consoleShared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.shownText;
}

}  // namespace marrow
