// Obstacles in a section.
//
// Notation: obstacle KB of the list is a box of cells IGA..IGE x JGA..JGE x
// KGA..KGE (1-based, inclusive); cell I spans the faces XU(I)..XU(I+1), and
// likewise YV, ZW. The list holds nb massive obstacles, then no orographic,
// then np porous ones. Section kind IS: 1 column I = LCUT (axes y, z),
// 2 row J = LCUT (axes x, z), 3 level K = LCUT (axes x, y); with KGEL the
// level of a horizontal section follows the ground, KGEL(i, j) + LCUT.
//
// Every box is first cut to cells that exist: to the grid, to the model top
// (KGE at most NZ), and to the picture's cell window ILB..IRB, JVB..JHB along
// the axes that the section shows. A box with no cell left, or with a first
// index beyond its last, is passed over, so no record, however absurd, makes
// a coordinate lookup leave its array.
//
// PLBDIG draws its three groups each from its own range of the list with its
// own pen; orography and porous obstacles are left out when their pen answer
// is below 1. The pen and distance answers are asked once per picture.
//   horizontal section: rectangles wholly outside the plot window are passed
//     over, the others clipped to it; a cut obstacle is hatched or filled, one
//     that the level misses is outlined with the next pen; trees are circles.
//   vertical sections: the cut obstacles are hatched or filled, obstacles up
//     to MINAB cells beside the section are outlined dashed; trees alike,
//     as circles, dashed when beside the section.
//
// PLBORG reads a building file of fixed columns (1-based):
//   1 key   2-6 gh0   7-11 gh   14.. x1..x4 (w each)   y1..y4 (w each, two
//   columns further on)   por (5)
// where w is 7 when column 19 of the first data line holds the ".", else 8.
#include "mapelements/obstacles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "mapelements/background.h"
#include "mapelements/clipping.h"
#include "mapelements/legend.h"
#include "mapelements/reset.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace mapelements {

