// Isoline settings and the entry ISOPLO: the extremes of the field, the
// choice of the values drawn (given explicitly, or generated at a spacing
// that may itself be derived from a wanted number of lines), the report on
// VELIN's message unit, and the hand-over to the tracer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "contour/internal.h"
#include "contour/isolines.h"
#include "contour/raster.h"
#include "contour/scalar_field.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace contour {

namespace {

constexpr char VERSION[] = "2.3";
// More generated lines than this are a wrong spacing, not a picture.
constexpr int kMaxGenerated = 1000;

using platform::fixed;
using platform::integer;

void report(const std::string& text) { velin::write_message(text); }

std::string value_text(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%13.5g", static_cast<double>(v));
    return buffer;
}

void make_arrays(IsolineSettings& s, int n) {
    s.WL_ORG.assign(static_cast<std::size_t>(std::max(n, 0)), 0.0f);
    s.LINMODO.assign(static_cast<std::size_t>(std::max(n, 0)), LineAttributes{});
    s.WL_ACT.assign(s.WL_ORG.size(), 0.0f);
    s.LINMODA.assign(s.WL_ORG.size(), LineAttributes{});
}

void set_variable_grid(std::span<const float> G, int N, bool& EQ, int& NGRD, std::vector<float>& GRD,
                       std::vector<float>& DI) {
    int n = std::clamp(N, 0, static_cast<int>(G.size()));
    EQ = false;
    NGRD = n;
    GRD.assign(G.begin(), G.begin() + n);
    DI.assign(static_cast<std::size_t>(std::max(n - 1, 0)), 0.0f);
    for (int i = 0; i + 1 < n; ++i) DI[static_cast<std::size_t>(i)] = GRD[static_cast<std::size_t>(i) + 1] - GRD[static_cast<std::size_t>(i)];
}

// The generated values between zmin and zmax; false when there would be too many.
bool generate_values(IsolineSettings& s, float zmin, float zmax) {
    float DIF = zmax - zmin;
    float ABISO = s.ABISO;
    if (ABISO < 0.0f) {
        // About NAUTO lines, at a spacing of two significant digits.
        ABISO = DIF / s.NAUTO;
        float t = std::trunc(std::log10(ABISO));
        float AA = std::pow(10.0f, 1.0f - t);
        ABISO = std::trunc(ABISO * AA + 0.5f) / AA;
    }
    if (ABISO > 1.0f) ABISO = std::trunc(ABISO);
    float HK = std::trunc(zmin / ABISO + 0.99f) * ABISO;
    if (zmin < 0.0f) HK -= ABISO;
    float HG = std::trunc(zmax / ABISO) * ABISO;
    if (zmax < 0.0f) HG -= ABISO;
    // Rounded: a spacing like 0.02 does not divide exactly in binary.
    double count = std::nearbyint(std::fabs(static_cast<double>((HG - HK) / ABISO) + 1.0));
    if (!(count <= kMaxGenerated)) {
        report(" ## ISOPLO-W-Abstand " + value_text(ABISO) + " ergibt zu viele Isolinien (höchstens " +
               integer(kMaxGenerated, 0) + ")");
        make_arrays(s, 0);
        s.NISO = 0;
        return false;
    }
    int n = static_cast<int>(count);
    make_arrays(s, n);
    int kept = 0;
    for (int i = 1; i <= n; ++i) {
        float value = HK + static_cast<float>(i - 1) * ABISO;
        if (value == 0.0f && s.NULSUP) {
            report(" ## Null-Isolinie unterdrückt (NISO=" + integer(kept, 0) + ")");
            continue;
        }
        s.WL_ORG[static_cast<std::size_t>(kept)] = value;
        // Generated lines are drawn in the current pen and style.
        LineAttributes a;
        if (s.NUM > 0) a.L_NUM = 1;
        s.LINMODO[static_cast<std::size_t>(kept)] = a;
        ++kept;
    }
    s.NISO = kept;
    s.WL_ORG.resize(static_cast<std::size_t>(kept));
    s.LINMODO.resize(static_cast<std::size_t>(kept));
    s.WL_ACT = s.WL_ORG;
    s.LINMODA = s.LINMODO;
    if (s.NUM > 100) s.NUM = 0;
    if (s.NUM < 1) report(" ## keine Isolinienbeschriftung");
    else report(" ## Jede" + integer(s.NUM, 3) + ". Isolinie beschriftet");
    return true;
}

// The given values that lie within the field's range, with their attributes.
void select_given_values(IsolineSettings& s, float zmin, float zmax) {
    int kept = 0;
    for (std::size_t i = 0; i < s.WL_ORG.size(); ++i) {
        float v = s.WL_ORG[i];
        if (v < zmin || v > zmax) continue;
        s.WL_ACT[static_cast<std::size_t>(kept)] = v;
        s.LINMODA[static_cast<std::size_t>(kept)] = s.LINMODO[i];
        ++kept;
    }
    s.NISO = kept;
}

const char* mode_word(int mode) {
    static const char* const words[] = {"coded", "solid", "dashed", "dotted"};
    return mode >= 0 && mode <= 3 ? words[mode] : "solid";
}

void report_axis(char axis, float first, float step, float last) {
    report(std::string(" ##   ") + axis + ":" + value_text(first) + value_text(step) + value_text(last));
}

}  // namespace

