// console_text.h: the log text itself, without any window or thread.
//
// The log is one NUL-terminated string of at most kConsoleTextSize - 1 bytes
// (65535), lines ending in "\r\n", newest line first. Prepending a line that
// would overflow it drops the oldest text (at the end) back to a line
// boundary, so the newest lines are always kept whole. Cost: one memmove of
// the kept text per line.
#pragma once

#include <cstddef>
#include <string>

namespace marrow {

// The seven lines openConsoleLog puts into a new log.
extern const char kConsoleBanner[];

// Capacity of the log in bytes, including the terminating NUL.
constexpr size_t kConsoleTextSize = 65536;

struct ConsoleText {
    char bytes[kConsoleTextSize] = {};
    size_t length = 0;  // bytes before the NUL, at most kConsoleTextSize - 1
};

// Replaces the whole log with text (cut like prependConsoleText if too long).
void setConsoleText(ConsoleText& log, const char* text);

// The new log is text followed by the old log. When that exceeds the
// capacity, the old log is cut after its last '\n' that still fits (dropped
// entirely if none does). A text that alone fills the log keeps no old text
// and is itself cut after its last '\n' within the capacity, or hard at the
// capacity when it has none.
void prependConsoleText(ConsoleText& log, const char* text);

// text with every "\r\n" turned into "\n": the form a terminal and the text
// widget want. A lone '\r' is kept.
std::string withUnixLineEnds(const char* text, size_t length);

}  // namespace marrow
