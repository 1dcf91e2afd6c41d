// Obstacle file:
//   1 identification  version (real), program name (32 characters)
//   2 description     QEM: title (80), INFILE, GEBDAT, ORODAT, LANDAT, UVWDAT
//                     (LF characters each: 128 from version 2.1, 32 below)
//                     TRZ: GEBDAT only
//   3 dimensions      NX, NY, NZ
//   4 grid            X0, Y0, DX, DY, DZK(1..NZ)
//   5 counts          QEM nb, no, np; TRZ nb, np
//   6 records         per obstacle IGA, IGE, JGA, JGE, KGA, KGE, HTYP (16-bit)
// The dimension and grid blocks must describe the grid of the result file:
// the obstacle indexes address its cells. Records whose boxes do not lie in
// the grid are skipped with a warning, so that no later lookup leaves it.
#include "resultfile/obstacles.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/text.h"
#include "resultfile/header.h"
#include "resultfile/model.h"

namespace resultfile {

namespace {

using platform::trimmed;

std::string one_decimal(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(v));
    return buffer;
}

std::string width5(int v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%5d", v);
    return buffer;
}

bool close_enough(float a, float b) { return std::fabs(a - b) <= 1.0e-4f * std::max(1.0f, std::fabs(b)); }

// Both family readers of blocks 1 to 5.
void read_description(const std::string& FILE, bool DEBUG, int& nb, int& no, int& np, bool qem) {
    const char* routine = qem ? "GQEM_IGB" : "GTRZ_IGB";
    auto& con = platform::console();
    const char* indent = qem ? "   " : " ";
    if (trimmed(FILE).empty()) platform::fatal(routine, "keine Hindernisdatei .IGB.");
    const std::string name = obstacle_file_name(trimmed(FILE));
    const std::string path = platform::resolve_stored_name(name, reader_state().result_name);
    con.line(std::string(" - ") + routine + " - " + path);

    ObstacleList& list = obstacles();
    platform::ByteReader& f = open_files().obstacle;
    f.close();
    if (!f.open(path)) {
        if (!qem) MURALERR(routine, path);
        platform::fatal(routine, "Hindernisdatei " + path + " nicht gefunden (genannt als " +
                                     platform::to_utf8(trimmed(FILE)) + ")");
    }
    f.set_routine(routine);
    list.file = path;

    const float version = f.read_f32();
    const std::string program = f.read_text(32);
    con.line(std::string(indent) + "GETIGB-Daten aus dem Programmlauf: " + platform::to_utf8(trimmed(program)));
    if (!std::isfinite(version)) platform::fatal(routine, "Datei " + path + ": ungültige Dateiversion");
    if (!same_version(version, kCurrentVersion)) {
        con.line(std::string(indent) + "GETIGB-falsche Programmversion");
        con.line("Datei:" + one_decimal(version) + "\tGETIGB:" + one_decimal(kCurrentVersion));
        go_on_or_stop(std::string(indent) + "Weitermachen ? (N,J): ");
    }

    const std::size_t lf = static_cast<std::size_t>(name_field_length(version));
    auto show = [&](const char* label, const std::string& value) {
        if (DEBUG && !value.empty()) con.line(label + platform::to_utf8(value));
    };
    if (qem) {
        list.title = trimmed(f.read_text(80));
        show(" Steuerdatei: ", trimmed(f.read_text(lf)));
        show(" Hindernisse: ", trimmed(f.read_text(lf)));
        show(" Orographie : ", trimmed(f.read_text(lf)));
        show(" Landnutzung: ", trimmed(f.read_text(lf)));
        show(" UVW-Feld:    ", trimmed(f.read_text(lf)));
    } else {
        std::string geb = trimmed(f.read_text(lf));
        con.line(" Hindernisse: " + platform::to_utf8(geb));
    }

    // The grid of the obstacle file must be the result file's grid.
    Grid& g = grid();
    const int nx = f.read_i32(), ny = f.read_i32(), nz = f.read_i32();
    if (nx <= 0 || ny <= 0 || nz <= 0 || nz > 100000)
        platform::fatal(routine, "Datei " + path + ": ungültige Dimensionen NX,NY,NZ = " + std::to_string(nx) + " " +
                                     std::to_string(ny) + " " + std::to_string(nz));
    const float X0 = f.read_f32(), Y0 = f.read_f32(), DX = f.read_f32(), DY = f.read_f32();
    f.require(4ull * static_cast<std::uint64_t>(nz), "die Schichtdicken");
    platform::Array1D<float> dzk(nz);
    f.read_f32s(dzk.span());
    const std::string other = " passt nicht zur Ergebnisdatei " + reader_state().result_name;
    if (g.NX > 0) {
        if (nx != g.NX || ny != g.NY || nz != g.NZ)
            platform::fatal(routine, "Hindernisdatei " + path + " mit NX,NY,NZ = " + std::to_string(nx) + " " +
                                         std::to_string(ny) + " " + std::to_string(nz) + other + " (" +
                                         std::to_string(g.NX) + " " + std::to_string(g.NY) + " " +
                                         std::to_string(g.NZ) + ")");
        bool same = close_enough(DX, g.DX) && close_enough(DY, g.DY);
        for (int k = 1; k <= nz && same && g.DZK.n() == nz; ++k) same = close_enough(dzk(k), g.DZK(k));
        if (!same) platform::fatal(routine, "Gitterweiten DX, DY, DZK der Hindernisdatei " + path + other);
    } else {
        g.NX = nx;
        g.NY = ny;
        g.NZ = nz;
        g.DX = DX;
        g.DY = DY;
        g.DZK = dzk;
    }
    g.X0 = X0;
    g.Y0 = Y0;
    float top = 0.0f;
    for (float dz : dzk.span()) top += dz;
    con.line(" IGB-Gitter X:" + one_decimal(X0) + " " + one_decimal(X0 + static_cast<float>(nx) * DX) +
             " Y:" + one_decimal(Y0) + " " + one_decimal(Y0 + static_cast<float>(ny) * DY) + " Z:" +
             one_decimal(0.0f) + " " + one_decimal(top));

    nb = f.read_i32();
    no = qem ? f.read_i32() : 0;
    np = f.read_i32();
    con.line(" massive Hindernisse:" + width5(nb));
    if (qem) con.line(" orogr. Hindernisse: " + width5(no));
    con.line(" poröse Hindernisse: " + width5(np));
    if (nb < 0 || no < 0 || np < 0)
        platform::fatal(routine, "Datei " + path + ": negative Anzahl von Hindernissen");
    const std::uint64_t records = static_cast<std::uint64_t>(nb) + static_cast<std::uint64_t>(no) +
                                  static_cast<std::uint64_t>(np);
    // Checked before the arrays are made: the counts must not claim more than the file holds.
    f.require(14 * records, std::to_string(records) + " Hindernisse");
}

bool within(int first, int last, int size) { return first >= 1 && first <= last && last <= size; }

// Both family readers of block 6.
void read_records(bool qem) {
    const char* routine = qem ? "GQEM_KGB" : "GTRZ_KGB";
    ObstacleList& list = obstacles();
    auto& con = platform::console();
    con.line(std::string(" - ") + routine + " -" + width5(list.ngb));
    platform::ByteReader& f = open_files().obstacle;
    f.set_routine(routine);
    const Grid& g = grid();
    std::vector<std::array<std::int16_t, 7>> kept;
    int counts[3] = {0, 0, 0};
    const int group_size[3] = {list.nb, list.no, list.np};
    for (int group = 0, n = 0; group < 3; ++group) {
        for (int r = 0; r < group_size[group]; ++r) {
            ++n;
            std::array<std::int16_t, 7> v;
            for (auto& x : v) x = f.read_i16();
            // The top may lie above the model top: it is capped where a level is looked up.
            if (!within(v[0], v[1], g.NX) || !within(v[2], v[3], g.NY) || v[4] < 1 || v[4] > v[5] || v[4] > g.NZ) {
                con.line(std::string(" ") + routine + "-W-Hindernis " + std::to_string(n) +
                         " liegt nicht im Gitter und wird übergangen: I " + std::to_string(v[0]) + ".." +
                         std::to_string(v[1]) + " J " + std::to_string(v[2]) + ".." + std::to_string(v[3]) + " K " +
                         std::to_string(v[4]) + ".." + std::to_string(v[5]));
                continue;
            }
            kept.push_back(v);
            ++counts[group];
        }
    }
    list.nb = counts[0];
    list.no = counts[1];
    list.np = counts[2];
    list.ngb = static_cast<int>(kept.size());
    platform::Array1D<std::int16_t>* arrays[7] = {&list.IGA, &list.IGE, &list.JGA, &list.JGE,
                                                  &list.KGA, &list.KGE, &list.HTYP};
    for (int a = 0; a < 7; ++a) {
        arrays[a]->resize(list.ngb);
        for (int n = 1; n <= list.ngb; ++n) (*arrays[a])(n) = kept[static_cast<std::size_t>(n - 1)][static_cast<std::size_t>(a)];
    }
    f.close();
}

}  // namespace

