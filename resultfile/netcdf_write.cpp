// Writing a run as NetCDF-4 (CF-1.10, SGRID-0.3): the wind as stored, each
// component on its own faces; the coefficients and the cell-centre means when
// asked for; the obstacles as a flag field and as their list; coordinates with
// bounds; the inflow; the names of the files read. Compressed fields are
// chunked by level (a picture of one level reads one chunk per field),
// uncompressed ones stored contiguous, where a level is one block anyway.
//
// The file is made in memory and written as MURAL writes every file, under a
// temporary name renamed when complete: the library does not survive a write
// that fails on a full disk (it crashes when the file is closed), and then
// the file would be in its hands.
#include "resultfile/netcdf_write.h"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_file.h"
#include "resultfile/netcdf_layout.h"

namespace resultfile {

namespace {

namespace nl = netcdf;

constexpr char ROUTINE[] = "ERG2NC";

class Writer {
public:
    Writer(NcFile& f, int deflate) : f_(f), deflate_(deflate) {}

    void dimension(const char* name, std::size_t length) {
        int id = -1;
        f_.check(nc_def_dim(f_.id(), name, length, &id), std::string("Dimension ") + name);
        dims_[name] = id;
    }

    // A variable with its attributes given as name/text pairs.
    int variable(const char* name, nc_type type, std::initializer_list<const char*> dims,
                 std::initializer_list<std::pair<const char*, std::string_view>> texts = {}) {
        std::vector<int> ids;
        for (const char* d : dims) ids.push_back(dims_.at(d));
        int id = -1;
        f_.check(nc_def_var(f_.id(), name, type, static_cast<int>(ids.size()), ids.data(), &id),
                 std::string("Variable ") + name);
        for (const auto& [attribute, value] : texts) f_.put_text(id, attribute, value);
        return id;
    }

    // A 3-D field (z, y, x), chunked by level and compressed unless deflate is 0.
    int field(const char* name, nc_type type, const char* const (&dims)[3],
              std::initializer_list<std::pair<const char*, std::string_view>> texts, const char* location) {
        const int id = variable(name, type, {dims[0], dims[1], dims[2]}, texts);
        f_.put_text(id, "grid", "grid");
        f_.put_text(id, "location", location);
        if (deflate_ > 0) {
            std::size_t chunk[3] = {1, length(dims[1]), length(dims[2])};
            f_.check(nc_def_var_chunking(f_.id(), id, NC_CHUNKED, chunk), std::string("Chunks von ") + name);
            f_.check(nc_def_var_deflate(f_.id(), id, 1, 1, deflate_), std::string("Kompression von ") + name);
        } else {
            f_.check(nc_def_var_chunking(f_.id(), id, NC_CONTIGUOUS, nullptr), std::string("Ablage von ") + name);
        }
        return id;
    }

    std::size_t length(const char* dim) const {
        std::size_t n = 0;
        f_.check(nc_inq_dimlen(f_.id(), dims_.at(dim), &n), dim);
        return n;
    }

private:
    NcFile& f_;
    int deflate_;
    std::map<std::string, int> dims_;
};

std::vector<double> as_doubles(const platform::Array1D<float>& a) {
    return std::vector<double>(a.span().begin(), a.span().end());
}

std::vector<double> bounds(const platform::Array1D<float>& faces) {
    std::vector<double> b;
    for (int i = 1; i < faces.n(); ++i) {
        b.push_back(faces(i));
        b.push_back(faces(i + 1));
    }
    return b;
}

// The flag field of the obstacle list: porous first, then orography, then
// buildings, so that a building wins a cell that several boxes share. Boxes
// reaching above the model are cut at its top.
std::vector<signed char> obstacle_flags(const ObstacleList& ob, const Grid& g) {
    const std::size_t nx = static_cast<std::size_t>(g.NX), ny = static_cast<std::size_t>(g.NY);
    std::vector<signed char> flags(nx * ny * static_cast<std::size_t>(g.NZ), nl::kAir);
    const int first[3] = {ob.nb + ob.no + 1, ob.nb + 1, 1}, last[3] = {ob.ngb, ob.nb + ob.no, ob.nb};
    const signed char flag[3] = {nl::kPorous, nl::kOrography, nl::kBuilding};
    for (int group = 0; group < 3; ++group)
        for (int n = first[group]; n <= last[group]; ++n)
            for (int k = std::max<int>(ob.KGA(n), 1); k <= std::min<int>(ob.KGE(n), g.NZ); ++k)
                for (int j = std::max<int>(ob.JGA(n), 1); j <= std::min<int>(ob.JGE(n), g.NY); ++j)
                    for (int i = std::max<int>(ob.IGA(n), 1); i <= std::min<int>(ob.IGE(n), g.NX); ++i)
                        flags[static_cast<std::size_t>(i - 1) +
                              nx * (static_cast<std::size_t>(j - 1) + ny * static_cast<std::size_t>(k - 1))] =
                            flag[group];
    return flags;
}

// The run's title without the family that the reader put before it.
std::string run_title(const ReaderState& rs) {
    std::string title = rs.TITEL;
    const std::string family = platform::trimmed(rs.MNAME);
    if (!family.empty() && title.compare(0, family.size() + 1, family + " ") == 0) title.erase(0, family.size() + 1);
    return platform::to_utf8(platform::trimmed(title));
}

std::string number_text(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(v));
    return text;
}

}  // namespace

