// Trajectories. A parcel starts at a random point of its box, a lattice box
// of DSX x DSY counted from the window corner (XMIN, YMIN), and moves with
// explicit steps of DT through the wind of its cell:
//   UM = U(I,J) + (U(I+1,J) - U(I,J)) * (x - XR(I)) / DXR(I), VM likewise in y,
// (U and V live on the faces, so each component varies along its own axis
// only). A path ends in calm air (speed below 0.01 m/s), at the window border
// or after ITREND steps, and is drawn with an arrow head on its last segment.
// Outline of one picture:
//   1. the tracking time: the time to cross one start spacing at the inflow,
//      rounded to tens of steps, or a share of the window when that is 0;
//      the user may give another one;
//   2. the reference arrow: the inflow speed travelled during that time;
//   3. the first set of parcels on the (thinned) lattice;
//   4. a second set in the cells that fewer than two visits have reached.
// Cells are found by the faces: cell I holds XR(I) <= x < XR(I+1), and a
// point beyond the grid belongs to the border cell, whose wind is taken from
// its nearer face, so no index leaves the arrays.
// The random numbers come from a Mersenne twister started from the same seed
// in every picture: a plot can be made again byte for byte.
#include "flowplots/trajectories.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "flowplots/vectors.h"
#include "flowplots/window.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace flowplots {

