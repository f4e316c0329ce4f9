// console_log.h: the program's log, shown newest line first.
//
// openConsoleLog() writes the banner and starts the console window on its
// own thread, then pauses 500 ms. logLine(text) puts text (already ending in
// "\r\n") at the top of the log and returns once the window shows it. Every
// line also goes to standard error. saveConsoleLog(path) writes the log and
// returns 1 on success, 0 on failure.
#pragma once

#include <string>

namespace marrow {

void openConsoleLog();
void logLine(const char* text);
int saveConsoleLog(const char* path);

// Formats message with "%s\r\n" into a 256-byte buffer, as every caller of
// logLine does, and logs it.
void logText(const char* message);

// A copy of the whole log text, newest line first.
std::string consoleText();

}  // namespace marrow
