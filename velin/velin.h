// VELIN, MURAL's plotting library: initialise the plotter, define the plot
// area, scale the graph and draw its axes, draw curves, symbols and text, end
// the graph, end the plot. VELIN alone writes the plot file (HP-GL or HP-GL/2)
// and strokes all text itself from style files.
//
// Units: user units of the current graph; millimetres relative to the graph's
// physical origin; plotter units (40.2 per mm) in the file. Every "-F-"
// message throws platform::Fatal.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "velin/state.h"

namespace velin {

// ---- device, plot file, pens, messages --------------------------------------
void INIPLO(std::string_view DEVICE, std::string_view PFORMAT);
void INIVAR();
void PLFILE(std::string_view NAME);
void FOPEN();
void PAGE(float PAGEX, float PAGEY);
void PSIZE(float& PAGEX, float& PAGEY);
// The page size (mm) that INIPLO sets for a page format, known before the plot begins.
void page_size(std::string_view PFORMAT, float& PAGEX, float& PAGEY);
void SETPEN(int IPEN, float PTHK, int IRED, int IGREEN, int IBLUE);
void SELPEN(int IPEN);
void SETPAL(std::string_view PAL_FILE, std::string_view PAL_NAME);
// The file that SETPAL reads for PAL_FILE ("C:\VELIN\..." in VELIN's directory).
std::string palette_path(std::string_view PAL_FILE);
void LODSTY(std::string_view STYLE);
void SWISS(int IFLAG);
void PENUP(float X, float Y);
void PENDN(float X, float Y);
void GETCCP(float& X, float& Y);
void INSBU(std::string_view TEXT);
void INSXY(float X, float Y, int IPEN);
void MM2ABS(float X, float Y, int& IX, int& IY);
void ENDGR(int IFLAG);
void ENDPL(int IFLAG);
void DONEPL();
// Plot files that the caller completes: while held, ENDPL closes a plot file
// without giving it its final name, so that pictures can be drawn from the
// run's own stream first; with keep_stream_bytes > 0 the writer keeps a copy
// of each stream up to that many bytes. commit_plot_files() renames every
// held file over its final name (a failure is fatal, naming the cause).
// Holding anew drops the files held before.
// check_numbered is called with the name of each further, numbered plot file
// before it is created, and stops the run (by throwing) when that name may not
// be written.
void hold_plot_files(bool hold, std::size_t keep_stream_bytes = 0,
                     std::function<void(const std::string&)> check_numbered = {});
struct FinishedPlot {
    const std::string& name;  // the final name
    std::string_view stream;  // the bytes written, when kept whole
    bool stream_kept;
};
std::vector<FinishedPlot> finished_plots();
void commit_plot_files();
void RESET(std::string_view NAME);
void VLERROR(std::string_view MSG);
void SETIOC(int IUNIT);
void RDEBUG();
void WRKSIZE(int N, std::string_view NAME);
void PTSOUT(float X, float Y);
void GRACE(float G);
void NOCHEK();
// Connects a message unit other than 6 (the console) to a stream; nullptr
// disconnects it. SETIOC only accepts connected units.
void connect_unit(int unit, std::ostream* stream);
// Writes TEXT as one line on the message unit (the protocol of a run).
void write_message(std::string_view TEXT);

// ---- plot area, axes, transforms ---------------------------------------------
void AREA2D(float XAX, float YAX);
void PHYSOR(float X, float Y);
void OREL(float DX, float DY);
void GRAF(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX);
// The step of 1, 2 or 5 times a power of ten nearest to `range` / `parts`:
// the numbered ticks of an axis, about `parts` of them. 1 for an empty or
// unusable range.
float axis_step(float range, int parts = 5);
void GRAFRR(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX);
void LOGLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX);
void XLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX);
void YLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX);
void RPOLAR(float A, float B);
void XNAME(std::string_view TEXT, int N);
void YNAME(std::string_view TEXT, int N);
void ZNAME(std::string_view TEXT, int N);
void HEADIN(std::string_view TEXT, int N, float HFAK, int NLINES);
void XTICKS(int N);
void YTICKS(int N);
void ZTICKS(int N);
void XAXANG(float A);
void YAXANG(float A);
void ZAXANG(float A);
void XAXCTR();
void YAXCTR();
void XNONUM();
void YNONUM();
void XREVTK();
void YREVTK();
void INTAXS();
void XINTAX();
void YINTAX();
void XAXEND(std::string_view OPT);
void YAXEND(std::string_view OPT);
void CROSS();
void XGRAXS(float XMIN, float XSTP, float XMAX, float XAXLEN, std::string_view NAME, int N, float X0, float Y0);
void YGRAXS(float YMIN, float YSTP, float YMAX, float YAXLEN, std::string_view NAME, int N, float X0, float Y0);
void FRAME();
void THKFRM(float T);
void RRWIND(float X1, float X2, float Y1, float Y2, float THK);
void SCLPIC(float F);
void SPECIAL(std::string_view TEXT, int N);
void UU2MM(float XU, float YU, float& XMM, float& YMM);
float XPOSN(float XU, float YU);
float YPOSN(float XU, float YU);
// Converts N user points into the work arrays and marks them in use.
void VECU2M(std::span<const float> XU, std::span<const float> YU, int N);
float XINVRS(float XMM, float YMM);
float YINVRS(float XMM, float YMM);
// The real coordinates (X0, Y0) that the user point (0, 0) of the next
// graphs stands for (until INIVAR): the axis numbers of linear axes show
// X0 + x and Y0 + y. Single precision cannot place a point to a metre at
// a few million metres from 0; relative to a point of the region it can.
void set_user_origin(double X0, double Y0);
double user_origin_x();
double user_origin_y();

