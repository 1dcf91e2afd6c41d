// A second result file read whole into an image of its own (comparison and
// superposition of runs), leaving the main run's records as they were.
#pragma once

#include <string>

#include "resultfile/writer.h"

namespace resultfile {

// Reads FILE from header to W through the same readers as the main run;
// MNAME receives the model family's name. Errors stop the run as for the main
// file.
ResultFileImage read_result_separately(const std::string& FILE, bool DEBUG, std::string& MNAME);

}  // namespace resultfile
