// The records of the map elements back to program start: legend, obstacle
// state, background definition and clip window.
#pragma once

namespace mapelements {

void reset();

}  // namespace mapelements
