// The command line: one argument per line of the input, for a run of the
// small run's directory with the answers of a vector picture.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::bytes_of(data, size);
    // "/p=" and "/$" name files that are written: only into the scratch directory.
    if (text.find("..") != std::string::npos || text.find("=/") != std::string::npos ||
        text.find(":/") != std::string::npos || text.find('~') != std::string::npos)
        return -1;
    std::vector<std::string> args;
    std::istringstream lines(text);
    for (std::string arg; std::getline(lines, arg);) args.push_back(arg);
    fuzz::start();
    fuzz::put("richtungen.lst", "Fuzz\n1 run1.ERG 1.0\nmittel.ERG\n");
    fuzz::run_mural(args, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
