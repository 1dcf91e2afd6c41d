// Trajectories. A parcel starts at a random point of its box, a lattice box
// of DSX x DSY counted from the window corner (XMIN, YMIN), and moves with
// steps of DT through the wind of its cell:
//   UM = U(I,J) + (U(I+1,J) - U(I,J)) * (x - XR(I)) / DXR(I), VM likewise in y,
// (U and V live on the faces, so each component varies along its own axis
// only). Each step is a midpoint step taken cell by cell (flowstep.h): a
// uniform wind moves a parcel by exactly U·DT, and a parcel in an eddy comes
// back to where it started. A path ends in calm air (speed below 0.01 m/s),
// on the window's edge or after ITREND steps, and is drawn with an arrow
// head on its last segment.
// Outline of one picture:
//   1. the tracking time: the time to cross one start spacing at the inflow,
//      rounded to tens of steps, or a share of the window when that is 0,
//      and never less than that crossing time; the user may give another
//      one. Where the inflow barely moves along the section (a vertical
//      section across the wind, a calm level), the mean speed of the
//      section's wind stands in for it;
//   2. the reference arrow: that speed travelled during that time;
//   3. the first set of parcels on the (thinned) lattice;
//   4. a second set in the cells that fewer than two visits have reached.
// Cells are found by the faces: cell I holds XR(I) <= x < XR(I+1). The faces
// are doubles, so that a section at Gauss-Krueger or UTM coordinates keeps
// the fractions of its cells.
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
#include <tuple>
#include <utility>
#include <vector>

#include "flowplots/flowstep.h"
#include "flowplots/reset.h"
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
// An inflow slower than this (m/s) along the section would give a reference
// arrow of 0 m/s: the section's own mean speed stands in for it.
constexpr double kSlowInflow = 0.5;

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
                   int NNX, int NNY, std::string_view vname, std::span<const double> XR, std::span<const double> YR,
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
    auto axis = [&](std::span<const double> faces, std::span<const float> widths, long long n, const std::string& c) {
        platform::fatal_if(static_cast<long long>(faces.size()) < n + 1 ||
                               static_cast<long long>(widths.size()) < n,
                           routine, "zu wenige Zellgrenzen oder -breiten in " + c + " für " + std::to_string(n) +
                                        " Zellen");
        for (long long i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            platform::fatal_if(!(faces[k] < faces[k + 1]) || !std::isfinite(faces[k + 1] - faces[k]), routine,
                               "Zellgrenzen " + c + "R nicht aufsteigend bei " + std::to_string(i + 1));
            platform::fatal_if(!(widths[k] > 0.0f) || !std::isfinite(widths[k]), routine,
                               "Zellbreite D" + c + "R(" + std::to_string(i + 1) + ") muss positiv sein");
        }
    };
    axis(XR, DXR, nx, "X");
    axis(YR, DYR, ny, y);
}

// The cells of one axis of a section.
detail::FaceAxis axis_of(std::span<const double> faces, std::span<const float> widths, int n) {
    return {faces.first(static_cast<std::size_t>(n) + 1), widths.first(static_cast<std::size_t>(n)), n, 0.0};
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
    if (const std::optional<double> seconds = platform::ask_positive(question))
        st.ITREND = capped_steps(routine, std::max(nearest(*seconds / st.DT), 1.0));
    report_time();
    con.line(" Startpunkte in x-Richtung jeden " + integer(IXSTP, 3) + ". Gitterpunkt");
    con.line(" Startpunkte in y-Richtung jeden " + integer(IYSTP, 3) + ". Gitterpunkt");
}

// The speed the tracking time and the reference arrow stand for: the
// inflow in the section's plane, or, where that is too slow to show
// (a vertical section across the wind, a calm level), the mean speed of the
// section's wind at the centres of its free cells, when that is faster.
struct ReferenceSpeed {
    double speed = 0.0;
    bool section_mean = false;
};

ReferenceSpeed reference_speed(std::string_view routine, double inflow, const platform::Field2D<float>& A,
                               const platform::Field2D<float>& B, int n1, int n2,
                               const platform::Field2D<std::int16_t>* LGB) {
    ReferenceSpeed r{inflow, false};
    if (!(inflow < kSlowInflow)) return r;
    double sum = 0.0;
    long long cells = 0;
    for (int j = 1; j <= n2; ++j)
        for (int i = 1; i <= n1; ++i) {
            if (LGB != nullptr && (*LGB)(i, j) >= 1) continue;
            const double speed = std::hypot(0.5 * (static_cast<double>(A(i, j)) + A(i + 1, j)),
                                            0.5 * (static_cast<double>(B(i, j)) + B(i, j + 1)));
            if (!std::isfinite(speed)) continue;
            sum += speed;
            ++cells;
        }
    const double mean = cells > 0 ? sum / static_cast<double>(cells) : 0.0;
    if (mean > inflow && mean >= detail::kCalm) {
        r = {mean, true};
        std::string text(1, ' ');
        text.append(routine).append("-I-Anströmung im Schnitt").append(fixed(inflow, 6, 2));
        text.append(" m/s, mittlere Geschwindigkeit im Schnitt").append(fixed(mean, 6, 2)).append(" m/s");
        platform::console().line(text);
    }
    return r;
}

