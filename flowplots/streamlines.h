// Streamlines of the horizontal wind in a level section: lines started
// where the flow enters the window, then lines filling the regions no line
// has reached, kept apart by a visit count per cell.
#pragma once

#include <cstdint>

#include "flowplots/window.h"
#include "platform/field.h"

namespace flowplots {

// U: (NNX+1, NNY) on the x faces, V: (NNX, NNY+1) on the y faces (m/s) of an
// equidistant grid whose lower left corner is (XMIN, YMIN) of the window w.
// MAP: work array of visit counts (overwritten); LGB: obstacle cells.
void PLSTR(const platform::Field2D<float>& U, const platform::Field2D<float>& V, platform::Field2D<std::int16_t>& MAP,
           const platform::Field2D<std::int16_t>& LGB, int NNX, int NNY, const PlotWindow& w);

}  // namespace flowplots
