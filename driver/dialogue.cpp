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
#include <optional>
#include <string_view>
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

// The cells of the section that the picture draws, and the fields it takes
// there: all that is read of the fields of a large run.
void read_picture_section(const Picture& p) {
    const Settings& s = settings();
    const Section& sec = p.section;
    const resultfile::Grid& g = resultfile::grid();
    platform::IndexBox cells{s.ILB, s.IRB, s.JVB, s.JHB, 1, g.NZ};
    if (sec.IS == 1) cells.i0 = cells.i1 = sec.LCUT;
    if (sec.IS == 2) cells.j0 = cells.j1 = sec.LCUT;
    if (sec.level() && !sec.terrain) cells.k0 = cells.k1 = sec.LCUT;
    if (sec.level() && sec.terrain) {
        // The layers above the ground of the window's columns and of those
        // beside it (a face between two columns follows the higher ground).
        int low = g.NZ, high = 0;
        for (int j = std::max(s.JVB - 1, 1); j <= std::min(s.JHB + 1, g.NY); ++j)
            for (int i = std::max(s.ILB - 1, 1); i <= std::min(s.IRB + 1, g.NX); ++i)
                low = std::min(low, sec.KGEL(i, j)), high = std::max(high, sec.KGEL(i, j));
        cells.k0 = std::min(low + sec.LCUT, g.NZ);
        cells.k1 = std::min(high + sec.LCUT, g.NZ);
    }
    using resultfile::kXFaces, resultfile::kYFaces, resultfile::kZFaces;
    unsigned fields = resultfile::kAllFaces;
    if (p.letter == 'W' || p.letter == 'K') fields = kZFaces;
    if (p.letter == 'F' || p.letter == 'G' || (sec.level() && p.flow())) fields = kXFaces | kYFaces;
    resultfile::read_section(cells, fields);
}

}  // namespace

int Section::layer_at(int i, int j, int NZ) const { return terrain ? std::min(KGEL(i, j) + LCUT, NZ) : LCUT; }

int section_layers(const resultfile::Grid& g, float height) {
    int n = 1;
    while (n < g.NZ && g.ZL(n + 1) <= height) ++n;
    return n;
}

ObstacleChoice choose_obstacles(const Settings& s) {
    auto& con = platform::console();
    std::string answer = "DB";
    if (s.interactive) {
        con.line(" O-Originalhindernisse");
        con.line(" D-diskr.Hindernisse (default)");
        con.line(" B-Landnutzung");
        con.line(" K-keine Hindernisse");
        con.prompt(" ===> ");
        std::string given = upper(two_characters(con.read_line()));
        if (!given.empty()) answer = given;
    }
    ObstacleChoice c;
    c.BORG = s.BORG || answer.find('O') != std::string::npos;
    c.NOBU = s.NOBU || answer.find('K') != std::string::npos;
    c.LAND = answer.find('B') != std::string::npos && !s.BGN_FILE.empty();
    return c;
}

bool choose_picture(Picture& p) {
    const Settings& s = settings();
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
    p.letter = answer.empty() ? ' ' : upper(answer.substr(0, 1))[0];
    p.ISOL = answer.size() > 1 && (answer[1] == 'I' || answer[1] == 'i');
    // Only the letters of the menu shown count; comparisons need a second result file.
    const std::string offered = coefficients ? "K" : s.COMP ? "STVFWGDXYC" : "STVFWGD";
    if (p.letter == ' ' || offered.find(p.letter) == std::string::npos) {
        if (p.letter != 'E') con.line(std::string(" Unbekannte Darstellungsart: ") + (answer.empty() ? "" : answer));
        return false;
    }
    p.STRM = p.letter == 'S';
    p.TRAJ = p.letter == 'T';
    p.VEKT = p.letter == 'V' || p.letter == 'Y';
    p.DIVI = p.letter == 'D';
    p.COMP = std::string("XYC").find(p.letter) != std::string::npos;
    return true;
}