namespace {

// The variables of the file, as the library numbers them.
struct VariableIds {
    int coordinates[6] = {};
    int x_bnds = -1, y_bnds = -1, z_bnds = -1, dx = -1, dy = -1, dz = -1, topology = -1;
    int wind[3] = {-1, -1, -1}, coefficients[3] = {-1, -1, -1}, centred[4] = {-1, -1, -1, -1};
    int flags = -1, box = -1, type = -1, cls = -1;
    std::vector<int> scalars;
    int top = -1, u0 = -1, v0 = -1;
};

// Coordinates: centres with their bounds, faces half a cell lower.
struct Coordinate {
    const char* name;
    const char* standard_name;
    const char* axis;
    const char* long_name;
    const char* bounds;  // nullptr: faces
    const platform::Array1D<float>* values;
};

std::array<Coordinate, 6> coordinates_of(const Grid& g) {
    return {{{nl::kX, "projection_x_coordinate", "X", "x of the cell centres", "x_bnds", &g.XL},
             {nl::kXU, "projection_x_coordinate", "X", "x of the cell faces (points of u)", nullptr, &g.XU},
             {nl::kY, "projection_y_coordinate", "Y", "y of the cell centres", "y_bnds", &g.YL},
             {nl::kYV, "projection_y_coordinate", "Y", "y of the cell faces (points of v)", nullptr, &g.YV},
             {nl::kZ, "height", "Z", "height of the layer centres above the model ground", "z_bnds", &g.ZL},
             {nl::kZW, "height", "Z", "height of the layer faces above the model ground (points of w)", nullptr,
              &g.ZW}}};
}

// The inflow scalars.
struct Scalar {
    const char* name;
    float value;
    const char* units;
    const char* standard_name;
    const char* long_name;
};

std::vector<Scalar> inflow_scalars(const ReaderState& rs, const WindData& wind) {
    std::vector<Scalar> scalars = {
        {nl::kNorthAngle, wind.WNord, "degree", nullptr, "angle between north and the x axis of the grid"},
        {nl::kDirection, wind.DD, "degree", "wind_from_direction", "inflow wind direction"},
        {nl::kSpeed, wind.FF, "m s-1", "wind_speed", "inflow wind speed at the reference height"},
        {nl::kReferenceHeight, wind.ZA, "m", nullptr, "height at which the inflow speed holds"},
        {nl::kDisplacement, wind.D0, "m", nullptr, "zero-plane displacement height"},
        {nl::kRoughness, wind.Z0, "m", "surface_roughness_length", "roughness length"},
        {nl::kAlpha, wind.ALPHA, "1", nullptr, "ratio of alpha(h) to alpha(v) of the model"}};
    // The TRZ family has no profile exponent.
    if (rs.MODELL != kTRZ)
        scalars.push_back({nl::kExponent, wind.WEXP, "1", nullptr, "exponent of the power-law inflow profile"});
    return scalars;
}

constexpr const char* kCentre[3] = {nl::kZ, nl::kY, nl::kX};
constexpr char kGridRelative[] =
    "relative to the model grid, whose x axis makes the angle grid_north_angle with north";

// Dimensions, coordinates, cell widths and the staggered grid's topology.
void define_grid(Writer& w, NcFile& f, const Grid& g, bool listed, VariableIds& ids) {
    const std::size_t NX = static_cast<std::size_t>(g.NX), NY = static_cast<std::size_t>(g.NY),
                      NZ = static_cast<std::size_t>(g.NZ);
    w.dimension(nl::kX, NX);
    w.dimension(nl::kXU, NX + 1);
    w.dimension(nl::kY, NY);
    w.dimension(nl::kYV, NY + 1);
    w.dimension(nl::kZ, NZ);
    w.dimension(nl::kZW, NZ + 1);
    w.dimension(nl::kBounds, 2);
    if (listed) {
        w.dimension(nl::kObstacle, static_cast<std::size_t>(obstacles().ngb));
        w.dimension(nl::kBoxLimit, 6);
    }
    const std::array<Coordinate, 6> coordinates = coordinates_of(g);
    for (int c = 0; c < 6; ++c) {
        const Coordinate& k = coordinates[c];
        const int v = w.variable(k.name, NC_DOUBLE, {k.name},
                                 {{"standard_name", k.standard_name}, {"long_name", k.long_name}, {"units", "m"},
                                  {"axis", k.axis}});
        if (k.axis[0] == 'Z') f.put_text(v, "positive", "up");
        if (k.bounds) f.put_text(v, "bounds", k.bounds);
        else f.put_number(v, "c_grid_axis_shift", NC_DOUBLE, {-0.5});
        ids.coordinates[c] = v;
    }
    ids.x_bnds = w.variable("x_bnds", NC_DOUBLE, {nl::kX, nl::kBounds});
    ids.y_bnds = w.variable("y_bnds", NC_DOUBLE, {nl::kY, nl::kBounds});
    ids.z_bnds = w.variable("z_bnds", NC_DOUBLE, {nl::kZ, nl::kBounds});
    ids.dx = w.variable(nl::kDX, NC_FLOAT, {}, {{"long_name", "cell width in x"}, {"units", "m"}});
    ids.dy = w.variable(nl::kDY, NC_FLOAT, {}, {{"long_name", "cell width in y"}, {"units", "m"}});
    ids.dz = w.variable(nl::kDZ, NC_FLOAT, {nl::kZ}, {{"long_name", "layer thickness"}, {"units", "m"}});
    // The staggered grid: cells on x, y (faces xu, yv), layers z between the faces zw.
    ids.topology = w.variable(
        "grid", NC_INT, {},
        {{"cf_role", "grid_topology"}, {"long_name", "staggered grid of the model (Arakawa C)"},
         {"node_dimensions", "xu yv"}, {"face_dimensions", "x: xu (padding: none) y: yv (padding: none)"},
         {"vertical_dimensions", "z: zw (padding: none)"}, {"node_coordinates", "xu yv"},
         {"face_coordinates", "x y"}, {"edge1_coordinates", "xu y"}, {"edge2_coordinates", "x yv"}});
    f.put_number(ids.topology, "topology_dimension", NC_INT, {2});
}

// The wind, the coefficients and the cell-centre means when asked for.
void define_fields(Writer& w, NcFile& f, const NetcdfExport& o, VariableIds& ids) {
    const nl::FieldLayout* wl = nl::kWindFields;
    ids.wind[0] = w.field(wl[0].name, NC_FLOAT, wl[0].dims,
                          {{"standard_name", "x_wind"}, {"long_name", "wind along x on the x faces of the cells"},
                           {"units", "m s-1"}, {"comment", kGridRelative}}, wl[0].location);
    ids.wind[1] = w.field(wl[1].name, NC_FLOAT, wl[1].dims,
                          {{"standard_name", "y_wind"}, {"long_name", "wind along y on the y faces of the cells"},
                           {"units", "m s-1"}, {"comment", kGridRelative}}, wl[1].location);
    ids.wind[2] = w.field(wl[2].name, NC_FLOAT, wl[2].dims,
                          {{"standard_name", "upward_air_velocity"},
                           {"long_name", "vertical wind on the z faces of the cells"}, {"units", "m s-1"}},
                          wl[2].location);
    if (o.coefficients) {
        static constexpr const char* kAlong[3] = {"exchange coefficient along x on the x faces of the cells",
                                                  "exchange coefficient along y on the y faces of the cells",
                                                  "exchange coefficient along z on the z faces of the cells"};
        for (int c = 0; c < 3; ++c) {
            const nl::FieldLayout& l = nl::kCoefficientFields[c];
            ids.coefficients[c] =
                w.field(l.name, NC_FLOAT, l.dims, {{"long_name", kAlong[c]}, {"units", "m2 s-1"}}, l.location);
        }
    }
    if (o.centred) {
        static constexpr const char* kMeans[4][3] = {
            {"u_centred", "x_wind", "wind along x, mean of the cell's two x faces"},
            {"v_centred", "y_wind", "wind along y, mean of the cell's two y faces"},
            {"w_centred", "upward_air_velocity", "vertical wind, mean of the cell's two z faces"},
            {"wind_speed", "wind_speed", "speed of the horizontal wind at the cell centre"}};
        for (int c = 0; c < 4; ++c) {
            ids.centred[c] = w.field(kMeans[c][0], NC_FLOAT, kCentre,
                                     {{"standard_name", kMeans[c][1]}, {"long_name", kMeans[c][2]},
                                      {"units", "m s-1"}},
                                     "face");
            if (c < 2) f.put_text(ids.centred[c], "comment", kGridRelative);
        }
    }
}

// Obstacles: the flag field for other tools, the list for the exact run.
void define_obstacles(Writer& w, NcFile& f, bool listed, VariableIds& ids) {
    ids.flags = w.field(nl::kObstacleFlags, NC_BYTE, kCentre, {{"long_name", "obstacle in the cell"}}, "face");
    f.put_number(ids.flags, "flag_values", NC_BYTE, {nl::kAir, nl::kBuilding, nl::kOrography, nl::kPorous});
    f.put_text(ids.flags, "flag_meanings", nl::kObstacleMeanings);
    if (!listed) return;
    ids.box = w.variable(nl::kObstacleBox, NC_SHORT, {nl::kObstacle, nl::kBoxLimit},
                         {{"long_name", "cells of the obstacle: first and last index in x, y and z (from 1, inclusive)"}});
    ids.type = w.variable(nl::kObstacleType, NC_SHORT, {nl::kObstacle},
                          {{"long_name", "type code of the obstacle as the model stores it"}});
    ids.cls = w.variable(nl::kObstacleClass, NC_BYTE, {nl::kObstacle}, {{"long_name", "kind of obstacle"}});
    f.put_number(ids.cls, "flag_values", NC_BYTE, {nl::kBuilding, nl::kOrography, nl::kPorous});
    f.put_text(ids.cls, "flag_meanings", "building orography porous");
}

// The inflow scalars and profiles.
void define_inflow(Writer& w, NcFile& f, const std::vector<Scalar>& scalars, VariableIds& ids) {
    for (const Scalar& s : scalars) {
        ids.scalars.push_back(w.variable(s.name, NC_FLOAT, {}, {{"long_name", s.long_name}, {"units", s.units}}));
        if (s.standard_name) f.put_text(ids.scalars.back(), "standard_name", s.standard_name);
    }
    ids.top = w.variable(nl::kTopClosed, NC_BYTE, {}, {{"long_name", "upper model boundary"}});
    f.put_number(ids.top, "flag_values", NC_BYTE, {0, 1});
    f.put_text(ids.top, "flag_meanings", "open closed");
    ids.u0 = w.variable(nl::kU0, NC_FLOAT, {nl::kZ},
                        {{"standard_name", "x_wind"}, {"long_name", "inflow profile, wind along x"}, {"units", "m s-1"}});
    ids.v0 = w.variable(nl::kV0, NC_FLOAT, {nl::kZ},
                        {{"standard_name", "y_wind"}, {"long_name", "inflow profile, wind along y"}, {"units", "m s-1"}});
}

// The attributes of the file: conventions, title, source, history, the files read.
void put_globals(NcFile& f, const NetcdfExport& o, const ReaderState& rs, const WindData& wind) {
    const std::string family = platform::trimmed(rs.MNAME);
    auto global = [&](const char* name, const std::string& text) {
        if (!text.empty()) f.put_text(NC_GLOBAL, name, text);
    };
    global("Conventions", "CF-1.10 SGRID-0.3");
    global("title", run_title(rs));
    global("source", family + " model run, program \"" + platform::to_utf8(rs.program) + "\", result file format " +
                         number_text(rs.SVERS));
    global("history", o.history);
    global(nl::kFamily, family);
    global(nl::kProgram, platform::to_utf8(rs.program));
    f.put_number(NC_GLOBAL, nl::kFormatVersion, NC_FLOAT, {rs.SVERS});
    f.put_number(NC_GLOBAL, nl::kNorthAngle, NC_FLOAT, {wind.WNord});
    global(nl::kResultFile, o.result_file);
    global(nl::kObstacleFile, o.obstacle_file);
    if (o.coefficients) global(nl::kCoefficientFile, o.coefficient_file);
    global(nl::kHeaderControl, platform::to_utf8(rs.INFILE));
    global(nl::kHeaderObstacle, platform::to_utf8(rs.IGBFILE));
    global(nl::kHeaderOrography, platform::to_utf8(rs.ORODAT));
    global(nl::kHeaderLandUse, platform::to_utf8(rs.LANDAT));
    global(nl::kHeaderWind, platform::to_utf8(rs.UVWDAT));
}

// The values of the grid and the inflow.
void put_grid_and_inflow(NcFile& f, const Grid& g, const WindData& wind, const std::vector<Scalar>& scalars,
                         const VariableIds& ids) {
    const int id = f.id();
    const std::array<Coordinate, 6> coordinates = coordinates_of(g);
    for (int c = 0; c < 6; ++c)
        f.check(nc_put_var_double(id, ids.coordinates[c], as_doubles(*coordinates[c].values).data()),
                coordinates[c].name);
    f.check(nc_put_var_double(id, ids.x_bnds, bounds(g.XU).data()), "x_bnds");
    f.check(nc_put_var_double(id, ids.y_bnds, bounds(g.YV).data()), "y_bnds");
    f.check(nc_put_var_double(id, ids.z_bnds, bounds(g.ZW).data()), "z_bnds");
    f.check(nc_put_var_float(id, ids.dx, &g.DX), nl::kDX);
    f.check(nc_put_var_float(id, ids.dy, &g.DY), nl::kDY);
    f.check(nc_put_var_float(id, ids.dz, g.DZK.span().data()), nl::kDZ);
    const int zero = 0;
    f.check(nc_put_var_int(id, ids.topology, &zero), "grid");
    for (std::size_t s = 0; s < scalars.size(); ++s)
        f.check(nc_put_var_float(id, ids.scalars[s], &scalars[s].value), scalars[s].name);
    const signed char closed = wind.TOPZU ? 1 : 0;
    f.check(nc_put_var_schar(id, ids.top, &closed), nl::kTopClosed);
    f.check(nc_put_var_float(id, ids.u0, wind.U0.span().data()), nl::kU0);
    f.check(nc_put_var_float(id, ids.v0, wind.V0.span().data()), nl::kV0);
}

// The cell-centre means, level by level, as the pictures average the faces.
void put_centred(NcFile& f, const Grid& g, const ModelFields& m, const VariableIds& ids) {
    const std::size_t NX = static_cast<std::size_t>(g.NX), NY = static_cast<std::size_t>(g.NY);
    std::vector<float> level[4];
    for (auto& l : level) l.resize(NX * NY);
    for (int k = 1; k <= g.NZ; ++k) {
        std::size_t n = 0;
        for (int j = 1; j <= g.NY; ++j)
            for (int i = 1; i <= g.NX; ++i, ++n) {
                const float uc = 0.5f * (m.U(i, j, k) + m.U(i + 1, j, k));
                const float vc = 0.5f * (m.V(i, j, k) + m.V(i, j + 1, k));
                level[0][n] = uc;
                level[1][n] = vc;
                level[2][n] = 0.5f * (m.W(i, j, k) + m.W(i, j, k + 1));
                level[3][n] = std::hypot(uc, vc);
            }
        const std::size_t start[3] = {static_cast<std::size_t>(k - 1), 0, 0}, count[3] = {1, NY, NX};
        for (int c = 0; c < 4; ++c)
            f.check(nc_put_vara_float(f.id(), ids.centred[c], start, count, level[c].data()), "Zellmittel");
    }
}

// The obstacle flag field and list.
void put_obstacles(NcFile& f, const Grid& g, const ObstacleList& ob, bool listed, const VariableIds& ids) {
    const int id = f.id();
    f.check(nc_put_var_schar(id, ids.flags, obstacle_flags(ob, g).data()), nl::kObstacleFlags);
    if (!listed) return;
    std::vector<short> limits, types;
    std::vector<signed char> classes;
    for (int n = 1; n <= ob.ngb; ++n) {
        for (const auto* a : {&ob.IGA, &ob.IGE, &ob.JGA, &ob.JGE, &ob.KGA, &ob.KGE}) limits.push_back((*a)(n));
        types.push_back(ob.HTYP(n));
        classes.push_back(n <= ob.nb ? nl::kBuilding : n <= ob.nb + ob.no ? nl::kOrography : nl::kPorous);
    }
    f.check(nc_put_var_short(id, ids.box, limits.data()), nl::kObstacleBox);
    f.check(nc_put_var_short(id, ids.type, types.data()), nl::kObstacleType);
    f.check(nc_put_var_schar(id, ids.cls, classes.data()), nl::kObstacleClass);
}

}  // namespace

