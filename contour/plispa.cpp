// PLISPA: one section of a scalar field as isolines or as a colour raster,
// with the values or classes of the definition files (or, for isolines,
// values asked from the user), on an equidistant vertical grid.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "contour/isolines.h"
#include "contour/raster.h"
#include "contour/scalar_field.h"
#include "mapelements/legend.h"
#include "mapelements/obstacles.h"
#include "platform/console.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace contour {

namespace {

using platform::fixed;
using platform::integer;

constexpr int kAskedValues = 30;     // isolines made from an asked spacing
constexpr float kLabelHeight = 1.25f;  // mm
constexpr int kMaxLabelDecimals = 3;

std::string value_text(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %12.5g", v);
    return buffer;
}

// The values of the list as a short text: "0.5 1 1.5".
std::string values_text(std::span<const float> values) {
    std::string text;
    for (float v : values) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, " %g", static_cast<double>(v));
        text += buffer;
    }
    return text;
}

// The labels of the isolines keep off the obstacles drawn so far and off the
// legend box.
void set_label_keep_out() {
    clear_label_keep_out();
    for (const mapelements::DrawnObstacle& o : mapelements::obstacle_state().drawn) {
        if (o.area) keep_labels_off_area(o.x, o.y);
        else keep_labels_off_line(o.x, o.y);
    }
    const mapelements::LegendState& leg = mapelements::RRLEGP();
    if (leg.LEVEL > 0 && !mapelements::legend_switched_off()) {
        const float x[4] = {leg.XLEG, leg.XLEG + leg.WLEG, leg.XLEG + leg.WLEG, leg.XLEG};
        const float y[4] = {leg.YLEG, leg.YLEG, leg.YLEG + leg.HLEG, leg.YLEG + leg.HLEG};
        keep_labels_off_area(x, y);
    }
}

// A real number asked on the console; asked again until one is given.
float ask_real(const char* prompt) {
    return static_cast<float>(platform::ask_until(prompt, [](std::string_view line) {
        const std::optional<double> v = platform::first_real(line);
        return v && std::isfinite(*v) ? v : std::nullopt;
    }));
}

// Exact zeros of the vertical wind inside the section (cells the model does
// not compute) take a tenth of the sum of their four neighbours, in place.
// (A zero beside a cell without a value stays: the sum would have none.)
void replace_zeros(platform::Field2D<float>& A, int NNX, int NNY) {
    for (int j = 2; j < NNY; ++j)
        for (int i = 2; i < NNX; ++i)
            if (A(i, j) == 0.0f) {
                const float sum = A(i - 1, j) + A(i + 1, j) + A(i, j - 1) + A(i, j + 1);
                if (std::isfinite(sum)) A(i, j) = 0.1f * sum;
            }
}

void draw_raster(const platform::Field2D<float>& A, int NNX, int NNY, std::span<const float> XR,
                 std::span<const float> YR, char WAS, int IS) {
    const RasterClasses& r = raster_classes();
    load_raster_classes("MURAL.RAS", section_key(WAS, IS));
    velin::SELPEN(1);
    for (int t = 0; t < r.NTIT; ++t) {
        std::string title = platform::trimmed(r.LTIT[static_cast<std::size_t>(t)]);
        mapelements::LEGHEAD(title, static_cast<int>(title.size()), 'C');
    }
    RasterOptions& options = raster_options();
    options.IFILTER = 0;
    options.METHOD = 2;
    FFPATR(A, NNX, NNY, XR, YR, std::span<const float>(r.CLASS.data(), static_cast<std::size_t>(r.NISO)), r.NISO,
           std::span<const int>(r.IPEN.data(), static_cast<std::size_t>(r.NISO)),
           std::span<const std::string>(r.LBEZ.data(), static_cast<std::size_t>(r.NISO)), false);
}

}  // namespace

