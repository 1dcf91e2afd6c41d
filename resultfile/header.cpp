// Result file, first blocks:
//   1 identification  SVERS (real), MODELL (32 characters; "QEM..." or "TRZ...")
//   2 description     TITEL (80), then names of LF characters each
//                     (LF = 128 from version 2.1, 32 below): QEM INFILE,
//                     IGBFILE, ORODAT, LANDAT, UVWDAT; TRZ INFILE, IGBFILE
//   3 dimensions      NX, NY, NZ
//   4 grid            1.6: NX, NY, NZ again, DX, DY, DZK(1..NZ)
//                     1.7: DX, DY, DZK(1..NZ)
//                     else: XMIN, YMIN, DX, DY, DZK(1..NZ)
// Before anything is allocated the dimensions are checked against the size of
// the file: the rest of the file must hold grid, inflow and the three wind
// components that these dimensions claim.
#include "resultfile/header.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/checked.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/model.h"

namespace resultfile {

namespace {

using platform::trimmed;

constexpr char kFamilyNames[] = "QEM             TRZ             ";

std::string two_decimals(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(v));
    return buffer;
}

// Asks whether to go on with a file of another format version.
void confirm_version(std::string_view routine, std::string_view indent, float version) {
    platform::console().write(std::string(indent) + std::string(routine) + "-geändertes Dateiformat - akt.Version " +
                              two_decimals(kCurrentVersion) + "\tDateiversion " + two_decimals(version));
    go_on_or_stop(" Weitermachen ? (N,j): ");
}

// The family header reader of both families.
void read_header(const std::string& FILE, Family family) {
    const bool qem = family == kQEM;
    const char* routine = qem ? "GQEM_HED" : "GTRZ_HED";
    auto& con = platform::console();
    ReaderState& rs = reader_state();
    con.line(std::string(" - ") + routine + " - " + FILE);

    platform::ByteReader& f = open_files().result;
    f.close();
    if (!f.open(FILE)) MURALERR(routine, FILE);
    f.set_routine(routine);
    rs.result_name = FILE;

    rs.SVERS = f.read_f32();
    std::string program = f.read_text(32);
    rs.program = trimmed(program);
    con.line(std::string(qem ? " " : "   ") + routine + "-Daten aus dem Programmlauf: " +
             platform::to_utf8(trimmed(program)));

    if (!std::isfinite(rs.SVERS)) platform::fatal(routine, "Datei " + FILE + ": ungültige Dateiversion");
    if (!same_version(rs.SVERS, kCurrentVersion)) confirm_version(routine, qem ? " " : "   ", rs.SVERS);

    // The length of the name fields follows this file's own version.
    rs.LF = name_field_length(rs.SVERS);
    const std::size_t lf = static_cast<std::size_t>(rs.LF);
    std::string title = f.read_text(80);
    rs.INFILE = trimmed(f.read_text(lf));
    rs.IGBFILE = trimmed(f.read_text(lf));
    rs.ORODAT.clear();
    rs.LANDAT.clear();
    rs.UVWDAT.clear();
    if (qem) {
        rs.ORODAT = trimmed(f.read_text(lf));
        rs.LANDAT = trimmed(f.read_text(lf));
        rs.UVWDAT = trimmed(f.read_text(lf));
    }
    rs.TITEL = std::string(qem ? "QEM " : "TRZ ") + title.substr(0, 76);
    rs.dimension_offset = f.position();
    rs.LEVEL_S = 1;
    con.line(" Titel=" + platform::to_utf8(trimmed(rs.TITEL)));

    if (rs.DEBUG) {
        auto show = [&con](const char* label, const std::string& name) {
            if (!name.empty()) con.line(label + platform::to_utf8(name));
        };
        show(" Hindernisse: ", rs.IGBFILE);
        show(" Steuerdatei: ", rs.INFILE);
        if (qem) {
            show(" Orographie : ", rs.ORODAT);
            show(" Landnutzung: ", rs.LANDAT);
        }
    }
}

// Bytes that grid, inflow, boundary and wind blocks take after the dimension block.
std::optional<std::uint64_t> bytes_after_dimensions(float version, int family, int NX, int NY, int NZ) {
    using platform::checked_add;
    using platform::checked_mul;
    const std::uint64_t nz = static_cast<std::uint64_t>(NZ);
    std::uint64_t grid_words = (same_version(version, 1.6f) || same_version(version, 1.7f)) ? 2 : 4;
    std::uint64_t inflow_words = family == kQEM ? 7 : 6;
    std::uint64_t words = grid_words + nz + inflow_words + 2 * nz + 2;
    auto u = platform::checked_volume(std::int64_t(NX) + 1, NY, NZ);
    auto v = platform::checked_volume(NX, std::int64_t(NY) + 1, NZ);
    auto w = platform::checked_volume(NX, NY, std::int64_t(NZ) + 1);
    if (!u || !v || !w) return std::nullopt;
    auto total = checked_add(words, *u);
    if (total) total = checked_add(*total, *v);
    if (total) total = checked_add(*total, *w);
    if (total) total = checked_mul(*total, 4);
    return total;
}

}  // namespace

