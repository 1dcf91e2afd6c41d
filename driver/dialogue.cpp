// The dialogue after the start-up:
//   1 obstacle representation (asked only with "/n"), default "DB"
//   2 picture letter, from the menu of a wind or a diffusion-coefficient run
//   3 section: I (column), J (row), K (level) or M (layers above the ground)
//      with its index; another letter or index 0 ends the run
//   4 terrain-following section: ground level of each column from the
//     orographic obstacles
//   5..7 title, section set-up with axis ranges and plot size, page check
// then the plot: set-up, picture, overlays, frame, end.
#include "driver/comparison.h"
#include "driver/dialogue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "contour/scalar_field.h"
#include "driver/settings.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "resultfile/sections.h"
#include "velin/velin.h"

namespace driver {

namespace {

constexpr char ROUTINE[] = "MURAL";

using platform::fixed;

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The first two characters of an answer, leading blanks skipped.
std::string two_characters(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first, 2);
}

// A step of 1, 2 or 5 times a power of ten that divides the range into about five parts.
float axis_step(float from, float to) {
    double range = std::fabs(double(to) - from);
    if (!(range > 0.0)) return 1.0f;
    double raw = range / 5.0;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double unit = raw / power;
    double step = unit < 1.5 ? 1.0 : unit < 3.5 ? 2.0 : unit < 7.5 ? 5.0 : 10.0;
    return static_cast<float>(step * power);
}


// The cells of the section that the picture draws, and the fields it takes
// there: all that is read of the fields of a large run.
void read_picture_section() {
    const Settings& s = settings();
    const Dialogue& d = dialogue();
    const resultfile::Grid& g = resultfile::grid();
    platform::IndexBox cells{s.ILB, s.IRB, s.JVB, s.JHB, 1, g.NZ};
    if (d.IS == 1) cells.i0 = cells.i1 = d.LCUT;
    if (d.IS == 2) cells.j0 = cells.j1 = d.LCUT;
    if (d.IS == 3 && !d.terrain) cells.k0 = cells.k1 = d.LCUT;
    if (d.IS == 3 && d.terrain) {
        // The layers above the ground of the window's columns and of those
        // beside it (a face between two columns follows the higher ground).
        int low = g.NZ, high = 0;
        for (int j = std::max(s.JVB - 1, 1); j <= std::min(s.JHB + 1, g.NY); ++j)
            for (int i = std::max(s.ILB - 1, 1); i <= std::min(s.IRB + 1, g.NX); ++i)
                low = std::min(low, d.KGEL(i, j)), high = std::max(high, d.KGEL(i, j));
        cells.k0 = std::min(low + d.LCUT, g.NZ);
        cells.k1 = std::min(high + d.LCUT, g.NZ);
    }
    using resultfile::kXFaces, resultfile::kYFaces, resultfile::kZFaces;
    unsigned fields = resultfile::kAllFaces;
    if (d.letter == 'W' || d.letter == 'K') fields = kZFaces;
    if (d.letter == 'F' || d.letter == 'G' || (d.IS == 3 && (d.VEKT || d.STRM || d.TRAJ))) fields = kXFaces | kYFaces;
    resultfile::read_section(cells, fields);
}

}  // namespace

Dialogue& dialogue() {
    static Dialogue instance;
    return instance;
}

void reset_dialogue() { dialogue() = Dialogue(); }

void choose_obstacles() {
    Settings& s = settings();
    Dialogue& d = dialogue();
    auto& con = platform::console();
    d.obstacle_answer = "DB";
    if (s.interactive) {
        con.line(" O-Originalhindernisse");
        con.line(" D-diskr.Hindernisse (default)");
        con.line(" B-Landnutzung");
        con.line(" K-keine Hindernisse");
        con.prompt(" ===> ");
        std::string answer = upper(two_characters(con.read_line()));
        if (!answer.empty()) d.obstacle_answer = answer;
    }
    if (d.obstacle_answer.find('O') != std::string::npos) s.BORG = true;
    if (d.obstacle_answer.find('K') != std::string::npos) s.NOBU = true;
    d.LAND = d.obstacle_answer.find('B') != std::string::npos && !s.BGN_FILE.empty();
}