// ---- lines, curves, markers, line styles --------------------------------------
void CURVE(std::span<const float> XU, std::span<const float> YU, int N, int IMARK);
void STRTPT(float X, float Y);
void CONNPT(float X, float Y);
void DOCRV(std::span<const float> X, std::span<const float> Y, int N);
int ICLIPR(float& X, float& Y);
void DOT();
void DASH();
void CHNDOT();
void CHNDSH();
void MRSCOD(std::span<const float> PAT, int N);
void SET_LINETYPE();
void SET_POLWIDTH(float W);
void THKCRV(float T);
void BIGLIN(std::span<const float> X, std::span<const float> Y, int N, float THK);
void INTCRV(std::span<const float> X, std::span<const float> Y, int N);
void MARKER(int N);
void PMARK(float X, float Y);
void RLVEC(float X1, float Y1, float X2, float Y2, int IVEC);
void VECTOR(float X1, float Y1, float X2, float Y2, int IVEC);
void BIGVEC(float LEN, float W, float ANGLE, float X, float Y);
void CIRCLE(float X, float Y, float R, int IPAT);
// The arc of CIRCLE's circle from angle A1 to A2 (degrees, counter-clockwise).
void ARC(float X, float Y, float R, float A1, float A2);
void POL_STRT(float X, float Y);
void POL_DEF(std::span<const float> X, std::span<const float> Y, int N);
// A legend sample: the polyline of N points in mm with markers (as CURVE's
// IMARK), the current line style and the thickness THK (mm).
void CURVA(std::span<const float> X, std::span<const float> Y, int N, int IMARK, float THK);

// ---- text and numbers -------------------------------------------------------
void MESSAG(std::string_view TEXT, int N, float X, float Y);
void RLMESS(std::string_view TEXT, int N, float XU, float YU);
float XMESS(std::string_view TEXT, int N);
void INTNO(int I, float X, float Y);
void RLINT(int I, float XU, float YU);
void REALNO(float R, int NDEC, float X, float Y);
void RLREAL(float R, int NDEC, float XU, float YU);
float XINT(int I);
float XREAL(float R, int NDEC);
int NUM2S(float V, std::string& STR, std::string_view FMT);
void GETFMT(float XMIN, float STEP, float XMAX, std::string& FMT);
void HEIGHT(float H);
void ANGLE(float A);
void CHARSP(float S);
void ITALIC();
float TXTHEI();
float CURTHK();
int LANTXT(std::string_view TEXT, int N);
void CUP2LO(std::string_view TEXT, std::string& OUT, int N);

// A 2 x 3 affine matrix: x' = m[0][0]x + m[0][1]y + m[0][2], y' likewise.
struct Matrix {
    float m[2][3] = {{1, 0, 0}, {0, 1, 0}};
};
Matrix BSCALE(float SX, float SY);
Matrix BSHIFT(float X, float Y);
Matrix BANGLE(float A);
void MULT2(const Matrix& P, const Matrix& Q, Matrix& R);
void ROTCS(const Matrix& M, float& X, float& Y);

void FILFNT(std::span<const float> X, std::span<const float> Y, int N);

// ---- blanking areas (mm) -----------------------------------------------------
// Rectangle with lower left corner (X, Y) and size DX x DY; THK > 0 draws its
// frame first with that thickness.
void BLREC(float X, float Y, float DX, float DY, float THK);
// Circle of centre (X, Y) and radius R; THK > 0 draws its outline first.
void BLCIRC(float X, float Y, float R, float THK);
// The number of the area defined last (areas count from 1 in each graph).
void BLKEY(int& ID);
void BLON(int ID);
void BLOFF(int ID);
// Draws from the current position to (X, Y), interrupted by the active areas.
void RRINBL(float X, float Y);
// What a test did to the segment (X0, Y0) -> (X1, Y1).
enum BlankOutcome : int {
    BL_HIDDEN = -1,       // wholly inside: nothing to draw
    BL_PASSES = 0,        // unchanged
    BL_END_CUT = 1,       // the end moved back to the entry point
    BL_START_MOVED = 2,   // the start moved on to the exit point
    BL_SPLIT = 3,         // the end moved back; the part after the area is on the stack
};
// Test the segment against area I, a rectangle or a circle.
int BLRCHK(int I, float& X0, float& Y0, float& X1, float& Y1);
int BLCCHK(int I, float& X0, float& Y0, float& X1, float& Y1);
// One end of a waiting piece; it continues with the area after area K.
void VPUSH(float X, float Y, int K);
// The last entry pushed, with the area index to continue from.
void VPOP(float& X, float& Y, int& K);

// ---- shading and solid fill ----------------------------------------------------
// Pattern code: thousands = angle, hundreds = spacing count (5: special),
// tens = spacing in 0.4 mm, units != 0 = cross-hatch.
void SHDPAT(int IPAT);
// Hatches a polygon of user points (SHADE) or of the work arrays in mm (SHADEM).
void SHADE(std::span<const float> XU, std::span<const float> YU, int N, float ANGLE, std::span<const float> DIST,
           int NDIST);
void SHADEM(int N, float ANGLE, std::span<const float> DIST, int NDIST);
// Hatches the band between two curves with the current pattern.
void SHDCRV(std::span<const float> X1, std::span<const float> Y1, int N1, std::span<const float> X2,
            std::span<const float> Y2, int N2);
// Solid fill of a polygon of user points (FILPOL) or of the work arrays (FILPOM).
void FILPOL(std::span<const float> XU, std::span<const float> YU, int N);
void FILPOM(int N);
// Solid fill of the rectangle between two user corners.
void FILREC(float X1, float X2, float Y1, float Y2);

}  // namespace velin
