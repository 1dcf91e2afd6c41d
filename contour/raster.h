// The colour raster: a scalar field drawn as a mosaic of filled cells, one
// colour (pen) per value class, with the most frequent colour painted once as
// a background rectangle and equal neighbours of a row joined into one fill.
#pragma once

#include <span>
#include <string>

#include "platform/field.h"

namespace contour {

// How FFPATR works, kept for the run; callers set them before the call.
// Until a caller sets them, FFPATR asks the user.
struct RasterOptions {
    int IFILTER = -1;  // 0 no filtering, 1 isolated cells take their neighbours' pen; < 0 ask
    int METHOD = 0;    // 1 row by row, 2 pen by pen; < 1 ask
};

RasterOptions& raster_options();
// Back to program start.
void reset_raster_options();

// Draws FELD (NX x NY values, first index along x) into the current graph.
// XI, YI: cell boundaries in user units, 0-based storage of entries 1..NX+1
// (1..NY+1). CLASS: upper class limits, ascending; ICOL their pens; LBEZ
// their legend texts (a text beginning with "!" gets no legend entry).
// NOLEG: no legend entries at all.
void FFPATR(const platform::Field2D<float>& FELD, int NX, int NY, std::span<const float> XI,
            std::span<const float> YI, std::span<const float> CLASS, int NCLASS, std::span<const int> ICOL,
            std::span<const std::string> LBEZ, bool NOLEG);

}  // namespace contour