bool choose_section(Section& sec) {
    const resultfile::Grid& g = resultfile::grid();
    auto& con = platform::console();
    const bool wide = std::max(g.NX, g.NY) >= 100;
    struct Answer {
        char letter;
        int index;  // 0: the dialogue ends
    };
    // An empty line, an unreadable index or one beyond the grid is asked again.
    auto section = [&](std::string_view line) -> std::optional<Answer> {
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) return std::nullopt;
        const char letter = upper(std::string(line.substr(first, 1)))[0];
        // The index: the digits after the letter, blanks ignored; none is 0.
        std::string digits;
        bool readable = true;
        for (char c : line.substr(first + 1)) {
            if (c == ' ' || c == '\t') continue;
            if (c < '0' || c > '9' || digits.size() >= 6) readable = false;
            digits += c;
        }
        if (!readable) {
            con.line(" Schnitt nicht lesbar: " + std::string(line));
            return std::nullopt;
        }
        const int index = digits.empty() ? 0 : std::stoi(digits);
        if (std::string("IJKM").find(letter) == std::string::npos || index == 0) return Answer{letter, 0};
        const int limit = letter == 'I' ? g.NX : letter == 'J' ? g.NY : g.NZ;
        if (index > limit) {
            con.line(std::string(" Schnitt ") + letter + std::to_string(index) + " liegt außerhalb des Gitters (1 bis " +
                     std::to_string(limit) + ")");
            return std::nullopt;
        }
        return Answer{letter, index};
    };
    const Answer a = platform::ask_until(
        wide ? " XY (Kiii,Miii), XZ (Jiii), YZ (Iiii) Schnitt> " : " XY (Kii,Mii), XZ (Jii), YZ (Iii) Schnitt> ", section);
    if (a.index == 0) return false;
    sec.IS = a.letter == 'I' ? 1 : a.letter == 'J' ? 2 : 3;
    sec.terrain = a.letter == 'M';
    sec.LCUT = a.index;
    return true;
}

void build_terrain_levels(Section& sec) {
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ObstacleList& ob = resultfile::obstacles();
    sec.KGEL.resize(g.NX, g.NY, 0);
    for (int kb = ob.nb + 1; kb <= ob.nb + ob.no; ++kb)
        for (int j = ob.JGA(kb); j <= ob.JGE(kb); ++j)
            for (int i = ob.IGA(kb); i <= ob.IGE(kb); ++i)
                sec.KGEL(i, j) = std::max<int>(sec.KGEL(i, j), ob.KGE(kb));
    auto [lo, hi] = std::minmax_element(sec.KGEL.span().begin(), sec.KGEL.span().end());
    auto& con = platform::console();
    con.line("  Orgraphiedaten aufbereiten, NO=" + std::to_string(ob.no));
    con.line("MinMax KGEL: " + std::to_string(*lo) + " " + std::to_string(*hi));
}

namespace {

// A vertical section: the window along it, the height shown (asked with
// "/n"), its layers and the plot height with the vertical exaggeration.
void set_up_vertical(Picture& p) {
    const Settings& s = settings();
    const resultfile::Grid& g = resultfile::grid();
    auto& con = platform::console();
    Section& sec = p.section;
    const bool column = sec.IS == 1;
    const double at = column ? double(g.XMIN) + g.centre_x(sec.LCUT) : double(g.YMIN) + g.centre_y(sec.LCUT);
    p.section_text = std::string("Vertikalschnitt bei ") + (column ? "x=" : "y=") + fixed(at, 0, 1) + " m";
    con.line(std::string(" Vertikalschnitt bei ") + (column ? "x=" : "y=") + fixed(at, 8, 1));
    // Plot coordinates: relative to the grid's corner.
    sec.XA = column ? g.face_y(sec.JVB) : g.face_x(sec.ILB);
    sec.XE = column ? g.face_y(sec.JHB + 1) : g.face_x(sec.IRB + 1);
    const float top = g.ZW(g.NZ + 1);
    sec.PZMAX = 0.0f;
    if (s.interactive) {
        con.prompt(" max. vert. Ausdehnung: ");
        if (const std::optional<double> height = platform::first_real(con.read_line()))
            sec.PZMAX = static_cast<float>(*height);
    }
    if (sec.PZMAX <= 0.0f) sec.PZMAX = top;
    const float shown = std::min(top, sec.PZMAX);
    sec.YA = 0.0f;
    sec.YE = shown;
    sec.layers = section_layers(g, shown);
    sec.exaggeration = contour::UEBERH();
    p.GY = p.GX * shown * sec.exaggeration / (sec.XE - sec.XA);
}

void set_up_level(Picture& p) {
    const resultfile::Grid& g = resultfile::grid();
    auto& con = platform::console();
    Section& sec = p.section;
    sec.XA = g.face_x(sec.ILB);
    sec.XE = g.face_x(sec.IRB + 1);
    sec.YA = g.face_y(sec.JVB);
    sec.YE = g.face_y(sec.JHB + 1);
    if (sec.terrain) {
        p.section_text = std::to_string(sec.LCUT) + " Schichten über Grund";
        con.line(" Horizontalschnitt " + std::to_string(sec.LCUT) + " Schichten über Grund");
    } else {
        // The vertical wind of a level lies on the face below it.
        const float z = p.letter == 'W' ? g.ZW(sec.LCUT) : g.ZL(sec.LCUT);
        p.section_text = "Horizontalschnitt bei z=" + fixed(z, 0, 1) + " m";
        con.line(" Horizontalschnitt bei z=" + fixed(z, 8, 1));
    }
    con.line(" Ausschnitt MX,MY:" + std::to_string(sec.cells_x()) + " " + std::to_string(sec.cells_y()));
    con.line(" X-Achse:" + fixed(double(g.XMIN) + sec.XA, 10, 1) + fixed(double(g.XMIN) + sec.XE, 10, 1));
    con.line(" Y-Achse:" + fixed(double(g.YMIN) + sec.YA, 10, 1) + fixed(double(g.YMIN) + sec.YE, 10, 1));
}

}  // namespace

