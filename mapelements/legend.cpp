// The legend box, filled from its top line by line. Headings are centred or
// aligned left or right; entries have a sample (box, circle, line or marker)
// and one or two lines of text; a text split by "&" is aligned in two
// right-aligned columns whose widths the first such entry fixes. With a
// frame value below 0 the box is a blanking area, switched off around each
// heading and entry so that the legend's own texts are written.
#include "mapelements/legend.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace mapelements {

namespace {

// Set by ELEPOS for the code "no": the legend routines then draw nothing.
bool g_no_legend = false;

using platform::fixed;

float text_width(std::string_view text) { return velin::XMESS(text, static_cast<int>(text.size())); }

void write(std::string_view text, float x, float y) { velin::MESSAG(text, static_cast<int>(text.size()), x, y); }

void blanking_off(const LegendState& leg) {
    if (leg.ILBLNK >= 1) velin::BLOFF(leg.ILBLNK);
}

void blanking_on(const LegendState& leg) {
    if (leg.ILBLNK >= 1) velin::BLON(leg.ILBLNK);
}

// The sample of an entry, its lower left corner at (x0, YLEGP).
void draw_sample(int kind, int ICOL, int ISHD, float FRTH, float x0) {
    LegendState& leg = RRLEGP();
    const float y0 = leg.YLEGP;
    switch (kind) {
        case 0: {
            const float xm[5] = {x0, x0 + leg.XLLEN, x0 + leg.XLLEN, x0, x0};
            const float ym[5] = {y0, y0, y0 + leg.YLLEN, y0 + leg.YLLEN, y0};
            std::vector<float> xu(5), yu(5);
            for (int i = 0; i < 5; ++i) {
                xu[static_cast<std::size_t>(i)] = velin::XINVRS(xm[i], ym[i]);
                yu[static_cast<std::size_t>(i)] = velin::YINVRS(xm[i], ym[i]);
            }
            if (ICOL >= 1) {
                if (ISHD != 0) {
                    velin::SHDPAT(ISHD);
                    velin::SHDCRV(xu, yu, 5, xu, yu, 0);
                } else {
                    velin::FILREC(xu[0], xu[1], yu[0], yu[2]);
                }
            }
            velin::SELPEN(1);
            if (FRTH > 0.0f) {
                const float saved = velin::CURTHK();
                velin::THKCRV(FRTH);
                velin::CURVE(xu, yu, 5, 0);
                velin::THKCRV(saved);
            }
            break;
        }
        case 1: {
            const float saved = velin::CURTHK();
            velin::THKCRV(FRTH);
            velin::CIRCLE(x0 + 0.5f * leg.XLLEN, y0 + 0.5f * leg.YLLEN, 0.5f * leg.YLLEN, ISHD);
            velin::THKCRV(saved);
            break;
        }
        case 2: {
            const float y = y0 + 0.5f * leg.YLLEN;
            const float x[2] = {x0, x0 + leg.XLLEN}, yy[2] = {y, y};
            if (ISHD == 1) velin::DASH();
            else if (ISHD == 2) velin::DOT();
            else if (ISHD == 3) velin::CHNDSH();
            velin::CURVA(x, yy, 2, 0, FRTH);
            if (ISHD > 0) velin::RESET("dash");
            break;
        }
        default:
            velin::SCLPIC(FRTH);
            velin::MARKER(ISHD);
            velin::PMARK(x0 + 0.5f * leg.XLLEN, y0 + 0.5f * leg.YLLEN);
            break;
    }
}

// A line of the legend whose lowest point would lie below the box is left
// out: the box is where the legend may be, inside the plot or on the page.
// The first one left out says so.
bool cut_below_box(LegendState& leg, float lowest, std::string_view routine) {
    if (lowest >= leg.YLEG - 0.01f) return false;
    if (leg.cut++ == 0) {
        std::string line = " ";
        line += routine;
        line += "-W-Legende passt nicht in ihren Kasten, unten abgeschnitten";
        platform::console().line(line);
    }
    return true;
}

}  // namespace

