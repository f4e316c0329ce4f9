// console_log.h: the program's log, shown newest line first in the console
// window ("Console Output"), which runs on a thread of its own.
//
// openConsoleLog() replaces the log with the banner, starts the console
// thread (once per process) and pauses 500 ms. logLine(text) puts text
// (already ending in "\r\n") at the top of the log and, when called from
// another thread while the window is open, returns only once the window has
// taken the new text. Every line also goes to standard error with "\n" line
// ends. The log holds at most 65535 bytes; older lines fall off the end.
// Without an X display the window never opens: the log is kept and nothing
// waits. All calls are safe from any thread.
#pragma once

#include <string>

namespace marrow {

void openConsoleLog();
void logLine(const char* text);

// Writes the log to path (through path + ".tmp" and a rename, so a failed
// save leaves any earlier file whole). Returns 1 on success, 0 on failure.
int saveConsoleLog(const char* path);

// Formats message with "%s\r\n" into a 256-byte buffer, as every caller of
// logLine does, and logs it. A longer message keeps its first 253 bytes and
// the line end.
void logText(const char* message);

// What the Save button does: saves to "debug.txt" in the working directory
// and logs "Saved console output to debug.txt." or "Failed to save
// debug.txt.". Returns saveConsoleLog's result.
int saveConsoleAndReport();

// A copy of the whole log text, newest line first.
std::string consoleText();

// True while the console window is shown (between its first appearance and
// Exit). False before, after, and always without a display.
bool consoleWindowOpen();

// What the window's text view holds, with "\n" line ends (empty if the
// window never opened).
std::string consoleWindowText();

}  // namespace marrow
