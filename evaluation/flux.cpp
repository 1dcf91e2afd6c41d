// The volume flux of the x component of the wind through a virtual wall.
//
// The wall stands at the centre XL(ICUT) of column ICUT and covers rows
// JVON..JBIS and layers KVON..KBIS. Its cell (j, k) has the area DY·DZK(k);
// the speed through it is the mean of U on the two x faces of the cell,
// u = (U(ICUT, j, k) + U(ICUT+1, j, k)) / 2, and its flux is u times the area.
//
// Steps: ask for the column, the rows and the layers (each range at least two
// wide); compute the cell fluxes; sum them per layer, FS(k, 1), together with
// the sum of |u| of the layer, FS(k, 2), and over the whole wall, SFLX; list
// them on the console; draw the layer fluxes over the layer centre heights in
// a profile plot; append the numbers to the log "FLX.LOG".
#include "evaluation/flux.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace evaluation {

namespace {

constexpr char ROUTINE[] = "EVAFLX";
constexpr char LOG_FILE[] = "FLX.LOG";

using platform::fixed;
using platform::integer;

// `count` integers from one answer. An answer without them (letters, an empty
// line, too few values) is asked again; end of input ends the run in the
// console itself, so this never loops without input.
std::vector<long> ask_integers(std::string_view question, std::size_t count) {
    auto given = [count](std::string_view line) -> std::optional<std::vector<long>> {
        std::vector<std::optional<long>> values;
        if (!platform::parse_ints(line, values, count) || values.size() < count) return std::nullopt;
        std::vector<long> numbers;
        for (std::size_t i = 0; i < count; ++i) {
            if (!values[i]) return std::nullopt;
            numbers.push_back(*values[i]);
        }
        return numbers;
    };
    return platform::ask_until(question, given,
                               " EVAFLX-W-" + std::to_string(count) + (count == 1 ? " ganze Zahl" : " ganze Zahlen") +
                                   " angeben");
}

// A range of rows or layers: the order first, then the grid.
void check_range(long from, long to, int last) {
    if (!(from < to)) platform::stop("Angaben von - bis falsch");
    if (from < 1 || to > last) platform::stop("Index nicht im Feld");
}

// The wind field and the grid coordinates must fit each other before any
// index of the wall is trusted.
void check_grid(const platform::Field3D<float>& U, const resultfile::Grid& g) {
    const bool fits = g.NX >= 1 && g.NY >= 1 && g.NZ >= 1 && U.n1() == g.NX + 1 && U.n2() == g.NY &&
                      U.n3() == g.NZ && g.XL.n() >= g.NX && g.YV.n() >= g.NY + 1 && g.ZW.n() >= g.NZ + 1 &&
                      g.ZL.n() >= g.NZ && g.DZK.n() >= g.NZ;
    platform::fatal_if(!fits, ROUTINE, "Windfeld und Gitter passen nicht zusammen");
}

void draw_profile(std::span<const float> flux, std::span<const float> height, float top, float x_wall,
                  const std::string& PLT_FILE) {
    velin::ENDPL(0);
    velin::INIPLO("HPGL2", "DINA4H");
    velin::PLFILE(PLT_FILE);
    velin::PHYSOR(25.0f, 30.0f);
    velin::AREA2D(150.0f, 200.0f);
    velin::SELPEN(1);
    velin::HEIGHT(2.5f);
    const std::string xname = "Fluss [m3/s]";
    const std::string yname = "z [m]";
    velin::XNAME(xname, static_cast<int>(xname.size()));
    velin::YNAME(yname, static_cast<int>(yname.size()));
    velin::XTICKS(1);
    velin::YTICKS(1);
    const std::string title = "Fluss durch virtuelle Wand bei x=" + fixed(x_wall, 0, 1) + " m";
    velin::HEADIN(title, static_cast<int>(title.size()), 1.2f, 1);
    const FluxAxis axis = flux_axis_range(flux);
    velin::GRAF(axis.from, velin::axis_step(axis.to - axis.from), axis.to, 0.0f, velin::axis_step(top), top);
    velin::FRAME();
    velin::CURVE(flux, height, static_cast<int>(flux.size()), 0);
    velin::ENDGR(0);
    velin::DONEPL();
}

// Appends the block to "FLX.LOG" in the working directory (or to the file that
// matches that name but for case). Only an existing regular file is appended
// to: a symbolic link is not followed, so that a stale link cannot create or
// overwrite a file elsewhere, and a directory, FIFO or device is refused.
void append_to_log(const std::string& block) {
    namespace fs = std::filesystem;
    std::string path = LOG_FILE;
    std::error_code ec;
    fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st)) {
        if (auto found = platform::find_file(path)) {
            path = *found;
            st = fs::symlink_status(path, ec);
        }
    }
    const bool exists = fs::exists(st);
    if (exists && !fs::is_regular_file(st))
        platform::fatal(ROUTINE, path + " ist keine gewöhnliche Datei - Ergebnisse nicht geschrieben");
    if (exists) platform::console().line(" FLX.LOG existiert - Ergebnisse werden angehängt");
    // On failure the log keeps its length before: no half block stays.
    int error = 0;
    if (!platform::append_to_file(path, block, &error))
        platform::fatal(ROUTINE, path + " kann nicht geschrieben werden: " + platform::describe_error(error) +
                                     " - Ergebnisse nicht angehängt");
}

}  // namespace

