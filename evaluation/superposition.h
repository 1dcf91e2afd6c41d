// The weighted mean of the wind fields of a series of runs (one per inflow
// direction), of the vectors or of the absolute values of their components,
// written as a new result file.
#pragma once

#include <string>
#include <string_view>

namespace evaluation {

// Reads the list file MUL_FILE (title, up to 36 lines "case file weight", the
// output file's name) and writes the mean field. TITEL: the main run's title;
// MNAME: its model family. MAIN_FILE, when given, is the main run's result
// file, which the output may not replace. Returns the name of the file
// written, or nothing when the list names none.
std::string SUPERP(std::string_view MUL_FILE, std::string_view TITEL, bool DEBUG, std::string_view MNAME,
            std::string_view MAIN_FILE = {});

}  // namespace evaluation