// Steps of the tracking time: at least the time T to cross one lattice box
// (a positive time is at least one step).
int at_least_crossing(std::string_view routine, int steps, double T) {
    const TrajectoryState& st = trajectory_state();
    const double crossing = std::max(std::ceil(T / st.DT - 1e-9), 1.0);
    return std::max(steps, capped_steps(routine, crossing));
}

// The reference arrow: the rounded speed over the tracking time; a speed
// below 1 m/s keeps one decimal rather than showing 0 m/s.
void draw_reference_arrow(double speed) {
    const TrajectoryState& st = trajectory_state();
    double ULEG = nearest(speed);
    if (ULEG == 0.0) ULEG = nearest(10.0 * speed) / 10.0;
    LEGPFL(static_cast<float>(ULEG), static_cast<float>(st.ITREND) * st.DT, "m/s", 0.0f);
    // The character height sizes the arrow heads of the paths.
    velin::HEIGHT(0.8f);
}

// One path: points 1..ITR, the start first.
struct Path {
    std::vector<double> x, y;
    std::vector<float> xs, ys;  // in the plot's single precision
    bool at_edge = false;       // ended on the window's edge
};

// The wind of a section for the parcels, and the window they are traced in.
// In vertical sections a parcel above the top level face has no cell.
struct ParcelField {
    detail::FaceWind wind;
    detail::Box box;
    platform::Field2D<std::int16_t>& MAP;
    bool top_ends = false;
};

// Advances a parcel from (x, y), counting the visit of each point's cell.
void trace(double x, double y, ParcelField& f, Path& p) {
    const TrajectoryState& st = trajectory_state();
    // A start on the window's edge moves just inside.
    x = std::clamp(x, f.box.xmin, f.box.xmax);
    y = std::clamp(y, f.box.ymin, f.box.ymax);
    p.x.assign(1, x);
    p.y.assign(1, y);
    p.at_edge = false;
    for (;;) {
        if (f.top_ends && !(y < f.wind.y.F(f.wind.y.n + 1))) break;
        const int I = f.wind.x.cell(x), J = f.wind.y.cell(y);
        count_visit(f.MAP(I, J));
        double UM = 0.0, VM = 0.0;
        f.wind.at(I, J, x, y, UM, VM);
        // A wind that is no number ends the path like calm air.
        const double UV = std::sqrt(UM * UM + VM * VM);
        if (!(UV >= detail::kCalm) || !std::isfinite(UV)) break;
        const double x0 = x, y0 = y;
        const detail::StepEnd end = detail::advance(f.wind, f.box, false, st.DT, I, J, UM, VM, x, y);
        if (!std::isfinite(x) || !std::isfinite(y)) break;
        const bool edge = end == detail::StepEnd::edge || !f.box.inside(x, y);
        p.at_edge = edge;
        if (edge && x == x0 && y == y0) break;
        p.x.push_back(x);
        p.y.push_back(y);
        if (edge) break;
        // ITREND steps give ITREND + 1 points.
        if (p.x.size() > static_cast<std::size_t>(st.ITREND)) break;
    }
}

// A path of three points or more, with an arrow head on its last segment
// when that moved at all.
void draw(Path& p, const detail::Box& box) {
    const int n = static_cast<int>(p.x.size());
    if (n < 3) return;
    p.xs.assign(p.x.begin(), p.x.end());
    p.ys.assign(p.y.begin(), p.y.end());
    velin::CURVE(p.xs, p.ys, n, 0);
    if (std::fabs(p.x[at(n)] - p.x[at(n - 1)]) > 0.01 || std::fabs(p.y[at(n)] - p.y[at(n - 1)]) > 0.01) {
        detail::draw_end_arrow(p.x[at(n - 1)], p.y[at(n - 1)], p.x[at(n)], p.y[at(n)], box);
    } else if (p.at_edge && (std::fabs(p.x[at(n)] - p.x[at(n - 2)]) > 0.01 || std::fabs(p.y[at(n)] - p.y[at(n - 2)]) > 0.01)) {
        // A last piece up to the window's edge may be tiny: the head points
        // along the step before it.
        detail::draw_end_arrow(p.x[at(n - 2)], p.y[at(n - 2)], p.x[at(n)], p.y[at(n)], box);
    }
}

