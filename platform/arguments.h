// The process's command line: the arguments of argv, without the program name.
#pragma once

#include <string>
#include <vector>

namespace platform {

void set_arguments(int argc, const char* const* argv);
void set_arguments(std::vector<std::string> args);
const std::vector<std::string>& arguments();

}  // namespace platform