bool choose_picture() {
    Settings& s = settings();
    Dialogue& d = dialogue();
    auto& con = platform::console();
    const bool coefficients = !s.DIF_FILE.empty();
    if (coefficients) {
        con.line(" Ausgabeart:");
        con.line(" K[I]\t- Diffusionskoeffizienten");
        con.line(" E\t- Ende");
    } else {
        con.line(" ===== Art der Darstellung ======");
        con.line(" vektorielle Größen");
        con.line("  S\t- Stromliniendarstellung");
        con.line("  T\t- Trajektoriendarstellung");
        con.line("  V\t- Vektorpfeildarstellung");
        con.line(" skalare Größen (I für Isolinien, default Rasterdarstellung)");
        con.line("  F[I]\t- Isotachen der Horizontalkomponente");
        con.line("  W[I]\t- Isotachen der Vertikalkomponente");
        con.line("  G[I]\t- Geschwindigkeitsabweichung zur Anströmung");
        con.line("  D[I]\t- Divergenzfeld");
        con.line("  E\t- Ende");
    }
    con.prompt(" =============> ");
    const std::string answer = two_characters(con.read_line());
    d.letter = answer.empty() ? ' ' : upper(answer.substr(0, 1))[0];
    d.ISOL = answer.size() > 1 && (answer[1] == 'I' || answer[1] == 'i');
    // Only the letters of the menu shown count; comparisons need a second result file.
    const std::string offered = coefficients ? "K" : s.COMP ? "STVFWGDXYC" : "STVFWGD";
    if (d.letter == ' ' || offered.find(d.letter) == std::string::npos) {
        if (d.letter != 'E') con.line(std::string(" Unbekannte Darstellungsart: ") + (answer.empty() ? "" : answer));
        return false;
    }
    d.STRM = d.letter == 'S';
    d.TRAJ = d.letter == 'T';
    d.VEKT = d.letter == 'V' || d.letter == 'Y';
    d.horizontal = std::string("FXGC").find(d.letter) != std::string::npos;
    d.deviation = d.letter == 'G' || d.letter == 'C';
    d.vertical = d.letter == 'W';
    d.DIVI = d.letter == 'D';
    d.DIFK = d.letter == 'K';
    d.COMP = std::string("XYC").find(d.letter) != std::string::npos;
    return true;
}

bool choose_section() {
    Dialogue& d = dialogue();
    const resultfile::Grid& g = resultfile::grid();
    auto& con = platform::console();
    const bool wide = std::max(g.NX, g.NY) >= 100;
    for (;;) {
        con.prompt(wide ? " XY (Kiii,Miii), XZ (Jiii), YZ (Iiii) Schnitt> " : " XY (Kii,Mii), XZ (Jii), YZ (Iii) Schnitt> ");
        const std::string line = con.read_line();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const char letter = upper(line.substr(first, 1))[0];
        // The index: the digits after the letter, blanks ignored; none is 0.
        std::string digits;
        bool readable = true;
        for (char c : line.substr(first + 1)) {
            if (c == ' ' || c == '\t') continue;
            if (c < '0' || c > '9' || digits.size() >= 6) readable = false;
            digits += c;
        }
        if (!readable) {
            con.line(" Schnitt nicht lesbar: " + line);
            continue;
        }
        const int index = digits.empty() ? 0 : std::stoi(digits);
        if (std::string("IJKM").find(letter) == std::string::npos || index == 0) return false;
        const int limit = letter == 'I' ? g.NX : letter == 'J' ? g.NY : g.NZ;
        if (index > limit) {
            con.line(std::string(" Schnitt ") + letter + std::to_string(index) + " liegt außerhalb des Gitters (1 bis " +
                     std::to_string(limit) + ")");
            continue;
        }
        d.IS = letter == 'I' ? 1 : letter == 'J' ? 2 : 3;
        d.terrain = letter == 'M';
        d.LCUT = index;
        return true;
    }
}

void build_terrain_levels() {
    Dialogue& d = dialogue();
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ObstacleList& ob = resultfile::obstacles();
    d.KGEL.resize(g.NX, g.NY, 0);
    for (int kb = ob.nb + 1; kb <= ob.nb + ob.no; ++kb)
        for (int j = ob.JGA(kb); j <= ob.JGE(kb); ++j)
            for (int i = ob.IGA(kb); i <= ob.IGE(kb); ++i) d.KGEL(i, j) = std::max<int>(d.KGEL(i, j), ob.KGE(kb));
    auto [lo, hi] = std::minmax_element(d.KGEL.span().begin(), d.KGEL.span().end());
    auto& con = platform::console();
    con.line("  Orgraphiedaten aufbereiten, NO=" + std::to_string(ob.no));
    con.line("MinMax KGEL: " + std::to_string(*lo) + " " + std::to_string(*hi));
}

