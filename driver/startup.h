// The start-up of a run: banner, usage text, options, the files of the run
// and the reading of the model.
#pragma once

#include <string>

namespace driver {

std::string banner_line();
void print_banner();
void print_usage();
// Evaluates the options of the command line into the settings.
void evaluate_options();
// Reads result file (or diffusion-coefficient file) in the readers' order.
void read_model();

// The whole program; returns the exit status of a normal end.
int run_mural();

}  // namespace driver
