#include "platform/arguments.h"

namespace platform {

namespace {
std::vector<std::string>& stored() {
    static std::vector<std::string> args;
    return args;
}
}  // namespace

void set_arguments(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    set_arguments(std::move(args));
}

void set_arguments(std::vector<std::string> args) { stored() = std::move(args); }

const std::vector<std::string>& arguments() { return stored(); }

}  // namespace platform
