// Colour raster of a scalar field.
//
// Notation: KFELD(i, j) is the pen of cell i of row j (1-based, i along x);
// IH counts the cells of each pen from the smallest to the largest class pen.
//
// Steps:
//  1. Classify: a cell takes the first class whose upper limit is at least its
//     value; a value above every limit takes the last class. A cell without a
//     value (not finite) takes no class and is left as paper.
//  2. Optionally filter isolated cells: an interior cell whose left and right
//     neighbours share a pen that the lower or the upper neighbour also has
//     takes that pen. The sweep works in place, so a changed cell feeds the
//     test of its right and upper neighbours.
//  3. Count and report the pens; paint the most frequent one as a single
//     rectangle under the whole field and forget its cells (not when cells
//     without a value must stay paper).
//  4. Fill the remaining cells row by row (method 1) or pen by pen (method 2),
//     a run of equal pens within a row as one rectangle, so the plot file
//     holds one fill per run and, in method 2, one pen change per pen.
//  5. One legend box per class.
#include "contour/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapelements/legend.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace contour {

namespace {

constexpr char ROUTINE[] = "FFPATR";
constexpr int kLargestPen = 255;
// The pen of a cell without a value: below every pen, never drawn or counted.
constexpr int kNoValue = -(kLargestPen + 1);
// The frame of a class box in the legend, mm: keeps a pale colour visible on white.
constexpr float kLegendFrame = 0.1f;

using platform::fixed;
using platform::integer;

std::size_t at(int index) { return static_cast<std::size_t>(index - 1); }

std::string number(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
}

// The protocol goes to the console (message unit 6) rather than to a log file.
bool protocol_on_console() { return velin::plot_state().message_unit == 6; }

// Asks until the answer holds a whole number; end of input ends the run.
int ask_option(std::string_view prompt) {
    return static_cast<int>(platform::ask_until(prompt, platform::first_int));
}

// Fills the runs of equal positive pens in row j for which `wanted(pen)`
// holds, each as one rectangle.
template <typename Wanted>
void fill_row(const platform::Field2D<int>& KFELD, int NX, int j, std::span<const float> XI,
              std::span<const float> YI, Wanted wanted) {
    int s = 1;
    while (s <= NX) {
        const int pen = KFELD(s, j);
        int e = s + 1;
        while (e <= NX && KFELD(e, j) == pen) ++e;
        if (pen > 0 && wanted(pen)) {
            velin::SELPEN(pen);
            velin::FILREC(XI[at(s)], XI[at(e)], YI[at(j)], YI[at(j + 1)]);
        }
        s = e;
    }
}

void check_arguments(const platform::Field2D<float>& FELD, int NX, int NY, std::span<const float> XI,
                     std::span<const float> YI, std::span<const float> CLASS, int NCLASS,
                     std::span<const int> ICOL, std::span<const std::string> LBEZ) {
    platform::fatal_if(NX < 1 || NY < 1 || FELD.n1() < NX || FELD.n2() < NY, ROUTINE,
                       "Feldgröße falsch: NX=" + std::to_string(NX) + ", NY=" + std::to_string(NY));
    platform::fatal_if(XI.size() < static_cast<std::size_t>(NX) + 1 || YI.size() < static_cast<std::size_t>(NY) + 1,
                       ROUTINE, "zu wenige Zellgrenzen für NX=" + std::to_string(NX) + ", NY=" + std::to_string(NY));
    platform::fatal_if(NCLASS < 1, ROUTINE, "keine Farbklassen");
    const auto n = static_cast<std::size_t>(NCLASS);
    platform::fatal_if(CLASS.size() < n || ICOL.size() < n || LBEZ.size() < n, ROUTINE,
                       "weniger Klassengrenzen, Stifte oder Texte als " + std::to_string(NCLASS) + " Klassen");
    for (int pen : ICOL.first(n))
        platform::fatal_if(pen < -kLargestPen || pen > kLargestPen, ROUTINE,
                           "Stift nicht vorhanden:" + integer(pen, 6));
}

}  // namespace

namespace {

// A cell between two of one pen left and right, and one of them above or
// below, takes that pen; returns the cells changed.
int filter_isolated(platform::Field2D<int>& KFELD, int NX, int NY) {
    int changed = 0;
    for (int j = 2; j <= NY - 1; ++j)
        for (int i = 2; i <= NX - 1; ++i) {
            const int side = KFELD(i - 1, j);
            if (side != kNoValue && KFELD(i, j) != kNoValue && KFELD(i + 1, j) == side && KFELD(i, j) != side &&
                (KFELD(i, j - 1) == side || KFELD(i, j + 1) == side)) {
                KFELD(i, j) = side;
                ++changed;
            }
        }
    return changed;
}

// A picture of one colour says so: the classes do not fit the field.
void warn_single_class(int first_class, int last_class, float lo, float hi, std::span<const float> CLASS, int NCLASS,
                       std::span<const std::string> LBEZ) {
    auto& con = platform::console();
    if (first_class == 0)
        con.line(" FFPATR-W-keine Zelle hat einen Wert: das Raster bleibt leer");
    else if (first_class == last_class)
        con.line(" FFPATR-W-alle Zellen in einer Klasse (" + platform::to_utf8(platform::trimmed(LBEZ[at(first_class)])) +
                 "): Werte von " + number(lo) + " bis " + number(hi) + ", Klassengrenzen von " + number(CLASS[0]) +
                 " bis " + number(CLASS[at(NCLASS)]));
}

}  // namespace

