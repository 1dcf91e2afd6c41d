// Start-up of a run, in this order: banner; without arguments the usage text
// and the end; the result file name; the options; the diffusion-coefficient
// file and the result file that belongs to it; the model, read in the order
// that the readers enforce (header, dimensions, grid, inflow, then either the
// three wind components or the three diffusion coefficients).
#include "driver/startup.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "driver/cmdline.h"
#include "driver/dialogue.h"
#include "driver/layout.h"
#include "driver/settings.h"
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
#include "resultfile/obstacles.h"

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
    s.window_x_from = static_cast<float>(*values[0]);
    s.window_x_to = static_cast<float>(*values[1]);
    s.window_y_from = static_cast<float>(*values[2]);
    s.window_y_to = static_cast<float>(*values[3]);
    return s.window_x_from < s.window_x_to && s.window_y_from < s.window_y_to;
}

// The value of an option, or the answer to its prompt when the value is empty.
std::string option_value(int iarg, std::string_view prompt) {
    std::string value;
    int len = 0;
    GETCARG(iarg, value, len);
    if (len > 0) return value;
    auto& con = platform::console();
    con.prompt(prompt);
    return trimmed(con.read_line());
}

}  // namespace

Settings& settings() {
    static Settings instance;
    return instance;
}

void reset_settings() { settings() = Settings(); }

std::string banner_line() {
    char version[16];
    std::snprintf(version, sizeof version, "%.2f", static_cast<double>(kProgramVersion));
    std::string banner = std::string(" ## MURAL V") + version;
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
    }

    s.window = TSTOPT("/x", iarg, 1, 2);
    if (s.window) {
        std::string arg;
        int len = 0;
        GETARG(iarg, arg, len);
        // Asked for until there are four numbers with from < to in x and in y.
        if (len < 5 || !parse_window(std::string_view(arg).substr(3), s)) {
            for (;;) {
                con.prompt(" Xvon,Xbis,Yvon,Ybis: ");
                if (parse_window(con.read_line(), s)) break;
            }
        }
    }

    s.PLT_FILE.clear();
    if (TSTOPT("/p", iarg, 1, 2)) s.PLT_FILE = option_value(iarg, " Plotdatei: ");

    s.MULTI = TSTOPT("/$", iarg, 1, 2) && !TRZ;
    if (s.MULTI) s.MUL_FILE = option_value(iarg, " Multi_datei: ");
    s.COMP = TSTOPT("/v", iarg, 1, 2) && !TRZ;
    if (s.COMP) s.VFILE = option_value(iarg, " Vergleichsdatei: ");
    s.WANDF = TSTOPT("/w", iarg, 1, 2) && !TRZ;
}