IsolineSettings& settings() {
    static IsolineSettings state;
    return state;
}

void reset() {
    settings() = IsolineSettings{};
    detail::curve_block() = detail::CurveBlock{};
    clear_label_keep_out();
    detail::clear_placed_labels();
    reset_isoline_values();
    reset_raster_classes();
    reset_raster_options();
}

void ISOSET(float GXX, float GYY, float XAA, float YAA, float DX, float DY, int IPPX, int IPPY) {
    IsolineSettings& s = settings();
    s.GX = GXX;
    s.GY = GYY;
    s.XSTP = DX;
    s.YSTP = DY;
    s.XANF = XAA - DX;
    s.YANF = YAA - DY;
    s.NIO = s.NJO = -1;
    if (IPPX == 0) IPPX = 1;
    if (IPPY == 0) IPPY = 1;
    s.IPX = IPPX;
    s.IPY = IPPY;
    if (IPPX < 0) {
        s.XANF += 0.5f * s.XSTP;
        s.NIO = 0;
        s.IPX = -IPPX;
    }
    if (IPPY < 0) {
        s.YANF += 0.5f * s.YSTP;
        s.NJO = 0;
        s.IPY = -IPPY;
    }
    s.EQX = DX > 0.0f;
    s.EQY = DY > 0.0f;
    s.LEV = 1;
    if (s.NISO > 0 && !s.LINMODO.empty() && s.LINMODO[0].L_MOD == 0) {
        for (auto& a : s.LINMODO) a = LineAttributes{1, 1, 1, 0, 0};
    }
}

void ISOVAL(float ABI, int NUM) {
    IsolineSettings& s = settings();
    s.ABISO = ABI;
    if (ABI < 0.0f) s.NAUTO = std::max(1.0f, -std::nearbyint(ABI));
    s.NULSUP = NUM >= 100;
    s.NUM = NUM >= 100 ? NUM - 100 : NUM;
}

void ISOMOD(std::span<const float> WISO, std::span<const int> LABEL, std::span<const int> MODE,
            std::span<const int> ITHIK, std::span<const int> ICOL, std::span<const int> ISHD, int NWISO) {
    IsolineSettings& s = settings();
    std::size_t given = std::min({WISO.size(), LABEL.size(), MODE.size(), ITHIK.size(), ICOL.size(), ISHD.size()});
    int n = std::clamp(NWISO, 0, static_cast<int>(given));
    s.ABISO = 0.0f;
    s.NISO = n;
    make_arrays(s, n);
    bool coded = false;
    for (int i = 0; i < n; ++i) {
        auto k = static_cast<std::size_t>(i);
        s.WL_ORG[k] = WISO[k];
        s.LINMODO[k] = LineAttributes{ITHIK[k], MODE[k], LABEL[k], ICOL[k], ISHD[k]};
        coded = coded || MODE[k] == 0;
    }
    if (n > 100) report(" ## ISOMOD-?-mehr als 100 Isowerte!");
    if (coded && s.RAT[0] == 0.0f) report(" ## MODE=0, aber ISOMRS noch nicht aufgerufen ?");
}

void ISOMRS(float TLENG, int NMRSKP, std::span<const float> RATR) {
    IsolineSettings& s = settings();
    int n = std::clamp(NMRSKP, 0, std::min(8, static_cast<int>(RATR.size())));
    s.RAT.fill(0.0f);
    s.RAT[0] = TLENG;
    s.RAT[1] = static_cast<float>(n);
    for (int i = 0; i < n; ++i) s.RAT[static_cast<std::size_t>(i) + 2] = RATR[static_cast<std::size_t>(i)];
}