FluxAxis flux_axis_range(std::span<const float> layer_flux) {
    double low = 0.0, high = 0.0;
    for (float f : layer_flux) {
        low = std::min(low, static_cast<double>(f));
        high = std::max(high, static_cast<double>(f));
    }
    // From min(0, smallest) to max(0, largest), each end that is not 0 moved
    // out to the next whole hundred beyond it, so that the curve never runs
    // along the frame; fluxes of both signs are shown.
    FluxAxis axis;
    if (low < 0.0) axis.from = static_cast<float>((std::ceil(low / 100.0) - 1.0) * 100.0);
    if (high > 0.0) axis.to = static_cast<float>((std::floor(high / 100.0) + 1.0) * 100.0);
    else if (low < 0.0) axis.to = 0.0f;
    return axis;
}

void EVAFLX(const platform::Field3D<float>& U, std::string_view FILE, const std::string& PLT_FILE) {
    const resultfile::Grid& g = resultfile::grid();
    check_grid(U, g);
    auto& con = platform::console();

    const long ICUT = ask_integers(" Schnitt bei I=", 1)[0];
    if (ICUT < 1 || ICUT > g.NX) platform::stop("Index nicht im Feld");
    const std::vector<long> rows = ask_integers(" Ausschnitt Jvon,Jbis: ", 2);
    check_range(rows[0], rows[1], g.NY);
    const std::vector<long> layers = ask_integers(" Ausschnitt Kvon,Kbis: ", 2);
    check_range(layers[0], layers[1], g.NZ);
    const int I = static_cast<int>(ICUT);
    const int JVON = static_cast<int>(rows[0]), JBIS = static_cast<int>(rows[1]);
    const int KVON = static_cast<int>(layers[0]), KBIS = static_cast<int>(layers[1]);

    // FLUX(j, k) and FS(k, 1..2) keep the grid's own indexes.
    platform::Field2D<float> FLUX(g.NY, g.NZ, 0.0f);
    platform::Field2D<float> FS(g.NZ, 2, 0.0f);
    for (int k = KVON; k <= KBIS; ++k) {
        const float A = g.DY * g.DZK(k);
        for (int j = JVON; j <= JBIS; ++j) {
            const float u = 0.5f * (U(I, j, k) + U(I + 1, j, k));
            FLUX(j, k) = u * A;
            FS(k, 2) += std::fabs(u);
        }
    }
    float SFLX = 0.0f;
    for (int k = KBIS; k >= KVON; --k) {
        for (int j = JVON; j <= JBIS; ++j) FS(k, 1) += FLUX(j, k);
        SFLX += FS(k, 1);
    }

    con.line(" Fluss durch die Wand in verschiedenen Schichten");
    for (int k = KBIS; k >= KVON; --k)
        con.line(integer(k, 5) + "  " + platform::format_real(g.ZL(k)) + "  " + platform::format_real(FS(k, 1)) +
                 "  " + platform::format_real(FS(k, 2)));
    con.line(" Gesamtfluss in m3/s: " + platform::format_real(SFLX));
    // A wind value that is not a number (or fluxes beyond the float range)
    // would leave the plot without a scale.
    bool finite = std::isfinite(SFLX);
    for (int k = KVON; k <= KBIS; ++k) finite = finite && std::isfinite(FS(k, 1)) && std::isfinite(FS(k, 2));
    platform::fatal_if(!finite, ROUTINE, "Fluss nicht berechenbar: ungültige Windwerte in der Wand");

    std::vector<float> layer_flux, centre;
    for (int k = KVON; k <= KBIS; ++k) {
        layer_flux.push_back(FS(k, 1));
        centre.push_back(g.ZL(k));
    }
    draw_profile(layer_flux, centre, g.ZW(KBIS + 1), g.XL(I), PLT_FILE);

    // The log keeps its bytes: "³" is 0xB3 there.
    std::string block = " Datei: " + std::string(FILE) + "\n\n";
    block += " Wand bei x=" + fixed(g.XL(I), 6, 1) + " m  (" + fixed(g.YV(JVON), 6, 1) + "m < y < " +
             fixed(g.YV(JBIS + 1), 6, 1) + "m)\t(" + fixed(g.ZW(KVON), 4, 1) + "m < z < " +
             fixed(g.ZW(KBIS + 1), 4, 1) + "m)\n";
    for (int k = KVON; k <= KBIS; ++k)
        block += " k=" + integer(k, 3) + fixed(g.ZL(k), 6, 1) + platform::exponent_form(FS(k, 1), 12, 4) +
                 platform::exponent_form(FS(k, 2), 12, 4) + "\n";
    block += "\n Gesamtfluss in m\xB3/s:" + platform::exponent_form(SFLX, 15, 8) + "\n";
    append_to_log(block);
}

}  // namespace evaluation
