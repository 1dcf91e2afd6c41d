// The plot window and grid spacing of the section that the streamline and
// trajectory pictures draw in (m; for vertical sections y is the height).
// The driver sets it before it calls them.
#pragma once

namespace flowplots {

struct PlotWindow {
    float XMIN = 0.0f, XMAX = 0.0f, YMIN = 0.0f, YMAX = 0.0f;
    float DX = 0.0f, DY = 0.0f;  // grid spacing along the section's axes
};

PlotWindow& plot_window();

}  // namespace flowplots
