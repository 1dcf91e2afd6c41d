// Writing the model run of the model records (as the result-file readers
// filled them) as one CF-1.10 / SGRID-0.3 NetCDF-4 file; see netcdf_layout.h.
#pragma once

#include <string>

namespace resultfile {

struct NetcdfExport {
    int deflate = 1;            // 0 none, 1..9; fields chunked by level when compressed
    bool coefficients = false;  // KX, KY, KZ of the model fields too
    bool centred = false;       // cell-centre means of u, v, w and the horizontal speed
    std::string history;        // the line for the history attribute (time and command)
    // The files that were read, for the file's attributes.
    std::string result_file, obstacle_file, coefficient_file;
};

// Writes PATH under a temporary name in its directory and renames it when
// complete; any failure is fatal (routine ERG2NC) and leaves an existing file
// of that name as it was.
void write_netcdf_run(const std::string& path, const NetcdfExport& options);

}  // namespace resultfile