void write_netcdf_run(const std::string& path, const NetcdfExport& o) {
    const ReaderState& rs = reader_state();
    const Grid& g = grid();
    const WindData& wind = wind_data();
    const ModelFields& m = model_fields();
    const ObstacleList& ob = obstacles();
    const std::size_t NX = static_cast<std::size_t>(g.NX), NY = static_cast<std::size_t>(g.NY),
                      NZ = static_cast<std::size_t>(g.NZ);
    const platform::Field3D<float>* wind_fields[3] = {&m.U, &m.V, &m.W};
    const platform::Field3D<float>* coefficients[3] = {&m.KX, &m.KY, &m.KZ};
    const std::size_t sizes[3] = {(NX + 1) * NY * NZ, NX * (NY + 1) * NZ, NX * NY * (NZ + 1)};
    for (int c = 0; c < 3; ++c) {
        if (wind_fields[c]->size() != sizes[c] || (o.coefficients && coefficients[c]->size() != sizes[c]))
            platform::fatal(ROUTINE, "die Felder des Laufs passen nicht zu seinem Gitter");
    }
    if (o.deflate < 0 || o.deflate > 9) platform::fatal(ROUTINE, "Kompressionsstufe " + std::to_string(o.deflate) + " (0 bis 9)");

    // The temporary file first: a directory that takes no file is known before the work.
    platform::OutputFile out;
    if (!out.open(path))
        platform::fatal(ROUTINE, "Datei " + path + " kann nicht angelegt werden: " + std::strerror(errno));
    NcFile f(ROUTINE);
    std::size_t values = sizes[0] + sizes[1] + sizes[2];
    if (o.coefficients) values *= 2;
    if (o.centred) values += 4 * NX * NY * NZ;
    if (o.deflate > 0) values /= 2;
    if (const int status = f.create_in_memory(path, NC_NETCDF4, 4 * values + (1u << 20)); status != NC_NOERR)
        platform::fatal(ROUTINE, "Datei " + path + " kann nicht angelegt werden: " + nc_strerror(status));
    int old_fill = 0;
    // Every value is written, so nothing needs filling first.
    f.check(nc_set_fill(f.id(), NC_NOFILL, &old_fill), "Füllmodus");
    Writer w(f, o.deflate);
    VariableIds ids;
    const bool listed = ob.ngb > 0;
    const std::vector<Scalar> scalars = inflow_scalars(rs, wind);
    define_grid(w, f, g, listed, ids);
    define_fields(w, f, o, ids);
    define_obstacles(w, f, listed, ids);
    define_inflow(w, f, scalars, ids);
    put_globals(f, o, rs, wind);
    f.check(nc_enddef(f.id()), "Ende der Definitionen");

    put_grid_and_inflow(f, g, wind, scalars, ids);
    for (int c = 0; c < 3; ++c) {
        f.check(nc_put_var_float(f.id(), ids.wind[c], wind_fields[c]->span().data()), nl::kWindFields[c].name);
        if (o.coefficients)
            f.check(nc_put_var_float(f.id(), ids.coefficients[c], coefficients[c]->span().data()),
                    nl::kCoefficientFields[c].name);
    }
    if (o.centred) put_centred(f, g, m, ids);
    put_obstacles(f, g, ob, listed, ids);
    NcFile::Image image;
    f.check(f.close_to_memory(image), "Abschluss der Datei");
    errno = 0;
    if (!out.write(std::string_view(static_cast<const char*>(image.bytes.get()), image.size)) || !out.commit())
        platform::fatal(ROUTINE, "Datei " + path + " konnte nicht geschrieben werden: " +
                                     (errno != 0 ? std::strerror(errno) : "Schreibfehler"));
}

}  // namespace resultfile
