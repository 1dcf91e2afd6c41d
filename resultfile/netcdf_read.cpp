// A run from a NetCDF file.
//
// Needed: the run's three fields on their faces, u(z, y, xu), v(z, yv, x),
// w(zw, y, x) (or KX, KY, KZ), with any leading dimensions of length 1 (a time
// axis), and coordinates from which the grid follows: xu or x (or dx), yv or y
// (or dy), zw or dz. The horizontal coordinates must be equidistant, as the
// model's grid is. Everything else may be missing: the inflow (0 with a
// warning; the grid's angle to north never silently), the obstacles (their
// list, else their flag field turned into boxes of cells, else none), the
// names and the title.
//
// The file is untrusted. Before anything of the fields' size is allocated,
// every variable's dimensions must agree with the grid, the grid must fit the
// 16-bit cell indexes of the obstacles, and the fields may need no more bytes
// than the file could hold compressed (deflate packs at most about 1000 to 1).
//
// Values are decoded as CF says: scale_factor and add_offset applied,
// _FillValue and missing_value become NaN. A float field without them is read
// straight into the model's array, one block per run of levels.
#include "resultfile/netcdf_read.h"

#include <netcdf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "platform/checked.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_classic.h"
#include "resultfile/netcdf_file.h"
#include "resultfile/netcdf_layout.h"
#include "resultfile/sections.h"

namespace resultfile {

namespace {

namespace nl = netcdf;

constexpr char ROUTINE[] = "GET_NC";
// How many bytes of values one byte of the file can hold at most: deflate's
// limit, with room for the file's own structure.
constexpr std::uint64_t kMaxExpansion = 1100;
// Obstacle boxes address cells with 16-bit indexes.
constexpr std::size_t kMaxCells = 32767;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool numeric(int type) { return type == NC_BYTE || (type >= NC_SHORT && type <= NC_UINT64); }

std::string join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string described(const nl::FieldLayout& l) {
    return std::string(l.name) + "(" + l.dims[0] + "," + l.dims[1] + "," + l.dims[2] + ")";
}

// How the stored values of a variable become the run's values (CF).
struct Decoding {
    double scale = 1.0, offset = 0.0;
    std::optional<double> fill, missing;
    bool plain = true;  // float, stored as it is read
};

Decoding decoding_of(const NcFile& f, int varid) {
    Decoding d;
    if (auto v = f.number_attribute(varid, "scale_factor")) d.scale = *v;
    if (auto v = f.number_attribute(varid, "add_offset")) d.offset = *v;
    d.fill = f.number_attribute(varid, "_FillValue");
    d.missing = f.number_attribute(varid, "missing_value");
    // A missing value of NaN leaves a float as it is (xarray writes one on every float).
    auto none = [](const std::optional<double>& v) { return !v || std::isnan(*v); };
    d.plain = f.type_of(varid) == NC_FLOAT && d.scale == 1.0 && d.offset == 0.0 && none(d.fill) && none(d.missing);
    return d;
}

float decoded(double v, const Decoding& d) {
    if ((d.fill && v == *d.fill) || (d.missing && v == *d.missing)) return kNaN;
    v = v * d.scale + d.offset;
    // Beyond float a value is infinite, as the check of the fields reports it.
    if (std::fabs(v) > FLT_MAX && std::isfinite(v)) return v > 0 ? HUGE_VALF : -HUGE_VALF;
    return static_cast<float>(v);
}

// One of the run's fields in the file.
struct NcField {
    const nl::FieldLayout* layout = nullptr;
    int varid = -1;
    std::size_t leading = 0;  // leading dimensions of length 1
    Decoding decoding;
};

// The run's three fields, read by section from the open file: a float field
// without decoding straight into the model's array, in one piece per box;
// others level by level through a buffer.
class NcFields : public FieldSource {
public:
    NcFile file{ROUTINE};
    std::array<NcField, 3> fields;

    const char* routine() const override { return ROUTINE; }
    std::string name(int field) const override { return fields[static_cast<std::size_t>(field)].layout->name; }