namespace {

ObstacleState g_state;

// Hatch pattern of the obstacles: lines at 45 degrees, 0.4 mm apart.
constexpr int kHatch = 45510;
// Longest line of a building file that is looked at, and the most points of
// one polyline drawn at a time.
constexpr std::size_t kBuildingLineLength = 96;
constexpr std::size_t kPolylinePoints = 100;
constexpr float kFinalThickness = 0.01f;  // mm
// The white casing under an outline over a colour raster, mm.
constexpr float kCasing = 0.6f;

using platform::integer;

// ---- what the picture holds --------------------------------------------------

// Remembers an obstacle drawn (user coordinates), for the labels that must
// keep off it.
void record(std::span<const float> x, std::span<const float> y, bool area) {
    DrawnObstacle d;
    d.area = area;
    for (std::size_t k = 0; k < x.size() && k < y.size(); ++k) {
        d.x.push_back(velin::XPOSN(x[k], y[k]));
        d.y.push_back(velin::YPOSN(x[k], y[k]));
    }
    if (!d.x.empty()) g_state.drawn.push_back(std::move(d));
}

// Over a colour raster: the area of an obstacle painted white (pen 0, the
// paper) before its hatch or fill.
void white_area(std::span<const float> x, std::span<const float> y) {
    if (!g_state.white_ground || x.size() < 3) return;
    const int pen = velin::plot_state().ipen;
    velin::SELPEN(0);
    velin::FILPOL(x, y, static_cast<int>(std::min(x.size(), y.size())));
    velin::SELPEN(pen);
}

// Draws an outline; over a colour raster on a white casing first.
void outline(std::span<const float> x, std::span<const float> y, int n) {
    if (g_state.white_ground) {
        const int pen = velin::plot_state().ipen;
        const float thickness = velin::CURTHK();
        velin::SELPEN(0);
        velin::THKCRV(kCasing);
        velin::CURVE(x, y, n, 0);
        velin::THKCRV(thickness);
        velin::SELPEN(pen);
    }
    velin::CURVE(x, y, n, 0);
}

// ---- the model as the drawing sees it ----------------------------------------

// Cells whose faces and centres exist in the grid arrays.
struct Extent {
    int nx = 0, ny = 0, nz = 0;
};

Extent grid_extent() {
    const resultfile::Grid& g = resultfile::grid();
    Extent e;
    e.nx = std::min(g.NX, g.XU.n() - 1);
    e.ny = std::min(g.NY, g.YV.n() - 1);
    e.nz = std::min({g.NZ, g.ZW.n() - 1, g.ZL.n()});
    return e;
}

// The groups of the list, limited to the records that are present.
struct Groups {
    int nb = 0, no = 0, np = 0;
};

Groups list_groups() {
    const resultfile::ObstacleList& ob = resultfile::obstacles();
    int present = std::min({ob.IGA.n(), ob.IGE.n(), ob.JGA.n(), ob.JGE.n(), ob.KGA.n(), ob.KGE.n(), ob.HTYP.n()});
    Groups g;
    g.nb = std::clamp(ob.nb, 0, present);
    g.no = std::clamp(ob.no, 0, present - g.nb);
    g.np = std::clamp(ob.np, 0, present - g.nb - g.no);
    return g;
}

// The cells of an obstacle that the section can show.
struct Box {
    int i1, i2, j1, j2, k1, k2;
};

// Obstacle KB cut to the grid, to the model top and, along the axes of
// section kind IS, to the cell window; nothing when no cell is left.
std::optional<Box> usable_box(int KB, int IS, const Extent& e, const ObstacleWindow& w) {
    const resultfile::ObstacleList& ob = resultfile::obstacles();
    const int ia = ob.IGA(KB), ie = ob.IGE(KB), ja = ob.JGA(KB), je = ob.JGE(KB), ka = ob.KGA(KB), ke = ob.KGE(KB);
    if (ia > ie || ja > je || ka > ke) return std::nullopt;
    Box b{std::max(ia, 1), std::min(ie, e.nx), std::max(ja, 1), std::min(je, e.ny), std::max(ka, 1),
          std::min(ke, e.nz)};
    if (IS != 1) {
        b.i1 = std::max(b.i1, w.ILB);
        b.i2 = std::min(b.i2, w.IRB);
    }
    if (IS != 2) {
        b.j1 = std::max(b.j1, w.JVB);
        b.j2 = std::min(b.j2, w.JHB);
    }
    if (b.i1 > b.i2 || b.j1 > b.j2 || b.k1 > b.k2) return std::nullopt;
    return b;
}

bool is_tree(int KB) { return resultfile::obstacles().HTYP(KB) % 10 >= 4; }

// Trees grow wider with the height of their top cell.
float tree_radius(int k_top) {
    const float z = resultfile::grid().ZL(k_top);
    if (z > 10.0f) return 3.5f;
    if (z > 7.0f) return 2.5f;
    return 2.0f;
}

// The level of a horizontal section above cell (i, j): LCUT, or with the
// terrain LCUT layers above the ground, never above the model top.
int section_level(int LCUT, int i, int j, int nz, const platform::Field2D<int>* KGEL) {
    if (KGEL == nullptr) return LCUT;
    long ground = 0;
    if (i >= 1 && j >= 1 && i <= KGEL->n1() && j <= KGEL->n2()) ground = (*KGEL)(i, j);
    return static_cast<int>(std::min<long>(ground + LCUT, nz));
}

void check_section_kind(int IS, const char* routine) {
    platform::fatal_if(IS < 1 || IS > 3, routine, "unbekannte Schnittart IS=" + std::to_string(IS));
}

// ---- questions -----------------------------------------------------------------

// A pen number; an empty answer is 0. Answers that are no pen are asked again.
int ask_pen(std::string_view question) {
    return platform::ask_until(question, [](std::string_view line) -> std::optional<int> {
        std::vector<std::optional<long>> values;
        if (!platform::parse_ints(line, values, 1)) return std::nullopt;
        const long pen = values.empty() || !values[0] ? 0L : *values[0];
        if (pen > 255) return std::nullopt;
        return pen < 1 ? 0 : static_cast<int>(pen);
    });
}

// A distance in metres; an empty answer is 0.
float ask_distance(std::string_view question) {
    return platform::ask_until(question, [](std::string_view line) -> std::optional<float> {
        std::vector<std::optional<double>> values;
        if (!platform::parse_reals(line, values, 1)) return std::nullopt;
        const double d = values.empty() || !values[0] ? 0.0 : *values[0];
        if (!std::isfinite(d)) return std::nullopt;
        return static_cast<float>(d);
    });
}

void ask_pens_once(const Groups& g) {
    ObstacleState& st = g_state;
    if (st.pens_asked) return;
    st.IPEN_ORO = g.no >= 1 ? ask_pen(" Stift für Orographie (0 - Orogr. nicht eintragen): ") : 0;
    st.IPEN_POR = g.np >= 1 ? ask_pen(" Stift für poröse Hindernisse (0 - por. Hind. nicht eintragen): ") : 0;
    st.pens_asked = true;
}

void ask_distance_once(int IS) {
    ObstacleState& st = g_state;
    if (st.distance_asked) return;
    auto& con = platform::console();
    con.line(" Hindernisse neben dem Schnitt berücksichtigen?");
    const float ABST = ask_distance(" Erfassungsabstand: ");
    const resultfile::Grid& g = resultfile::grid();
    const float spacing = IS == 1 ? g.DX : g.DY;
    double cells = spacing > 0.0f ? std::round(static_cast<double>(ABST) / spacing) : 0.0;
    if (!std::isfinite(cells)) cells = 0.0;
    st.MINAB = static_cast<int>(std::clamp(cells, -1.0e6, 1.0e6));
    st.distance_asked = true;
}

// ---- drawing of the list -----------------------------------------------------

struct Style {
    bool DRAFT, BLANK;
    int ISHD;
    int IBFILL;  // pen of the massive obstacles; the next pen outlines the uncut ones
};

void draw_horizontal(int KB, int LCUT, const Style& s, int group_pen, const Extent& e,
                     const platform::Field2D<int>* KGEL) {
    const ObstacleWindow& w = g_state.window;
    const std::optional<Box> box = usable_box(KB, 3, e, w);
    if (!box) return;
    const resultfile::Grid& g = resultfile::grid();
    // In plot coordinates, relative to the grid's corner.
    float XGA = g.face_x(box->i1), XGE = g.face_x(box->i2 + 1);
    float YGA = g.face_y(box->j1), YGE = g.face_y(box->j2 + 1);
    if (XGA > w.XMAX || XGE < w.XMIN || YGA > w.YMAX || YGE < w.YMIN) return;
    if (is_tree(KB)) {
        TREE(0.5f * (XGA + XGE), 0.5f * (YGA + YGE), tree_radius(box->k2), 0.0f);
        return;
    }
    XGA = std::max(XGA, w.XMIN);
    XGE = std::min(XGE, w.XMAX);
    YGA = std::max(YGA, w.YMIN);
    YGE = std::min(YGE, w.YMAX);
    if (!(XGE > XGA) || !(YGE > YGA)) return;
    if (box->k1 >= 2) platform::console().line(" - PLBDIG-I-abgehobenes Hindernis gezeichnet" + integer(KB, 6));
    const int level = section_level(LCUT, box->i1, box->j1, e.nz, KGEL);
    const float x[5] = {XGA, XGE, XGE, XGA, XGA}, y[5] = {YGA, YGA, YGE, YGE, YGA};
    const bool cut = box->k1 <= level && level <= box->k2;
    record(x, y, cut);
    if (cut) {
        BLOCK(XGA, XGE, YGA, YGE, s.DRAFT, s.ISHD, s.BLANK);
    } else {
        velin::SELPEN(s.IBFILL + 1);
        BLOCK(XGA, XGE, YGA, YGE, true, 1);
        velin::SELPEN(group_pen);
    }
}

void draw_vertical(int KB, int IS, int LCUT, const Style& s, const Extent& e) {
    const std::optional<Box> box = usable_box(KB, IS, e, g_state.window);
    if (!box) return;
    const resultfile::Grid& g = resultfile::grid();
    // Along the section and across it.
    const float XGA = IS == 1 ? g.face_y(box->j1) : g.face_x(box->i1);
    const float XGE = IS == 1 ? g.face_y(box->j2 + 1) : g.face_x(box->i2 + 1);
    // A section shown only up to a height below the model top cuts the
    // obstacles there instead of drawing them through the title.
    const float YGA = g.ZW(box->k1), YGE = std::min(g.ZW(box->k2 + 1), g_state.window.YMAX);
    if (!(YGA < g_state.window.YMAX)) return;
    const int across1 = IS == 1 ? box->i1 : box->j1, across2 = IS == 1 ? box->i2 : box->j2;
    const bool cut = across1 <= LCUT && LCUT <= across2;
    const long IAB =
        std::min(std::labs(static_cast<long>(across2) - LCUT), std::labs(static_cast<long>(across1) - LCUT));
    // Trees follow the same distance rule as the other obstacles: a tree far
    // beside the section does not belong in it.
    if (!cut && IAB > g_state.MINAB) return;
    if (is_tree(KB)) {
        const float ym = 0.5f * (g.ZW(box->k1) + g.ZW(box->k2 + 1));
        if (ym > g_state.window.YMAX) return;
        if (!cut) velin::DASH();
        TREE(0.5f * (XGA + XGE), ym, tree_radius(box->k2), 0.0f);
        if (!cut) velin::RESET("DASH");
        return;
    }
    if (!(XGE > XGA) || !(YGE > YGA)) return;
    const float x[5] = {XGA, XGE, XGE, XGA, XGA}, y[5] = {YGA, YGA, YGE, YGE, YGA};
    record(x, y, cut);
    if (cut) {
        BLOCK(XGA, XGE, YGA, YGE, s.DRAFT, s.ISHD, s.BLANK);
        return;
    }
    velin::DASH();
    BLOCK(XGA, XGE, YGA, YGE, true, 1);
    velin::RESET("DASH");
}

// Obstacles above the model top are lowered to it in the list itself, so
// that the rest of the run sees them capped as well.
void cap_massive_obstacles(int nb) {
    resultfile::ObstacleList& ob = resultfile::obstacles();
    const int NZ = resultfile::grid().NZ;
    if (NZ < 1) return;
    bool capped = false;
    for (int KB = 1; KB <= nb; ++KB) {
        if (ob.KGE(KB) > NZ) {
            ob.KGE(KB) = static_cast<std::int16_t>(std::clamp(NZ, -32768, 32767));
            capped = true;
        }
    }
    if (capped) platform::console().line(" - PLBDIG-I-Hindernisse teilweise gekappt!!!");
}

// ---- building files ------------------------------------------------------------

// One line of at most kBuildingLineLength characters; the rest of a longer
// line is passed over. False at the end of the file.
bool read_building_line(std::streambuf& in, std::string& line) {
    line.clear();
    int c = in.sbumpc();
    if (c == std::char_traits<char>::eof()) return false;
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = in.sbumpc())
        if (line.size() <= kBuildingLineLength) line.push_back(static_cast<char>(c));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kBuildingLineLength) line.resize(kBuildingLineLength);
    return true;
}

