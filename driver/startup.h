// The start-up of a run: banner, usage text, options, the files of the run
// and the reading of the model.
#pragma once

#include <string>

#include "platform/field.h"

namespace driver {

std::string banner_line();
void print_banner();
void print_usage();
// Evaluates the options of the command line into the settings.
void evaluate_options();
// The background map definition "LESDIG.DEF", when there is one.
void read_background_definition();
// Reads result file (or diffusion-coefficient file) in the readers' order.
void read_model();

// Start-up after the model: the window as grid indexes, the debug pause,
// the layout file, plot size and page, title and short description.
void prepare_plot_settings();
// Plot width and height for an area of ax x ay metres, and the page format;
// true when the height had to be reduced to the page.
struct Settings;
bool choose_page(Settings& s, float ax, float ay);
// The first i = 1..NX+1 with XB <= XU(i), at most NX.
int ICALCB(float XB, const platform::Array1D<float>& XU, int NX);

// The whole program; returns the exit status of a normal end. It starts
// from reset_run().
int run_mural();

// Back to program start: every record of a run (command line, settings,
// model, comparison, plot, legend, isolines and rasters, flow lines,
// obstacles, background). The program, the tests and the fuzz targets all
// start a run from here; the console and the arguments stay as they are.
void reset_run();

}  // namespace driver
