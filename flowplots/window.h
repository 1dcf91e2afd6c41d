// The plot window and grid spacing of the section that the streamline and
// trajectory pictures draw in (m; for vertical sections y is the height),
// handed to them by the driver. Doubles: a window at Gauss-Krueger or UTM
// coordinates keeps the fractions of its cells.
#pragma once

namespace flowplots {

struct PlotWindow {
    double XMIN = 0.0, XMAX = 0.0, YMIN = 0.0, YMAX = 0.0;
    double DX = 0.0, DY = 0.0;  // grid spacing along the section's axes
};

}  // namespace flowplots