// The start spacings of a grid that is not equidistant; a line without two
// positive spacings, or with spacings too fine for the grid, is asked again.
void ask_spacing(float extent_x, float extent_y, float& DSX, float& DSY) {
    auto usable = [&](std::string_view line) -> std::optional<std::pair<float, float>> {
        const auto v = platform::first_reals(line, 2);
        if (!v || !((*v)[0] > 0.0 && (*v)[1] > 0.0 && std::isfinite((*v)[0]) && std::isfinite((*v)[1]) &&
                    extent_x / (*v)[0] <= kMaxLattice && extent_y / (*v)[1] <= kMaxLattice))
            return std::nullopt;
        const std::pair<float, float> d{static_cast<float>((*v)[0]), static_cast<float>((*v)[1])};
        if (!(d.first > 0.0f && d.second > 0.0f)) return std::nullopt;
        return d;
    };
    std::tie(DSX, DSY) = platform::ask_until(" Abstand der Trajektorienstartpunkte (DSX,DSY): ", usable,
                                             " PLTRAJ-W-zwei positive Abstände angeben, höchstens " +
                                                 integer(static_cast<long long>(kMaxLattice), 0) +
                                                 " Startpunkte je Richtung");
}

}  // namespace

TrajectoryState& trajectory_state() {
    static TrajectoryState state;
    return state;
}

void reset_trajectory_state() { trajectory_state() = TrajectoryState(); }

void reset() {
    reset_reference_arrow();
    reset_trajectory_state();
}

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
            std::span<const double> XR, std::span<const double> YR, std::span<const float> DXR,
            std::span<const float> DYR, const PlotWindow& w) {
    constexpr char ROUTINE[] = "PLTRAJ";
    check_section(ROUTINE, U, V, MAP, NNX, NNY, "V", XR, YR, DXR, DYR, "Y");
    platform::fatal_if(LGB.n1() < NNX || LGB.n2() < NNY, ROUTINE,
                       "Feld LGB kleiner als " + std::to_string(NNX) + " x " + std::to_string(NNY));
    platform::fatal_if(!std::isfinite(U0B) || !std::isfinite(V0B), ROUTINE, "Anströmung U0B, V0B ist keine Zahl");
    auto& con = platform::console();
    TrajectoryState& st = trajectory_state();
    con.line(" - PLTRAJ -" + integer(NNX, 4) + integer(NNY, 4));

    const auto [dx_lo, dx_hi] = std::minmax_element(DXR.begin(), DXR.begin() + NNX);
    const auto [dy_lo, dy_hi] = std::minmax_element(DYR.begin(), DYR.begin() + NNY);
    const bool EQUID = *dx_hi - *dx_lo < 0.001f && *dy_hi - *dy_lo < 0.001f;
    int MX = 0, MY = 0;
    double DSX = 0.0, DSY = 0.0;
    if (EQUID) {
        con.line(" PLTRAJ-I-äquidistantes Gitter, DX,DY:" + fixed(w.DX, 7, 1) + fixed(w.DY, 7, 1));
        MX = NNX;
        MY = NNY;
        DSX = w.DX;
        DSY = w.DY;
    } else {
        con.line(" PLTRAJ-I-kein äquidistantes Gitter");
        const double extent_x = XR[at(NNX + 1)] - XR[0], extent_y = YR[at(NNY + 1)] - YR[0];
        float sx = 0.0f, sy = 0.0f;
        ask_spacing(static_cast<float>(extent_x), static_cast<float>(extent_y), sx, sy);
        DSX = sx;
        DSY = sy;
        MX = static_cast<int>(nearest(extent_x / DSX)) - 1;
        MY = static_cast<int>(nearest(extent_y / DSY)) - 1;
    }

    int IXSTP = 1, IYSTP = 1;
    const bool DENSE = std::max(MX, MY) >= 76;
    if (DENSE) {
        IXSTP = std::max(MX / 75, 1);
        IYSTP = std::max(MY / 75, 1);
    }

    // The time to cross one lattice box at the inflow, in whole tens of
    // steps; when that is 0, a fiftieth of the window's smaller extent; never
    // less than the crossing time itself.
    const ReferenceSpeed ref = reference_speed(ROUTINE, std::hypot(static_cast<double>(U0B), static_cast<double>(V0B)),
                                               U, V, NNX, NNY, &LGB);
    const double T = ref.section_mean
                         ? std::min(DSX * IXSTP, DSY * IYSTP) / ref.speed
                         : std::min(DSX * IXSTP / std::fabs(U0B + 0.001), DSY * IYSTP / std::fabs(V0B + 0.001));
    st.ITREND = capped_steps(ROUTINE, 10.0 * nearest(T / 10.0 / st.DT));
    if (st.ITREND == 0) {
        const double extent = std::min(w.XMAX - w.XMIN, w.YMAX - w.YMIN);
        st.ITREND = capped_steps(ROUTINE, 5.0 * nearest(extent / (50.0 * ref.speed * st.DT)));
    }
    st.ITREND = at_least_crossing(ROUTINE, st.ITREND, T);
    ask_tracking_time(ROUTINE, " anderer Wert (z.B. 15.) oder [RETURN]: ", IXSTP, IYSTP);
    draw_reference_arrow(ref.speed);

    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i) MAP(i, j) = LGB(i, j);
    Uniform ZUFZ(trajectory_seed());

    ParcelField field{{U, V, axis_of(XR, DXR, NNX), axis_of(YR, DYR, NNY)},
                      detail::drawn_box(w.XMIN, w.XMAX, w.YMIN, w.YMAX, w.DX, w.DY), MAP};
    Path path;

    // First set: the thinned lattice, shifted by one column from row to row;
    // each point's box follows its lattice index.
    for (int JJ = 1; JJ <= MY; JJ += IYSTP) {
        for (int II = JJ % IXSTP + 1; II <= MX; II += IXSTP) {
            const float z1 = ZUFZ(), z2 = ZUFZ();
            const double x = w.XMIN + (II - 1) * DSX + z1 * DSX;
            const double y = w.YMIN + (JJ - 1) * DSY + z2 * DSY;
            if (LGB(field.wind.x.cell(x), field.wind.y.cell(y)) >= 1) continue;
            trace(x, y, field, path);
            draw(path, field.box);
        }
    }

    // Second set: the cells the first one hardly reached.
    if (EQUID && !DENSE) {
        con.line(" ==WF==");
        for (int JJ = 1; JJ <= MY; ++JJ)
            for (int II = 1; II <= MX; ++II) {
                if (MAP(II, JJ) >= 2) continue;
                const float z1 = ZUFZ(), z2 = ZUFZ();
                trace(XR[at(II)] + z1 * DXR[at(II)], YR[at(JJ)] + z2 * DYR[at(JJ)], field, path);
                draw(path, field.box);
            }
    }
}