void ISONUM(float ZHOEHE, int IFORM) {
    IsolineSettings& s = settings();
    s.ZH = ZHOEHE;
    s.IFRMT = IFORM;
    if (ZHOEHE > 0.0f) velin::HEIGHT(ZHOEHE);
}

void ISOLAE(float ALKRIT, float ALMIN) {
    settings().GLKRIT = ALKRIT;
    settings().ALMIN = ALMIN;
}

void ISOCUT() { settings().CUTSPL = false; }
void UANGLE() { settings().UANG = true; }
void INFLEV(int LEV) { settings().LEV = LEV; }
void FASET(float FA) { settings().FA = FA; }

void NUPOSX(float POS) {
    IsolineSettings& s = settings();
    if (s.NPOSX >= 3) velin::VLERROR("NUPOSX-F-max 3 Positionen");
    s.XPOS[static_cast<std::size_t>(s.NPOSX++)] = POS;
}

void NUPOSY(float POS) {
    IsolineSettings& s = settings();
    if (s.NPOSY >= 3) velin::VLERROR("NUPOSY-F-max 3 Positionen");
    s.YPOS[static_cast<std::size_t>(s.NPOSY++)] = POS;
}

void VXGRID(std::span<const float> XG, int NXG) {
    IsolineSettings& s = settings();
    set_variable_grid(XG, NXG, s.EQX, s.NXGRD, s.XGRD, s.DXI);
}

void VYGRID(std::span<const float> YG, int NYG) {
    IsolineSettings& s = settings();
    set_variable_grid(YG, NYG, s.EQY, s.NYGRD, s.YGRD, s.DYI);
}

namespace {

// The fixed label positions: those beside the field (LRAND, bits 1 left,
// 2 right, 4 below, 8 above) and whether any lies inside it (MITTE).
void sort_label_positions(IsolineSettings& s) {
    s.LRAND = 0;
    s.MITTE = 0;
    float x1 = detail::first_x(s), y1 = detail::first_y(s);
    for (int i = 0; i < s.NPOSX; ++i) {
        float p = s.XPOS[static_cast<std::size_t>(i)];
        if (p < x1) s.LRAND |= 1;
        else if (p > s.XEND) s.LRAND |= 2;
        else s.MITTE = 1;
    }
    for (int i = 0; i < s.NPOSY; ++i) {
        float p = s.YPOS[static_cast<std::size_t>(i)];
        if (p < y1) s.LRAND |= 4;
        else if (p > s.YEND) s.LRAND |= 8;
        else s.MITTE += 2;
    }
}

// The protocol of the levels drawn, one line each.
void report_levels(const IsolineSettings& s) {
    report(" ## Isolinien:");
    bool fixed_labels = s.NPOSX + s.NPOSY > 0;
    for (int i = 0; i < s.NISA; ++i) {
        const LineAttributes& a = s.LINMODA[static_cast<std::size_t>(i)];
        char letter = fixed_labels ? 'R' : (a.L_NUM == 0 ? 'N' : (a.L_NUM == 1 ? 'J' : 'M'));
        report(" ##" + integer(i + 1, 4) + value_text(s.WL_ACT[static_cast<std::size_t>(i)]) + "  " + letter + "  " +
               mode_word(a.L_MOD) + "  Stift" + integer(a.L_COL, 3) + "  Breite" +
               fixed(s.FA * static_cast<float>(a.L_THK), 6, 2) + " mm  Muster" + integer(a.L_PAT, 4));
    }
}

}  // namespace

