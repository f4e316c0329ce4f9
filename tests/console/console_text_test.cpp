// The log text on its own: newest-first order, trimming at the capacity,
// line-end conversion.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/console_text.h"

namespace marrow {
namespace {

constexpr size_t kMaxLength = 65535;  // 65536 bytes with the terminating NUL

TEST(ConsoleText, NewTextGoesOnTop) {
    auto log = std::make_unique<ConsoleText>();
    setConsoleText(*log, "banner\r\n");
    prependConsoleText(*log, "first\r\n");
    prependConsoleText(*log, "second\r\n");
    EXPECT_EQ(std::string(log->bytes), "second\r\nfirst\r\nbanner\r\n");
    EXPECT_EQ(log->length, 23u);
    setConsoleText(*log, "again\r\n");
    EXPECT_EQ(std::string(log->bytes), "again\r\n");
}

TEST(ConsoleText, KeepsTheLongestWholeLinePrefixOfMixedLines) {
    // Lines of 3..300 bytes (the log is full after about 430): after each one the log must be the longest run of
    // whole newest lines that fits, computed here from the full history.
    auto log = std::make_unique<ConsoleText>();
    setConsoleText(*log, "");
    std::vector<std::string> newestFirst;
    uint32_t seed = 12345;
    for (int i = 0; i < 1000; ++i) {
        seed = seed * 1103515245u + 12345u;
        size_t len = 1 + (seed >> 16) % 298;
        std::string line(len, static_cast<char>('a' + i % 26));
        line += "\r\n";
        prependConsoleText(*log, line.c_str());
        newestFirst.insert(newestFirst.begin(), line);
        std::string expected;
        for (const std::string& l : newestFirst) {
            if (expected.size() + l.size() > kMaxLength) break;
            expected += l;
        }
        ASSERT_EQ(std::string(log->bytes, log->length), expected) << "after line " << i;
    }
}

TEST(ConsoleText, ExactFitKeepsEverything) {
    auto log = std::make_unique<ConsoleText>();
    std::string old(kMaxLength - 10, 'o');
    old.replace(old.size() - 2, 2, "\r\n");
    setConsoleText(*log, old.c_str());
    prependConsoleText(*log, "12345678\r\n");  // 10 bytes: exactly full
    EXPECT_EQ(log->length, kMaxLength);
    EXPECT_EQ(std::string(log->bytes, 10), "12345678\r\n");
    prependConsoleText(*log, "x\r\n");  // the one old line no longer fits
    EXPECT_EQ(std::string(log->bytes, log->length), "x\r\n12345678\r\n");
}

TEST(ConsoleText, TextLongerThanTheLogIsCut) {
    auto log = std::make_unique<ConsoleText>();
    setConsoleText(*log, "old\r\n");
    // Several lines: cut after the last line end within the capacity.
    std::string lines;
    while (lines.size() < 70000) lines += std::string(98, 'L') + "\r\n";
    prependConsoleText(*log, lines.c_str());
    EXPECT_EQ(log->length, 655u * 100u);
    EXPECT_EQ(std::string(log->bytes, log->length), lines.substr(0, 65500));
    // One endless line: cut hard at the capacity, still NUL-terminated.
    std::string endless(70000, 'E');
    prependConsoleText(*log, endless.c_str());
    EXPECT_EQ(log->length, kMaxLength);
    EXPECT_EQ(log->bytes[kMaxLength], '\0');
}

TEST(ConsoleText, UnixLineEnds) {
    const char text[] = "a\r\nb\rc\n\r\r\n\r";
    EXPECT_EQ(withUnixLineEnds(text, sizeof text - 1), "a\nb\rc\n\r\n\r");
    EXPECT_EQ(withUnixLineEnds("", 0), "");
}

}  // namespace
}  // namespace marrow