void read_model() {
    Settings& s = settings();
    auto& con = platform::console();
    namespace rf = resultfile;

    if (!platform::has_extension(s.FILE)) s.FILE += ".ERG";
    const std::string ext = lower(platform::extension_of(s.FILE));
    s.dif_code = ext == ".dif" ? 1 : ext == ".dkm" ? 2 : 0;
    if (s.dif_code != 0) {
        con.line(" Diffusionskoeffizienten, IT=" + std::to_string(s.dif_code));
        s.DIF_FILE = s.FILE;
        s.FILE = platform::with_extension(s.FILE, ".ERG");
        if (s.dif_code == 2) {
            std::string name(platform::file_name_part(s.DIF_FILE));
            name = name.substr(0, name.size() - platform::extension_of(name).size()).substr(0, 74);
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
    if (s.dif_code != 2) s.title = rs.TITEL;
    int NX = 0, NY = 0, NZ = 0, kGrid = 0;
    rf::GET_DIM(NX, NY, NZ, kGrid);
    con.line(" Dimensionierung NX,NY,NZ: " + std::to_string(NX) + " " + std::to_string(NY) + " " + std::to_string(NZ));
    rf::GET_GRID();
    rf::GET_ANS();

    // The three fields, on the x, y and z faces in turn.
    rf::ModelFields& m = rf::model_fields();
    auto read_fields = [&](auto read, platform::Field3D<float>& fx, platform::Field3D<float>& fy,
                           platform::Field3D<float>& fz) {
        fx.resize(NX + kGrid, NY, NZ);
        read(fx.span(), NX + kGrid, NY, NZ);
        fy.resize(NX, NY + kGrid, NZ);
        read(fy.span(), NX, NY + kGrid, NZ);
        fz.resize(NX, NY, NZ + kGrid);
        read(fz.span(), NX, NY, NZ + kGrid);
    };
    if (!s.DIF_FILE.empty()) {
        rf::GET_DIF(s.DIF_FILE);
        read_fields(rf::GET_KKK, m.KX, m.KY, m.KZ);
        if (s.dif_code == 1) {
            s.title.resize(6, ' ');
            s.title += trimmed(s.DIF_FILE).substr(0, 74);
        }
    } else {
        read_fields(rf::GET_UVW, m.U, m.V, m.W);
    }
    rf::GET_HAUS();
}

void read_background_definition() {
    Settings& s = settings();
    auto& con = platform::console();
    const std::string name = "LESDIG.DEF";
    // Without a definition there is no background; "B" then selects nothing.
    s.BGN_FILE.clear();
    if (!platform::find_file(name)) {
        con.line(" - keine Beschreibungsdatei " + name + " vorhanden");
        return;
    }
    con.line(" - Beschreibungsdatei " + name + " vorhanden: Hintergrundkarten werden noch nicht gezeichnet");
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

void choose_page(Settings& s, float ax, float ay) {
    // The plot keeps the aspect of the area drawn; the page follows from its size.
    if (s.XLEN >= 140.0f) {
        if (s.YLEN < 140.0f) s.YLEN = s.XLEN * ay / ax;
    } else {
        s.XLEN = s.YLEN * ax / ay;
    }
    s.PFORMAT = (s.YLEN <= s.XLEN && s.XLEN > 290.0f) ? "DINA4Q" : "DINA4H";
    const float usable = (s.PFORMAT == "DINA4Q" ? 190.0f : 260.0f) - s.YN;
    if (s.YLEN > usable) {
        s.YLEN = usable;
        s.XLEN = s.YLEN * ax / ay;
    }
}

void prepare_plot_settings() {
    Settings& s = settings();
    auto& con = platform::console();
    const resultfile::Grid& g = resultfile::grid();

    s.ILB = 1;
    s.IRB = g.NX;
    s.JVB = 1;
    s.JHB = g.NY;
    float ax = g.XMAX - g.XMIN, ay = g.YMAX - g.YMIN;
    if (s.window) {
        s.ILB = ICALCB(s.window_x_from, g.XU, g.NX);
        s.IRB = ICALCB(s.window_x_to, g.XU, g.NX);
        s.JVB = ICALCB(s.window_y_from, g.YV, g.NY);
        s.JHB = ICALCB(s.window_y_to, g.YV, g.NY);
        using platform::format_real;
        con.line(" Ausschnitt x,y: " + format_real(s.window_x_from) + " " + format_real(s.window_x_to) + " " +
                 format_real(s.window_y_from) + " " + format_real(s.window_y_to));
        con.line(" Ausschnitt i,j: " + std::to_string(s.ILB) + " " + std::to_string(s.IRB) + " " +
                 std::to_string(s.JVB) + " " + std::to_string(s.JHB));
        ax = s.window_x_to - s.window_x_from;
        ay = s.window_y_to - s.window_y_from;
    }

    if (s.DEBUG) {
        con.prompt(" weiter mit <Eingabe> ");
        con.read_line();
    }

    s.PDF_FILE = platform::find_file("MURAL.INI") ? "MURAL.INI" : "PLTDEF.INI";
    std::string plot_file;
    DEFPAR(s.PDF_FILE, s.XLEN, s.YLEN, s.XN, s.YN, s.ZH, s.font, plot_file, s.PAL_FILE);
    if (s.PLT_FILE.empty()) s.PLT_FILE = plot_file.empty() ? "MURAL.PLT" : plot_file;

    choose_page(s, ax, ay);

    con.line(" Titel:" + platform::to_utf8(trimmed(s.title)));
    s.description.clear();
    if (s.interactive) {
        con.prompt(" Kurzbeschreibung: ");
        s.description = trimmed(con.read_line().substr(0, 80));
    }
    if (s.description.empty()) s.description = platform::to_utf8(trimmed(s.title));
}

int run_mural() {
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
    return run_dialogue();
}

}  // namespace driver