void PLISPA(const platform::Field2D<float>& A_in, int NNX, int NNY, std::span<const float> XR,
            std::span<const float> YR, float DDX, float DDY, std::span<const float> DZ, bool ISOL, char WAS, int IS) {
    auto& con = platform::console();
    NNX = std::clamp(NNX, 0, A_in.n1());
    NNY = std::clamp(NNY, 0, A_in.n2());
    if (NNX < 1 || NNY < 1 || static_cast<int>(XR.size()) < NNX + 1 || static_cast<int>(YR.size()) < NNY + 1) return;
    // Cells without a value (not finite) are left out of the extremes.
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i)
            if (std::isfinite(A_in(i, j))) lo = std::min(lo, A_in(i, j)), hi = std::max(hi, A_in(i, j));
    const bool any_value = lo <= hi;
    con.line(" - PLISPA -" + integer(NNX, 6) + integer(NNY, 6));
    if (any_value) con.line("   Min/Max:" + value_text(lo) + value_text(hi));
    else con.line("   Min/Max: keine gültigen Werte");

    if (!ISOL) {
        draw_raster(A_in, NNX, NNY, XR, YR, WAS, IS);
        return;
    }

    IsolineValues& v = isoline_values();
    GETIVAL("MURAL.ISO", section_key(WAS, IS));
    if (v.NWISO < 1) {
        const float spacing = ask_real(" Abstand der Isolinien: ");
        float first = ask_real(" Beginn mit Isolinienwert: ");
        for (int i = 0; i < kAskedValues; ++i) {
            auto k = static_cast<std::size_t>(i);
            v.WISO[k] = first + static_cast<float>(i) * spacing;
            v.LABEL[k] = 1;
            v.MODE[k] = 1;
            v.ITHIK[k] = 1;
            v.ICOL[k] = 0;
            v.IPAT[k] = 0;
        }
        v.NWISO = kAskedValues;
    }
    const int n = std::clamp(v.NWISO, 0, kMaxFileValues);
    const std::span<const float> values(v.WISO.data(), static_cast<std::size_t>(n));

    platform::Field2D<float> A = A_in;
    if (WAS == 'W') replace_zeros(A, NNX, NNY);

    const velin::DrawSettings& graph = velin::plot_state().s;
    const float GX = graph.axis_x, GY = graph.axis_y;
    // Sub-steps of about a millimetre; negative: values at the cell centres.
    const int IPLX = -(static_cast<int>(std::lround(GX / static_cast<float>(NNX))) + 1);
    const int IPLY = -(static_cast<int>(std::lround(GY / static_cast<float>(NNY))) + 1);
    con.line(" IPLX,IPLY=" + integer(IPLX, 6) + integer(IPLY, 6));

    // A vertical section on layers of different thickness is resampled onto
    // equal layers, fine enough for the thinnest and at most 4 NNY of them.
    const bool vertical = IS == 1 || IS == 2;
    bool resample = false;
    float step_y = DDY;
    if (vertical && !DZ.empty()) {
        std::size_t n = std::min(DZ.size(), static_cast<std::size_t>(NNY));
        auto [dz_lo, dz_hi] = std::minmax_element(DZ.begin(), DZ.begin() + static_cast<std::ptrdiff_t>(n));
        resample = *dz_hi - *dz_lo > 0.01f;
        if (resample) {
            float top = 0.0f;
            for (std::size_t k = 0; k < n; ++k) top += DZ[k];
            step_y = std::max(*dz_lo, top / (4.0f * static_cast<float>(NNY)));
        } else {
            step_y = DZ[0];
        }
    }

    ISOSET(GX, GY, XR[0], YR[0], DDX, step_y, IPLX, IPLY);
    const float ratios[] = {1.0f, 1.0f};
    ISOMRS(1.0f, 2, ratios);
    auto first = [n](const auto& a) { return std::span(a.data(), static_cast<std::size_t>(n)); };
    ISOMOD(first(v.WISO), first(v.LABEL), first(v.MODE), first(v.ITHIK), first(v.ICOL), first(v.IPAT), n);
    // The labels show as many decimals as the values drawn need.
    std::vector<float> drawn;
    for (float value : values)
        if (lo <= value && value <= hi) drawn.push_back(value);
    ISONUM(kLabelHeight, label_decimals(drawn));
    ISOCUT();
    set_label_keep_out();

    if (resample) {
        con.line(" nicht-äquidistantes vertikales Gitter !");
        platform::Field2D<float> work(NNX, 4 * NNY, 0.0f);
        int MNZ = 0;
        MAKDZC(A, NNX, NNY, DZ, work, 4 * NNY, step_y, MNZ);
        ISOPLO(work, NNX, MNZ);
    } else {
        if (vertical) con.line("  äquidistantes vertikales Gitter");
        ISOPLO(A, NNX, NNY);
    }
    // A picture without isolines says why.
    if (settings().NDRAWN == 0) {
        const std::string low = values_text(std::span(&lo, 1)), high = values_text(std::span(&hi, 1));
        std::string range = "Werte des Feldes von" + low + " bis" + high;
        if (!any_value) range = "das Feld hat keinen gültigen Wert";
        else if (lo == hi) range = "das Feld ist konstant" + low;
        con.line(" PLISPA-W-keine Isolinie gezeichnet: " + range + "; Isolinienwerte:" + values_text(values));
    }
}

int label_decimals(std::span<const float> values) {
    int decimals = 0;
    for (float value : values) {
        // Float values such as 0.1 are not exact: whole within a few units of
        // their last digit.
        int d = 0;
        for (; d < kMaxLabelDecimals; ++d) {
            const double r = static_cast<double>(value) * std::pow(10.0, d);
            if (std::fabs(r - std::nearbyint(r)) <= 1.0e-6 * std::max(1.0, std::fabs(r))) break;
        }
        decimals = std::max(decimals, d);
    }
    return decimals;
}

}  // namespace contour