bool set_up_section(bool later) {
    Settings& s = settings();
    Dialogue& d = dialogue();
    const resultfile::Grid& g = resultfile::grid();
    auto& con = platform::console();
    d.GX = s.XLEN;
    d.GY = s.YLEN;
    if (d.IS == 1 || d.IS == 2) {
        const bool column = d.IS == 1;
        const double at = column ? double(g.XMIN) + g.centre_x(d.LCUT) : double(g.YMIN) + g.centre_y(d.LCUT);
        d.section_text = std::string("Vertikalschnitt bei ") + (column ? "x=" : "y=") + fixed(at, 0, 1) + " m";
        con.line(std::string(" Vertikalschnitt bei ") + (column ? "x=" : "y=") + fixed(at, 8, 1));
        // Plot coordinates: relative to the grid's corner.
        d.XA = column ? g.face_y(s.JVB) : g.face_x(s.ILB);
        d.XE = column ? g.face_y(s.JHB + 1) : g.face_x(s.IRB + 1);
        const float top = g.ZW(g.NZ + 1);
        d.PZMAX = 0.0f;
        if (s.interactive) {
            con.prompt(" max. vert. Ausdehnung: ");
            std::vector<std::optional<double>> values;
            if (platform::parse_reals(con.read_line(), values, 1) && !values.empty() && values[0])
                d.PZMAX = static_cast<float>(*values[0]);
        }
        if (d.PZMAX <= 0.0f) d.PZMAX = top;
        const float shown = std::min(top, d.PZMAX);
        d.YA = 0.0f;
        d.YE = shown;
        d.exaggeration = contour::UEBERH();
        d.GY = d.GX * shown * d.exaggeration / (d.XE - d.XA);
    } else {
        d.XA = g.face_x(s.ILB);
        d.XE = g.face_x(s.IRB + 1);
        d.YA = g.face_y(s.JVB);
        d.YE = g.face_y(s.JHB + 1);
        if (d.terrain) {
            d.section_text = std::to_string(d.LCUT) + " Schichten über Grund";
            con.line(" Horizontalschnitt " + std::to_string(d.LCUT) + " Schichten über Grund");
        } else {
            // The vertical wind of a level lies on the face below it.
            const float z = d.letter == 'W' ? g.ZW(d.LCUT) : g.ZL(d.LCUT);
            d.section_text = "Horizontalschnitt bei z=" + fixed(z, 0, 1) + " m";
            con.line(" Horizontalschnitt bei z=" + fixed(z, 8, 1));
        }
        con.line(" Ausschnitt MX,MY:" + std::to_string(s.IRB - s.ILB + 1) + " " + std::to_string(s.JHB - s.JVB + 1));
        con.line(" X-Achse:" + fixed(double(g.XMIN) + d.XA, 10, 1) + fixed(double(g.XMIN) + d.XE, 10, 1));
        con.line(" Y-Achse:" + fixed(double(g.YMIN) + d.YA, 10, 1) + fixed(double(g.YMIN) + d.YE, 10, 1));
    }
    d.XS = axis_step(d.XA, d.XE);
    d.YS = axis_step(d.YA, d.YE);
    // A short description carries the section behind it.
    d.plot_title = s.description.empty() ? d.section_text : s.description + " / " + d.section_text;
    // A scalar picture names its quantity.
    const std::string quantity = scalar_quantity(d.letter, d.IS);
    if (!quantity.empty()) d.plot_title += " - " + quantity;
    con.line(" Titel: " + d.plot_title);
    if (d.GY + s.YN > 260.0f) {
        // A further picture that does not fit ends the series; those drawn stay.
        if (!later) platform::fatal(ROUTINE, "Zeichnung in y-Richtung zu groß!");
        con.line(" MURAL-W-Zeichnung in y-Richtung zu groß! Keine weiteren Bilder auf dieser Seite");
        return false;
    }
    return true;
}

}  // namespace driver

namespace driver {

int run_dialogue() {
    Settings& s = settings();
    Dialogue& d = dialogue();
    choose_obstacles();
    // The plot file is only written once a plot has begun.
    if (!choose_picture()) {
        velin::DONEPL();
        return 0;
    }
    if (d.COMP) read_comparison();
    // The delivered program draws one picture; the evaluation build draws
    // further pictures of the same kind above it on the same plot until the
    // section prompt is ended or the page is full.
    for (int pass = 0;; ++pass) {
        const bool later = pass > 0;
        if (later) {
            // Answers that end after a picture end the series; the pictures stay.
            try {
                if (!choose_section()) break;
            } catch (const platform::Fatal&) {
                platform::console().line(" Ende der Eingabe: keine weiteren Bilder");
                break;
            }
        } else if (!choose_section()) {
            break;
        }
        if (d.DIVI && d.IS != 3) {
            if (!later) platform::fatal(ROUTINE, "DIV nicht implementiert");
            platform::console().line(" DIV nicht implementiert");
            break;
        }
        // The next picture stands 25 mm above the one before.
        if (later) s.YN += d.GY + 25.0f;
        if (d.terrain) build_terrain_levels();
        read_picture_section();
        if (!set_up_section(later)) break;
        draw_picture(!later);
        if (TRZ) break;
    }
    velin::DONEPL();
    return 0;
}

}  // namespace driver
