#include "platform/fatal.h"

namespace platform {

void fatal(std::string_view routine, std::string_view text) {
    std::string message(routine);
    message += "-F-";
    message += text;
    throw Fatal(std::move(message));
}

void stop(std::string_view message) { throw Fatal(std::string(message)); }

void stop_quietly() { throw Fatal(std::string()); }

}  // namespace platform
