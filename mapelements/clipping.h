// Cutting digitised polygons and curves (maps, building outlines) to the plot
// window before they are filled or drawn, in model coordinates.
#pragma once

#include <span>
#include <vector>

namespace mapelements {

// The clip window of the polygon and curve clipping, set from the plot window
// by the routines that draw digitised data.
struct ClipWindow {
    float XRL = 0.0f;  // left x
    float XRR = 0.0f;  // right x
    float YRV = 0.0f;  // lower y
    float YRH = 0.0f;  // upper y
    bool GRACE_ON = false;
};

ClipWindow& clip_window();
void set_clip_window(float xmin, float xmax, float ymin, float ymax);

// Border numbers, counter-clockwise.
enum Border { kLeft = 1, kBottom = 2, kRight = 3, kTop = 4 };

// The polygon clipped to the window: nout points in xout, yout (0 when
// nothing is visible). A last point equal to the first closes the polygon; the
// clipped polygon is then closed the same way. A polygon that encloses the
// window gives the window's rectangle.
void CUT_POL(std::span<const float> xin, std::span<const float> yin, int nin, std::vector<float>& xout,
             std::vector<float>& yout, int& nout);

// The visible pieces of an open curve, one after the other in xout, yout;
// piece k runs from point ips[k-1] to ips[k] - 1 (1-based, ips has nc + 1
// entries). A curve that only touches the window gives no piece.
void CUT_CRV(std::span<const float> xin, std::span<const float> yin, int nin, std::vector<float>& xout,
             std::vector<float>& yout, std::vector<int>& ips, int& nc);

// The intersections (0, 1 or 2) of a segment with the window border, with the
// border number of each.
void CUTLINE(float x0, float y0, float x1, float y1, float xs[2], float ys[2], int& ns, int ibound[2]);

// Appends the window corners passed when going along the border from border
// ibound to border lbound, as far as they lie inside the polygon (xin, yin).
void CORNERIN(int ibound, int lbound, std::span<const float> xin, std::span<const float> yin, int nin, int& nout,
              std::vector<float>& xout, std::vector<float>& yout);

// 1 when (px, py) lies inside the polygon or on one of its vertices, else 0.
int INPOLY(std::span<const float> x, std::span<const float> y, int n, float px, float py);

}  // namespace mapelements
