#include "console/console_text.h"

#include <cstring>

namespace marrow {

namespace {

constexpr size_t kMaxLength = kConsoleTextSize - 1;  // one byte for the NUL

// Length to keep of a candidate text of `length` bytes starting at `bytes`:
// all of it when it fits, else up to and including the last '\n' within the
// capacity, else the capacity itself.
size_t fittedLength(const char* bytes, size_t length) {
    if (length <= kMaxLength) return length;
    for (size_t i = kMaxLength; i > 0; --i) {
        if (bytes[i - 1] == '\n') return i;
    }
    return kMaxLength;
}

}  // namespace

void setConsoleText(ConsoleText& log, const char* text) {
    log.length = 0;
    log.bytes[0] = '\0';
    prependConsoleText(log, text);
}

void prependConsoleText(ConsoleText& log, const char* text) {
    size_t add = std::strlen(text);
    if (add >= kMaxLength) {
        // The new text alone fills the log: nothing old survives.
        size_t keep = fittedLength(text, add);
        std::memcpy(log.bytes, text, keep);
        log.length = keep;
        log.bytes[keep] = '\0';
        return;
    }
    // Keep as much old text as fits after the new text, cut back to its last
    // line end so no half line is left at the bottom.
    size_t keepOld = log.length;
    if (add + keepOld > kMaxLength) {
        keepOld = kMaxLength - add;
        while (keepOld > 0 && log.bytes[keepOld - 1] != '\n') --keepOld;
    }
    std::memmove(log.bytes + add, log.bytes, keepOld);
    std::memcpy(log.bytes, text, add);
    log.length = add + keepOld;
    log.bytes[log.length] = '\0';
}

std::string withUnixLineEnds(const char* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace marrow
