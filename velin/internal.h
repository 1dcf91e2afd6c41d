// Helpers shared by VELIN's routine groups; not part of the library's interface.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velin/state.h"

namespace velin::detail {

// ---- messages --------------------------------------------------------------
// A line on the message unit as it stands (progress lines bring their own blank).
void message_line(std::string_view text);
[[noreturn]] void fail(std::string_view routine, std::string_view text);

// ---- Fortran-style fixed-width numbers -------------------------------------
// Right-justified in `width` columns; asterisks when the number does not fit.
std::string fmt_int(long long value, int width);
std::string fmt_int0(long long value, int width);  // leading zeros (Iw.w)
std::string fmt_fixed(double value, int width, int decimals);
// A number in a Fortran edit descriptor ("(F10.1)", "(I10)", "(1PE10.1)"), left-adjusted.
std::string number_text(double value, std::string_view fmt);

// ---- writer (one emit function per instruction) ----------------------------
// Appends bytes to the plot stream; the pending move and the PD list are the
// caller's business (raw_instruction handles them).
void put_bytes(std::string_view bytes);
// Writes the pending pen-up move and ends the current PD list, then the text.
void raw_instruction(std::string_view text);
void reset_device_shadow(int pen);
void emit_init_string();
void emit_SP(int pen);
void emit_PW(float width);
void emit_LT(std::string_view instruction);  // "LT;" or a full line-type instruction
void emit_PC(int pen, int r, int g, int b);
void emit_NP(int n);
void emit_CR(const int range[6]);
void emit_IP(int p1x, int p1y, int p2x, int p2y);
void emit_CI(int radius);
void emit_PM(int mode);
void emit_FP();
void emit_EP();
void emit_FT();  // solid fill
// "PU" x "," y without a terminator: the start of a polygon.
void emit_PU(int ix, int iy);
// "PD" with the points as one list (polygon edges; not counted as drawn vectors).
void emit_PD(std::span<const int> xy);
// Polygon-mode endings.
inline void end_polygon_filled() {
    emit_PM(2);
    emit_FT();
    emit_FP();
}
inline void end_polygon_hatched() {
    emit_PM(2);
    emit_FP();
    emit_EP();
    emit_FT();
}
void emit_FT(int type, int spacing, int angle);
void emit_DF();
void emit_SP0PG();
void write_record_if_full();
void flush_buffer();  // last, shorter record
void close_plot_file();
void discard_plot_file();
// Drops the held plot files (their temporaries removed) and ends holding.
void discard_held_plot_files();

// ---- device settings through the shadow -------------------------------------
// Sends a pen width when the device's differs by more than 0.001 mm.
void apply_width(float width);
// Sends the current line style when the device has another one.
void apply_line_type();
// Makes the device draw solid lines (for text).
void apply_solid();
// The instruction of the current line style ("LT;" for solid).
std::string line_type_instruction();
bool pattern_in_use();

// ---- geometry --------------------------------------------------------------
void draw_polyline(std::span<const float> x, std::span<const float> y);  // pen up + DOCRV
struct Contour {
    std::vector<float> x, y;
};
// Fills the contours together, even-odd (holes stay open).
void fill_contours(std::span<const Contour> contours);
// The polygon-mode outline of the contours (each further one a subpolygon).
void emit_polygon(std::span<const Contour> contours);
// The parts of a fill left by the blanking areas (the contours whole without any).
std::vector<std::vector<Contour>> visible_parts(std::span<const Contour> contours);
// The horizontal strokes of a scan-line fill at the given heights.
void scan_fill(std::span<const Contour> contours, std::span<const float> heights, bool alternate);
void ensure_work(int n, std::string_view routine);
// Fatal unless the arrays hold n points.
void check_points(std::string_view routine, int n, std::size_t available);

// ---- blanking ----------------------------------------------------------------
// The parts of a fill that lie outside every active blanking rectangle, each
// to be filled on its own (even-odd within a part). A device fill is not
// drawn stroke by stroke, so it is cut here instead of in RRINBL.
std::vector<std::vector<Contour>> outside_blanking(std::span<const Contour> contours);
// Whether an active blanking rectangle reaches into the rectangle (mm).
bool blanking_overlaps(float x0, float x1, float y0, float y1);
// Removes all areas of the graph and what waits on them (ENDGR, RESET).
void clear_blanking();

// ---- text ------------------------------------------------------------------
// The first n characters of a text (any of the accepted encodings) as UTF-8.
std::string cut_text(std::string_view text, int n);
// Draws one axis; `x_axis` false draws a y axis.
void draw_axis(bool x_axis, const AxisSettings& axis, bool logarithmic, float length, float x0, float y0, float fum);
void graph_start();

}  // namespace velin::detail
