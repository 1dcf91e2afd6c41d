// The scalar pictures: the field of the chosen quantity on the section, one
// value per cell of the section, handed to the isoline or raster driver.
//   F  speed of the horizontal wind at the cell centres
//   W  vertical wind: at the face below the level in level sections, at the
//      cell centres in vertical sections
//   G  deviation of the horizontal speed from the inflow speed of the level;
//      in per cent of it in level sections (0 where the inflow is calm)
//   D  divergence of the wind at the cell centres (level sections only)
//   K  vertical diffusion coefficient KZ at the cell centres
//   X  horizontal speed of the difference of two runs
//   C  speed of the main run less that of the comparison run, in per cent of
//      the inflow speed in level sections
#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "contour/scalar_field.h"
#include "driver/comparison.h"
#include "driver/dialogue.h"
#include "mapelements/obstacles.h"
#include "platform/console.h"
#include "platform/text.h"
#include "resultfile/model.h"

namespace driver {

namespace {

using platform::fixed;

// What one cell of the section refers to in the model.
struct Cell {
    int i, j, k;
};

float horizontal_speed(const resultfile::ModelFields& m, const Cell& c) {
    float u = 0.5f * (m.U(c.i, c.j, c.k) + m.U(c.i + 1, c.j, c.k));
    float v = 0.5f * (m.V(c.i, c.j, c.k) + m.V(c.i, c.j + 1, c.k));
    return std::hypot(u, v);
}

// The cells of the section: n1 x n2 values, their boundaries XR, YR, the grid
// steps and the layer thicknesses.
struct SectionCells {
    int n1 = 0, n2 = 0;
    std::vector<float> XR, YR, DZ;
    float DDX = 0.0f, DDY = 0.0f;
};

SectionCells section_cells(const Section& sec) {
    const resultfile::Grid& g = resultfile::grid();
    SectionCells c;
    if (sec.level()) {
        c.n1 = sec.cells_x();
        c.n2 = sec.cells_y();
        for (int i = sec.ILB; i <= sec.IRB + 1; ++i) c.XR.push_back(g.face_x(i));
        for (int j = sec.JVB; j <= sec.JHB + 1; ++j) c.YR.push_back(g.face_y(j));
        c.DDX = g.DX;
        c.DDY = g.DY;
        for (int k = 1; k <= g.NZ; ++k) c.DZ.push_back(g.DZK(k));
        return c;
    }
    const bool column = sec.IS == 1;
    c.n1 = sec.cells_along();
    if (column)
        for (int j = sec.JVB; j <= sec.JHB + 1; ++j) c.XR.push_back(g.face_y(j));
    else
        for (int i = sec.ILB; i <= sec.IRB + 1; ++i) c.XR.push_back(g.face_x(i));
    c.DDX = column ? g.DY : g.DX;
    c.n2 = sec.layers;
    for (int k = 1; k <= c.n2 + 1; ++k) c.YR.push_back(g.ZW(k));
    // The picture ends at the height shown: a raster would paint above the frame.
    c.YR.back() = std::min(c.YR.back(), sec.YE);
    for (int k = 1; k <= c.n2; ++k) c.DZ.push_back(g.DZK(k));
    c.DDY = g.DZK(1);
    return c;
}

// The deviation of a speed from the inflow speed of its layer: in level
// sections in per cent of it, elsewhere in m/s. A layer without inflow has no
// per cent: its cells get 0, and the layer is named once.
class InflowDeviation {
public:
    explicit InflowDeviation(bool percent) : percent_(percent) {
        const resultfile::Grid& g = resultfile::grid();
        const resultfile::WindData& wind = resultfile::wind_data();
        reference_.assign(static_cast<std::size_t>(g.NZ) + 1, 0.0f);
        for (int k = 1; k <= g.NZ; ++k) reference_[static_cast<std::size_t>(k)] = std::hypot(wind.U0(k), wind.V0(k));
    }
    float reference(int k) const { return reference_[static_cast<std::size_t>(k)]; }
    float operator()(float difference, int k) {
        if (!percent_) return difference;
        const float ref = reference(k);
        if (ref > 0.0f) return 100.0f * difference / ref;
        calm_.insert(k);
        return 0.0f;
    }
    void report() const {
        for (int k : calm_)
            platform::console().line(" Warnung: Anströmung in Schicht " + std::to_string(k) +
                                     " ist 0, die Abweichung in Prozent ist dort nicht definiert und wird 0 gesetzt");
    }

private:
    bool percent_;
    std::vector<float> reference_;  // 1-based by layer
    std::set<int> calm_;
};

// The value of the picture's quantity in every cell of the section.
class ScalarField {
public:
    ScalarField(const Picture& p, int n1, int n2)
        : p_(p), sec_(p.section), g_(resultfile::grid()), m_(picture_wind(p)), A_(n1, n2, 0.0f), n1_(n1), n2_(n2) {}

