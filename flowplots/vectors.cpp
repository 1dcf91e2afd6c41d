// Vector arrows. The default scale DT (metres of arrow per m/s) makes the
// arrow of the fastest cell about one cell long: the smallest crossing time
// of a cell, DXI/|U| or DYJ/|V|, rounded, at least 2 s. When the longest
// arrow would be longer than 1 mm on the page the user may thin the field to
// every n-th point. The reference arrow of 2 m/s goes into the legend; when
// it is too long for the legend it is halved (for the rest of the run) and
// stands for the smaller speed.
#include "flowplots/vectors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "mapelements/legend.h"
#include "platform/console.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace flowplots {

namespace {

using platform::fixed;

using platform::integer;
}  // namespace

std::string reference_label(float VLEG, std::string_view TDIM) {
    // The speed the arrow stands for, also after halvings (0.25, 0.125):
    // up to three decimals, without trailing zeros.
    std::string number = fixed(VLEG, 0, 3);
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.') number.pop_back();
    if (number == "-0") number = "0";
    return number + " " + platform::trimmed(TDIM);
}

ReferenceArrow& reference_arrow() {
    static ReferenceArrow instance;
    return instance;
}

void reset_reference_arrow() { reference_arrow() = ReferenceArrow(); }

void PLVEKT(platform::FieldView2D<float> U, platform::FieldView2D<float> V, int NNX, int NNY,
            std::span<const float> XL, std::span<const float> YL, std::span<const float> DXI,
            std::span<const float> DYJ, int kGrid) {
    auto& con = platform::console();
    con.line(" - PLVEKT -" + integer(NNX, 4) + integer(NNY, 4));

    // Components without a value (not finite) count for nothing and get no arrow.
    float DUMAX = 1000.0f, DVMAX = 1000.0f;
    for (int j = 1; j <= NNY; ++j)
        for (int i = 1; i <= NNX; ++i) {
            if (U(i, j) != 0.0f && std::isfinite(U(i, j)))
                DUMAX = std::min(DUMAX, DXI[static_cast<std::size_t>(i - 1)] / std::fabs(U(i, j)));
            if (V(i, j) != 0.0f && std::isfinite(V(i, j)))
                DVMAX = std::min(DVMAX, DYJ[static_cast<std::size_t>(j - 1)] / std::fabs(V(i, j)));
        }
    float DT = std::max(std::nearbyint(std::min(DVMAX, DUMAX)), 2.0f);

    // Wide enough for the 1000 of a field without wind.
    if (const auto scale = platform::ask_positive(" Skalierung der Pfeillänge, Wert in m/(m/s) [" + fixed(DT, 4, 0) + "]: "))
        DT = static_cast<float>(*scale);
    con.line(" 1m/s entspricht in der Darstellung" + fixed(DT, 6, 1) + "m");

    // The largest component, signed; with no finite one 0.
    float largest = -std::numeric_limits<float>::infinity();
    for (const auto& field : {U, V})
        for (int j = 1; j <= field.n2(); ++j)
            for (int i = 1; i <= field.n1(); ++i)
                if (std::isfinite(field(i, j))) largest = std::max(largest, field(i, j));
    if (!std::isfinite(largest)) largest = 0.0f;
    const float RL = velin::XPOSN(largest * DT, 0.0f) - velin::XPOSN(0.0f, 0.0f);
    int NINC = 1;
    if (RL > 1.0f) {
        con.prompt(" Nur jeden n-ten Vektor zeichnen (N>1): ");
        if (const std::optional<long> step = platform::first_int(con.read_line()); step && *step > 1)
            NINC = static_cast<int>(std::min(*step, 100000L));
    }

    LEGPFL(2.0f, DT, "m/s", 0.0f);

    const float height = velin::TXTHEI();
    for (int j = 1; j <= NNY; j += NINC) {
        for (int i = 1; i <= NNX; i += NINC) {
            const float UM = kGrid != 0 ? (U(i + 1, j) + U(i, j)) * 0.5f : U(i, j);
            const float VM = kGrid != 0 ? (V(i, j + 1) + V(i, j)) * 0.5f : V(i, j);
            const float UV = std::sqrt(UM * UM + VM * VM);
            if (!(UV >= 0.01f) || !std::isfinite(UV)) continue;
            // The character height also sizes the arrow head.
            velin::HEIGHT(std::max(0.35f * std::sqrt(UV), 0.2f));
            const float x = XL[static_cast<std::size_t>(i - 1)], y = YL[static_cast<std::size_t>(j - 1)];
            velin::RLVEC(x, y, x + UM * DT, y + VM * DT, 1011);
        }
    }
    velin::HEIGHT(height);
}

void LEGPFL(float ULEG, float SKAL, std::string_view TDIM, float BRPfeil) {
    // Without a legend there is no line to put the arrow on.
    if (mapelements::legend_switched_off()) return;
    mapelements::LegendState& leg = mapelements::RRLEGP();
    ReferenceArrow& ref = reference_arrow();
    mapelements::PageClipping page;
    auto& con = platform::console();

    float VLEG = ULEG;
    float PLANG = velin::XPOSN(ULEG * SKAL, 0.0f) - velin::XPOSN(0.0f, 0.0f);
    float PL = PLANG;
    if (std::lround(ref.fred) == 1) {
        // Halving ends: PL shrinks towards 0 as long as the arrow is longer than a finite length.
        while ((PL > leg.WLEG / 2.0f || PL > 20.0f) && ref.fred > 1.0e-6f) {
            ref.fred /= 2.0f;
            PL = PLANG * ref.fred;
        }
    }
    if (ref.fred < 0.99f) {
        con.line(" LEGPFL-I-Pfeil neu skaliert - Faktor" + fixed(ref.fred, 6, 3));
        PLANG *= ref.fred;
        VLEG *= ref.fred;
    }
    const float XA = leg.XLEG + leg.XLSEP;
    const float XE = XA + PLANG;
    const float YP = leg.YLEGP - leg.YLSEP;

    const std::string LEGTXT = reference_label(VLEG, TDIM);

    // The legend's own blanking box must not swallow the arrow and its label.
    if (leg.ILBLNK >= 1) velin::BLOFF(leg.ILBLNK);
    const float height = velin::TXTHEI();
    if (BRPfeil == 0.0f) {
        velin::HEIGHT(1.0f);
        velin::VECTOR(XA, YP, XE, YP, 1011);
    } else {
        velin::BIGVEC(PLANG, BRPfeil, 0.0f, XA, YP);
    }
    if (ref.XTXT < 0.0f) ref.XTXT = XE + 1.0f;
    // The 1 mm height sized the arrow head; the label is written in the
    // remembered height, centred on the arrow.
    velin::HEIGHT(height);
    velin::CHARSP(0.05f);
    const int n = static_cast<int>(LEGTXT.size());
    velin::MESSAG(LEGTXT, n, ref.XTXT, YP - 0.5f * height);
    leg.YLOW = std::min(leg.YLOW, YP - 0.75f * height);
    leg.XBORD = std::max(leg.XBORD, ref.XTXT + velin::XMESS(LEGTXT, n));
    velin::CHARSP(0.0f);
    const std::string number = LEGTXT.substr(0, LEGTXT.find(' '));
    con.line(" LEGPFL-I-Skalierungspfeil für" + std::string(number.size() < 6 ? 6 - number.size() : 0, ' ') + number +
             platform::trimmed(TDIM) + " gezeichnet");
    velin::HEIGHT(height);
    leg.YLEGP -= 2.0f * height;
    if (leg.ILBLNK >= 1) velin::BLON(leg.ILBLNK);
}

}  // namespace flowplots
