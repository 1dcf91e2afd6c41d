// VELIN's process-wide plot state. The logical state (level, page, graph
// scaling, text and line settings) is kept apart from the writer's shadow of
// the device (pen on the device, pen up or down, pending move, line type and
// width sent, output buffer), so the writer can leave out whatever the device
// already has.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velin {

constexpr float MM_TO_PLOTTER = 40.2f;  // plotter units per millimetre (not 40)
constexpr int MAXBLN = 2048;            // blanking areas of one graph
constexpr int BLNK_STACK_SIZE = 50;     // entries of the blanking stack

// What the writer last told the device. Reset whenever the device
// initialisation string or "SP0" is written.
struct DeviceShadow {
    std::array<char, 512> bu{};  // output buffer, one record
    int NB = 1;                  // next free position in bu, 1-based (1 = empty)
    int Irec = 1;                // number of the next record of the plot file
    bool fclose = true;          // the plot file is not open
    int pen = -1;                // pen on the device; -1 = not known
    float width = 0.0f;          // pen width last sent with "PW", mm
    std::string line_type;       // last line-type instruction sent; empty = solid
    bool pen_down = false;       // the last coordinate written was a pen-down one
    bool move_pending = false;   // a pen-up move waits for the next pen-down
    int pending_x = 0, pending_y = 0;  // its target, plotter units
};

struct Heading {
    std::string text;
    int factor = 1000;  // size factor in thousandths
};

// Per-axis settings of the axis drawing.
struct AxisSettings {
    float min = 0.0f, step = 1.0f, max = 1.0f;  // user units (common logarithms on log axes)
    int ticks = 1;                              // ITIX / ITIY
    bool integer_numbers = false;
    bool no_numbers = false;
    bool other_side = false;
    bool reversed_ticks = false;
    bool no_first = false, no_last = false;
    bool centred = false;
    std::string name;  // axis title, at most 80 characters
    float angle = 0.0f;
};

// The drawing settings that INIVAR resets to their defaults.
struct DrawSettings {
    // plot area and transforms
    float origin_x = 0.0f, origin_y = 0.0f;  // physical origin of the graph on the page, mm
    float axis_x = 0.0f, axis_y = 0.0f;      // plot area size, mm
    int ITrans = 0;                          // 0 linear, 1 polar, 2 log-log, 3 log x, 4 log y
    bool LogX = false, LogY = false;
    bool absolute_numbers = false;
    float FumX = 1.0f, FumY = 1.0f;  // mm per user unit
    // The real coordinates that the user point (0, 0) stands for: axis
    // numbers show origin + user value, so that a graph of a region far from
    // (0, 0) can be drawn in coordinates relative to a point of it.
    double user_origin_x = 0.0, user_origin_y = 0.0;
    AxisSettings xaxis, yaxis, zaxis;
    bool cross = false;
    std::vector<Heading> headings;  // at most 3
    int Nhead = 0;
    float frame_thickness = 0.2f;  // mm
    float picture_scale = 1.0f;
    // lines
    int line_style = 0;              // 0 solid, 1 dot, 2 dash, 4 chain dot, 5 chain dash, 8 user
    std::array<float, 10> pattern{};  // mm: odd entries drawn, even entries gaps
    int NGPS = 0;                    // pattern entries in use; 0 = solid
    float curve_thickness = 0.0f;    // mm; 0 = the pen's own thickness
    int marker = 1;                  // 1..98
    // clipping
    float clip_cx = 0.0f, clip_cy = 0.0f, clip_hx = 0.0f, clip_hy = 0.0f;  // mm
    bool checking = false;
    // text
    float text_height = 2.0f;    // mm
    float text_vscale = 2.0f;    // mm
    float char_gap = 0.3f;       // text heights
    float ChSpace = 0.0f;        // text heights; 0 = proportional
    float text_angle = 0.0f;     // degrees
    float slant = 0.0f;
    // shading pattern (SHDPAT)
    float shade_angle = 0.0f;    // degrees
    int shade_count = 0;         // spacing values in use; 0 = no pattern chosen
    bool shade_special = false;
    float shade_spacing = 0.4f;  // mm
    bool shade_cross = false;
    // per graph
    int Nvec = 0;
    int NptsOut = 0;
    int blanking_areas = 0;  // blanking areas defined in the current graph (0..MAXBLN)
};

// A blanking area in mm: a rectangle, or a circle when hy is 0.
struct BlankArea {
    float cx = 0.0f, cy = 0.0f;  // centre
    float hx = 0.0f, hy = 0.0f;  // half-width and half-height; radius and 0 for a circle
    bool active = true;          // BLON / BLOFF
};

// One end of a piece that still waits for the areas from index k on (1-based).
struct BlankStackEntry {
    float x = 0.0f, y = 0.0f;
    int k = 1;
};

struct Blanking {
    std::vector<BlankArea> areas;         // MAXBLN entries once the first area is defined
    std::vector<BlankStackEntry> stack;   // BLNK_STACK: a piece is its start, then its end
    bool pen_up_pending = false;          // the pen does not stand at the current position
};

struct PlotState {
    int IHPGL = 0;  // 0 plain HP-GL, 1 HP-GL, 2 HP-GL/2
    bool hpgl2 = false;
    int Level = 0;
    int Iplot = 1;
    int Nfile = 0;
    bool initialised = false;               // INIPLO has run
    std::string plt_file = "HPGL.PLT";       // name of the current plot file
    std::string plt_base = "HPGL.PLT";       // name given by PLFILE; further files are numbered from it
    std::string init_string;                 // device initialisation string (blanks kept)
    std::string PSCMD;                       // orientation command
    float page_width = 0.0f, page_height = 0.0f;  // mm
    float PGXmax = 840.0f, PGYmax = 999.9f;       // mm
    int IXorg = 0, IYorg = 0;                // origin, plotter units
    float PiFa = 0.017453292f;               // degrees to radians
    float cur_x = 0.0f, cur_y = 0.0f;        // current position, mm
    float last_x = 0.0f, last_y = 0.0f;      // last input point of the clipping, mm
    int ipen = 1;
    std::array<float, 256> pthk{};          // pen thickness, mm
    int NPpal = -1;
    std::string colour_setup;  // NP, CR and PC instructions sent so far; repeated at the start of a further plot
    int style_sign = 0;
    std::vector<std::int16_t> style_header;  // 128 words
    std::vector<std::int16_t> style_data;    // stroke words, 1-based through the header
    std::string style_name;
    bool debug = false;
    int message_unit = 6;
    std::vector<float> work_x, work_y;  // scratch arrays of the curve, fill and text routines
    int work_used = 0;                  // points held in the work arrays
    DrawSettings s;
    Blanking blank;
    DeviceShadow dev;
};

PlotState& plot_state();
// Back to program start: Level 0, empty buffer, no file (any open plot file is discarded).
void reset();

}  // namespace velin
