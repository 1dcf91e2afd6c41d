// The files that a run writes: the plot and the pictures of "/g". Nothing a
// user has may be lost: no output may replace one of the run's inputs, and a
// plot and its pictures are given their final names together, all or none.
#pragma once

#include <string>
#include <string_view>

namespace driver {

// The picture of a plot in a format ("png"): the plot's name with that
// extension in place of its own.
std::string picture_name(const std::string& plot, std::string_view format);

// At start-up, once the names are known: refuses a plot or picture name that
// is one of the run's input files (result, coefficients, obstacles, building
// outlines, layout, background, palette, isoline and raster definitions,
// answers), that is the plot's own picture, or that cannot be written at all,
// naming both files. From here on the plot files are held until the end.
void check_outputs();

// At the end of a run: the pictures are drawn from the run's own plot stream
// into temporary files, then the plot and the pictures take their final
// names, one run at a time in a directory. A picture that cannot be drawn
// stops the run before anything is renamed; one that cannot be renamed
// leaves no older picture beside the new plot.
void finish_outputs();

}  // namespace driver