// Column `column` (1-based) of a line, blank beyond its end.
char column_of(const std::string& line, std::size_t column) {
    return column <= line.size() ? line[column - 1] : ' ';
}

// A fixed-column real field as a Fortran Fw.1 edit descriptor reads it:
// blanks do not count, an all-blank field is 0, a mantissa without a decimal
// point has one implied decimal ("  125" is 12.5); an exponent may follow as
// E, D or a bare sign. Nothing when the field holds anything else.
std::optional<double> read_fixed_real(std::string_view field) {
    std::string s;
    for (char c : field)
        if (c != ' ' && c != '\t') s.push_back(c);
    if (s.empty()) return 0.0;
    std::size_t p = 0;
    std::string number;
    if (s[p] == '+' || s[p] == '-') number.push_back(s[p++]);
    std::string whole, fraction;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9') whole.push_back(s[p++]);
    const bool point = p < s.size() && s[p] == '.';
    if (point) {
        ++p;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9') fraction.push_back(s[p++]);
    }
    if (whole.empty() && fraction.empty()) return std::nullopt;
    long exponent = 0;
    if (p < s.size()) {
        const char c = s[p];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++p;
        else if (c != '+' && c != '-') return std::nullopt;
        bool negative = false;
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
        if (p == s.size()) return std::nullopt;
        for (; p < s.size(); ++p) {
            if (s[p] < '0' || s[p] > '9') return std::nullopt;
            exponent = std::min(exponent * 10 + (s[p] - '0'), 100000L);
        }
        if (negative) exponent = -exponent;
    }
    if (!point) exponent -= 1;
    number += (whole.empty() ? "0" : whole) + "." + fraction + "e" + std::to_string(exponent);
    const double v = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(v) || std::fabs(v) > 3.0e38) return std::nullopt;
    return v;
}