namespace {

using platform::fixed;
using platform::integer;

// Paths are held whole; a tracking time beyond this many steps is cut to it.
constexpr int kMaxSteps = 100000;
// More start points than this along one axis of a lattice are refused.
constexpr double kMaxLattice = 1.0e6;
constexpr unsigned kDefaultSeed = 4711;
constexpr int kArrow = 1031;

std::size_t at(int i) { return static_cast<std::size_t>(i - 1); }

// Uniform numbers in [0, 1): the upper 24 bits of the twister, exact in a float.
class Uniform {
public:
    explicit Uniform(unsigned seed) : g_(seed) {}
    float operator()() { return static_cast<float>(g_() >> 8) * 0x1p-24f; }

private:
    std::mt19937 g_;
};

// The nearest whole number, as a double (infinity and NaN pass through).
double nearest(double v) { return std::round(v); }

// Array sizes and grid of a section; the faces must ascend and the widths be
// positive so that the cell search and the interpolation stay meaningful.
void check_section(std::string_view routine, const platform::Field2D<float>& U, const platform::Field2D<float>& V,
                   const platform::Field2D<std::int16_t>& MAP,
                   int NNX, int NNY, std::string_view vname, std::span<const float> XR, std::span<const float> YR,
                   std::span<const float> DXR, std::span<const float> DYR, std::string_view yname) {
    const std::string y(yname);
    platform::fatal_if(NNX < 1 || NNY < 1, routine,
                       "Feldgröße falsch: NNX=" + std::to_string(NNX) + ", NNY=" + std::to_string(NNY));
    const long long nx = NNX, ny = NNY;
    auto field = [&](long long n1, long long n2, int have1, int have2, std::string_view name) {
        platform::fatal_if(have1 < n1 || have2 < n2, routine,
                           "Feld " + std::string(name) + " kleiner als " + std::to_string(n1) + " x " +
                               std::to_string(n2));
    };
    field(nx + 1, ny, U.n1(), U.n2(), "U");
    field(nx, ny + 1, V.n1(), V.n2(), vname);
    field(nx, ny, MAP.n1(), MAP.n2(), "MAP");
    auto axis = [&](std::span<const float> faces, std::span<const float> widths, long long n, const std::string& c) {
        platform::fatal_if(static_cast<long long>(faces.size()) < n + 1 ||
                               static_cast<long long>(widths.size()) < n,
                           routine, "zu wenige Zellgrenzen oder -breiten in " + c + " für " + std::to_string(n) +
                                        " Zellen");
        for (long long i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            platform::fatal_if(!(faces[k] < faces[k + 1]), routine,
                               "Zellgrenzen " + c + "R nicht aufsteigend bei " + std::to_string(i + 1));
            platform::fatal_if(!(widths[k] > 0.0f) || !std::isfinite(widths[k]), routine,
                               "Zellbreite D" + c + "R(" + std::to_string(i + 1) + ") muss positiv sein");
        }
    };
    axis(XR, DXR, nx, "X");
    axis(YR, DYR, ny, y);
}

// The cell I of the faces F(1..n+1) with F(I) <= x < F(I+1), clamped to 1..n.
int cell_of(std::span<const float> faces, int n, float x) {
    const auto first = faces.begin() + 1, last = faces.begin() + n;
    return 1 + static_cast<int>(std::upper_bound(first, last, x) - first);
}

// The share of the cell from its face to x, kept inside the cell.
float fraction(float x, float face, float width) {
    const float f = (x - face) / width;
    return f > 0.0f ? std::min(f, 1.0f) : 0.0f;
}

void count_visit(std::int16_t& m) {
    if (m < std::numeric_limits<std::int16_t>::max()) ++m;
}

// A tracking time in steps, cut to the largest one held; NaN gives 0.
int capped_steps(std::string_view routine, double steps) {
    if (!(steps > 0.0)) return 0;
    if (steps > kMaxSteps) {
        std::string text(1, ' ');
        text.append(routine).append("-W-Verfolgungszeit auf ").append(std::to_string(kMaxSteps)).append(" Schritte begrenzt");
        platform::console().line(text);
        return kMaxSteps;
    }
    return static_cast<int>(steps);
}

void report_time() {
    const TrajectoryState& st = trajectory_state();
    platform::console().line(" Trajektorienverfolgungszeit:" + fixed(st.ITREND * st.DT, 6, 1) + " sec");
}

// Proposes ITREND, lets the user give another time (s) and reports the
// thinning of the start lattice.
void ask_tracking_time(std::string_view routine, std::string_view question, int IXSTP, int IYSTP) {
    auto& con = platform::console();
    TrajectoryState& st = trajectory_state();
    report_time();
    con.prompt(question);
    std::vector<std::optional<double>> values;
    if (platform::parse_reals(con.read_line(), values, 1) && !values.empty() && values[0] && *values[0] > 0.0 &&
        std::isfinite(*values[0]))
        st.ITREND = capped_steps(routine, nearest(*values[0] / st.DT));
    report_time();
    con.line(" Startpunkte in x-Richtung jeden " + integer(IXSTP, 3) + ". Gitterpunkt");
    con.line(" Startpunkte in y-Richtung jeden " + integer(IYSTP, 3) + ". Gitterpunkt");
}

// The reference arrow: the rounded inflow speed over the tracking time.
void draw_reference_arrow(float U0, float V0) {
    const TrajectoryState& st = trajectory_state();
    const float ULEG = std::round(std::sqrt(U0 * U0 + V0 * V0));
    LEGPFL(ULEG, static_cast<float>(st.ITREND) * st.DT, "m/s", 0.0f);
    // The character height sizes the arrow heads of the paths.
    velin::HEIGHT(0.8f);
}

// One path: points 1..ITR, the start first.
struct Path {
    std::vector<float> x, y;
};

// Advances a parcel from (x, y). `wind` counts the visit of the point's cell
// and gives the wind there; it returns false where the point lies in no cell.
template <typename Wind>
void trace(float x, float y, Wind&& wind, Path& p) {
    const TrajectoryState& st = trajectory_state();
    const PlotWindow& w = plot_window();
    p.x.assign(1, x);
    p.y.assign(1, y);
    for (;;) {
        float UM = 0.0f, VM = 0.0f;
        if (!wind(x, y, UM, VM)) break;
        // A wind that is no number ends the path like calm air.
        const float UV = std::hypot(UM, VM);
        if (!(UV >= 0.01f) || !std::isfinite(UV)) break;
        x += UM * st.DT;
        y += VM * st.DT;
        if (!std::isfinite(x) || !std::isfinite(y)) break;
        p.x.push_back(x);
        p.y.push_back(y);
        if (!(x > w.XMIN && x < w.XMAX && y > w.YMIN && y < w.YMAX)) break;
        // ITREND steps give ITREND + 1 points.
        if (p.x.size() > static_cast<std::size_t>(st.ITREND)) break;
    }
}

// A path of three points or more, with an arrow head on its last segment
// when that moved at all.
void draw(const Path& p) {
    const int n = static_cast<int>(p.x.size());
    if (n < 3) return;
    velin::CURVE(p.x, p.y, n, 0);
    const float x0 = p.x[at(n - 1)], y0 = p.y[at(n - 1)], x1 = p.x[at(n)], y1 = p.y[at(n)];
    if (std::fabs(x1 - x0) > 0.01f || std::fabs(y1 - y0) > 0.01f) velin::RLVEC(x0, y0, x1, y1, kArrow);
}

// The start spacings of a grid that is not equidistant; a line without two
// positive spacings, or with spacings too fine for the grid, is asked again.
void ask_spacing(float extent_x, float extent_y, float& DSX, float& DSY) {
    auto& con = platform::console();
    for (;;) {
        con.prompt(" Abstand der Trajektorienstartpunkte (DSX,DSY): ");
        std::vector<std::optional<double>> v;
        const bool read = platform::parse_reals(con.read_line(), v, 2) && v.size() == 2 && v[0] && v[1];
        if (read && *v[0] > 0.0 && *v[1] > 0.0 && std::isfinite(*v[0]) && std::isfinite(*v[1]) &&
            extent_x / *v[0] <= kMaxLattice && extent_y / *v[1] <= kMaxLattice) {
            DSX = static_cast<float>(*v[0]);
            DSY = static_cast<float>(*v[1]);
            if (DSX > 0.0f && DSY > 0.0f) return;
        }
        con.line(" PLTRAJ-W-zwei positive Abstände angeben, höchstens " +
                 integer(static_cast<long long>(kMaxLattice), 0) + " Startpunkte je Richtung");
    }
}

}  // namespace

