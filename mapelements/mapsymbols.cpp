// Scale bar, north arrow, compass rose and logo. The arrow and the rose are
// drawn from templates in unit coordinates (u along the direction angle, v
// across it), placed on the page by scale, rotation (degrees counter-
// clockwise, 90 = up the page) and shift.
//   north arrow    1 (-0.4, 0)  2 (-0.5, 0.5)  3 (0.5, 0)  4 (-0.5, -0.5)  5 (-0.4, 0)
//   compass cross  1 (0, 1.1)   2 (0, -1.1)    3 (-1.1, 0) 4 (1.1, 0)      5 (1.0, 0)
//   inflow mark    1 (1.26, -0.15)  2 (1.26, 0.15)  3 (1.0, 0)
// Point 6 of arrow and cross is the anchor of the letter "N", computed on
// every call so that it stands 0.5 mm beyond the tip, centred on the axis.
#include "mapelements/mapsymbols.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "mapelements/legend.h"
#include "platform/console.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace mapelements {

namespace {

using platform::fixed;

// The length label of a scale bar: "100 m".
std::string length_label(float SREAL) {
    return std::to_string(std::lround(SREAL)) + " m";
}

velin::Matrix placement(float a, float b, float phi, float x, float y) {
    velin::Matrix rs, m;
    velin::MULT2(velin::BANGLE(phi), velin::BSCALE(a, b), rs);
    velin::MULT2(velin::BSHIFT(x, y), rs, m);
    return m;
}

void place(const velin::Matrix& m, float* u, float* v, int n) {
    for (int i = 0; i < n; ++i) velin::ROTCS(m, u[i], v[i]);
}

// The letter's offset across the axis that centres "N" on it, in template units of size b.
float letter_offset(float b) {
    const float width = velin::XMESS("N", 1);
    return 0.5f * (width - 0.1f * velin::TXTHEI()) / b;
}

// Writes "N" at (x, y) with the text turned by angle - 90 degrees.
void write_north_letter(float x, float y, float angle) {
    const float previous = velin::plot_state().s.text_angle;
    velin::ANGLE(angle - 90.0f);
    velin::MESSAG("N", 1, x, y);
    velin::ANGLE(previous);
}

}  // namespace

float XSKALA(float SREAL, char WO) {
    float width = velin::XPOSN(SREAL, 0.0f) - velin::XPOSN(0.0f, 0.0f);
    if (WO == 'T' || WO == 't') {
        const std::string label = length_label(SREAL);
        width += 0.5f * velin::XMESS("0", 1) + 0.6f * velin::XMESS(label, static_cast<int>(label.size()));
    }
    return width;
}

void MSKALA(float XBALK, float Y0BALK, char LOCB, float SREAL, float HBALK, int NSEK) {
    PageClipping page;
    auto& con = platform::console();
    const float wbalk = XSKALA(SREAL, 'B');
    // An unknown alignment is reported; the bar is then drawn starting at XBALK.
    float x0balk = XBALK, x1balk = XBALK + wbalk;
    switch (LOCB) {
        case 'l': case 'L': break;
        case 'm': case 'M': x0balk = XBALK - 0.5f * wbalk; x1balk = XBALK + 0.5f * wbalk; break;
        case 'r': case 'R': x0balk = XBALK - wbalk; x1balk = XBALK; break;
        default: con.line(std::string(" MSKALA-W-") + LOCB + "-Ausrichtung nicht definiert!");
    }
    const float y1balk = Y0BALK + HBALK;
    velin::RRWIND(x0balk, x1balk, Y0BALK, y1balk, 0.1f);
    if (wbalk < 10.0f) con.line(" MSKALA-I-Balkenlänge<10mm!" + fixed(wbalk, 6, 3));

    const float y = y1balk + 0.5f * velin::TXTHEI();
    velin::MESSAG("0", 1, x0balk - 0.5f * velin::XMESS("0", 1), y);
    const std::string label = length_label(SREAL);
    const int n = static_cast<int>(label.size());
    const float label_width = velin::XMESS(label, n);
    velin::MESSAG(label, n, x1balk - 0.4f * label_width, y);
    LegendState& leg = RRLEGP();
    leg.XBORD = std::max(leg.XBORD, x1balk + 0.6f * label_width);

    if (NSEK > 0) {
        const float section = wbalk / static_cast<float>(NSEK);
        const float ymid = 0.5f * (Y0BALK + y1balk);
        for (int k = 1; k <= NSEK; ++k) {
            const float xa = x0balk + static_cast<float>(k - 1) * section, xe = xa + section;
            if (k % 2 == 1) {
                velin::STRTPT(xa, ymid);
                velin::CONNPT(xe, ymid);
            }
            velin::STRTPT(xe, Y0BALK);
            velin::CONNPT(xe, y1balk);
        }
    }
}