void ISOPLO(const platform::Field2D<float>& FELD, int NI, int NJ) {
    IsolineSettings& s = settings();
    s.NDRAWN = 0;
    detail::clear_placed_labels();
    NI = std::clamp(NI, 0, FELD.n1());
    NJ = std::clamp(NJ, 0, FELD.n2());
    s.NX = NI;
    s.NY = NJ;
    const std::string banner = " ## ISOPLO V" + std::string(VERSION);
    report(banner);
    report(" ## Feld (" + integer(NI, 0) + "," + integer(NJ, 0) + ")");
    if (NI < 1 || NJ < 1) return;

    // Extremes; on ties the first in storage order. Points without a value
    // (not finite) do not count.
    float zmin = std::numeric_limits<float>::infinity(), zmax = -zmin;
    int imin = 0, jmin = 0, imax = 0, jmax = 0;
    for (int j = 1; j <= NJ; ++j)
        for (int i = 1; i <= NI; ++i) {
            float v = FELD(i, j);
            if (!std::isfinite(v)) continue;
            if (v > zmax) zmax = v, imax = i, jmax = j;
            if (v < zmin) zmin = v, imin = i, jmin = j;
        }
    if (imin == 0) {
        report(" ## kein Punkt mit gültigem Wert");
        return;
    }
    auto position = [](int i, int j) { return "  Pos.: (" + integer(i, 0) + "," + integer(j, 0) + ")"; };
    report(" ## kleinster Wert:" + value_text(zmin) + position(imin, jmin));
    report(" ## größter Wert:  " + value_text(zmax) + position(imax, jmax));
    if (!(zmax - zmin != 0.0f)) return;

    report(" ## Plotgröße:" + fixed(s.GX, 8, 1) + " x" + fixed(s.GY, 8, 1) + " mm");
    if (s.GX == 0.0f || s.GY == 0.0f) {
        velin::VLERROR("ISOPLO-W-ISOSET nicht, oder falsch aufgerufen");
        return;
    }
    if (s.EQX) {
        s.XEND = s.XANF + static_cast<float>(NI) * s.XSTP;
    } else {
        report(" ## Variables Gitter in X-Richtung");
        if (s.NX != s.NXGRD) velin::VLERROR("ISOPLO-F-Var. Gitter, X-Dimensionierung?");
        s.XEND = s.XGRD[static_cast<std::size_t>(s.NX) - 1];
    }
    if (s.EQY) {
        s.YEND = s.YANF + static_cast<float>(NJ) * s.YSTP;
    } else {
        report(" ## Variables Gitter in Y-Richtung");
        if (s.NY != s.NYGRD) velin::VLERROR("ISOPLO-F-Var. Gitter, Y-Dimensionierung?");
        s.YEND = s.YGRD[static_cast<std::size_t>(s.NY) - 1];
    }

    report(" ## Achseneinteilung:");
    report_axis('X', detail::first_x(s), s.XSTP, s.XEND);
    report_axis('Y', detail::first_y(s), s.YSTP, s.YEND);
    if (s.NIO == 0) report(" ## Punkte in X-Richtung zentriert");
    if (s.NJO == 0) report(" ## Punkte in Y-Richtung zentriert");
    if (s.NULSUP) report(" ## Nullisolinie unterdrückt");
    if (!s.CUTSPL) report(" ## überschwingende Splines gekappt");
    if (s.ZH > 0.0f) {
        char letter = s.IFRMT == 0 ? 'I' : (s.IFRMT > 0 ? 'F' : 'E');
        report(" ## Beschriftung:" + fixed(s.ZH, 6, 2) + " mm hoch, Format " + letter);
    }

    if (s.ABISO == 0.0f) {
        select_given_values(s, zmin, zmax);
    } else if (!generate_values(s, zmin, zmax)) {
        report(banner);
        return;
    }

    s.NISA = s.NISO;
    sort_label_positions(s);

    if (s.LEV > 0) report_levels(s);

    s.AI = s.GX / static_cast<float>(NI + s.NIO);
    s.AJ = s.GY / static_cast<float>(NJ + s.NJO);
    if (s.ALMIN > 0.0f) report(" ## Isolinien kürzer als" + fixed(s.ALMIN, 7, 2) + " werden unterdrückt");
    if (s.LEV > 1) {
        report(" ## ISOCRV ##");
        report(" ## Linie  Wert   Punkte  Start+Endkoordinaten");
    }
    if (s.NISA > 0) ISOKOR(FELD, NI, NJ, s.IPX, s.IPY, s.WL_ACT, s.NISA, s.CUTSPL);
    report(banner);
}

namespace detail {

float first_x(const IsolineSettings& s) { return s.EQX || s.XGRD.empty() ? s.XANF + s.XSTP : s.XGRD.front(); }
float first_y(const IsolineSettings& s) { return s.EQY || s.YGRD.empty() ? s.YANF + s.YSTP : s.YGRD.front(); }

}  // namespace detail

}  // namespace contour