TrajectoryState& trajectory_state() {
    static TrajectoryState state;
    return state;
}

void reset_trajectory_state() { trajectory_state() = TrajectoryState(); }

unsigned trajectory_seed() {
    const char* env = std::getenv("MURAL_SEED");
    std::string_view text = env ? env : "";
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return kDefaultSeed;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && value <= std::numeric_limits<std::uint32_t>::max())
        return static_cast<unsigned>(value);
    platform::console().line(" MURAL-W-MURAL_SEED=" + std::string(text) +
                             " ist keine ganze Zahl von 0 bis 4294967295, Startwert " + std::to_string(kDefaultSeed));
    return kDefaultSeed;
}

void PLTRAJ(const platform::Field2D<float>& U, const platform::Field2D<float>& V, platform::Field2D<std::int16_t>& MAP,
            int NNX, int NNY, float U0B, float V0B, const platform::Field2D<std::int16_t>& LGB,
            std::span<const float> XR, std::span<const float> YR, std::span<const float> DXR,
            std::span<const float> DYR) {
    constexpr char ROUTINE[] = "PLTRAJ";
    check_section(ROUTINE, U, V, MAP, NNX, NNY, "V", XR, YR, DXR, DYR, "Y");
    platform::fatal_if(LGB.n1() < NNX || LGB.n2() < NNY, ROUTINE,
                       "Feld LGB kleiner als " + std::to_string(NNX) + " x " + std::to_string(NNY));
    platform::fatal_if(!std::isfinite(U0B) || !std::isfinite(V0B), ROUTINE, "Anströmung U0B, V0B ist keine Zahl");
    auto& con = platform::console();
    TrajectoryState& st = trajectory_state();
    const PlotWindow& w = plot_window();
    con.line(" - PLTRAJ -" + integer(NNX, 4) + integer(NNY, 4));

    const auto [dx_lo, dx_hi] = std::minmax_element(DXR.begin(), DXR.begin() + NNX);
    const auto [dy_lo, dy_hi] = std::minmax_element(DYR.begin(), DYR.begin() + NNY);
    const bool EQUID = *dx_hi - *dx_lo < 0.001f && *dy_hi - *dy_lo < 0.001f;
    int MX = 0, MY = 0;
    float DSX = 0.0f, DSY = 0.0f;
    if (EQUID) {
        con.line(" PLTRAJ-I-äquidistantes Gitter, DX,DY:" + fixed(w.DX, 7, 1) + fixed(w.DY, 7, 1));
        MX = NNX;
        MY = NNY;
        DSX = w.DX;
        DSY = w.DY;
    } else {
        con.line(" PLTRAJ-I-kein äquidistantes Gitter");
        const float extent_x = XR[at(NNX + 1)] - XR[0], extent_y = YR[at(NNY + 1)] - YR[0];
        ask_spacing(extent_x, extent_y, DSX, DSY);
        MX = static_cast<int>(nearest(extent_x / DSX)) - 1;
        MY = static_cast<int>(nearest(extent_y / DSY)) - 1;
    }

    int IXSTP = 1, IYSTP = 1;
    const bool DENSE = std::max(MX, MY) >= 76;
    if (DENSE) {
        IXSTP = std::max(MX / 75, 1);
        IYSTP = std::max(MY / 75, 1);
    }

    // The time to cross one start spacing at the inflow, in whole tens of
    // steps; when that is 0, a fiftieth of the window's smaller extent.
    const double T = std::min(static_cast<double>(DSX) * IXSTP / std::fabs(U0B + 0.001),
                              static_cast<double>(DSY) * IYSTP / std::fabs(V0B + 0.001));
    st.ITREND = capped_steps(ROUTINE, 10.0 * nearest(T / 10.0 / st.DT));
    if (st.ITREND == 0) {
        const double extent = std::min(static_cast<double>(w.XMAX) - w.XMIN, static_cast<double>(w.YMAX) - w.YMIN);
        const double speed = std::sqrt(static_cast<double>(U0B) * U0B + static_cast<double>(V0B) * V0B);
        st.ITREND = capped_steps(ROUTINE, 5.0 * nearest(extent / (50.0 * speed * st.DT)));
    }
    ask_tracking_time(ROUTINE, " anderer Wert (z.B. 15.) oder [RETURN]: ", IXSTP, IYSTP);
    draw_reference_arrow(U0B, V0B);

    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i) MAP(i, j) = LGB(i, j);
    Uniform ZUFZ(trajectory_seed());

    auto wind = [&](float x, float y, float& UM, float& VM) {
        const int I = cell_of(XR, NNX, x), J = cell_of(YR, NNY, y);
        count_visit(MAP(I, J));
        UM = U(I, J) + (U(I + 1, J) - U(I, J)) * fraction(x, XR[at(I)], DXR[at(I)]);
        VM = V(I, J) + (V(I, J + 1) - V(I, J)) * fraction(y, YR[at(J)], DYR[at(J)]);
        return true;
    };
    Path path;

    // First set: the thinned lattice, shifted by one column from row to row;
    // each point's box follows its lattice index.
    for (int JJ = 1; JJ <= MY; JJ += IYSTP) {
        for (int II = JJ % IXSTP + 1; II <= MX; II += IXSTP) {
            const float z1 = ZUFZ(), z2 = ZUFZ();
            const float x = w.XMIN + static_cast<float>(II - 1) * DSX + z1 * DSX;
            const float y = w.YMIN + static_cast<float>(JJ - 1) * DSY + z2 * DSY;
            if (LGB(cell_of(XR, NNX, x), cell_of(YR, NNY, y)) >= 1) continue;
            trace(x, y, wind, path);
            draw(path);
        }
    }

    // Second set: the cells the first one hardly reached.
    if (EQUID && !DENSE) {
        con.line(" ==WF==");
        for (int JJ = 1; JJ <= MY; ++JJ)
            for (int II = 1; II <= MX; ++II) {
                if (MAP(II, JJ) >= 2) continue;
                const float z1 = ZUFZ(), z2 = ZUFZ();
                trace(XR[at(II)] + z1 * DXR[at(II)], YR[at(JJ)] + z2 * DYR[at(JJ)], wind, path);
                draw(path);
            }
    }
}

