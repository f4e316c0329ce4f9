// console_report.cpp: the log's banner and the calls built on logLine and
// saveConsoleLog, the same in the desktop and the browser build (each has
// its own logLine and saveConsoleLog).
#include <cstdio>

#include "console/console_log.h"
#include "console/console_text.h"

namespace marrow {

const char kConsoleBanner[] =
    "-\r\n"
    "Marrow(win32) build 0.7.4\r\n"
    "-\r\n"
    "code, pictures and music made from scratch by the Marrow authors\r\n"
    "-\r\n"
    "thanks to everyone who contributed to Marrow\r\n"
    "and anyone who helped in the development (you know who you are)\r\n";

void logText(const char* message) {
    // A message too long for the buffer is shortened rather than losing its
    // line end, which would splice it onto the next line of the log.
    char line[256];
    std::snprintf(line, sizeof line, "%.253s\r\n", message);
    logLine(line);
}

int saveConsoleAndReport() {
    int saved = saveConsoleLog("debug.txt");
    logText(saved == 1 ? "Saved console output to debug.txt." : "Failed to save debug.txt.");
    return saved;
}

}  // namespace marrow