    // False for a letter that is no scalar picture.
    bool compute() {
        switch (p_.letter) {
            case 'F':
            case 'X': fill([&](const Cell& c) { return horizontal_speed(m_, c); }); return true;
            case 'W': vertical_wind(); return true;
            case 'G': deviation(); return true;
            case 'C': difference_deviation(); return true;
            case 'D': divergence(); return true;
            case 'K': coefficients(); return true;
            default: return false;
        }
    }
    const platform::Field2D<float>& values() const { return A_; }

private:
    Cell cell(int a, int b) const {
        if (sec_.level()) {
            const int i = sec_.ILB + a - 1, j = sec_.JVB + b - 1;
            return {i, j, sec_.layer_at(i, j, g_.NZ)};
        }
        if (sec_.IS == 1) return {sec_.LCUT, sec_.JVB + a - 1, b};
        return {sec_.ILB + a - 1, sec_.LCUT, b};
    }
    template <typename Value>
    void fill(Value value) {
        for (int b = 1; b <= n2_; ++b)
            for (int a = 1; a <= n1_; ++a) A_(a, b) = value(cell(a, b));
    }

    // At the face below the level in level sections, at the cell centres in vertical ones.
    void vertical_wind() {
        fill([&](const Cell& c) {
            return sec_.level() ? m_.W(c.i, c.j, c.k) : 0.5f * (m_.W(c.i, c.j, c.k) + m_.W(c.i, c.j, c.k + 1));
        });
    }

    void deviation() {
        auto& con = platform::console();
        InflowDeviation from_inflow(sec_.level());
        if (sec_.level() && !sec_.terrain) con.line(" Referenzgeschwindigkeit: " + fixed(from_inflow.reference(sec_.LCUT), 8, 3));
        double sum = 0.0;
        long long counted = 0;
        fill([&](const Cell& c) {
            const float speed = horizontal_speed(m_, c);
            // A cell without a value stays without one and is not counted.
            if (std::isfinite(speed)) sum += speed, ++counted;
            return from_inflow(speed - from_inflow.reference(c.k), c.k);
        });
        if (counted > 0) con.line(" mittlere Geschwindigkeit:" + fixed(sum / static_cast<double>(counted), 8, 3));
        from_inflow.report();
    }

    // The speed of the main run minus that of the comparison run, relative to
    // the inflow like the deviation.
    void difference_deviation() {
        const resultfile::ModelFields& other = comparison().other_fields;
        InflowDeviation from_inflow(sec_.level());
        fill([&](const Cell& c) { return from_inflow(horizontal_speed(m_, c) - horizontal_speed(other, c), c.k); });
        from_inflow.report();
    }

    void divergence() {
        fill([&](const Cell& c) {
            return (m_.U(c.i + 1, c.j, c.k) - m_.U(c.i, c.j, c.k)) / g_.DXI(c.i) +
                   (m_.V(c.i, c.j + 1, c.k) - m_.V(c.i, c.j, c.k)) / g_.DYJ(c.j) +
                   (m_.W(c.i, c.j, c.k + 1) - m_.W(c.i, c.j, c.k)) / g_.DZK(c.k);
        });
    }

    void coefficients() {
        platform::console().line(" Mittelung der K-Werte auf Lambda-Gitter!");
        fill([&](const Cell& c) { return 0.5f * (m_.KZ(c.i, c.j, c.k) + m_.KZ(c.i, c.j, c.k + 1)); });
    }

    const Picture& p_;
    const Section& sec_;
    const resultfile::Grid& g_;
    const resultfile::ModelFields& m_;
    platform::Field2D<float> A_;
    int n1_, n2_;
};

}  // namespace

std::string scalar_quantity(char letter, int IS) {
    const bool level = IS == 3;
    switch (letter) {
        case 'F': return "Horizontalgeschwindigkeit [m/s]";
        case 'X': return "Differenz der Horizontalgeschwindigkeit [m/s]";
        case 'C': return level ? "Differenz der Geschwindigkeit zur Anströmung [%]" : "Differenz der Geschwindigkeit [m/s]";
        case 'W': return "Vertikalgeschwindigkeit [m/s]";
        case 'G': return level ? "Abweichung von der Anströmung [%]" : "Abweichung von der Anströmung [m/s]";
        case 'D': return "Divergenz [1/s]";
        case 'K': return "vertikaler Diffusionskoeffizient KZ [m2/s]";
        default: return "";
    }
}

int obstacle_index(const Picture& p) {
    // The vertical wind of a level section lies on the face below the level:
    // the obstacles shown are those of the layer under that face.
    if (p.letter == 'W' && p.section.level()) return std::max(p.section.LCUT - 1, 1);
    return p.section.LCUT;
}

void draw_scalar_picture(const Picture& p) {
    const SectionCells c = section_cells(p.section);
    ScalarField field(p, c.n1, c.n2);
    if (!field.compute()) return;
    // The obstacles drawn over a raster stand on white, apart from every class colour.
    if (!p.ISOL) mapelements::obstacles_on_white(true);
    contour::PLISPA(field.values(), c.n1, c.n2, c.XR, c.YR, c.DDX, c.DDY, c.DZ, p.ISOL, p.letter, p.section.IS);
}

}  // namespace driver