// The fields of one data line of a building file.
struct BuildingLine {
    float gh0 = 0.0f, gh = 0.0f;  // base and top height (m)
    float x[4] = {}, y[4] = {};   // corners (m)
    float por = 0.0f;             // porosity
};

// Reads the fields after the key; trees have no y or porosity fields (their
// x fields are the centre and the radius). Positions become plot coordinates,
// relative to the point that the plot's user origin stands for.
// Nothing when a field cannot be read.
std::optional<BuildingLine> read_building_fields(const std::string& line, std::size_t width, bool with_y) {
    const double origin_x = velin::user_origin_x(), origin_y = velin::user_origin_y();
    auto field = [&](std::size_t column, std::size_t length) -> std::optional<double> {
        std::string_view text;
        if (column <= line.size()) text = std::string_view(line).substr(column - 1, length);
        return read_fixed_real(text);
    };
    BuildingLine b;
    std::optional<double> v;
    if (!(v = field(2, 5))) return std::nullopt;
    b.gh0 = static_cast<float>(*v);
    if (!(v = field(7, 5))) return std::nullopt;
    b.gh = static_cast<float>(*v);
    const std::size_t x_start = 14, y_start = x_start + 4 * width + 2;
    for (std::size_t n = 0; n < 4; ++n) {
        if (!(v = field(x_start + n * width, width))) return std::nullopt;
        // A tree: centre x, centre y, radius.
        const double origin = with_y || n == 0 ? origin_x : n == 1 ? origin_y : 0.0;
        b.x[n] = static_cast<float>(*v - origin);
    }
    if (!with_y) return b;
    for (std::size_t n = 0; n < 4; ++n) {
        if (!(v = field(y_start + n * width, width))) return std::nullopt;
        b.y[n] = static_cast<float>(*v - origin_y);
    }
    if (!(v = field(y_start + 4 * width, 5))) return std::nullopt;
    b.por = static_cast<float>(*v);
    return b;
}

