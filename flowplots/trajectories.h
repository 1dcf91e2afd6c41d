// Trajectories: parcels seeded at random in the boxes of a lattice over the
// section, advanced with time steps of DT through the section's wind and
// drawn as paths with an arrow head at the end; a second set fills the cells
// the first one left untouched. BLNKON switches the blanking areas on.
#pragma once

#include <cstdint>
#include <span>

#include "flowplots/window.h"
#include "platform/field.h"

namespace flowplots {

// Kept for the whole run.
struct TrajectoryState {
    float DT = 1.0f;   // time step (s), never changed
    int ITREND = 5;    // number of steps of a path; each call sets it anew
    float PDY = 0.0f;  // vertical start spacing of vertical sections (m); never decreases
};
TrajectoryState& trajectory_state();
void reset_trajectory_state();

// The seed of the random start points; the environment variable
// MURAL_SEED, when set to a number, replaces the fixed default.
unsigned trajectory_seed();

// Level sections: U (NNX+1, NNY), V (NNX, NNY+1) on the faces; U0B, V0B the
// inflow; LGB the obstacle cells; XR, YR the faces (doubles, so that faces
// at Gauss-Krueger or UTM coordinates stay apart) and DXR, DYR the widths of
// the cells (m); w the window drawn in. MAP is overwritten with the visit counts.
void PLTRAJ(const platform::Field2D<float>& U, const platform::Field2D<float>& V, platform::Field2D<std::int16_t>& MAP,
            int NNX, int NNY, float U0B, float V0B, const platform::Field2D<std::int16_t>& LGB,
            std::span<const double> XR, std::span<const double> YR, std::span<const float> DXR,
            std::span<const float> DYR, const PlotWindow& w);

// Vertical sections: U (NNX+1, NNY) along the section, W (NNX, NNY+1) on the
// level faces; U0R, V0R the inflow along and across the section; XR, ZR the
// faces, DXR, DZR the widths and thicknesses of the cells (m); w the window.
void PLTRAZ(const platform::Field2D<float>& U, const platform::Field2D<float>& W, platform::Field2D<std::int16_t>& MAP,
            int NNX, int NNY, float U0R, float V0R, std::span<const double> XR, std::span<const double> ZR,
            std::span<const float> DXR, std::span<const float> DZR, const PlotWindow& w);

// Switches on every blanking area registered so far in the graph.
void BLNKON();

}  // namespace flowplots
