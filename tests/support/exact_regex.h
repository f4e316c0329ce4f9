// exact_regex.h: a text as a regular expression that matches exactly it,
// for death-test messages that contain a file path.
#pragma once

#include <cstring>
#include <string>

inline std::string exactRegex(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::strchr(".[]{}()\\*+?^$|", c)) out += '\\';
        out += c;
    }
    return out;
}