// A four-cornered building ("C", or "Q" filled as a rectangle) at section height zcut.
void draw_building(const BuildingLine& b, bool rectangle, int ISHD, float zcut) {
    const ObstacleWindow& w = g_state.window;
    const float xlo = std::min({b.x[0], b.x[1], b.x[2], b.x[3]}), xhi = std::max({b.x[0], b.x[1], b.x[2], b.x[3]});
    const float ylo = std::min({b.y[0], b.y[1], b.y[2], b.y[3]}), yhi = std::max({b.y[0], b.y[1], b.y[2], b.y[3]});
    if (xlo > w.XMAX || xhi < w.XMIN || ylo > w.YMAX || yhi < w.YMIN) return;
    std::vector<float> x, y;
    int n = 0;
    CUT_POL(b.x, b.y, 4, x, y, n);
    if (n < 1) return;
    x.resize(static_cast<std::size_t>(n));
    y.resize(static_cast<std::size_t>(n));
    if (x.back() != x.front() || y.back() != y.front()) {
        x.push_back(x.front());
        y.push_back(y.front());
        ++n;
    }
    const bool cut = !(b.gh < zcut) && !(zcut < b.gh0);
    record(x, y, cut);
    if (b.gh < zcut) {
        velin::DOT();
        outline(x, y, n);
        velin::RESET("dot");
    } else if (zcut < b.gh0) {
        outline(x, y, n);
    } else if (ISHD == 0) {
        if (!rectangle) {
            if (n >= 4) velin::FILPOL(x, y, n);
            return;
        }
        const auto [x1, x2] = std::minmax_element(x.begin(), x.end());
        const auto [y1, y2] = std::minmax_element(y.begin(), y.end());
        if (*x2 > *x1 && *y2 > *y1) velin::FILREC(*x1, *x2, *y1, *y2);
    } else {
        white_area(x, y);
        outline(x, y, n);
        velin::SHDPAT(ISHD);
        velin::SHDCRV(x, y, n, x, y, 0);
    }
}

