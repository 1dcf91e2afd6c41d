// Fatal errors: every "-F-" message and every other stop of a run travels as
// platform::Fatal up to main, which prints it on standard error, discards the
// temporary output files and returns exit status 1. Nothing below main exits.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class Fatal : public std::runtime_error {
public:
    // An empty message is a quiet stop (e.g. a refused version question).
    explicit Fatal(std::string message) : std::runtime_error(std::move(message)) {}
    bool quiet() const { return what()[0] == '\0'; }
};

// "ROUTINE-F-text"
[[noreturn]] void fatal(std::string_view routine, std::string_view text);
// A stop with a message that already has its final form.
[[noreturn]] void stop(std::string_view message);
// A stop without any message.
[[noreturn]] void stop_quietly();

inline void fatal_if(bool condition, std::string_view routine, std::string_view text) {
    if (condition) fatal(routine, text);
}

}  // namespace platform