void PLTRAZ(const platform::Field2D<float>& U, const platform::Field2D<float>& W, platform::Field2D<std::int16_t>& MAP,
            int NNX, int NNY, float U0R, float V0R, std::span<const float> XR, std::span<const float> ZR,
            std::span<const float> DXR, std::span<const float> DZR) {
    constexpr char ROUTINE[] = "PLTRAZ";
    check_section(ROUTINE, U, W, MAP, NNX, NNY, "W", XR, ZR, DXR, DZR, "Z");
    platform::fatal_if(!std::isfinite(U0R) || !std::isfinite(V0R), ROUTINE, "Anströmung U0R, V0R ist keine Zahl");
    auto& con = platform::console();
    TrajectoryState& st = trajectory_state();
    const PlotWindow& w = plot_window();
    con.line(" - PLTRAZ -" + integer(NNX, 4) + integer(NNY, 4));
    for (int k = 1; k <= NNY; ++k)
        for (int i = 1; i <= NNX; ++i) MAP(i, k) = 0;
    Uniform ZUFZ(trajectory_seed());

    // The steps are only reported: every column and level is seeded.
    int IXSTP = 1, IYSTP = 1;
    if (std::max(NNX, NNY) > 75) {
        IXSTP = std::max(NNX / 75, 1);
        IYSTP = std::max(NNY / 75, 1);
    }
    st.ITREND = capped_steps(ROUTINE, 10.0 * nearest(static_cast<double>(IXSTP) * w.DX / std::fabs(U0R + 0.001) /
                                                     10.0 / st.DT));
    if (st.ITREND == 0) st.ITREND = 10;
    ask_tracking_time(ROUTINE, " anderer Wert oder [RETURN]: ", IXSTP, IYSTP);
    draw_reference_arrow(U0R, V0R);

    st.PDY = std::max(st.PDY, w.YMAX / static_cast<float>(NNY));
    con.line(" Startpunkte vertikal im Abstand" + fixed(st.PDY, 7, 1));

    auto wind = [&](float x, float z, float& UM, float& VM) {
        // The first level whose top face lies above z; above the top face there is none.
        const auto top = ZR.begin() + 1, end = ZR.begin() + 1 + NNY;
        const auto above = std::upper_bound(top, end, z);
        if (above == end) return false;
        const int K = 1 + static_cast<int>(above - top);
        const int I = cell_of(XR, NNX, x);
        count_visit(MAP(I, K));
        UM = U(I, K) + (U(I + 1, K) - U(I, K)) * fraction(x, XR[at(I)], DXR[at(I)]);
        VM = W(I, K) + (W(I, K + 1) - W(I, K)) * fraction(z, ZR[at(K)], DZR[at(K)]);
        return true;
    };
    Path path;
    auto start = [&](int II, int JJ) {
        const float z1 = ZUFZ(), z2 = ZUFZ();
        trace(XR[at(II)] + z1 * DXR[at(II)], (static_cast<float>(JJ - 1) + z2) * st.PDY, wind, path);
        draw(path);
    };
    for (int II = 1; II <= NNX; ++II)
        for (int JJ = 1; JJ <= NNY; ++JJ) start(II, JJ);
    con.line(" ==WF==");
    for (int JJ = 1; JJ <= NNY; ++JJ)
        for (int II = 1; II <= NNX; ++II)
            if (MAP(II, JJ) < 2) start(II, JJ);
    velin::SELPEN(1);
}

void BLNKON() {
    int n = 0;
    velin::BLKEY(n);
    platform::console().line(" - BLNKON -" + integer(n, 4) + " BLRECs aktiviert");
    for (int id = 1; id <= n; ++id) velin::BLON(id);
}

}  // namespace flowplots
