// Small helpers for the blank-padded texts of the model's files.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The text without its trailing blanks; leading blanks stay.
inline std::string trimmed(std::string_view text) {
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace platform