// Points of a "P"/"W" polyline gathered so far.
struct Polyline {
    std::vector<float> x, y;

    void draw() {
        if (x.empty()) return;
        velin::THKCRV(kFinalThickness);
        record(x, y, false);
        outline(x, y, static_cast<int>(x.size()));
    }
    void end() {
        draw();
        x.clear();
        y.clear();
    }
    void add(float px, float py) {
        // A long polyline goes out in pieces that share their joining point.
        if (x.size() == kPolylinePoints) {
            draw();
            x.erase(x.begin(), x.end() - 1);
            y.erase(y.begin(), y.end() - 1);
        }
        x.push_back(px);
        y.push_back(py);
    }
};

void draw_building_file(std::streambuf& in, int ISHD, float zcut) {
    ObstacleState& st = g_state;
    auto& con = platform::console();
    std::string line;
    // Header lines have a blank column 20.
    bool found = false;
    while (read_building_line(in, line)) {
        if (column_of(line, 20) != ' ') {
            found = true;
            break;
        }
    }
    if (!found) return;
    if (st.column_width == 0) st.column_width = column_of(line, 19) == '.' ? 7 : 8;
    const std::size_t width = static_cast<std::size_t>(st.column_width);
    const ObstacleWindow& w = g_state.window;

    Polyline poly;
    do {
        const char key = column_of(line, 1);
        if (key == 'P' || key == 'W') {
            const std::optional<BuildingLine> b = read_building_fields(line, width, true);
            if (!b) break;
            poly.add(b->x[0], b->y[0]);
            continue;
        }
        poly.end();
        if (key == 'C' || key == 'Q') {
            const std::optional<BuildingLine> b = read_building_fields(line, width, true);
            if (!b) break;
            draw_building(*b, key == 'Q', ISHD, zcut);
        } else if (key == 'M') {
            const std::optional<BuildingLine> b = read_building_fields(line, width, false);
            if (!b) break;
            const float xm = b->x[0], ym = b->x[1];
            if (xm < w.XMIN || xm > w.XMAX || ym < w.YMIN || ym > w.YMAX) continue;
            TREE(xm, ym, b->x[2], 0.0f);
        } else if (key != 'X' && key != 'Y' && key != '!') {
            con.line(" PLBORG-W-Kennung unbekannt: " + platform::to_utf8(std::string(1, key)));
        }
    } while (read_building_line(in, line));
    poly.end();
}

}  // namespace