std::string obstacle_file_name(const std::string& stored) {
    std::size_t base = stored.find_last_of("/\\");
    base = base == std::string::npos ? 0 : base + 1;
    std::size_t dot = stored.find('.', base);
    return stored.substr(0, dot) + ".IGB";
}

void GQEM_IGB(const std::string& FILE, bool DEBUG, int& nb, int& no, int& np) {
    read_description(FILE, DEBUG, nb, no, np, true);
}

void GTRZ_IGB(const std::string& FILE, bool DEBUG, int& nb, int& no, int& np) {
    read_description(FILE, DEBUG, nb, no, np, false);
}

void GQEM_KGB() { read_records(true); }

void GTRZ_KGB() { read_records(false); }

void GET_HAUS() {
    ReaderState& rs = reader_state();
    ObstacleList& list = obstacles();
    // The run's title stays the run's, whatever the obstacle file says.
    const std::string title = rs.TITEL;
    const bool qem = rs.MODELL != kTRZ;
    int nb = 0, no = 0, np = 0;
    if (qem) GQEM_IGB(rs.IGBFILE, rs.DEBUG, nb, no, np);
    else GTRZ_IGB(rs.IGBFILE, rs.DEBUG, nb, no, np);
    list.nb = nb;
    list.no = no;
    list.np = np;
    list.ngb = nb + no + np;
    if (qem) GQEM_KGB();
    else GTRZ_KGB();
    rs.TITEL = title;
}

}  // namespace resultfile
