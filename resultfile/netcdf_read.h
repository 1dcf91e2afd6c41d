// A model run read from a NetCDF file (as erg2nc writes it, or from elsewhere
// with the same variables) into the same model records that the result-file
// readers fill: reader state, grid, inflow, wind or diffusion coefficients,
// obstacle list. Nothing that draws needs to know where the run came from.
#pragma once

#include <string>

namespace resultfile {

// Whether the file (found as the result file is, also without regard to
// case) begins with the signature of a NetCDF file: classic, 64-bit offset,
// 64-bit data, or NetCDF-4 (HDF5).
bool is_netcdf_file(const std::string& path);

// Reads the run of a NetCDF file. With `coefficients` the fields are KX, KY,
// KZ, else U, V, W. With `by_level` only the grid, inflow and obstacles are
// read now and the fields sized; their levels are read when
// read_field_levels asks for them (a picture of one level reads one level of
// a large run). MNAME receives the model family's name (blanks when the file
// does not say).
void GET_NC(const std::string& FILE, bool DEBUG, bool coefficients, bool by_level, std::string& MNAME);

// Makes the layers first..last (1-based) of the fields present: of U and V
// (KX, KY) those layers, of W (KZ) their faces, first..last+1. A no-op for a
// run whose fields are read whole. What is not read yet holds NaN.
void read_field_levels(int first, int last);

// Forgets a run read by level and closes its file (reset_model calls it).
void close_netcdf_run();

}  // namespace resultfile
