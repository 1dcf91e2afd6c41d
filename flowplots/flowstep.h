// One step of a flow line (streamline or trajectory) through the wind of a
// section whose components live on the cell faces: A on the faces across
// the first axis, B on those across the second. Inside cell (I, J) the wind
// is interpolated between the cell's two faces of each axis, so A varies
// along the first axis only and B along the second; the component along a
// face jumps from cell to cell.
//
// A step is taken cell by cell: in each cell a midpoint step, up to the
// cell's face or the window's edge when the step reaches one. The jumps at
// the faces then cost no accuracy, and a line in a closed eddy comes back to
// its start. Positions are doubles, so that a grid at Gauss-Krueger or UTM
// coordinates is traced as finely as one at the origin.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>

#include "platform/field.h"

namespace flowplots::detail {

// The cells of one axis: faces F(1..n+1), widths W(1..n) (m).
struct FaceAxis {
    std::span<const double> face;  // n + 1, ascending
    std::span<const float> width;  // n, > 0
    int n = 0;
    // Equidistant axes find a cell by division: face(1) + (I-1)·step.
    double step = 0.0;

    // The cell I with F(I) <= x < F(I+1), kept to 1..n.
    int cell(double x) const {
        if (step > 0.0) {
            const double f = std::floor((x - face[0]) / step);
            if (!(f >= 0.0)) return 1;
            return f >= static_cast<double>(n - 1) ? n : static_cast<int>(f) + 1;
        }
        const auto first = face.begin() + 1, last = face.begin() + n;
        return 1 + static_cast<int>(std::upper_bound(first, last, x) - first);
    }
    double F(int I) const { return face[static_cast<std::size_t>(I - 1)]; }
    double W(int I) const { return width[static_cast<std::size_t>(I - 1)]; }
};

// The plot window (m); a step ends on its edge.
struct Box {
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    bool inside(double x, double y) const { return x > xmin && x < xmax && y > ymin && y < ymax; }
};

// The window drawn into, its edges moved in by a thousandth of a cell (ex,
// ey): a line ends on the frame, yet none of its points counts as lying
// outside the plot, as one exactly on the frame would.
Box drawn_box(double xmin, double xmax, double ymin, double ymax, double ex, double ey);

struct FaceWind {
    const platform::Field2D<float>& A;  // (n1 + 1, n2)
    const platform::Field2D<float>& B;  // (n1, n2 + 1)
    FaceAxis x, y;

    // The wind at (px, py) from the faces of cell (I, J).
    void at(int I, int J, double px, double py, double& u, double& v) const {
        const double fx = (px - x.F(I)) / x.W(I), fy = (py - y.F(J)) / y.W(J);
        u = A(I, J) + (static_cast<double>(A(I + 1, J)) - A(I, J)) * fx;
        v = B(I, J) + (static_cast<double>(B(I, J + 1)) - B(I, J)) * fy;
    }
};

enum class StepEnd {
    full,  // the whole step was taken
    edge,  // the step ended on the window's edge or the outer face of the grid
    calm,  // the step ended where the wind is calm (or no number)
};

// The arrow head (code 1031) on the segment from (x0, y0) to (x1, y1), kept
// inside the window: a head at the window's edge would have a corner beyond
// the frame when the line meets the edge at a slant, so it moves back along
// the segment until it lies inside (at most the segment's length); a line
// running along the frame has its head moved onto the frame's inner side.
void draw_end_arrow(double x0, double y0, double x1, double y1, const Box& box);

// Below this speed (m/s) the air counts as calm.
constexpr double kCalm = 0.01;

// Advances (x, y), which lies in cell (I, J) and has the wind (u, v) there,
// by h: an arc length (by_length, streamlines: the step keeps its length
// along the curved path) or a time (trajectories).
StepEnd advance(const FaceWind& w, const Box& box, bool by_length, double h, int I, int J, double u, double v,
                double& x, double& y);

}  // namespace flowplots::detail
