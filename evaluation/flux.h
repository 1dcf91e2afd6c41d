// The flux of the x component of the wind through a virtual wall across
// the flow: per layer and in total, shown as a profile plot and appended to
// the log file "FLX.LOG".
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/field.h"

namespace evaluation {

// U: (NX+1, NY, NZ) on the x faces of the main run's grid (resultfile::grid()).
// FILE: the result file's name for the log; PLT_FILE: the plot file that
// takes the profile plot. Asks for the wall on the console.
void EVAFLX(const platform::Field3D<float>& U, std::string_view FILE, const std::string& PLT_FILE);

// The flux axis of the profile plot: from min(0, smallest layer flux) to
// max(0, largest), each end that is not 0 moved outward to the next whole
// hundred beyond it (300 gives 400, -105 gives -200); 0..100 when every flux
// is 0.
struct FluxAxis {
    float from = 0.0f, to = 100.0f;  // m³/s
};
FluxAxis flux_axis_range(std::span<const float> layer_flux);

}  // namespace evaluation