void NORTH(float al, float ah, float phi, float xpos, float ypos) {
    PageClipping page;
    float u[6] = {-0.4f, -0.5f, 0.5f, -0.5f, -0.4f, 0.5f + 0.5f / al};
    float v[6] = {0.0f, 0.5f, 0.0f, -0.5f, 0.0f, letter_offset(ah)};
    place(placement(al, ah, phi, xpos, ypos), u, v, 6);
    velin::PENUP(u[0], v[0]);
    velin::DOCRV(std::span<const float>(u + 1, 4), std::span<const float>(v + 1, 4), 4);
    velin::FILFNT(std::span<const float>(u, 3), std::span<const float>(v, 3), 3);
    write_north_letter(u[5], v[5], phi);
    LegendState& leg = RRLEGP();
    if (leg.LEVEL != 0) {
        leg.XBORD = std::max(leg.XBORD, *std::max_element(u, u + 5));
        leg.YLEGP = *std::min_element(v, v + 5);
    }
}

void DIRNOFL(float wnord, float dd, float rad, float xpos, float ypos) {
    PageClipping page;
    float u[6] = {0.0f, 0.0f, -1.1f, 1.1f, 1.0f, 1.3f + 0.5f / rad};
    float v[6] = {1.1f, -1.1f, 0.0f, 0.0f, 0.0f, letter_offset(rad)};
    place(placement(rad, rad, wnord, xpos, ypos), u, v, 6);
    velin::CIRCLE(xpos, ypos, rad, 0);
    velin::PENUP(u[0], v[0]);
    velin::PENDN(u[1], v[1]);
    velin::PENUP(u[2], v[2]);
    velin::PENDN(u[3], v[3]);
    velin::BIGLIN(std::span<const float>(u + 3, 2), std::span<const float>(v + 3, 2), 2, 0.075f * rad);
    write_north_letter(u[5], v[5], wnord);
    if (dd >= 0.0f) {
        // The wind comes from the meteorological direction dd, clockwise from
        // north: the wedge sits on that side of the rose, pointing inward.
        float mu[3] = {1.26f, 1.26f, 1.0f}, mv[3] = {-0.15f, 0.15f, 0.0f};
        place(placement(rad, rad, wnord - dd, xpos, ypos), mu, mv, 3);
        velin::FILFNT(mu, mv, 3);
    }
}

void AVO_LOGO(float xp, float yp, float hoehe, int ifill, char cpos, bool quiet) {
    PageClipping page;
    const velin::PlotState& st = velin::plot_state();
    const int previous_pen = st.ipen;
    // Without a palette (plain HP-GL) the pen count is not known: pen 1.
    const int pen = std::max(st.NPpal, 1);
    velin::SELPEN(pen);
    velin::SWISS(ifill);
    const float height = velin::TXTHEI();
    velin::HEIGHT(hoehe);
    const float xm = velin::XMESS("aVO", 3);
    const float x = (cpos == 'l' || cpos == 'L') ? xp : (cpos == 'r' || cpos == 'R') ? xp - xm : xp - 0.5f * xm;
    velin::MESSAG("aVO", 3, x, yp);
    velin::HEIGHT(height);
    velin::RESET("swiss");
    velin::SELPEN(previous_pen);
    if (!quiet) {
        char text[16];
        std::snprintf(text, sizeof text, "%4d", pen);
        platform::console().line(std::string(" Logo mit Stift") + text + " geplottet, Position x,y:" + fixed(x, 6, 1) +
                                 fixed(yp, 6, 1) + " mm");
    }
}

}  // namespace mapelements
