// The records of the flow pictures back to program start: the reference
// arrow and the trajectory state.
#pragma once

namespace flowplots {

void reset();

}  // namespace flowplots
