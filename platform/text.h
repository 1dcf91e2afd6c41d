// Small helpers for the blank-padded texts of the model's files.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// The text without its trailing blanks; leading blanks stay.
inline std::string trimmed(std::string_view text) {
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

// A number right-justified in `width` columns with `decimals` decimals (the
// field grows when the number needs more room).
inline std::string fixed(double value, int width, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
    return buffer;
}

// An integer right-justified in `width` columns.
inline std::string integer(long long value, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*lld", width, value);
    return buffer;
}

}  // namespace platform
