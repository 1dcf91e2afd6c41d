// The wind of a section as a field of arrows, and the labelled reference
// arrow in the legend.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/field.h"

namespace flowplots {

// U: (NNX + kGrid, NNY), V: (NNX, NNY + kGrid), m/s along the section's two
// axes; XL, YL positions and DXI, DYJ widths of the points (m). kGrid 1:
// U and V on the faces between the points; 0: at the points.
void PLVEKT(platform::FieldView2D<float> U, platform::FieldView2D<float> V, int NNX, int NNY,
            std::span<const float> XL, std::span<const float> YL, std::span<const float> DXI,
            std::span<const float> DYJ, int kGrid);

// A reference arrow for ULEG (in the unit TDIM) at the scale SKAL (m per
// unit) on the current legend line; BRPfeil > 0 draws a broad arrow.
void LEGPFL(float ULEG, float SKAL, std::string_view TDIM, float BRPfeil);

// The label of a reference arrow for the speed VLEG: "0.25 m/s".
std::string reference_label(float VLEG, std::string_view TDIM);

// The reduction of the reference arrow and the label column, kept for the run.
struct ReferenceArrow {
    float fred = 1.0f;
    float XTXT = -1.0f;
};
ReferenceArrow& reference_arrow();
void reset_reference_arrow();

}  // namespace flowplots
