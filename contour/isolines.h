// Isolines of a two-dimensional scalar field, drawn into the current VELIN
// graph. Callers describe the geometry and the lines with the setting
// routines (ISOSET first, then ISOVAL or ISOMOD, ISOMRS, ISONUM, ISOLAE,
// ISOCUT, INFLEV, FASET, UANGLE, NUPOSX, NUPOSY, VXGRID, VYGRID) and then call
// ISOPLO with the field. ISOPLO chooses the values, reports on VELIN's message
// unit and hands the field to the tracer ISOKOR, which passes every finished
// line to ISOCRV; ISOCRV converts it to user coordinates, draws it and has its
// labels written by NUMOD or at the margin.
//
// Lengths on the plot are millimetres; coordinates of the field are user units
// of the graph; the tracer works in fractional grid indices (1 = first point).
#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "platform/field.h"

namespace contour {

// The drawing attributes of one isoline.
struct LineAttributes {
    int L_THK = 0;  // thickness in units of FA mm
    int L_MOD = 0;  // 0 coded (ISOMRS pattern), 1 solid, 2 dashed, 3 dotted
    int L_NUM = 0;  // labels along the line; 0 = none
    int L_COL = 0;  // pen; 0 = the current one
    int L_PAT = 0;  // pattern number, reported only
};

// The settings of the isoline package, kept for the whole run.
struct IsolineSettings {
    // iso values: as given (or generated) and as drawn for the current field
    std::vector<float> WL_ORG, WL_ACT;
    std::vector<LineAttributes> LINMODO, LINMODA;
    int NISO = 0;
    int NISA = 0;

    // geometry
    float GX = 0.0f, GY = 0.0f;        // plot size of the field, mm
    float XANF = 0.0f, YANF = 0.0f;    // coordinate of the virtual grid point 0
    float XSTP = 0.0f, YSTP = 0.0f;    // grid step, user units
    float XEND = 0.0f, YEND = 0.0f;    // coordinate of the last grid point
    int NX = 0, NY = 0;                // dimensions of the last field
    int NIO = -1, NJO = -1;            // -1 values at grid points, 0 at cell centres
    int IPX = 1, IPY = 1;              // tracer sub-steps per grid interval
    bool EQX = true, EQY = true;       // equidistant grid
    std::vector<float> XGRD, YGRD;     // variable grid coordinates, 0-based storage of entries 1..n
    std::vector<float> DXI, DYI;       // differences of neighbouring XGRD (YGRD), entries 1..n-1
    int NXGRD = 0, NYGRD = 0;
    float AI = 0.0f, AJ = 0.0f;        // mm of one grid interval

    // drawing and labelling
    float ABISO = 0.0f;                // spacing of generated values; 0 = explicit values; < 0 about NAUTO lines
    float NAUTO = 10.0f;
    int NUM = 0;                       // label interval of generated values; 0 = none
    bool NULSUP = false;               // no isoline of value 0
    float ZH = 0.0f;                   // label height, mm
    int IFRMT = 0;                     // 0 integer, n > 0 n decimals, < 0 exponent form
    std::array<float, 10> RAT{};       // coded pattern: total length, count, up to 8 ratios
    float FA = 0.08f;                  // mm per thickness unit
    float ALMIN = 0.0f;                // shorter lines (mm) are not drawn
    float GLKRIT = 0.0f;               // shortest line (mm) with automatic labels
    bool CUTSPL = true;                // true: refined values are not capped
    bool UANG = false;                 // margin label angles from USRANG
    std::array<float, 3> XPOS{}, YPOS{};  // fixed label positions, user units
    int NPOSX = 0, NPOSY = 0;
    int LRAND = 0;                     // sides with margin labels: 1 left, 2 right, 4 bottom, 8 top
    int MITTE = 0;                     // 1: an x position inside the field, + 2 for each y position inside
    int LEV = 0;                       // report level 0..2
    int NDRAWN = 0;                    // lines handed to ISOCRV by the current ISOPLO
};

IsolineSettings& settings();
// Every record of the contour package back to program start: these settings,
// the labels' shapes, the value lists of the definition files and the
// raster options.
void reset();

// ---- settings and control -----------------------------------------------------
void ISOSET(float GXX, float GYY, float XAA, float YAA, float DX, float DY, int IPPX, int IPPY);
void ISOVAL(float ABI, int NUM);
void ISOMOD(std::span<const float> WISO, std::span<const int> LABEL, std::span<const int> MODE,
            std::span<const int> ITHIK, std::span<const int> ICOL, std::span<const int> ISHD, int NWISO);
void ISOMRS(float TLENG, int NMRSKP, std::span<const float> RATR);
void ISONUM(float ZHOEHE, int IFORM);
void ISOLAE(float ALKRIT, float ALMIN);
void ISOCUT();
void UANGLE();
void INFLEV(int LEV);
void FASET(float FA);
void NUPOSX(float POS);
void NUPOSY(float POS);
void VXGRID(std::span<const float> XG, int NXG);
void VYGRID(std::span<const float> YG, int NYG);
// Draws the isolines of FELD (NI x NJ values, first index along x).
void ISOPLO(const platform::Field2D<float>& FELD, int NI, int NJ);

// ---- tracing ------------------------------------------------------------------
// Receives one traced line (or piece of one): N points in grid-index
// coordinates, which it may overwrite, and the level's 1-based position in AR.
using LineSink = std::function<void(std::span<float> X, std::span<float> Y, int N, int L)>;

// The node pool of the tracer after a run.
struct TracerPool {
    int size = 0;     // nodes in the pool
    int heads = 0;    // nodes kept as list heads of the levels
    int free = 0;     // nodes on the free list
    int cuts = 0;     // unfinished lines cut to free nodes
    int growths = 0;  // times the pool grew because cutting would free nothing
};

// Traces the levels AR(1..NNA) of Z (NNX x NNY) on a grid refined by MMX x MMY
// sub-steps and hands every line to ISOCRV.
void ISOKOR(const platform::Field2D<float>& Z, int NNX, int NNY, int MMX, int MMY, std::span<const float> AR,
            int NNA, bool NOSCUT);
// The same, handing the lines to `sink` while it runs; returns the pool as it ended.
TracerPool trace_isolines(const platform::Field2D<float>& Z, int NNX, int NNY, int MMX, int MMY,
                          std::span<const float> AR, int NNA, bool NOSCUT, const LineSink& sink);

// ---- where labels may not stand -----------------------------------------------------
// Page millimetres from the graph's origin. A label keeps inside the plot
// area, off the areas (closed polygons) and lines (polylines) given here, and
// off the labels placed before it in the same ISOPLO. The shapes hold until
// cleared.
void clear_label_keep_out();
void keep_labels_off_area(std::span<const float> X, std::span<const float> Y);
void keep_labels_off_line(std::span<const float> X, std::span<const float> Y);

// ---- drawing and labels -----------------------------------------------------------
// Draws one traced line: X, Y grid indices, converted in place to user units.
void ISOCRV(std::span<float> X, std::span<float> Y, int N, int L);
// Places one label on the polyline X, Y (user units, points 1..N): IW 1
// searches forward from IBANF, IW 2 centres it at IBEND. On return IBANF and
// IBEND bound the gap.
void NUMOD(int IW, std::span<const float> X, std::span<const float> Y, int N, int& IBANF, int& IBEND);
// The angle (degrees) of a margin label starting at (XP, YP), (XR, YO) a
// second point; may move the start.
float USRANG(float& XP, float& YP, float XR, float YO);

}  // namespace contour