    void read(int field, const platform::IndexBox& box, std::span<float> out) override {
        const NcField& s = fields[static_cast<std::size_t>(field)];
        const std::size_t n1 = static_cast<std::size_t>(box.i1 - box.i0 + 1), n2 = static_cast<std::size_t>(box.j1 - box.j0 + 1);
        const std::size_t plane = n1 * n2;
        std::vector<std::size_t> start(s.leading + 3, 0), count(s.leading + 3, 1);
        start[s.leading] = static_cast<std::size_t>(box.k0 - 1);
        start[s.leading + 1] = static_cast<std::size_t>(box.j0 - 1);
        start[s.leading + 2] = static_cast<std::size_t>(box.i0 - 1);
        count[s.leading + 1] = n2;
        count[s.leading + 2] = n1;
        const std::string what = std::string(s.layout->name) + ", Schichten " + std::to_string(box.k0) + " bis " +
                                 std::to_string(box.k1);
        if (s.decoding.plain) {
            count[s.leading] = static_cast<std::size_t>(box.k1 - box.k0 + 1);
            file.check(nc_get_vara_float(file.id(), s.varid, start.data(), count.data(), out.data()), what);
            return;
        }
        std::vector<double> buffer(plane);
        for (int level = box.k0; level <= box.k1; ++level) {
            start[s.leading] = static_cast<std::size_t>(level - 1);
            file.check(nc_get_vara_double(file.id(), s.varid, start.data(), count.data(), buffer.data()), what);
            float* to = out.data() + static_cast<std::size_t>(level - box.k0) * plane;
            for (std::size_t n = 0; n < plane; ++n) to[n] = decoded(buffer[n], s.decoding);
        }
    }
};

// The leading dimensions of length 1 before the last three, which must be
// `dims`; fatal otherwise.
std::size_t leading_dimensions(const NcFile& f, int varid, const char* name, const char* const (&dims)[3]) {
    const std::vector<NcFile::Dimension> have = f.dimensions_of(varid);
    std::string wanted = std::string("(") + dims[0] + ", " + dims[1] + ", " + dims[2] + ")";
    std::string found;
    for (const auto& d : have) found += (found.empty() ? "" : ", ") + d.name;
    if (have.size() < 3) f.fail(std::string(name) + " hat die Dimensionen (" + found + "), erwartet " + wanted);
    const std::size_t leading = have.size() - 3;
    for (std::size_t d = 0; d < 3; ++d)
        if (have[leading + d].name != dims[d])
            f.fail(std::string(name) + " hat die Dimensionen (" + found + "), erwartet " + wanted);
    for (std::size_t d = 0; d < leading; ++d)
        if (have[d].length != 1)
            f.fail(std::string(name) + " hat " + std::to_string(have[d].length) + " Werte in der Dimension " +
                   have[d].name + "; MURAL liest nur Dateien mit einem Wert davor (einem Zeitpunkt)");
    if (!numeric(f.type_of(varid))) f.fail(std::string(name) + " enthält keine Zahlen");
    return leading;
}

// A variable of one value (a scalar, or any shape of one element), decoded.
std::optional<double> single_value(const NcFile& f, const char* name) {
    const std::optional<int> varid = f.variable(name);
    if (!varid) return std::nullopt;
    std::size_t count = 1;
    for (const auto& d : f.dimensions_of(*varid)) count *= d.length;
    if (count != 1 || !numeric(f.type_of(*varid))) f.fail(std::string(name) + " ist kein einzelner Zahlenwert");
    double v = 0;
    f.check(nc_get_var_double(f.id(), *varid, &v), name);
    return decoded(v, decoding_of(f, *varid));
}

// A 1-D variable along dimension `dim` of n values, decoded; empty when the
// file has no variable of that name.
std::vector<double> axis_values(const NcFile& f, const char* name, const char* dim, std::size_t n) {
    const std::optional<int> varid = f.variable(name);
    if (!varid) return {};
    const auto dims = f.dimensions_of(*varid);
    if (dims.size() != 1 || dims[0].name != dim || dims[0].length != n || !numeric(f.type_of(*varid)))
        f.fail(std::string(name) + " ist keine Zahlenreihe über " + dim + " mit " + std::to_string(n) + " Werten");
    std::vector<double> values(n);
    f.check(nc_get_var_double(f.id(), *varid, values.data()), name);
    const Decoding d = decoding_of(f, *varid);
    for (double& v : values) v = decoded(v, d);
    return values;
}

// Origin and width of an equidistant horizontal axis of n cells, from its
// faces, else from its centres; nothing when the file gives neither.
struct Axis {
    float origin = 0, width = 0;
};
std::optional<Axis> horizontal_axis(const NcFile& f, const char* faces_name, const char* centres_name,
                                    const char* width_name, std::size_t n) {
    const std::vector<double> faces = axis_values(f, faces_name, faces_name, n + 1);
    const std::vector<double> centres = axis_values(f, centres_name, centres_name, n);
    const std::optional<double> width = single_value(f, width_name);
    Axis a;
    if (!faces.empty()) {
        a.origin = static_cast<float>(faces[0]);
        a.width = static_cast<float>(width ? *width : (faces[n] - faces[0]) / static_cast<double>(n));
    } else if (!centres.empty() && (width || n > 1)) {
        a.width = static_cast<float>(width ? *width : (centres[n - 1] - centres[0]) / static_cast<double>(n - 1));
        a.origin = static_cast<float>(centres[0] - 0.5 * a.width);
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(a.origin) || !std::isfinite(a.width) || !(a.width > 0))
        f.fail(std::string("ungültige Koordinaten ") + faces_name + "/" + centres_name + ": Ursprung " +
               platform::format_real(a.origin) + ", Zellweite " + platform::format_real(a.width));
    return a;
}

// Whether the coordinates of the file lie on the grid's (within a hundredth
// of a cell): the model's horizontal grid is equidistant.
void check_on_grid(const NcFile& f, const char* name, const std::vector<double>& values,
                   const platform::Array1D<float>& grid_values, float width) {
    for (std::size_t n = 0; n < values.size(); ++n) {
        const double d = values[n] - grid_values(static_cast<int>(n) + 1);
        if (!(std::fabs(d) <= 0.01 * width))
            f.fail(std::string("Koordinate ") + name + " ist nicht äquidistant (Zellweite " +
                   platform::format_real(width) + " m): Wert " + std::to_string(n + 1) + " ist " +
                   platform::format_real(static_cast<float>(values[n])) + ", erwartet " +
                   platform::format_real(grid_values(static_cast<int>(n) + 1)));
    }
}

// The first n characters of a UTF-8 text (bytes that are no UTF-8 count one each).
std::string first_characters(const std::string& text, std::size_t n) {
    std::size_t end = 0;
    for (std::size_t k = 0; k < n && end < text.size(); ++k)
        do ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
    return text.substr(0, end);
}

void read_texts(const NcFile& f, std::string& MNAME) {
    ReaderState& rs = reader_state();
    auto& con = platform::console();
    auto text = [&](const char* name) { return platform::trimmed(f.text_attribute(NC_GLOBAL, name).value_or("")); };
    const std::string family = text(nl::kFamily);
    rs.MODELL = family == "QEM" ? kQEM : family == "TRZ" ? kTRZ : kUnknownFamily;
    rs.MNAME = rs.MODELL == kUnknownFamily ? std::string() : family;
    rs.MNAME.resize(16, ' ');
    MNAME = rs.MNAME;
    rs.SVERS = static_cast<float>(f.number_attribute(NC_GLOBAL, nl::kFormatVersion).value_or(0.0));
    rs.LF = 128;
    if (rs.MODELL != kUnknownFamily) con.line("   Ergebnisse vom Modell " + family);
    con.line(" Daten aus dem Programmlauf: " + platform::to_utf8(text(nl::kProgram)));
    // As from the result file: the family before the first 76 characters of the title.
    const std::string title = text("title");
    rs.TITEL = rs.MODELL == kUnknownFamily ? first_characters(title, 80) : family + " " + first_characters(title, 76);
    // Blank-padded to 80 characters, as stored in a result file.
    for (std::size_t n = platform::decode_text(rs.TITEL).size(); n < 80; ++n) rs.TITEL += ' ';
    con.line(" Titel=" + platform::to_utf8(platform::trimmed(rs.TITEL)));
    rs.INFILE = text(nl::kHeaderControl);
    rs.IGBFILE = text(nl::kHeaderObstacle);
    rs.ORODAT = text(nl::kHeaderOrography);
    rs.LANDAT = text(nl::kHeaderLandUse);
    rs.UVWDAT = text(nl::kHeaderWind);
    if (rs.DEBUG && !rs.IGBFILE.empty()) con.line(" Hindernisse: " + platform::to_utf8(rs.IGBFILE));
}

void read_grid(const NcFile& f, std::size_t nx, std::size_t ny, std::size_t nz) {
    Grid& g = grid();
    g = Grid();
    g.NX = static_cast<int>(nx);
    g.NY = static_cast<int>(ny);
    g.NZ = static_cast<int>(nz);
    std::vector<std::string> missing;
    const std::optional<Axis> x = horizontal_axis(f, nl::kXU, nl::kX, nl::kDX, nx);
    const std::optional<Axis> y = horizontal_axis(f, nl::kYV, nl::kY, nl::kDY, ny);
    if (!x) missing.push_back("die Koordinate xu oder x (bei einer Zelle dx)");
    if (!y) missing.push_back("die Koordinate yv oder y (bei einer Zelle dy)");
    const std::vector<double> zw = axis_values(f, nl::kZW, nl::kZW, nz + 1);
    const std::vector<double> dz = axis_values(f, nl::kDZ, nl::kZ, nz);
    if (zw.empty() && dz.empty()) missing.push_back("die Koordinate zw oder die Schichtdicken dz");
    if (!missing.empty()) f.fail("es fehlen " + join(missing));

    g.XMIN = x->origin;
    g.DX = x->width;
    g.YMIN = y->origin;
    g.DY = y->width;
    g.DZK.resize(g.NZ);
    for (int k = 1; k <= g.NZ; ++k) {
        const std::size_t n = static_cast<std::size_t>(k - 1);
        const double thickness = dz.empty() ? zw[n + 1] - zw[n] : dz[n];
        g.DZK(k) = static_cast<float>(thickness);
        if (!(g.DZK(k) > 0) || !std::isfinite(g.DZK(k)))
            f.fail("Schichtdicke " + std::to_string(k) + " ist " + platform::format_real(g.DZK(k)) + " m");
    }
    // Heights count from the model's ground.
    if (!zw.empty() && zw[0] != 0.0)
        platform::console().line(" GET_NC-W-zw beginnt bei " + platform::format_real(static_cast<float>(zw[0])) +
                                 " m; die Höhen zählen vom Modellboden (0 m)");
    check_grid(ROUTINE, reader_state().result_name, g.XMIN, g.YMIN, g.DX, g.DY, g.DZK, g.NX, g.NY);
    complete_grid(g);
    if (!std::isfinite(g.XMAX) || !std::isfinite(g.YMAX) || !std::isfinite(g.ZW(g.NZ + 1)))
        f.fail("das Gitter reicht über den Zahlenbereich hinaus (Xmax, Ymax oder die Modellhöhe unendlich)");
    g.X0 = g.XMIN;
    g.Y0 = g.YMIN;
    check_on_grid(f, nl::kXU, axis_values(f, nl::kXU, nl::kXU, nx + 1), g.XU, g.DX);
    check_on_grid(f, nl::kX, axis_values(f, nl::kX, nl::kX, nx), g.XL, g.DX);
    check_on_grid(f, nl::kYV, axis_values(f, nl::kYV, nl::kYV, ny + 1), g.YV, g.DY);
    check_on_grid(f, nl::kY, axis_values(f, nl::kY, nl::kY, ny), g.YL, g.DY);
}

void read_inflow(const NcFile& f) {
    WindData& w = wind_data();
    w = WindData();
    const int NZ = grid().NZ;
    auto& con = platform::console();
    std::vector<std::string> absent;
    auto value = [&](const char* name, float& target, bool required) {
        if (auto v = single_value(f, name)) target = static_cast<float>(*v);
        else if (required) absent.push_back(name);
    };
    // The grid's angle to north is never assumed without a word.
    if (auto v = single_value(f, nl::kNorthAngle)) w.WNord = static_cast<float>(*v);
    else if (auto a = f.number_attribute(NC_GLOBAL, nl::kNorthAngle)) w.WNord = static_cast<float>(*a);
    else con.line(" GET_NC-W-der Winkel zwischen Nord und x-Achse (grid_north_angle) fehlt; 0 Grad angenommen");
    value(nl::kDirection, w.DD, true);
    value(nl::kSpeed, w.FF, true);
    value(nl::kReferenceHeight, w.ZA, true);
    value(nl::kExponent, w.WEXP, false);  // the TRZ family has none
    value(nl::kDisplacement, w.D0, true);
    value(nl::kRoughness, w.Z0, true);
    value(nl::kAlpha, w.ALPHA, false);
    float top = 0;
    value(nl::kTopClosed, top, false);
    w.TOPZU = top != 0;
    for (auto [name, profile] : {std::pair{nl::kU0, &w.U0}, std::pair{nl::kV0, &w.V0}}) {
        const std::vector<double> values = axis_values(f, name, nl::kZ, static_cast<std::size_t>(NZ));
        profile->resize(NZ, 0.0f);
        if (values.empty()) absent.push_back(name);
        for (std::size_t n = 0; n < values.size(); ++n) (*profile)(static_cast<int>(n) + 1) = static_cast<float>(values[n]);
    }
    if (!absent.empty()) con.line(" GET_NC-W-Anströmung ohne " + join(absent) + "; 0 angenommen");
    con.line(" Anströmung: DD=" + platform::format_real(w.DD) + " FF=" + platform::format_real(w.FF) +
             " ZA=" + platform::format_real(w.ZA) + " Winkel zw. Nord und x-Achse " + platform::format_real(w.WNord));
}

// The obstacle boxes of the flag field, in the order massive, orographic,
// porous: each cell of a class not yet covered starts a box that grows along
// x, then y, then z as far as the cells have its class.
using Record = std::array<std::int16_t, 7>;
std::vector<Record> boxes_of_flags(std::vector<signed char>& flags, int nx, int ny, int nz) {
    auto at = [&](int i, int j, int k) -> signed char& {
        return flags[static_cast<std::size_t>(i) +
                     static_cast<std::size_t>(nx) * (static_cast<std::size_t>(j) + static_cast<std::size_t>(ny) * k)];
    };
    std::vector<Record> boxes[3];
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const signed char c = at(i, j, k);
                if (c == nl::kAir) continue;
                int i2 = i, j2 = j, k2 = k;
                while (i2 + 1 < nx && at(i2 + 1, j, k) == c) ++i2;
                auto row_is = [&](int jj, int kk) {
                    for (int ii = i; ii <= i2; ++ii)
                        if (at(ii, jj, kk) != c) return false;
                    return true;
                };
                while (j2 + 1 < ny && row_is(j2 + 1, k)) ++j2;
                auto plane_is = [&](int kk) {
                    for (int jj = j; jj <= j2; ++jj)
                        if (!row_is(jj, kk)) return false;
                    return true;
                };
                while (k2 + 1 < nz && plane_is(k2 + 1)) ++k2;
                // Covered cells become air, so no later box takes them again.
                for (int kk = k; kk <= k2; ++kk)
                    for (int jj = j; jj <= j2; ++jj)
                        for (int ii = i; ii <= i2; ++ii) at(ii, jj, kk) = nl::kAir;
                // The type code of a porous box that is no tree (below 4).
                static constexpr std::int16_t kType[3] = {1, 2, 3};
                auto s = [](int v) { return static_cast<std::int16_t>(v + 1); };
                boxes[c - 1].push_back({s(i), s(i2), s(j), s(j2), s(k), s(k2), kType[c - 1]});
            }
    std::vector<Record> all;
    for (auto& group : boxes) all.insert(all.end(), group.begin(), group.end());
    return all;
}

// Fills the obstacle list, first `massive`, then `orographic`, then `porous`.
void set_obstacles(const std::vector<Record>& records, int nb, int no, int np, const std::string& path) {
    ObstacleList& list = obstacles();
    list = ObstacleList();
    list.nb = nb;
    list.no = no;
    list.np = np;
    list.ngb = nb + no + np;
    list.file = path;
    platform::Array1D<std::int16_t>* arrays[7] = {&list.IGA, &list.IGE, &list.JGA, &list.JGE,
                                                  &list.KGA, &list.KGE, &list.HTYP};
    for (std::size_t a = 0; a < 7; ++a) {
        arrays[a]->resize(list.ngb);
        for (int n = 1; n <= list.ngb; ++n) (*arrays[a])(n) = records[static_cast<std::size_t>(n - 1)][a];
    }
    auto& con = platform::console();
    con.line(" massive Hindernisse:" + platform::integer(nb, 5));
    con.line(" orogr. Hindernisse: " + platform::integer(no, 5));
    con.line(" poröse Hindernisse: " + platform::integer(np, 5));
}

void read_obstacle_list(const NcFile& f, const std::string& path) {
    const Grid& g = grid();
    auto& con = platform::console();
    const int box = *f.variable(nl::kObstacleBox), type = *f.variable(nl::kObstacleType),
              cls = *f.variable(nl::kObstacleClass);
    const std::size_t n = f.dimension(nl::kObstacle).value_or(0);
    auto dims = f.dimensions_of(box);
    if (dims.size() != 2 || dims[0].name != nl::kObstacle || dims[1].name != nl::kBoxLimit || dims[1].length != 6)
        f.fail(std::string(nl::kObstacleBox) + " hat nicht die Dimensionen (obstacle, box_limit = 6)");
    for (int varid : {type, cls}) {
        dims = f.dimensions_of(varid);
        if (dims.size() != 1 || dims[0].name != nl::kObstacle)
            f.fail("obstacle_type und obstacle_class brauchen die Dimension (obstacle)");
    }
    for (int varid : {box, type, cls})
        if (!numeric(f.type_of(varid))) f.fail("die Hindernisliste enthält keine Zahlen");
    std::vector<int> limits(6 * n), types(n), classes(n);
    if (n > 0) {
        f.check(nc_get_var_int(f.id(), box, limits.data()), nl::kObstacleBox);
        f.check(nc_get_var_int(f.id(), type, types.data()), nl::kObstacleType);
        f.check(nc_get_var_int(f.id(), cls, classes.data()), nl::kObstacleClass);
    }
    auto within = [](int first, int last, int size) { return first >= 1 && first <= last && last <= size; };
    std::vector<Record> groups[3];
    for (std::size_t r = 0; r < n; ++r) {
        const int* v = &limits[6 * r];
        const int c = classes[r];
        // As in the obstacle file: a box must lie in the grid; its top may reach above the model.
        const bool usable = c >= nl::kBuilding && c <= nl::kPorous && within(v[0], v[1], g.NX) &&
                            within(v[2], v[3], g.NY) && v[4] >= 1 && v[4] <= v[5] && v[4] <= g.NZ &&
                            v[5] <= 32767 && types[r] >= -32768 && types[r] <= 32767;
        if (!usable) {
            con.line(" GET_NC-W-Hindernis " + std::to_string(r + 1) + " (Klasse " + std::to_string(c) +
                     ") liegt nicht im Gitter und wird übergangen: I " + std::to_string(v[0]) + ".." +
                     std::to_string(v[1]) + " J " + std::to_string(v[2]) + ".." + std::to_string(v[3]) + " K " +
                     std::to_string(v[4]) + ".." + std::to_string(v[5]));
            continue;
        }
        Record rec;
        for (std::size_t a = 0; a < 6; ++a) rec[a] = static_cast<std::int16_t>(v[a]);
        rec[6] = static_cast<std::int16_t>(types[r]);
        groups[c - 1].push_back(rec);
    }
    std::vector<Record> all;
    for (auto& group : groups) all.insert(all.end(), group.begin(), group.end());
    set_obstacles(all, static_cast<int>(groups[0].size()), static_cast<int>(groups[1].size()),
                  static_cast<int>(groups[2].size()), path);
}

void read_obstacle_flags(const NcFile& f, int varid, const std::string& path) {
    const Grid& g = grid();
    static constexpr const char* kDims[3] = {nl::kZ, nl::kY, nl::kX};
    const std::size_t leading = leading_dimensions(f, varid, nl::kObstacleFlags, kDims);
    const Decoding decoding = decoding_of(f, varid);
    const std::size_t plane = static_cast<std::size_t>(g.NX) * static_cast<std::size_t>(g.NY);
    std::vector<signed char> flags(plane * static_cast<std::size_t>(g.NZ), nl::kAir);
    std::vector<double> buffer(plane);
    std::vector<std::size_t> start(leading + 3, 0), count(leading + 3, 1);
    count[leading + 1] = static_cast<std::size_t>(g.NY);
    count[leading + 2] = static_cast<std::size_t>(g.NX);
    std::size_t unknown = 0;
    for (int k = 0; k < g.NZ; ++k) {
        start[leading] = static_cast<std::size_t>(k);
        f.check(nc_get_vara_double(f.id(), varid, start.data(), count.data(), buffer.data()), nl::kObstacleFlags);
        for (std::size_t n = 0; n < plane; ++n) {
            const float v = decoded(buffer[n], decoding);
            // The flag values 1 building, 2 orography, 3 porous; 0 and NaN are air.
            if (v == 1.0f || v == 2.0f || v == 3.0f)
                flags[static_cast<std::size_t>(k) * plane + n] = static_cast<signed char>(v);
            else if (v != 0.0f && !std::isnan(v))
                ++unknown;
        }
    }
    if (unknown > 0)
        platform::console().line(" GET_NC-W-" + std::to_string(unknown) +
                                 " Zellen von obstacles mit unbekanntem Wert gelten als Luft (0 Luft, 1 Gebäude, "
                                 "2 Orographie, 3 porös)");
    const std::vector<Record> boxes = boxes_of_flags(flags, g.NX, g.NY, g.NZ);
    int counts[3] = {0, 0, 0};
    for (const Record& r : boxes) ++counts[r[6] - 1];
    set_obstacles(boxes, counts[0], counts[1], counts[2], path);
}

// The obstacles: the list when the file has it, else the boxes of the flag
// field, else none.
void read_obstacles(const NcFile& f, const std::string& path) {
    const bool box = f.variable(nl::kObstacleBox).has_value(), type = f.variable(nl::kObstacleType).has_value(),
               cls = f.variable(nl::kObstacleClass).has_value();
    if (box || type || cls) {
        if (!(box && type && cls)) f.fail("die Hindernisliste braucht obstacle_box, obstacle_type und obstacle_class");
        read_obstacle_list(f, path);
    } else if (auto flags = f.variable(nl::kObstacleFlags)) {
        platform::console().line(" GET_NC-I-Hindernisse aus dem Feld obstacles");
        read_obstacle_flags(f, *flags, path);
    } else {
        platform::console().line(" GET_NC-I-keine Hindernisse in der Datei");
        set_obstacles({}, 0, 0, 0, path);
    }
}

// Bytes that the run's arrays will take at most, for the check against the file's size.
std::uint64_t bytes_needed(const NcFile& f, std::size_t nx, std::size_t ny, std::size_t nz) {
    using platform::checked_volume;
    std::uint64_t total = 0;
    auto add = [&](std::optional<std::uint64_t> n, std::uint64_t bytes) {
        auto b = n ? platform::checked_mul(*n, bytes) : std::nullopt;
        auto t = b ? platform::checked_add(total, *b) : std::nullopt;
        total = t ? *t : std::numeric_limits<std::uint64_t>::max();
    };
    const auto NX = static_cast<std::int64_t>(nx), NY = static_cast<std::int64_t>(ny), NZ = static_cast<std::int64_t>(nz);
    add(checked_volume(NX + 1, NY, NZ), 4);
    add(checked_volume(NX, NY + 1, NZ), 4);
    add(checked_volume(NX, NY, NZ + 1), 4);
    if (f.variable(nl::kObstacleBox)) add(f.dimension(nl::kObstacle).value_or(0), 4 * 8);
    else if (f.variable(nl::kObstacleFlags)) add(checked_volume(NX, NY, NZ), 1 + 8);
    return total;
}

}  // namespace