void MURALERR(std::string_view ROUTINE, std::string_view FILE) {
    platform::stop(" MURAL-F-Datei " + trimmed(FILE) + " konnte nicht geöffnet werden. Unterprogramm " +
                   trimmed(ROUTINE));
}

void GET_HEAD(const std::string& FILE, bool LDEBUG, std::string& MNAME) {
    constexpr char ROUTINE[] = "GET_HEAD";
    auto& con = platform::console();
    ReaderState& rs = reader_state();
    rs.DEBUG = LDEBUG;
    con.line(" - GET_HEAD - " + FILE);

    // The derived name ('run1.ERG') also finds 'run1.erg'.
    auto found = platform::find_file(FILE);
    if (!found) platform::fatal(ROUTINE, "Ergebnisdatei existiert nicht! " + FILE);
    const std::string path = *found;

    {
        platform::ByteReader probe;
        if (!probe.open(path)) MURALERR(ROUTINE, path);
        probe.set_routine(ROUTINE);
        probe.read_f32();
        std::string program = probe.read_text(32);
        if (program.compare(0, 3, "QEM") == 0) rs.MODELL = kQEM;
        else if (program.compare(0, 3, "TRZ") == 0) rs.MODELL = kTRZ;
        else platform::fatal(ROUTINE, "Ergebnisdatei nicht auswertbar!");
    }

    rs.MNAME = std::string(kFamilyNames + 16 * (rs.MODELL - 1), 16);
    MNAME = rs.MNAME;
    con.line("   Ergebnisse vom Modell " + trimmed(rs.MNAME));
    if (rs.MODELL == kQEM) GQEM_HED(path);
    else GTRZ_HED(path);
}

void go_on_or_stop(std::string_view prompt) {
    auto& con = platform::console();
    con.prompt(prompt);
    std::string answer;
    try {
        answer = con.read_line();
    } catch (const platform::Fatal&) {
        con.line();
        platform::stop_quietly();
    }
    std::size_t first = answer.find_first_not_of(" \t");
    if (first == std::string::npos || (answer[first] != 'J' && answer[first] != 'j')) platform::stop_quietly();
}

void GQEM_HED(const std::string& FILE) { read_header(FILE, kQEM); }

void GTRZ_HED(const std::string& FILE) { read_header(FILE, kTRZ); }

void GET_DIM(int& NX, int& NY, int& NZ, int& kGrid) {
    GQEM_DIM(NX, NY, NZ);
    kGrid = 1;
}

void GQEM_DIM(int& NX, int& NY, int& NZ) {
    constexpr char ROUTINE[] = "GQEM_DIM";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_S != 1) platform::fatal(ROUTINE, "GQEM_HED muss zuerst aufgerufen werden");
    platform::ByteReader& f = open_files().result;
    f.set_routine(ROUTINE);
    int nx = f.read_i32(), ny = f.read_i32(), nz = f.read_i32();
    const std::string dims = std::to_string(nx) + " " + std::to_string(ny) + " " + std::to_string(nz);
    if (nx <= 0 || ny <= 0 || nz <= 0)
        platform::fatal(ROUTINE, "Datei " + rs.result_name + ": ungültige Dimensionen NX,NY,NZ = " + dims);
    auto needed = bytes_after_dimensions(rs.SVERS, rs.MODELL, nx, ny, nz);
    if (!needed || *needed > f.remaining())
        platform::fatal(ROUTINE, "Datei " + rs.result_name + " ist zu kurz für die Dimensionen NX,NY,NZ = " + dims +
                                     ": Gitter, Anströmung und Windfelder brauchen " +
                                     (needed ? std::to_string(*needed) : std::string("mehr als 2^64")) +
                                     " Bytes, die Datei hat nach den Dimensionen " + std::to_string(f.remaining()));
    Grid& g = grid();
    g.NX = NX = nx;
    g.NY = NY = ny;
    g.NZ = NZ = nz;
    rs.LEVEL_S = 2;
}