PageClipping::PageClipping() {
    velin::PlotState& st = velin::plot_state();
    const velin::DrawSettings& d = st.s;
    cx_ = d.clip_cx, cy_ = d.clip_cy, hx_ = d.clip_hx, hy_ = d.clip_hy;
    checking_ = d.checking;
    // Only a graph has a clipping box to widen.
    active_ = st.Level >= 2;
    if (!active_) return;
    velin::GRACE(10000.0f);
    velin::NOCHEK();
}

PageClipping::~PageClipping() {
    if (!active_) return;
    velin::DrawSettings& d = velin::plot_state().s;
    d.clip_cx = cx_, d.clip_cy = cy_, d.clip_hx = hx_, d.clip_hy = hy_;
    d.checking = checking_;
}

LegendState& RRLEGP() {
    static LegendState instance;
    return instance;
}

void reset_legend() {
    RRLEGP() = LegendState();
    g_no_legend = false;
}

void ELEPOS(std::string_view LPOS, float& XLG, float& YLG, float& WLG, float& HLG, float& GLFRM, float GX, float GY) {
    auto& con = platform::console();
    con.line(" ELEPOS-I-Position: " + std::string(LPOS));
    std::string code(LPOS.substr(0, 2));
    for (char& c : code)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    g_no_legend = false;
    if (code == "ul") {
        XLG = 0.0f, YLG = 0.25f * GY, WLG = 40.0f, HLG = 0.25f * GY - 4.0f;
    } else if (code == "ur") {
        XLG = 0.75f * GX, YLG = 0.25f * GY, WLG = 0.25f * GX, HLG = 0.25f * GY - 4.0f;
    } else if (code == "ro") {
        XLG = GX, YLG = 0.5f * GY, WLG = 40.0f, HLG = 0.5f * GY;
    } else if (code == "ru") {
        XLG = GX, YLG = 0.0f, WLG = 40.0f, HLG = 10.0f;
    } else if (code == "no") {
        XLG = YLG = WLG = HLG = -1.0f;
        g_no_legend = true;
    } else if (code == "xy") {
        const std::vector<double> v = platform::ask_until(" Definition der Legende (Xpos,Ypos,Breite,Höhe): ",
                                                          [](std::string_view line) { return platform::first_reals(line, 4); });
        XLG = static_cast<float>(v[0]);
        YLG = static_cast<float>(v[1]);
        WLG = static_cast<float>(v[2]);
        HLG = static_cast<float>(v[3]);
    } else {
        con.line(" Legendenposition nicht definiert!");
        con.prompt(" weiter mit <Eingabe> ");
        con.read_line();
    }
    const char third = LPOS.size() > 2 ? LPOS[2] : ' ';
    GLFRM = (third >= '0' && third <= '9') ? 0.1f * static_cast<float>(third - '0') : 0.0f;
}

bool legend_switched_off() { return g_no_legend; }

void LEGDEF(float XL, float YL, float WL, float HL, float FRM) {
    if (!(WL > 0.0f) || !(HL > 0.0f)) platform::stop("LEGDEF-F-Breite/Höhe=0?");
    LegendState& leg = RRLEGP();
    if (leg.LEVEL == 0 || std::fabs(XL - leg.XLEG) > 1.0e-6f) leg.XBORD = XL;
    leg.XLEG = XL;
    leg.YLEG = YL;
    leg.WLEG = WL;
    leg.HLEG = HL;
    leg.XLEGP = XL;
    leg.YLEGP = YL + HL;
    leg.YLOW = YL + HL;
    if (leg.HEILEG <= 0.0f) leg.HEILEG = velin::TXTHEI();
    if (leg.XTSEP <= 0.0f) leg.XTSEP = 1.5f * leg.HEILEG;
    if (leg.XLSEP <= 0.0f) leg.XLSEP = leg.WLEG / 8.0f;
    if (leg.YLSEP <= 0.0f) leg.YLSEP = 3.0f * leg.HEILEG;
    if (leg.XLLEN <= 0.0f) leg.XLLEN = 6.0f;
    if (leg.YLLEN <= 0.0f) leg.YLLEN = 1.5f * leg.HEILEG;
    PageClipping page;
    if (FRM > 0.0f) {
        velin::RRWIND(XL, XL + WL, YL, YL + HL, FRM);
    } else if (FRM < 0.0f) {
        velin::BLREC(XL, YL, WL, HL, -FRM);
        velin::BLKEY(leg.ILBLNK);
    }
    leg.LEVEL = 1;
    leg.IENTRY = 0;
    leg.cut = 0;
}