void PLTRAZ(const platform::Field2D<float>& U, const platform::Field2D<float>& W, platform::Field2D<std::int16_t>& MAP,
            int NNX, int NNY, float U0R, float V0R, std::span<const double> XR, std::span<const double> ZR,
            std::span<const float> DXR, std::span<const float> DZR, const PlotWindow& w) {
    constexpr char ROUTINE[] = "PLTRAZ";
    check_section(ROUTINE, U, W, MAP, NNX, NNY, "W", XR, ZR, DXR, DZR, "Z");
    platform::fatal_if(!std::isfinite(U0R) || !std::isfinite(V0R), ROUTINE, "Anströmung U0R, V0R ist keine Zahl");
    auto& con = platform::console();
    TrajectoryState& st = trajectory_state();
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
    // The time to cross one start spacing along the section, in whole tens
    // of steps, at least 10 steps and the crossing time. Across the wind the
    // section's mean speed stands in for the inflow along it.
    const ReferenceSpeed along = reference_speed(ROUTINE, std::fabs(static_cast<double>(U0R)), U, W, NNX, NNY, nullptr);
    const double T = IXSTP * w.DX / (along.section_mean ? along.speed : std::fabs(U0R + 0.001));
    st.ITREND = capped_steps(ROUTINE, 10.0 * nearest(T / 10.0 / st.DT));
    if (st.ITREND == 0) st.ITREND = 10;
    st.ITREND = at_least_crossing(ROUTINE, st.ITREND, T);
    ask_tracking_time(ROUTINE, " anderer Wert oder [RETURN]: ", IXSTP, IYSTP);
    draw_reference_arrow(along.section_mean ? along.speed
                                            : std::hypot(static_cast<double>(U0R), static_cast<double>(V0R)));

    st.PDY = std::max(st.PDY, static_cast<float>(w.YMAX / NNY));
    con.line(" Startpunkte vertikal im Abstand" + fixed(st.PDY, 7, 1));

    ParcelField field{{U, W, axis_of(XR, DXR, NNX), axis_of(ZR, DZR, NNY)},
                      detail::drawn_box(w.XMIN, w.XMAX, w.YMIN, w.YMAX, w.DX, w.DY), MAP, true};
    Path path;
    auto start = [&](int II, int JJ) {
        const float z1 = ZUFZ(), z2 = ZUFZ();
        trace(XR[at(II)] + z1 * DXR[at(II)], (JJ - 1 + static_cast<double>(z2)) * st.PDY, field, path);
        draw(path, field.box);
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
