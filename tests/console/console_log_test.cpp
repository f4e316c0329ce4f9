// The process-wide log: banner and order, saving, trimming, and many threads
// at once. Under Xvfb (make test) the console window is open during these
// tests, so logLine's hand-over to the window is exercised too; without a
// display the same tests run headless.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/console_log.h"

namespace marrow {
namespace {

namespace fs = std::filesystem;

const char kSaved[] = "Saved console output to debug.txt.\r\n";
const char kFailed[] = "Failed to save debug.txt.\r\n";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string unixLines(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Runs a test inside a fresh empty directory, since the Save button always
// writes "debug.txt" in the working directory.
class ScratchDir {
public:
    ScratchDir() : old_(fs::current_path()) {
        char pattern[] = "/tmp/marrow-console-XXXXXX";
        dir_ = mkdtemp(pattern);
        fs::current_path(dir_);
    }
    ~ScratchDir() {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

private:
    fs::path old_;
    fs::path dir_;
};

TEST(ConsoleLog, BannerThenLinesNewestFirst) {
    openConsoleLog();
    const std::string banner = consoleText();
    std::vector<std::string> lines = splitLines(banner);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "-");
    EXPECT_EQ(lines[1], "Marrow(win32) build 0.7.4");
    EXPECT_EQ(lines[2], "-");
    EXPECT_FALSE(lines[3].empty());
    EXPECT_EQ(lines[4], "-");
    EXPECT_FALSE(lines[5].empty());
    EXPECT_EQ(lines[6], "and anyone who helped in the development (you know who you are)");
    EXPECT_EQ(banner.substr(banner.size() - 2), "\r\n");

    const bool window = consoleWindowOpen();
    logText("Initializing Demo..");
    logText("Opening Video Display..");
    logLine("Loading & Playing Music..\r\n");
    const std::string text = consoleText();
    EXPECT_EQ(text,
              "Loading & Playing Music..\r\nOpening Video Display..\r\nInitializing Demo..\r\n" + banner);
    // The hand-over is synchronous: once logLine has returned, an open
    // window already holds the line.
    if (window) {
        EXPECT_EQ(consoleWindowText(), unixLines(text));
    }

    // Opening again only rewrites the banner; no second window appears.
    openConsoleLog();
    EXPECT_EQ(consoleText(), banner);
    EXPECT_EQ(consoleWindowOpen(), window);
    if (window) {
        logText("after reopening");
        EXPECT_EQ(consoleWindowText(), unixLines(consoleText()));
    }
}

TEST(ConsoleLog, LogTextFitsMessagesInto256Bytes) {
    openConsoleLog();
    const std::string banner = consoleText();
    std::string longMessage(400, 'm');
    logText(longMessage.c_str());
    // 253 message bytes, then "\r\n" and the NUL.
    EXPECT_EQ(consoleText(), std::string(253, 'm') + "\r\n" + banner);
    logLine(nullptr);  // ignored
    EXPECT_EQ(consoleText(), std::string(253, 'm') + "\r\n" + banner);
}

TEST(ConsoleLog, SaveTwiceKeepsTheFirstReportInTheSecondFile) {
    ScratchDir scratch;
    openConsoleLog();
    logText("Loading & Playing Music..");
    const std::string before = consoleText();

    EXPECT_EQ(saveConsoleAndReport(), 1);
    EXPECT_EQ(readFile("debug.txt"), before);
    const std::string afterFirst = consoleText();
    EXPECT_EQ(afterFirst, kSaved + before);

    EXPECT_EQ(saveConsoleAndReport(), 1);
    EXPECT_EQ(readFile("debug.txt"), afterFirst);
    EXPECT_EQ(consoleText(), kSaved + afterFirst);
    EXPECT_FALSE(fs::exists("debug.txt.tmp"));
}

TEST(ConsoleLog, FailedSaveReportsAndChangesNothingElse) {
    ScratchDir scratch;
    openConsoleLog();
    // Tests run as root, so permissions prove nothing: a directory in the
    // way makes the save fail for anyone.
    fs::create_directory("debug.txt");
    const std::string before = consoleText();
    EXPECT_EQ(saveConsoleAndReport(), 0);
    EXPECT_EQ(consoleText(), kFailed + before);
    EXPECT_TRUE(fs::is_directory("debug.txt"));
    EXPECT_TRUE(fs::is_empty("debug.txt"));
    EXPECT_FALSE(fs::exists("debug.txt.tmp"));
}

TEST(ConsoleLog, FailedSaveLeavesAnOlderFileWhole) {
    ScratchDir scratch;
    openConsoleLog();
    { std::ofstream("debug.txt", std::ios::binary) << "earlier log\r\n"; }
    fs::create_directory("debug.txt.tmp");  // the temporary cannot be written
    EXPECT_EQ(saveConsoleLog("debug.txt"), 0);
    EXPECT_EQ(readFile("debug.txt"), "earlier log\r\n");
    EXPECT_TRUE(fs::is_directory("debug.txt.tmp"));  // not ours to remove
}

TEST(ConsoleLog, OverflowKeepsTheNewestLinesWhole) {
    openConsoleLog();
    const bool window = consoleWindowOpen();
    for (int i = 0; i < 2000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "overflow %04d %s", i, std::string(44, '.').c_str());
        ASSERT_EQ(std::strlen(line), 58u);
        logText(line);
    }
    const std::string text = consoleText();
    EXPECT_LT(text.size(), 65536u);
    std::vector<std::string> lines = splitLines(text);
    // 65535 / 60 = 1092 whole lines of 60 bytes; the banner is gone.
    ASSERT_EQ(lines.size(), 1092u);
    EXPECT_EQ(text.size(), 1092u * 60u);
    for (size_t k = 0; k < lines.size(); ++k) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "overflow %04d %s", 1999 - static_cast<int>(k),
                      std::string(44, '.').c_str());
        ASSERT_EQ(lines[k], expected) << "line " << k;
    }
    // The window follows the trimming line by line, without a full reload.
    if (window) {
        EXPECT_EQ(consoleWindowText(), unixLines(text));
    }
}