void LEGSEP(float XSEP, float YSEP, float TSEP) {
    LegendState& leg = RRLEGP();
    leg.XLSEP = XSEP;
    leg.YLSEP = YSEP;
    leg.XTSEP = TSEP;
    if (leg.YLSEP <= leg.HEILEG) {
        auto& con = platform::console();
        con.line(" LEGSEP-W-y-Abstand zwischen Zeilen zu gering");
        con.line(" Zeichenhöhe=" + fixed(leg.HEILEG, 6, 2) + " mm");
    }
}

void LEGSYM(float XLEN, float YLEN) {
    LegendState& leg = RRLEGP();
    leg.XLLEN = XLEN;
    leg.YLLEN = YLEN;
    if (leg.YLLEN > leg.YLSEP) {
        platform::console().line(" LEGSYM-W-YLEN zu groß angegeben - auf " + fixed(leg.YLSEP, 6, 2) + " mm gesetzt");
        leg.YLLEN = leg.YLSEP;
    }
}

void LEGHEI(float HEI) {
    if (!(HEI > 0.0f)) platform::stop("LEGHEI-F-falsche Zeichenhöhe");
    LegendState& leg = RRLEGP();
    leg.HEILEG = HEI;
    leg.XTSEP = 1.5f * HEI;
    leg.YLSEP = 3.0f * HEI;
    leg.YLLEN = 1.5f * HEI;
}

void LEGHEAD(std::string_view TEXT, int LTXT, char CPOS) {
    if (g_no_legend) return;
    LegendState& leg = RRLEGP();
    if (leg.LEVEL == 0) platform::stop("LEGHEAD-F-von falschem Level aufgerufen");
    leg.YLEGP -= leg.YLSEP;
    std::size_t lt = static_cast<std::size_t>(std::max(LTXT, 0));
    if (LTXT >= 100) {
        // A long text ends before its first "$"; without one there is nothing to write.
        std::size_t dollar = TEXT.find('$');
        lt = dollar == std::string_view::npos ? 0 : dollar;
    }
    lt = std::min(lt, TEXT.size());
    if (lt == 0) return;
    const std::string_view text = TEXT.substr(0, lt);
    // A heading keeps half its height clear of what stands above it (the
    // label of a reference arrow reaches below its line).
    const float height = velin::TXTHEI();
    if (leg.LENTRY == 0) leg.YLEGP = std::min(leg.YLEGP, leg.YLOW - 1.5f * height);
    if (cut_below_box(leg, leg.YLEGP, "LEGHEAD")) return;
    leg.YLOW = std::min(leg.YLOW, leg.YLEGP - 0.25f * height);
    PageClipping page;
    blanking_off(leg);
    const float xm = text_width(text);
    float x = leg.XLEGP + (leg.WLEG - xm) * 0.5f;
    if (CPOS == 'L' || CPOS == 'l') x = leg.XLEGP + leg.XLSEP;
    else if (CPOS == 'R' || CPOS == 'r') x = leg.XLEGP + leg.WLEG - leg.XLSEP - xm;
    write(text, x, leg.YLEGP);
    if (leg.LENTRY == 0) leg.XBORD = std::max(leg.XBORD, x + xm);
    blanking_on(leg);
    ++leg.LEVEL;
}

