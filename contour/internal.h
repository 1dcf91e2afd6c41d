// What the isoline routines share among themselves: the block of the line
// being drawn and the conversions between grid indices, user units and mm.
#pragma once

#include <span>
#include <string>

#include "contour/isolines.h"

namespace contour::detail {

// The line that ISOCRV is drawing, shared with the labelling routines.
struct CurveBlock {
    int ISTRT = 1;       // first point (1-based) not yet drawn
    float GL = 0.0f;     // length of the line, mm
    float XL = 0.0f;     // length of one label's gap (text width plus a margin each side), mm
    float HZH = 0.0f;    // half the label height, mm
    float WL_VAL = 0.0f; // the level's value
    float margin = 0.0f; // between the line and the text at each end of the gap, mm
};
CurveBlock& curve_block();

// A label on the page: centre, unit direction of the text, half its length
// and height with the clearance around it (mm).
struct LabelBox {
    float cx, cy, ux, uy, half_length, half_height;
};
// True when the box lies inside the plot area and clear of the shapes that
// labels keep off and of the labels placed so far.
bool label_fits(const LabelBox& b);
void add_placed_label(const LabelBox& b);
void clear_placed_labels();

// First and last grid coordinate in x and y (user units).
float first_x(const IsolineSettings& s);
float first_y(const IsolineSettings& s);

// A fractional grid index (1 = first point) as a user coordinate.
float grid_to_user_x(const IsolineSettings& s, float x);
float grid_to_user_y(const IsolineSettings& s, float y);

// User units per mm along x and y, for shifts given on the page.
float user_per_mm_x(const IsolineSettings& s);
float user_per_mm_y(const IsolineSettings& s);

// The label text of a value and its width (mm) at the current height.
void write_label(float value, int IFRMT, float X, float Y);
float label_width(float value, int IFRMT);

// Draws points FROM..TO (1-based) of the line with CURVE.
void draw_points(std::span<const float> X, std::span<const float> Y, int FROM, int TO);

// Length of the segment between points I and J (1-based) on the page, mm.
float page_distance(std::span<const float> X, std::span<const float> Y, int I, int J);

// The labels at fixed positions of the line X, Y (user units, N points):
// places them and draws the line up to the last one.
void label_fixed_positions(std::span<const float> X, std::span<const float> Y, int N);
// The labels next to an end of an open line that lies on the sides in MASK.
void label_margin(float XP, float YP, int MASK);

}  // namespace contour::detail