// A stress line carries its number twice and a filler whose length follows
// from the number, so a torn or spliced line cannot pass for a whole one.
std::string stressLine(int writer, int n) {
    char line[128];
    std::snprintf(line, sizeof line, "w%d %05d %s %05d", writer, n, std::string(n % 37, 'x').c_str(), n);
    return line;
}

// Every line of a snapshot is a banner line, a save report or a whole stress
// line, and each writer's lines appear newest first without gaps.
void expectWholeLines(const std::string& text, int writers) {
    ASSERT_TRUE(text.empty() || text.substr(text.size() - 2) == "\r\n");
    std::vector<int> last(static_cast<size_t>(writers), -1);
    for (const std::string& line : splitLines(text)) {
        int w = -1;
        int n = -1;
        if (std::sscanf(line.c_str(), "w%d %d", &w, &n) == 2) {
            ASSERT_GE(w, 0);
            ASSERT_LT(w, writers);
            ASSERT_EQ(line, stressLine(w, n));
            int& prev = last[static_cast<size_t>(w)];
            if (prev >= 0) {
                ASSERT_EQ(n, prev - 1) << "writer " << w;
            }
            prev = n;
        } else if (line != "Saved console output to debug.txt." && line != "-" &&
                   line.find("Marrow") == std::string::npos && line.find("anyone") == std::string::npos) {
            FAIL() << "unexpected line: " << line;
        }
    }
}

TEST(ConsoleLog, ConcurrentLoggingAndSavingNeverTearsALine) {
    ScratchDir scratch;
    openConsoleLog();
    constexpr int kWriters = 2;
    constexpr int kLines = 1500;
    std::atomic<int> running{kWriters};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([w, &running] {
            for (int n = 0; n < kLines; ++n) logText(stressLine(w, n).c_str());
            --running;
        });
    }
    int saves = 0;
    while (running > 0 || saves < 5) {
        // The Save button's path, from yet another thread than the window's.
        ASSERT_EQ(saveConsoleAndReport(), 1);
        const std::string saved = readFile("debug.txt");
        expectWholeLines(saved, kWriters);
        expectWholeLines(consoleText(), kWriters);
        ++saves;
    }
    for (std::thread& t : writers) t.join();
    const std::string text = consoleText();
    expectWholeLines(text, kWriters);
    // Every logLine above waited for the window, so it shows the final log.
    if (consoleWindowOpen()) {
        EXPECT_EQ(consoleWindowText(), unixLines(text));
    }
    // Both writers' last lines are in the log.
    EXPECT_NE(text.find(stressLine(0, kLines - 1) + "\r\n"), std::string::npos);
    EXPECT_NE(text.find(stressLine(1, kLines - 1) + "\r\n"), std::string::npos);
}

TEST(ConsoleLog, WithoutADisplayNothingWaits) {
    // In a fresh process, so the window of other tests is not already open.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            openConsoleLog();
            for (int i = 0; i < 100; ++i) logText("headless");
            bool ok = !consoleWindowOpen() && consoleWindowText().empty() &&
                      consoleText().rfind("headless\r\nheadless\r\n", 0) == 0 &&
                      splitLines(consoleText()).size() == 107;
            std::exit(ok ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ConsoleLog, UnreachableDisplayIsReportedAndNothingWaits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // No X server listens on this display number.
            setenv("DISPLAY", ":4987", 1);
            openConsoleLog();
            // The console thread tries five times 100 ms apart: wait it out.
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            logText("still logged");
            bool ok = !consoleWindowOpen() && consoleText().rfind("still logged\r\n", 0) == 0 &&
                      consoleText().find("X display") == std::string::npos;
            std::exit(ok ? 0 : 3);
        },
        testing::ExitedWithCode(0),
        "Console Output: cannot open the X display :4987; the log goes on without the window\n");
}

}  // namespace
}  // namespace marrow