bool is_netcdf_file(const std::string& path) {
    const std::optional<std::string> found = platform::find_file(path);
    if (!found) return false;
    std::uint64_t size = 0;
    const int fd = platform::open_regular_file(*found, size);
    if (fd < 0) return false;
    unsigned char head[8] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    static constexpr unsigned char kHdf5[8] = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1A, '\n'};
    const bool classic = n >= 4 && head[0] == 'C' && head[1] == 'D' && head[2] == 'F' &&
                         (head[3] == 1 || head[3] == 2 || head[3] == 5);
    return classic || (n == 8 && std::equal(head, head + 8, kHdf5));
}

void GET_NC(const std::string& FILE, bool DEBUG, bool coefficients, bool by_level, std::string& MNAME) {
    auto& con = platform::console();
    con.line(" - GET_NC - " + FILE);
    close_sections();
    reader_state() = ReaderState();
    ReaderState& rs = reader_state();
    rs.DEBUG = DEBUG;
    const std::optional<std::string> found = platform::find_file(FILE);
    if (!found) platform::fatal(ROUTINE, "NetCDF-Datei existiert nicht! " + FILE);
    const std::string path = *found;
    std::uint64_t size = 0;
    const int fd = platform::open_regular_file(path, size);
    if (fd < 0) MURALERR(ROUTINE, path);
    ::close(fd);
    rs.result_name = path;

    // The library allocates what a classic header claims: it is checked against the file first.
    if (const std::optional<std::string> fault = classic_header_fault(path))
        platform::fatal(ROUTINE, "Datei " + path + " ist keine lesbare NetCDF-Datei: " + *fault);
    auto source = std::make_unique<NcFields>();
    NcFile& f = source->file;
    if (const int status = f.open(path); status != NC_NOERR)
        platform::fatal(ROUTINE, "Datei " + path + " ist keine lesbare NetCDF-Datei: " + nc_strerror(status));

    // Everything that a run needs, named at once when some of it is missing.
    const nl::FieldLayout* layouts = coefficients ? nl::kCoefficientFields : nl::kWindFields;
    std::vector<std::string> missing;
    for (int c = 0; c < 3; ++c)
        if (!f.variable(layouts[c].name)) missing.push_back(described(layouts[c]));
    if (!f.variable(nl::kXU) && !f.variable(nl::kX)) missing.push_back("die Koordinate xu oder x");
    if (!f.variable(nl::kYV) && !f.variable(nl::kY)) missing.push_back("die Koordinate yv oder y");
    if (!f.variable(nl::kZW) && !f.variable(nl::kDZ)) missing.push_back("die Koordinate zw oder die Schichtdicken dz");
    if (!missing.empty())
        f.fail(std::string("es fehlt, was ein Lauf mit ") + (coefficients ? "Diffusionskoeffizienten" : "Windfeld") +
               " braucht: " + join(missing));

    // The grid follows from the fields' dimensions, which must agree with each other.
    for (int c = 0; c < 3; ++c) {
        NcField& s = source->fields[static_cast<std::size_t>(c)];
        s.layout = &layouts[c];
        s.varid = *f.variable(layouts[c].name);
        s.leading = leading_dimensions(f, s.varid, layouts[c].name, layouts[c].dims);
        s.decoding = decoding_of(f, s.varid);
    }
    const std::size_t nx = *f.dimension(nl::kX), ny = *f.dimension(nl::kY), nz = *f.dimension(nl::kZ);
    struct AxisDimensions {
        const char* faces;
        const char* centres;
        std::size_t n;
    };
    for (const auto& [faces, centres, n] : {AxisDimensions{nl::kXU, nl::kX, nx}, AxisDimensions{nl::kYV, nl::kY, ny},
                                            AxisDimensions{nl::kZW, nl::kZ, nz}}) {
        const std::size_t nf = *f.dimension(faces);
        if (nf != n + 1)
            f.fail(std::string("die Dimension ") + faces + " (" + std::to_string(nf) + ") muss eine Fläche mehr haben als " +
                   centres + " (" + std::to_string(n) + ")");
    }
    const std::string dims = std::to_string(nx) + " " + std::to_string(ny) + " " + std::to_string(nz);
    if (nx < 1 || ny < 1 || nz < 1 || nx > kMaxCells || ny > kMaxCells || nz > kMaxCells)
        f.fail("ungültige Dimensionen NX,NY,NZ = " + dims + " (1 bis " + std::to_string(kMaxCells) + " je Richtung)");
    const std::uint64_t needed = bytes_needed(f, nx, ny, nz);
    if (needed / kMaxExpansion > size)
        f.fail("die Dimensionen NX,NY,NZ = " + dims + " brauchen " + std::to_string(needed) +
               " Bytes; so viel kann eine Datei von " + std::to_string(size) + " Bytes nicht enthalten");

    read_texts(f, MNAME);
    read_grid(f, nx, ny, nz);
    read_inflow(f);
    read_obstacles(f, path);

    // The fields: read now, or section by section as the pictures ask.
    model_fields() = ModelFields();
    if (by_level) read_by_section(std::move(source), coefficients);
    else read_whole(std::move(source), coefficients);
}

}  // namespace resultfile