bool set_up_section(Picture& p, bool later) {
    const Settings& s = settings();
    auto& con = platform::console();
    Section& sec = p.section;
    sec.ILB = s.ILB;
    sec.IRB = s.IRB;
    sec.JVB = s.JVB;
    sec.JHB = s.JHB;
    p.GX = s.XLEN;
    p.GY = s.YLEN;
    if (sec.vertical()) set_up_vertical(p);
    else set_up_level(p);
    sec.XS = velin::axis_step(sec.XE - sec.XA);
    sec.YS = velin::axis_step(sec.YE - sec.YA);
    // A short description carries the section behind it.
    p.plot_title = s.description.empty() ? p.section_text : s.description + " / " + p.section_text;
    // A scalar picture names its quantity.
    const std::string quantity = scalar_quantity(p.letter, sec.IS);
    if (!quantity.empty()) p.plot_title += " - " + quantity;
    con.line(" Titel: " + p.plot_title);
    if (p.GY + p.YN > 260.0f) {
        // A further picture that does not fit ends the series; those drawn stay.
        if (!later) platform::fatal(ROUTINE, "Zeichnung in y-Richtung zu groß!");
        con.line(" MURAL-W-Zeichnung in y-Richtung zu groß! Keine weiteren Bilder auf dieser Seite");
        return false;
    }
    return true;
}

int run_dialogue() {
    const Settings& s = settings();
    Picture kind;
    kind.obstacles = choose_obstacles(s);
    // The plot file is only written once a plot has begun.
    if (!choose_picture(kind)) {
        velin::DONEPL();
        return 0;
    }
    if (kind.COMP) read_comparison();
    // The delivered program draws one picture; the evaluation build draws
    // further pictures of the same kind above it on the same plot until the
    // section prompt is ended or the page is full.
    float YN = s.YN, previous_height = 0.0f;
    for (int pass = 0;; ++pass) {
        const bool later = pass > 0;
        Picture p = kind;
        if (later) {
            // Answers that end after a picture end the series; the pictures stay.
            try {
                if (!choose_section(p.section)) break;
            } catch (const platform::Fatal&) {
                platform::console().line(" Ende der Eingabe: keine weiteren Bilder");
                break;
            }
        } else if (!choose_section(p.section)) {
            break;
        }
        if (p.DIVI && !p.section.level()) {
            if (!later) platform::fatal(ROUTINE, "DIV nicht implementiert");
            platform::console().line(" DIV nicht implementiert");
            break;
        }
        // The next picture stands 25 mm above the one before.
        if (later) YN += previous_height + 25.0f;
        p.YN = YN;
        if (p.section.terrain) build_terrain_levels(p.section);
        read_picture_section(p);
        if (!set_up_section(p, later)) break;
        draw_picture(p, !later);
        previous_height = p.GY;
        if (TRZ) break;
    }
    velin::DONEPL();
    return 0;
}

}  // namespace driver
