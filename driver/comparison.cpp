#include "driver/comparison.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "driver/dialogue.h"
#include "driver/settings.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "resultfile/separate.h"

namespace driver {

namespace {

constexpr char ROUTINE[] = "MURAL";

bool close(float a, float b) { return std::fabs(a - b) <= 1e-4f * std::max({1.0f, std::fabs(a), std::fabs(b)}); }

// The same site: the corners of the grids within a hundredth of a cell.
bool same_corner(float a, float b, float cell) { return std::fabs(static_cast<double>(a) - b) <= 0.01 * cell; }

void to_field(const std::vector<float>& values, platform::Field3D<float>& f, int n1, int n2, int n3) {
    f.resize(n1, n2, n3);
    std::copy(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(f.size()), f.span().begin());
}

}  // namespace

Comparison& comparison() {
    static Comparison c;
    return c;
}

void reset_comparison() { comparison() = Comparison(); }

void DIFA1A2(platform::Field3D<float>& A1, const platform::Field3D<float>& A2, int N1, int N2, int N3) {
    const std::size_t n = static_cast<std::size_t>(N1) * static_cast<std::size_t>(N2) * static_cast<std::size_t>(N3);
    auto a = A1.span();
    auto b = A2.span();
    for (std::size_t i = 0; i < n && i < a.size() && i < b.size(); ++i) a[i] -= b[i];
}

void read_comparison() {
    Comparison& c = comparison();
    if (c.read) return;
    const Settings& s = settings();
    const resultfile::Grid& g = resultfile::grid();
    std::string mname;
    // Like the main file, a name without extension is a result file.
    std::string file = s.VFILE;
    if (!platform::has_extension(file)) file += ".ERG";
    platform::console().line(" Vergleichsdatei: " + file);
    c.other = resultfile::read_result_separately(file, s.DEBUG, mname);
    bool same = c.other.NX == g.NX && c.other.NY == g.NY && c.other.NZ == g.NZ && close(c.other.DX, g.DX) &&
                close(c.other.DY, g.DY) && same_corner(c.other.XMIN, g.XMIN, g.DX) &&
                same_corner(c.other.YMIN, g.YMIN, g.DY) && static_cast<int>(c.other.DZK.size()) == g.NZ;
    for (int k = 1; same && k <= g.NZ; ++k) same = close(c.other.DZK[static_cast<std::size_t>(k - 1)], g.DZK(k));
    // Staggered fields only: a file of centred values is another grid.
    same = same && c.other.U.size() == static_cast<std::size_t>(g.NX + 1) * g.NY * g.NZ &&
           c.other.V.size() == static_cast<std::size_t>(g.NX) * (g.NY + 1) * g.NZ &&
           c.other.W.size() == static_cast<std::size_t>(g.NX) * g.NY * (g.NZ + 1);
    if (!same)
        platform::fatal(ROUTINE, "Gitter der Vergleichsdatei " + file + " passt nicht zu " + s.FILE +
                                     " (NX, NY, NZ, XMIN, YMIN, DX, DY und DZK müssen gleich sein)");
    to_field(c.other.U, c.other_fields.U, g.NX + 1, g.NY, g.NZ);
    to_field(c.other.V, c.other_fields.V, g.NX, g.NY + 1, g.NZ);
    to_field(c.other.W, c.other_fields.W, g.NX, g.NY, g.NZ + 1);
    const resultfile::ModelFields& m = resultfile::model_fields();
    c.difference.U = m.U;
    c.difference.V = m.V;
    c.difference.W = m.W;
    DIFA1A2(c.difference.U, c.other_fields.U, g.NX + 1, g.NY, g.NZ);
    DIFA1A2(c.difference.V, c.other_fields.V, g.NX, g.NY + 1, g.NZ);
    DIFA1A2(c.difference.W, c.other_fields.W, g.NX, g.NY, g.NZ + 1);
    c.read = true;
    if (s.DEBUG) {
        platform::console().prompt(" weiter mit <Eingabe> ");
        platform::console().read_line();
    }
}

const resultfile::ModelFields& picture_wind(const Picture& p) {
    if (p.COMP && (p.letter == 'X' || p.letter == 'Y') && comparison().read) return comparison().difference;
    return resultfile::model_fields();
}

}  // namespace driver
