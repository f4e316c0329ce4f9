// Interim log: keeps the text in memory and mirrors it to standard error.
// The console window replaces this.
#include "console/console_log.h"

#include <cstdio>
#include <mutex>

namespace marrow {

namespace {
std::mutex g_mutex;
std::string g_text;
}  // namespace

void openConsoleLog() {}

void logLine(const char* text) {
    std::fputs(text, stderr);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_text.insert(0, text);
}

int saveConsoleLog(const char*) { return 0; }

void logText(const char* message) {
    char line[256];
    std::snprintf(line, sizeof line, "%s\r\n", message);
    logLine(line);
}

std::string consoleText() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_text;
}

}  // namespace marrow