ObstacleState& obstacle_state() { return g_state; }

void reset_obstacle_state() { g_state = ObstacleState(); }

void reset() {
    reset_legend();
    reset_obstacle_state();
    reset_background();
    clip_window() = ClipWindow();
}

void set_obstacle_window(const ObstacleWindow& window) { g_state.window = window; }

void new_obstacle_picture() {
    g_state.pens_asked = false;
    g_state.distance_asked = false;
    g_state.white_ground = false;
    g_state.drawn.clear();
}

void obstacles_on_white(bool on) { g_state.white_ground = on; }

void IMHAUS(int LCUT, int IS, platform::Field2D<std::int16_t>& LGB, int N1, int N2, int NGB, int ILB, int IRB,
            int JVB, int JHB, const platform::Field2D<int>* KGEL) {
    platform::console().line(" - IMHAUS -" + integer(NGB, 5) + " massive Hindernisse");
    check_section_kind(IS, "IMHAUS");
    if (N1 < 1 || N2 < 1) {
        LGB.resize(0, 0);
        return;
    }
    LGB.resize(N1, N2, 0);
    const Extent e = grid_extent();
    const Groups groups = list_groups();
    const int count = std::clamp(NGB, 0, groups.nb + groups.no + groups.np);
    ObstacleWindow w;
    w.ILB = ILB;
    w.IRB = IRB;
    w.JVB = JVB;
    w.JHB = JHB;
    for (int KB = 1; KB <= count; ++KB) {
        const std::optional<Box> box = usable_box(KB, IS, e, w);
        if (!box) continue;
        if (IS == 3) {
            const int i1 = std::max(box->i1 - ILB + 1, 1), i2 = std::min(N1, box->i2 - ILB + 1);
            const int j1 = std::max(box->j1 - JVB + 1, 1), j2 = std::min(N2, box->j2 - JVB + 1);
            for (int j = j1; j <= j2; ++j)
                for (int i = i1; i <= i2; ++i) {
                    const int level = section_level(LCUT, i + ILB - 1, j + JVB - 1, e.nz, KGEL);
                    if (box->k1 <= level && level <= box->k2) LGB(i, j) = static_cast<std::int16_t>(box->k2);
                }
            continue;
        }
        // Vertical sections: along the section from the window's first cell, up from level 1.
        const int across1 = IS == 1 ? box->i1 : box->j1, across2 = IS == 1 ? box->i2 : box->j2;
        if (LCUT < across1 || LCUT > across2) continue;
        const int first = IS == 1 ? JVB : ILB;
        const int a1 = std::max((IS == 1 ? box->j1 : box->i1) - first + 1, 1);
        const int a2 = std::min(N1, (IS == 1 ? box->j2 : box->i2) - first + 1);
        const int k2 = std::min(N2, box->k2);
        for (int k = box->k1; k <= k2; ++k)
            for (int a = a1; a <= a2; ++a) LGB(a, k) = 1;
    }
}