// A grid that makes no map is refused, naming the file and the value: cell
// widths of zero, negative, not finite or absurd (1e30 m, 1e-40 m), a corner
// beyond any coordinate system of the earth, an extent that no section can
// show.
void check_grid(const char* ROUTINE, const std::string& file, float XMIN, float YMIN, float DX, float DY,
                const platform::Array1D<float>& DZK, int NX, int NY) {
    auto number = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.7g", value);
        return std::string(text);
    };
    auto refuse = [&](const std::string& name, double value, const std::string& why) {
        platform::fatal(ROUTINE, "Datei " + file + ": " + name + "=" + number(value) + " m " + why);
    };
    auto check_width = [&](const std::string& name, float width) {
        if (!(width >= kMinCellWidth && width <= kMaxCellWidth))
            refuse(name, width, "ist keine brauchbare Zellbreite (" + number(kMinCellWidth) + " bis " +
                                    number(kMaxCellWidth) + " m)");
    };
    check_width("DX", DX);
    check_width("DY", DY);
    for (int k = 1; k <= DZK.n(); ++k) check_width("DZK(" + std::to_string(k) + ")", DZK(k));
    for (auto [name, corner] : {std::pair{"XMIN", XMIN}, std::pair{"YMIN", YMIN}})
        if (!(std::fabs(corner) <= kMaxCoordinate))
            refuse(name, corner, "liegt außerhalb jedes Koordinatensystems (Betrag höchstens " +
                                     number(kMaxCoordinate) + " m)");
    const std::string too_large = "ist kein Modellgebiet (höchstens " + number(kMaxExtent) + " m)";
    if (static_cast<double>(NX) * DX > kMaxExtent) refuse("NX*DX", static_cast<double>(NX) * DX, too_large);
    if (static_cast<double>(NY) * DY > kMaxExtent) refuse("NY*DY", static_cast<double>(NY) * DY, too_large);
    double top = 0.0;
    for (int k = 1; k <= DZK.n(); ++k) top += DZK(k);
    if (top > kMaxExtent) refuse("Modellhöhe", top, too_large);
}

void GQEM_GRD(float& XMIN, float& YMIN, float& DX, float& DY, platform::Array1D<float>& DZK, int NZ) {
    constexpr char ROUTINE[] = "GQEM_GRD";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_S != 2) platform::fatal(ROUTINE, "GQEM-HED, GQEM_DIM müssen zuerst aufgerufen werden");
    platform::ByteReader& f = open_files().result;
    f.set_routine(ROUTINE);
    if (same_version(rs.SVERS, 1.6f)) {
        // Version 1.6 stores dimensions and grid as one block: read it again from its start.
        f.seek(rs.dimension_offset);
        int n1 = f.read_i32(), n2 = f.read_i32(), n3 = f.read_i32();
        if (n3 != NZ) {
            char text[64];
            std::snprintf(text, sizeof text, "%6d%6d%6d", n1, n2, n3);
            platform::stop(std::string("GQEM_GRD-F-Dim?") + text);
        }
        XMIN = YMIN = 0.0f;
    } else if (same_version(rs.SVERS, 1.7f)) {
        XMIN = YMIN = 0.0f;
    } else {
        XMIN = f.read_f32();
        YMIN = f.read_f32();
    }
    DX = f.read_f32();
    DY = f.read_f32();
    DZK.resize(NZ);
    f.read_f32s(DZK.span());
    check_grid(ROUTINE, rs.result_name, XMIN, YMIN, DX, DY, DZK, grid().NX, grid().NY);
    rs.LEVEL_S = 3;
}

void GET_GRID() {
    Grid& g = grid();
    GQEM_GRD(g.XMIN, g.YMIN, g.DX, g.DY, g.DZK, g.NZ);
    complete_grid(g);
}

void complete_grid(Grid& g) {
    g.XMAX = static_cast<float>(g.XMIN + static_cast<double>(g.NX) * g.DX);
    g.YMAX = static_cast<float>(g.YMIN + static_cast<double>(g.NY) * g.DY);
    auto& con = platform::console();
    using platform::format_real;
    con.line("Xmin,Xmax,Ymin,Ymax: " + format_real(g.XMIN) + " " + format_real(g.XMAX) + " " + format_real(g.YMIN) +
             " " + format_real(g.YMAX));
    con.line("NX,NY,DX,DY: " + std::to_string(g.NX) + " " + std::to_string(g.NY) + " " + format_real(g.DX) + " " +
             format_real(g.DY));
    g.DXI.resize(g.NX, g.DX);
    g.DYJ.resize(g.NY, g.DY);
    g.XU.resize(g.NX + 1);
    g.YV.resize(g.NY + 1);
    g.ZW.resize(g.NZ + 1);
    g.XL.resize(g.NX);
    g.YL.resize(g.NY);
    g.ZL.resize(g.NZ);
    // Each face from the corner, in double: summed up in single precision,
    // a grid at a few million metres would grow by whole metres.
    const double x0 = g.XMIN, y0 = g.YMIN, dx = g.DX, dy = g.DY;
    for (int i = 1; i <= g.NX + 1; ++i) g.XU(i) = static_cast<float>(x0 + (i - 1) * dx);
    for (int j = 1; j <= g.NY + 1; ++j) g.YV(j) = static_cast<float>(y0 + (j - 1) * dy);
    g.ZW(1) = 0.0f;
    for (int k = 1; k <= g.NZ; ++k) g.ZW(k + 1) = g.ZW(k) + g.DZK(k);
    for (int i = 1; i <= g.NX; ++i) g.XL(i) = static_cast<float>(x0 + (i - 0.5) * dx);
    for (int j = 1; j <= g.NY; ++j) g.YL(j) = static_cast<float>(y0 + (j - 0.5) * dy);
    for (int k = 1; k <= g.NZ; ++k) g.ZL(k) = g.ZW(k) + 0.5f * g.DZK(k);
}

}  // namespace resultfile
