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
// read now; the fields are read by section as the pictures ask for them
// (sections.h: a picture of one level reads one level of a large run).
// MNAME receives the model family's name (blanks when the file does not say).
void GET_NC(const std::string& FILE, bool DEBUG, bool coefficients, bool by_level, std::string& MNAME);

}  // namespace resultfile