void PLBDIG(int IS, int LCUT, bool DRAFT, bool BLACK, bool BLANK, int IBFILL, const platform::Field2D<int>* KGEL) {
    const Groups groups = list_groups();
    platform::console().line(" - PLBDIG -" + integer(groups.nb + groups.no, 5) + " massive Hindernisse");
    check_section_kind(IS, "PLBDIG");
    ask_pens_once(groups);
    velin::SELPEN(IBFILL);
    const Style style{DRAFT, BLANK, BLACK ? 0 : kHatch, IBFILL};
    if (IS != 3) {
        cap_massive_obstacles(groups.nb);
        ask_distance_once(IS);
    }
    const Extent e = grid_extent();
    struct Range {
        int first, last, pen;
    };
    const Range ranges[3] = {
        {1, groups.nb, IBFILL},
        {groups.nb + 1, groups.nb + groups.no, g_state.IPEN_ORO},
        {groups.nb + groups.no + 1, groups.nb + groups.no + groups.np, g_state.IPEN_POR},
    };
    for (const Range& r : ranges) {
        if (r.first > r.last || r.pen < 1) continue;
        velin::SELPEN(r.pen);
        for (int KB = r.first; KB <= r.last; ++KB) {
            if (IS == 3) draw_horizontal(KB, LCUT, style, r.pen, e, KGEL);
            else draw_vertical(KB, IS, LCUT, style, e);
        }
    }
    velin::THKCRV(kFinalThickness);
}

void BLOCK(float XGA, float XGE, float YGA, float YGE, bool DRAFT, int ISHD, bool BLANK) {
    if (!std::isfinite(XGA) || !std::isfinite(XGE) || !std::isfinite(YGA) || !std::isfinite(YGE)) return;
    const float x[5] = {XGA, XGE, XGE, XGA, XGA};
    const float y[5] = {YGA, YGA, YGE, YGE, YGA};
    if (!DRAFT) white_area(x, y);
    if (ISHD != 0) outline(x, y, 5);
    if (BLANK || ISHD < 0 || (ISHD == 0 && DRAFT)) {
        // Registered switched off: it interrupts lines only once blanking is switched on.
        const float xa = velin::XPOSN(XGA, YGA), ya = velin::YPOSN(XGA, YGA);
        const float xb = velin::XPOSN(XGE, YGE), yb = velin::YPOSN(XGE, YGE);
        const float dx = std::fabs(xb - xa), dy = std::fabs(yb - ya);
        if (dx > 0.0f && dy > 0.0f) {
            velin::BLREC(std::min(xa, xb), std::min(ya, yb), dx, dy, 0.0f);
            int id = 0;
            velin::BLKEY(id);
            velin::BLOFF(id);
        }
    }
    if (DRAFT) return;
    if (ISHD != 0) {
        velin::SHDPAT(std::abs(ISHD));
        velin::SHDCRV(x, y, 5, x, y, 0);
    } else {
        velin::FILREC(XGA, XGE, YGA, YGE);
    }
}

void TREE(float XM, float YM, float R, float SHDFAC) {
    float x[13], y[13];
    x[0] = XM + R;
    y[0] = YM;
    // The step of 0.523 rad falls just short of 30 degrees; the last chord closes the gap.
    for (int I = 2; I <= 12; ++I) {
        const float a = static_cast<float>(I - 1) * 0.523f;
        x[I - 1] = XM + R * std::cos(a);
        y[I - 1] = YM + R * std::sin(a);
    }
    x[12] = x[0];
    y[12] = y[0];
    // A tree is small: labels keep off the whole of it.
    record(x, y, true);
    outline(x, y, 13);
    if (SHDFAC != 0.0f) platform::console().line(" TREE-W-SHDFAC not supported");
}

void PLBORG(std::string_view GEB_FILE, int ipen, bool lfill, float zcut) {
    platform::console().line(" - PLBORG - " + platform::to_utf8(GEB_FILE));
    const ObstacleWindow& w = g_state.window;
    set_clip_window(w.XMIN, w.XMAX, w.YMIN, w.YMAX);
    const int ISHD = lfill ? 0 : kHatch;
    velin::SELPEN(ipen);
    const std::string path = platform::resolve_stored_name(GEB_FILE, resultfile::reader_state().result_name);
    std::optional<std::string> text = platform::read_text_file(path, "PLBORG");
    if (!text) return;
    std::stringbuf file(std::move(*text));
    draw_building_file(file, ISHD, zcut);
    velin::THKCRV(kFinalThickness);
}

}  // namespace mapelements
