// The scalar pictures: the field of the chosen quantity on the section, one
// value per cell of the section, handed to the isoline or raster driver.
//   F  speed of the horizontal wind at the cell centres
//   W  vertical wind: at the face below the level in level sections, at the
//      cell centres in vertical sections
//   G  deviation of the horizontal speed from the inflow speed of the level;
//      in per cent of it in level sections
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
#include "driver/settings.h"
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

int obstacle_index() {
    const Dialogue& d = dialogue();
    // The vertical wind of a level section lies on the face below the level:
    // the obstacles shown are those of the layer under that face.
    if (d.letter == 'W' && d.IS == 3) return std::max(d.LCUT - 1, 1);
    return d.LCUT;
}

void draw_scalar_picture() {
    Settings& s = settings();
    Dialogue& d = dialogue();
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ModelFields& m = picture_wind();
    const resultfile::WindData& wind = resultfile::wind_data();
    auto& con = platform::console();

    // The cells of the section and their boundaries.
    int n1 = 0, n2 = 0;
    std::vector<float> XR, YR, DZ;
    float DDX = 0.0f, DDY = 0.0f;
    const bool level = d.IS == 3;
    auto cell = [&](int a, int b) -> Cell {
        if (level) {
            int i = s.ILB + a - 1, j = s.JVB + b - 1;
            int k = d.terrain ? std::min(d.KGEL(i, j) + d.LCUT, g.NZ) : d.LCUT;
            return {i, j, k};
        }
        if (d.IS == 1) return {d.LCUT, s.JVB + a - 1, b};
        return {s.ILB + a - 1, d.LCUT, b};
    };
    if (level) {
        n1 = s.IRB - s.ILB + 1;
        n2 = s.JHB - s.JVB + 1;
        for (int i = s.ILB; i <= s.IRB + 1; ++i) XR.push_back(g.face_x(i));
        for (int j = s.JVB; j <= s.JHB + 1; ++j) YR.push_back(g.face_y(j));
        DDX = g.DX;
        DDY = g.DY;
        for (int k = 1; k <= g.NZ; ++k) DZ.push_back(g.DZK(k));
    } else {
        const bool column = d.IS == 1;
        if (column) {
            n1 = s.JHB - s.JVB + 1;
            for (int j = s.JVB; j <= s.JHB + 1; ++j) XR.push_back(g.face_y(j));
            DDX = g.DY;
        } else {
            n1 = s.IRB - s.ILB + 1;
            for (int i = s.ILB; i <= s.IRB + 1; ++i) XR.push_back(g.face_x(i));
            DDX = g.DX;
        }
        // Only the layers below the height shown: a raster would paint above the frame.
        const float tolerance = 0.001f * std::max(1.0f, d.YE);
        while (n2 < g.NZ && g.ZW(n2 + 2) <= d.YE + tolerance) ++n2;
        n2 = std::max(n2, 1);
        for (int k = 1; k <= n2 + 1; ++k) YR.push_back(g.ZW(k));
        for (int k = 1; k <= n2; ++k) DZ.push_back(g.DZK(k));
        DDY = g.DZK(1);
    }

    platform::Field2D<float> A(n1, n2, 0.0f);
    switch (d.letter) {
        case 'F':
        case 'X':
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) A(a, b) = horizontal_speed(m, cell(a, b));
            break;
        case 'W':
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) {
                    Cell c = cell(a, b);
                    A(a, b) = level ? m.W(c.i, c.j, c.k) : 0.5f * (m.W(c.i, c.j, c.k) + m.W(c.i, c.j, c.k + 1));
                }
            break;
        case 'C': {
            // The speed of the main run minus that of the comparison run,
            // relative to the inflow of the level in level sections.
            const resultfile::ModelFields& other = comparison().other_fields;
            std::set<int> undefined;
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) {
                    Cell c = cell(a, b);
                    float difference = horizontal_speed(m, c) - horizontal_speed(other, c);
                    float ref = std::hypot(wind.U0(c.k), wind.V0(c.k));
                    if (!level) A(a, b) = difference;
                    else if (ref > 0.0f) A(a, b) = 100.0f * difference / ref;
                    else A(a, b) = 0.0f, undefined.insert(c.k);
                }
            for (int k : undefined)
                con.line(" Warnung: Anströmung in Schicht " + std::to_string(k) +
                         " ist 0, die Abweichung in Prozent ist dort nicht definiert und wird 0 gesetzt");
            break;
        }
        case 'G': {
            // The reference speed of a level is the inflow speed there.
            std::vector<float> reference(static_cast<std::size_t>(g.NZ) + 1, 0.0f);
            for (int k = 1; k <= g.NZ; ++k) reference[static_cast<std::size_t>(k)] = std::hypot(wind.U0(k), wind.V0(k));
            if (level && !d.terrain)
                con.line(" Referenzgeschwindigkeit: " + fixed(reference[static_cast<std::size_t>(d.LCUT)], 8, 3));
            std::set<int> undefined;
            double sum = 0.0;
            long long counted = 0;
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) {
                    Cell c = cell(a, b);
                    float speed = horizontal_speed(m, c);
                    // A cell without a value stays without one and is not counted.
                    if (std::isfinite(speed)) sum += speed, ++counted;
                    float ref = reference[static_cast<std::size_t>(c.k)];
                    float difference = speed - ref;
                    if (!level) {
                        A(a, b) = difference;
                    } else if (ref > 0.0f) {
                        A(a, b) = 100.0f * difference / ref;
                    } else {
                        A(a, b) = 0.0f;
                        undefined.insert(c.k);
                    }
                }
            if (counted > 0) con.line(" mittlere Geschwindigkeit:" + fixed(sum / static_cast<double>(counted), 8, 3));
            for (int k : undefined)
                con.line(" Warnung: Anströmung in Schicht " + std::to_string(k) +
                         " ist 0, die Abweichung in Prozent ist dort nicht definiert und wird 0 gesetzt");
            break;
        }
        case 'D':
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) {
                    Cell c = cell(a, b);
                    A(a, b) = (m.U(c.i + 1, c.j, c.k) - m.U(c.i, c.j, c.k)) / g.DXI(c.i) +
                              (m.V(c.i, c.j + 1, c.k) - m.V(c.i, c.j, c.k)) / g.DYJ(c.j) +
                              (m.W(c.i, c.j, c.k + 1) - m.W(c.i, c.j, c.k)) / g.DZK(c.k);
                }
            break;
        case 'K':
            con.line(" Mittelung der K-Werte auf Lambda-Gitter!");
            for (int b = 1; b <= n2; ++b)
                for (int a = 1; a <= n1; ++a) {
                    Cell c = cell(a, b);
                    A(a, b) = 0.5f * (m.KZ(c.i, c.j, c.k) + m.KZ(c.i, c.j, c.k + 1));
                }
            break;
        default:
            return;
    }
    // The obstacles drawn over a raster stand on white, apart from every class colour.
    if (!d.ISOL) mapelements::obstacles_on_white(true);
    contour::PLISPA(A, n1, n2, XR, YR, DDX, DDY, DZ, d.ISOL, d.letter, d.IS);
}

}  // namespace driver
