// The main of a command besides mural (erg2nc, plt2img): the temporary files
// of unfinished outputs removed on signals and on every stop, a fatal message
// on standard error and exit status 1; nothing leaves main as an exception.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Runs `run` with the arguments after the program name and returns its
// status, or 1 after a stop; `routine` names the command in the messages of
// failures that are no fatal message ("ERG2NC-F-nicht genug Speicher").
int run_command(std::string_view routine, int argc, char** argv, int (*run)(const std::vector<std::string>& args));

}  // namespace platform