RasterOptions& raster_options() {
    static RasterOptions options;
    return options;
}

void reset_raster_options() { raster_options() = RasterOptions(); }

void FFPATR(const platform::Field2D<float>& FELD, int NX, int NY, std::span<const float> XI,
            std::span<const float> YI, std::span<const float> CLASS, int NCLASS, std::span<const int> ICOL,
            std::span<const std::string> LBEZ, bool NOLEG) {
    check_arguments(FELD, NX, NY, XI, YI, CLASS, NCLASS, ICOL, LBEZ);
    velin::write_message(" --- FFPATR V1.40 ---" + integer(NCLASS, 4));
    const auto pens = ICOL.first(static_cast<std::size_t>(NCLASS));
    const int pmin = *std::min_element(pens.begin(), pens.end());
    const int pmax = *std::max_element(pens.begin(), pens.end());

    platform::Field2D<int> KFELD(NX, NY);
    // Cells without a value, and the classes the others fall into.
    long long undefined = 0;
    int first_class = 0, last_class = 0;
    float lo = 0.0f, hi = 0.0f;
    for (int j = 1; j <= NY; ++j)
        for (int i = 1; i <= NX; ++i) {
            const float v = FELD(i, j);
            if (!std::isfinite(v)) {
                KFELD(i, j) = kNoValue;
                ++undefined;
                continue;
            }
            int k = NCLASS;
            for (int c = 1; c <= NCLASS; ++c)
                if (CLASS[at(c)] >= v) {
                    k = c;
                    break;
                }
            KFELD(i, j) = ICOL[at(k)];
            if (first_class == 0) first_class = last_class = k, lo = hi = v;
            first_class = std::min(first_class, k);
            last_class = std::max(last_class, k);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    warn_single_class(first_class, last_class, lo, hi, CLASS, NCLASS, LBEZ);

    RasterOptions& options = raster_options();
    if (options.IFILTER < 0 || (options.IFILTER > 1 && protocol_on_console()))
        options.IFILTER = ask_option(" Singuläre Punkte Filtern (0,1): ");
    if (options.IFILTER > 0) velin::write_message(" Punkte gefiltert:" + integer(filter_isolated(KFELD, NX, NY), 8));

    std::vector<long long> IH(static_cast<std::size_t>(pmax - pmin + 1), 0);
    auto count_of = [&](int pen) -> long long& { return IH[static_cast<std::size_t>(pen - pmin)]; };
    for (int j = 1; j <= NY; ++j)
        for (int i = 1; i <= NX; ++i)
            if (KFELD(i, j) != kNoValue) ++count_of(KFELD(i, j));
    velin::write_message(" Häufigkeitsverteilung der Farben");
    const double cells = static_cast<double>(NX) * static_cast<double>(NY);
    for (int pen = pmin; pen <= pmax; ++pen)
        velin::write_message(integer(pen, 6) + integer(count_of(pen), 10) +
                             fixed(100.0 * static_cast<double>(count_of(pen)) / cells, 9, 2) + "%");
    if (undefined > 0)
        velin::write_message(" ohne Wert" + integer(undefined, 7) +
                             fixed(100.0 * static_cast<double>(undefined) / cells, 9, 2) + "%");

    // A white class (pen 0 or below) that occurs leaves the paper as
    // background; so do cells without a value.
    if (!(pmin <= 0 && count_of(pmin) > 0) && undefined == 0) {
        int background = pmin;
        for (int pen = pmin + 1; pen <= pmax; ++pen)
            if (count_of(pen) > count_of(background)) background = pen;
        // Another white pen may still be the most frequent: it paints nothing.
        if (background >= 1) {
            velin::write_message(" Hintergrundrechteck mit Stift" + integer(background, 4));
            velin::SELPEN(background);
            velin::FILREC(XI[0], XI[at(NX + 1)], YI[0], YI[at(NY + 1)]);
            for (int j = 1; j <= NY; ++j)
                for (int i = 1; i <= NX; ++i)
                    if (KFELD(i, j) == background) KFELD(i, j) = 0;
            count_of(background) = 0;
        }
    }

    if (options.METHOD < 1 || (options.METHOD > 2 && protocol_on_console()))
        options.METHOD = ask_option(" Methode (1-zeilenweise ,2-farbweise): ");
    if (options.METHOD == 1) {
        for (int j = 1; j <= NY; ++j) fill_row(KFELD, NX, j, XI, YI, [](int) { return true; });
    } else if (options.METHOD == 2) {
        // Pens without cells left are not selected at all.
        for (int pen = std::max(1, pmin); pen <= pmax; ++pen) {
            if (count_of(pen) == 0) continue;
            for (int j = 1; j <= NY; ++j) fill_row(KFELD, NX, j, XI, YI, [pen](int p) { return p == pen; });
        }
    }

    velin::SELPEN(1);
    if (NOLEG) return;
    for (int c = 1; c <= NCLASS; ++c) {
        const std::string& text = LBEZ[at(c)];
        if (text.starts_with('!')) continue;
        mapelements::LEGENT("Pat", ICOL[at(c)], 0, kLegendFrame, text, "");
    }
}

}  // namespace contour