void LEGENT(std::string_view PATLIN, int ICOL, int ISHD, float FRTH, std::string_view TEXT1, std::string_view TEXT2) {
    if (g_no_legend) return;
    LegendState& leg = RRLEGP();
    if (leg.LEVEL == 0) platform::stop("LEGENT von falschem Level aufgerufen");
    leg.YLEGP -= leg.YLSEP;
    if (leg.LENTRY > 0) {
        ++leg.IENTRY;
        if (leg.IENTRY == 1) leg.column_top = leg.YLEGP;
        if (leg.IENTRY > leg.LENTRY) {
            leg.XLEGP = leg.XBORD;
            leg.YLEGP = leg.column_top;
            leg.IENTRY = 1;
        }
    }
    // The sample stands on the line; a second text line reaches below it.
    const bool two_lines = !platform::trimmed(TEXT2).empty() && !platform::trimmed(TEXT1).empty();
    const float lowest = std::min(leg.YLEGP, two_lines ? leg.YLEGP + 0.5f * (leg.YLLEN - 2.0f * leg.HEILEG - 1.0f)
                                                       : leg.YLEGP + 0.5f * (leg.YLLEN - leg.HEILEG));
    if (cut_below_box(leg, lowest, "LEGENT")) return;
    leg.YLOW = std::min(leg.YLOW, leg.YLEGP);
    PageClipping page;
    blanking_off(leg);

    static constexpr std::string_view kKinds = "KLS_kls";
    const std::size_t p = PATLIN.empty() ? std::string_view::npos : kKinds.find(PATLIN[0]);
    const int kind = p == std::string_view::npos ? 0 : static_cast<int>((p + 1) % 4);
    if (ICOL >= 1) velin::SELPEN(ICOL);
    const float x0 = leg.XLEGP + leg.XLSEP;
    if (ICOL >= 1 || kind == 0) draw_sample(kind, ICOL, ISHD, FRTH, x0);

    const std::string text1 = platform::trimmed(TEXT1), text2 = platform::trimmed(TEXT2);
    if (!text1.empty()) {
        velin::SELPEN(1);
        const float x = x0 + leg.XLLEN + leg.XTSEP;
        const float height = velin::TXTHEI();
        const bool set_height = std::fabs(height - leg.HEILEG) > 0.01f;
        if (set_height) velin::HEIGHT(leg.HEILEG);
        float extent = x;
        if (!text2.empty()) {
            write(text1, x, leg.YLEGP + 0.5f * (leg.YLLEN + 1.0f));
            write(text2, x, leg.YLEGP + 0.5f * (leg.YLLEN - 2.0f * leg.HEILEG - 1.0f));
            extent = x + std::max(text_width(text1), text_width(text2));
        } else {
            const float y = leg.YLEGP + 0.5f * (leg.YLLEN - leg.HEILEG);
            const std::size_t amp = text1.find('&');
            if (amp == std::string::npos) {
                write(text1, x, y);
                extent = x + text_width(text1);
            } else {
                const std::string first = text1.substr(0, amp);
                std::string second = text1.substr(amp + 1);
                if (const std::size_t other = second.find('&'); other != std::string::npos) second.resize(other);
                if (leg.xf1 < 0.0f) {
                    leg.xf1 = text_width(first);
                    leg.xf2 = text_width(second);
                }
                write(first, x + leg.xf1 - text_width(first), y);
                write(second, x + leg.xf1 + leg.xf2 - text_width(second), y);
                extent = x + leg.xf1 + leg.xf2;
            }
        }
        leg.XBORD = std::max(leg.XBORD, extent);
        if (set_height) velin::HEIGHT(height);
    }
    blanking_on(leg);
    ++leg.LEVEL;
}

void LEGCOL(int NENTRY) { RRLEGP().LENTRY = NENTRY; }

void LEGBORD(float& XPOS, float& YPOS) {
    if (g_no_legend) return;
    const LegendState& leg = RRLEGP();
    XPOS = leg.XBORD + (leg.XBORD > leg.XLEG ? leg.XLSEP : 0.0f);
    YPOS = leg.YLEGP - leg.YLSEP;
}

}  // namespace mapelements
