// Start-up of a run, in this order: banner; without arguments the usage text
// and the end; the result file name; the options; the diffusion-coefficient
// file and the result file that belongs to it; the model, read in the order
// that the readers enforce (header, dimensions, grid, inflow, then either the
// three wind components or the three diffusion coefficients).
#include "driver/startup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "driver/cmdline.h"
#include "driver/dialogue.h"
#include "driver/layout.h"
#include "driver/outputs.h"
#include "driver/settings.h"
#include "evaluation/flux.h"
#include "evaluation/superposition.h"
#include "mapelements/background.h"
#include "platform/arguments.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_read.h"
#include "resultfile/obstacles.h"
#include "velin/velin.h"

namespace driver {

namespace {

using platform::trimmed;

constexpr char ROUTINE[] = "MURAL";

std::string lower(std::string_view text) {
    std::string out;
    TOLOWR(text, out);
    return out;
}

// Reads the four window coordinates; false when the text does not hold them.
bool parse_window(std::string_view text, Settings& s) {
    std::vector<std::optional<double>> values;
    if (!platform::parse_reals(text, values, 4) || values.size() < 4) return false;
    for (int k = 0; k < 4; ++k)
        if (!values[static_cast<std::size_t>(k)]) return false;
    s.window_x_from = *values[0];
    s.window_x_to = *values[1];
    s.window_y_from = *values[2];
    s.window_y_to = *values[3];
    return s.window_x_from < s.window_x_to && s.window_y_from < s.window_y_to;
}

void ask_window(Settings& s) {
    platform::ask_until(" Xvon,Xbis,Yvon,Ybis: ",
                        [&](std::string_view line) { return parse_window(line, s) ? std::optional(true) : std::nullopt; });
}

// Whether the window lies on the grid; a rounding error of a window typed
// from printed coordinates is allowed.
bool window_on_grid(const Settings& s, const resultfile::Grid& g) {
    const double x0 = g.XMIN, x1 = x0 + g.NX * static_cast<double>(g.DX);
    const double y0 = g.YMIN, y1 = y0 + g.NY * static_cast<double>(g.DY);
    const double tol = 1.0e-4 * std::max(g.DX, g.DY);
    return s.window_x_from >= x0 - tol && s.window_x_to <= x1 + tol && s.window_y_from >= y0 - tol &&
           s.window_y_to <= y1 + tol;
}

std::string grid_extent(const resultfile::Grid& g) {
    using platform::format_real;
    return "x " + format_real(g.XMIN) + " bis " + format_real(g.XMIN + g.NX * static_cast<double>(g.DX)) + ", y " +
           format_real(g.YMIN) + " bis " + format_real(g.YMIN + g.NY * static_cast<double>(g.DY)) + " m";
}

// The first cell of the faces (relative to the grid's corner) at or after a
// real coordinate, as ICALCB finds it: the window in plot coordinates.
int window_index(double real, double corner, int n, float (resultfile::Grid::*face)(int) const) {
    const resultfile::Grid& g = resultfile::grid();
    platform::Array1D<float> faces(n + 1);
    for (int i = 1; i <= n + 1; ++i) faces(i) = (g.*face)(i);
    // Within the rounding that window_on_grid allows, an edge is the grid's edge.
    return ICALCB(static_cast<float>(std::clamp(real - corner, 0.0, static_cast<double>(faces(n + 1)))), faces, n);
}

// The value of an option, or the answer to its prompt when the value is empty.
// A list of picture formats ("png,pdf,svg" in any order and case) in a
// canonical form; anything else stops the run naming where it came from.
std::string picture_formats(const std::string& value, std::string_view where) {
    std::string list, item;
    std::istringstream in(lower(value));
    while (std::getline(in, item, ',')) {
        item = platform::trimmed(item);
        item.erase(0, item.find_first_not_of(' '));
        if (item != "png" && item != "pdf" && item != "svg")
            platform::fatal(ROUTINE, "ungültiges Bildformat \"" + item + "\" in " + std::string(where) + "=" + value +
                                         " (möglich sind png, pdf, svg)");
        if (list.find(item) == std::string::npos) list += (list.empty() ? "" : ",") + item;
    }
    if (list.empty()) platform::fatal(ROUTINE, "ungültige Optionsangabe " + std::string(where) + "=? (png, pdf, svg)");
    return list;
}

std::string option_value(int iarg, std::string_view prompt) {
    std::string value;
    int len = 0;
    GETCARG(iarg, value, len);
    if (len > 0) return value;
    auto& con = platform::console();
    con.prompt(prompt);
    return trimmed(con.read_line());
}

// The first n characters of a UTF-8 text, filled up with blanks.
std::string first_characters(const std::string& text, std::size_t n) {
    std::size_t end = 0;
    for (std::size_t k = 0; k < n && end < text.size(); ++k)
        do ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
    std::string head = text.substr(0, end);
    for (std::size_t k = end; k < n; ++k) head += ' ';
    return head;
}

// A MURAL_CODEPAGE that names no code page is not fatal: it only decides how
// a few texts are shown, so the run goes on choosing the code page per text.
void warn_unknown_code_page() {
    if (auto value = platform::unknown_code_page_setting())
        platform::console().line(" MURAL-W-MURAL_CODEPAGE=\"" + *value +
                                 "\" unbekannt (850 oder 8859-1); die Code-Seite wird je Text bestimmt");
}

}  // namespace

Settings& settings() {
    static Settings instance;
    return instance;
}

void reset_settings() { settings() = Settings(); }

std::string banner_line() {
    std::string banner = std::string(" ## MURAL V") + MURAL_VERSION;
    banner.resize(46, ' ');
    return banner + '#';
}

void print_banner() {
    auto& con = platform::console();
    con.line();
    con.line(banner_line());
    con.line();
}

void print_usage() {
    auto& con = platform::console();
    con.line(" Aufruf:  MURAL Datei[.ERG] [/optionen]");
    con.line(" Optionen:");
    con.line("  /De\t\t - Debug");
    con.line("  /F=ii\t\t - Hindernisse mit Stift ii ausfüllen");
    con.line("  /G=png,pdf,svg\t - Bilder der Zeichnung neben der Plotdatei");
    con.line("  /K\t\t - Diffusionskoeffizienten einer NetCDF-Datei");
    con.line("  /L:pos\t\t - Lage der Legende (pos=[UL,UR,RO,RU,NO,XY])");
    con.line("  /M\t\t - Maßstabskala statt Achsenbeschriftung");
    con.line("  /N\t\t - interaktive Abfrage von Einstellungen");
    con.line("  /O\t\t - Originalhindernisse");
    con.line("  /P=pltfile\t - Namen der Plotdatei vorgeben");
    con.line("  /X[:...]\t - Ausschnitt plotten (Horizontalschnitt)");
    con.line();
}

void evaluate_options() {
    Settings& s = settings();
    auto& con = platform::console();
    int iarg = 0;
    s.DEBUG = TSTOPT("/de", iarg, 1, 3);
    s.DRAFT = TSTOPT("/dr", iarg, 1, 3);
    s.interactive = TSTOPT("/n", iarg, 1, 2);
    s.AXTXT = !TSTOPT("/m", iarg, 1, 2);
    s.BORG = TSTOPT("/o", iarg, 1, 2);
    s.NOBU = TSTOPT("/o0", iarg, 1, 3);
    s.LOGO = TSTOPT("/avo", iarg, 1, 4);
    s.netcdf_coefficients = TSTOPT("/k", iarg, 1, 2);

    s.fill = TSTOPT("/f", iarg, 1, 2);
    s.fill_pen = 1;
    if (s.fill) {
        int pen = 0, istat = 0;
        GETIARG(iarg, pen, istat);
        if (istat < 0) platform::fatal(ROUTINE, "ungültige Optionsangabe /F=?");
        char text[32];
        std::snprintf(text, sizeof text, "%3d", pen);
        con.line(std::string(" /F-Stift=") + text);
        if (pen < 0) platform::fatal(ROUTINE, "bad /fill-id");
        s.fill_pen = pen;
    }

    if (TSTOPT("/l", iarg, 1, 2)) {
        std::string value;
        int len = 0;
        GETCARG(iarg, value, len);
        if (len <= 0) platform::fatal(ROUTINE, "ungültige Optionsangabe /L=?");
        s.LPOS = value.substr(0, 3);
        s.LPOS.resize(3, ' ');
        // Refused here, before any question, rather than after the whole dialogue.
        const std::string code = lower(s.LPOS.substr(0, 2));
        if (code != "ul" && code != "ur" && code != "ro" && code != "ru" && code != "no" && code != "xy")
            platform::fatal(ROUTINE, "ungültige Lage der Legende /L:" + platform::trimmed(value) +
                                         " (möglich sind UL, UR, RO, RU, NO, XY)");
    }

    s.window = TSTOPT("/x", iarg, 1, 2);
    if (s.window) {
        std::string arg;
        int len = 0;
        GETARG(iarg, arg, len);
        // Asked for until there are four numbers with from < to in x and in y;
        // whether it lies on the grid is checked once the grid is known.
        s.window_typed = len < 5 || !parse_window(std::string_view(arg).substr(3), s);
        if (s.window_typed) ask_window(s);
    }

    s.PLT_FILE.clear();
    if (TSTOPT("/p", iarg, 1, 2)) s.PLT_FILE = option_value(iarg, " Plotdatei: ");

    // Pictures beside the plot file: "/g=png,pdf".
    if (TSTOPT("/g", iarg, 1, 2)) {
        std::string value;
        int len = 0;
        GETCARG(iarg, value, len);
        s.GR = picture_formats(value, "/g");
    }

    s.MULTI = TSTOPT("/$", iarg, 1, 2) && !TRZ;
    if (s.MULTI) s.MUL_FILE = option_value(iarg, " Multi_datei: ");
    s.COMP = TSTOPT("/v", iarg, 1, 2) && !TRZ;
    if (s.COMP) s.VFILE = option_value(iarg, " Vergleichsdatei: ");
    s.WANDF = TSTOPT("/w", iarg, 1, 2) && !TRZ;
}

namespace {

// The evaluations (comparison, flux, superposition) take the whole fields; a
// picture reads the cells of its section only, when it knows them.
bool fields_by_section() {
    const Settings& s = settings();
    return !(s.COMP || s.WANDF || s.MULTI);
}

// A run from a NetCDF file fills the same model records.
void read_netcdf_model() {
    Settings& s = settings();
    namespace rf = resultfile;
    rf::GET_NC(s.FILE, s.DEBUG, s.netcdf_coefficients, fields_by_section(), s.MNAME);
    const rf::Grid& g = rf::grid();
    platform::console().line(" Dimensionierung NX,NY,NZ: " + std::to_string(g.NX) + " " + std::to_string(g.NY) + " " +
                             std::to_string(g.NZ));
    s.GEB_FILE = rf::reader_state().IGBFILE;
    s.title = platform::to_utf8(rf::reader_state().TITEL);
    if (mapelements::background().read && mapelements::background().wnord_given)
        rf::wind_data().WNord = mapelements::background().WNORD;
    // "/k": the coefficients, as from a ".DIF" file named instead of the result file.
    if (s.netcdf_coefficients) {
        s.dif_code = 1;
        s.DIF_FILE = s.FILE;
        s.title = first_characters(s.title, 6) + trimmed(s.DIF_FILE).substr(0, 74);
    }
    if (s.MULTI) s.MUL_OUTPUT = evaluation::SUPERP(s.MUL_FILE, s.title, s.DEBUG, s.MNAME, s.FILE);
}

}  // namespace

void read_model() {
    Settings& s = settings();
    auto& con = platform::console();
    namespace rf = resultfile;

    if (!platform::has_extension(s.FILE)) s.FILE += ".ERG";
    // A NetCDF file holds the whole run; nothing that draws can tell it from a result file.
    if (rf::is_netcdf_file(s.FILE) || lower(platform::extension_of(s.FILE)) == ".nc") {
        read_netcdf_model();
        return;
    }
    if (s.netcdf_coefficients)
        con.line(" MURAL-W-/K gilt für NetCDF-Dateien; die Koeffizienten eines Laufs zeichnet mural Lauf.DIF");
    const std::string ext = lower(platform::extension_of(s.FILE));
    s.dif_code = ext == ".dif" ? 1 : ext == ".dkm" ? 2 : 0;
    if (s.dif_code != 0) {
        con.line(" Diffusionskoeffizienten, IT=" + std::to_string(s.dif_code));
        s.DIF_FILE = s.FILE;
        s.FILE = platform::with_extension(s.FILE, ".ERG");
        if (s.dif_code == 2) {
            std::string name(platform::file_name_part(s.DIF_FILE));
            name.resize(std::min<std::size_t>(name.size() - platform::extension_of(name).size(), 74));
            s.title = "ORVEL " + name;
            // The result file of such a run is looked for in the working directory.
            s.FILE = std::string(platform::file_name_part(s.FILE));
        }
        if (!platform::find_file(s.FILE)) {
            con.prompt(" QEM-Ergebnisdatei angeben: ");
            s.FILE = trimmed(con.read_line());
            if (!platform::has_extension(s.FILE)) s.FILE += ".ERG";
            if (s.FILE.size() > kMaxFileName)
                platform::fatal(ROUTINE, "Dateiname länger als " + std::to_string(kMaxFileName) + " Zeichen: " + s.FILE);
        }
    }

    rf::GET_HEAD(s.FILE, s.DEBUG, s.MNAME);
    const rf::ReaderState& rs = rf::reader_state();
    s.GEB_FILE = rs.IGBFILE;
    if (s.dif_code != 2) s.title = platform::to_utf8(rs.TITEL);
    int NX = 0, NY = 0, NZ = 0, kGrid = 0;
    rf::GET_DIM(NX, NY, NZ, kGrid);
    con.line(" Dimensionierung NX,NY,NZ: " + std::to_string(NX) + " " + std::to_string(NY) + " " + std::to_string(NZ));
    rf::GET_GRID();
    rf::GET_ANS();
    // The north of a background definition holds over the run's own.
    if (mapelements::background().read && mapelements::background().wnord_given)
        rf::wind_data().WNord = mapelements::background().WNORD;

    // The three fields, on the x, y and z faces in turn.
    rf::ModelFields& m = rf::model_fields();
    if (!s.DIF_FILE.empty()) {
        rf::GET_DIF(s.DIF_FILE);
        if (fields_by_section()) rf::read_coefficients_by_section();
        else rf::read_face_fields(rf::GET_KKK, m.KX, m.KY, m.KZ);
        if (s.dif_code == 1) {
            s.title = first_characters(s.title, 6);
            s.title += trimmed(s.DIF_FILE).substr(0, 74);
        }
    } else if (fields_by_section()) {
        rf::read_wind_by_section();
    } else {
        rf::read_face_fields(rf::GET_UVW, m.U, m.V, m.W);
    }
    // The superposition of a series of runs, written as a new result file.
    if (s.MULTI) s.MUL_OUTPUT = evaluation::SUPERP(s.MUL_FILE, s.title, s.DEBUG, s.MNAME, s.FILE);
    rf::GET_HAUS();
}

void read_background_definition() {
    Settings& s = settings();
    auto& con = platform::console();
    const std::string name = "LESDIG.DEF";
    mapelements::reset_background();
    float north = resultfile::wind_data().WNord;
    int status = 1;
    mapelements::DEFDIG(name, north, status);
    const mapelements::BackgroundDefinition& b = mapelements::background();
    // Land use needs a definition that names its data file.
    s.BGN_FILE.clear();
    if (status != 0) {
        con.line(" - keine Beschreibungsdatei " + name + " vorhanden");
        return;
    }
    // Without "WN" the run keeps the north of its result file, read later.
    if (b.wnord_given) con.line(" Nordrichtung aus der Datei " + b.file + ":" + platform::fixed(north, 6, 1) + "°");
    else con.line(" Nordrichtung aus der Datei " + b.file + ": keine Angabe, die des Laufs gilt");
    con.line(" Hintergrunddatei: " + b.DIGDAT);
    s.BGN_FILE = b.DIGDAT.empty() ? std::string() : b.file;
}

int ICALCB(float XB, const platform::Array1D<float>& XU, int NX) {
    for (int i = 1; i <= NX + 1 && i <= XU.n(); ++i)
        if (XB <= XU(i)) return std::min(i, NX);
    auto& con = platform::console();
    std::string line = " ";
    line += platform::format_real(XB) + " " + platform::format_real(XU(1)) + " " + platform::format_real(XU(XU.n()));
    con.line(line);
    platform::fatal("ICALCB", "VNF");
}

bool choose_page(Settings& s, float ax, float ay) {
    // The plot keeps the aspect of the area drawn; the page follows from its size.
    if (s.XLEN >= 140.0f) {
        if (s.YLEN < 140.0f) s.YLEN = s.XLEN * ay / ax;
    } else if (s.YLEN > 0.0f) {
        s.XLEN = s.YLEN * ax / ay;
    } else {
        // A narrow plot without a height: the height follows from the width
        // (from the missing height it would be a plot of width 0).
        s.YLEN = s.XLEN * ay / ax;
    }
    s.PFORMAT = (s.YLEN <= s.XLEN && s.XLEN > 290.0f) ? "DINA4Q" : "DINA4H";
    const float usable = (s.PFORMAT == "DINA4Q" ? 190.0f : 260.0f) - s.YN;
    if (s.YLEN > usable) {
        s.YLEN = usable;
        s.XLEN = s.YLEN * ax / ay;
        return true;
    }
    return false;
}

namespace {

// Layout values that leave nothing usable on the page are refused, naming their key.
[[noreturn]] void refuse_layout(const Settings& s, const char* key, float value, const std::string& why) {
    platform::fatal(ROUTINE, std::string("Layoutwert ") + key + "=" + platform::format_real(value) + " (" +
                                 s.PDF_FILE + "): " + why);
}

void check_layout_values(const Settings& s) {
    if (!(s.ZH > 0.0f) || s.ZH > kMaxCharacterHeight)
        refuse_layout(s, "zh", s.ZH,
                      "die Zeichenhöhe muss größer als 0 und höchstens " +
                          platform::format_real(kMaxCharacterHeight) + " mm sein");
    if (!(s.XLEN > 0.0f)) refuse_layout(s, "ax", s.XLEN, "die Breite der Zeichnung muss größer als 0 sein");
    if (s.YLEN < 0.0f) refuse_layout(s, "ay", s.YLEN, "die Höhe der Zeichnung darf nicht negativ sein");
}

void check_plot_on_page(const Settings& s) {
    float width = 0, height = 0;
    velin::page_size(s.PFORMAT, width, height);
    const std::string page = "das Blatt ist " + platform::format_real(width) + " x " + platform::format_real(height) + " mm";
    if (!(s.XN >= 0.0f && s.XN < width)) refuse_layout(s, "xn", s.XN, "der Nullpunkt liegt nicht auf dem Blatt, " + page);
    if (!(s.YN >= 0.0f && s.YN < height)) refuse_layout(s, "yn", s.YN, "der Nullpunkt liegt nicht auf dem Blatt, " + page);
    if (!(s.YLEN > 0.0f)) refuse_layout(s, "yn", s.YN, "über dem Nullpunkt bleibt kein Platz für die Zeichnung");
    if (s.XN + s.XLEN > width)
        refuse_layout(s, "xn", s.XN,
                      "die " + platform::format_real(s.XLEN) + " mm breite Zeichnung reicht über den Rand des Blatts, " +
                          page);
    // A legend right of the plot ("RO", "RU") is 40 mm wide.
    const std::string code = lower(s.LPOS.substr(0, 2));
    if ((code == "ro" || code == "ru") && s.XN + s.XLEN + kLegendWidth > width)
        refuse_layout(s, "xn", s.XN,
                      "rechts neben der Zeichnung bleibt kein Platz für die Legende (" +
                          platform::format_real(kLegendWidth) + " mm), " + page);
}

}  // namespace

void prepare_plot_settings() {
    Settings& s = settings();
    auto& con = platform::console();
    const resultfile::Grid& g = resultfile::grid();

    s.ILB = 1;
    s.IRB = g.NX;
    s.JVB = 1;
    s.JHB = g.NY;
    float ax = static_cast<float>(g.NX * static_cast<double>(g.DX));
    float ay = static_cast<float>(g.NY * static_cast<double>(g.DY));
    if (s.window) {
        // A window beside the grid would become a one-cell plot or stop in
        // ICALCB: typed at the prompt it is asked again, from the command line
        // the run stops naming the grid's extent.
        while (!window_on_grid(s, g)) {
            using platform::format_real;
            const std::string window = format_real(s.window_x_from) + "," + format_real(s.window_x_to) + "," +
                                       format_real(s.window_y_from) + "," + format_real(s.window_y_to);
            if (!s.window_typed)
                platform::fatal(ROUTINE, "Ausschnitt /x:" + window + " liegt nicht im Gitter (" + grid_extent(g) + ")");
            con.line(" Ausschnitt " + window + " liegt nicht im Gitter (" + grid_extent(g) + ")");
            ask_window(s);
        }
        s.ILB = window_index(s.window_x_from, g.XMIN, g.NX, &resultfile::Grid::face_x);
        s.IRB = window_index(s.window_x_to, g.XMIN, g.NX, &resultfile::Grid::face_x);
        s.JVB = window_index(s.window_y_from, g.YMIN, g.NY, &resultfile::Grid::face_y);
        s.JHB = window_index(s.window_y_to, g.YMIN, g.NY, &resultfile::Grid::face_y);
        using platform::format_real;
        con.line(" Ausschnitt x,y: " + format_real(s.window_x_from) + " " + format_real(s.window_x_to) + " " +
                 format_real(s.window_y_from) + " " + format_real(s.window_y_to));
        con.line(" Ausschnitt i,j: " + std::to_string(s.ILB) + " " + std::to_string(s.IRB) + " " +
                 std::to_string(s.JVB) + " " + std::to_string(s.JHB));
        ax = static_cast<float>(s.window_x_to - s.window_x_from);
        ay = static_cast<float>(s.window_y_to - s.window_y_from);
    }

    if (s.DEBUG) {
        con.prompt(" weiter mit <Eingabe> ");
        con.read_line();
    }

    s.PDF_FILE = platform::find_file("MURAL.INI") ? "MURAL.INI" : "PLTDEF.INI";
    std::string plot_file;
    std::string formats;
    // What the layout file gives is kept apart from the defaults: a size
    // asked for is drawn as asked or refused, a default one may shrink.
    float width = NAN, height = NAN;
    DEFPAR(s.PDF_FILE, width, height, s.XN, s.YN, s.ZH, s.font, plot_file, s.PAL_FILE, &formats);
    const bool width_given = !std::isnan(width), height_given = !std::isnan(height);
    if (width_given) s.XLEN = width;
    if (height_given) s.YLEN = height;
    // The option holds over the layout file.
    if (s.GR.empty() && !formats.empty()) s.GR = picture_formats(formats, "gr");
    if (s.PLT_FILE.empty()) s.PLT_FILE = plot_file.empty() ? "MURAL.PLT" : plot_file;

    check_layout_values(s);
    const Settings asked = s;
    if (choose_page(s, ax, ay)) {
        // Only a height that follows from a default width may shrink to the page.
        const bool height_asked = height_given && (asked.XLEN >= 140.0f ? asked.YLEN >= 140.0f : asked.YLEN > 0.0f);
        const std::string room = "über dem Nullpunkt yn=" + platform::format_real(s.YN) + " bleiben auf dem Blatt " +
                                 platform::format_real(s.YLEN) + " mm";
        if (height_asked)
            refuse_layout(s, "ay", asked.YLEN, "die Zeichnung ist höher als das Blatt, " + room);
        if (width_given)
            refuse_layout(s, "ax", asked.XLEN,
                          "die Zeichnung wäre bei dieser Breite " +
                              platform::format_real(asked.XLEN * ay / ax) +
                              " mm hoch, " + room + " (kleinere Breite oder die Höhe ay angeben)");
        con.line(" MURAL-I-Zeichnung auf " + platform::format_real(s.XLEN) + " x " + platform::format_real(s.YLEN) +
                 " mm verkleinert, damit sie auf das Blatt passt");
    }
    check_plot_on_page(s);

    con.line(" Titel:" + trimmed(s.title));
    s.description.clear();
    if (s.interactive) {
        con.prompt(" Kurzbeschreibung: ");
        s.description = trimmed(con.read_line().substr(0, 80));
    }
    if (s.description.empty()) s.description = trimmed(s.title);
}

int run_mural() {
    reset_run();
    auto& con = platform::console();
    for (const std::string& arg : platform::arguments()) {
        if (arg == "--help") {
            print_usage();
            return 0;
        }
        if (arg == "--version") {
            con.line(banner_line());
            return 0;
        }
    }

    print_banner();
    warn_unknown_code_page();
    if (NARGC() == 0) {
        print_usage();
        return 0;
    }
    Settings& s = settings();
    GETFLN(s.FILE, ".ERG", "");
    if (s.FILE.empty()) {
        print_usage();
        platform::fatal(ROUTINE, "keine Ergebnisdatei angegeben");
    }
    evaluate_options();
    read_background_definition();
    read_model();
    prepare_plot_settings();
    check_outputs();
    // The flux through a wall instead of a picture.
    if (s.WANDF) {
        evaluation::EVAFLX(resultfile::model_fields().U, s.FILE, s.PLT_FILE);
        finish_outputs();
        return 0;
    }
    const int status = run_dialogue();
    finish_outputs();
    return status;
}

}  // namespace driver
