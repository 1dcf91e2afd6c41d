// Runs as NetCDF: every family and version of the result file written by
// erg2nc's writer and read back into the same records; files from elsewhere,
// built here with the library's C interface, read or refused.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include "platform/codepage.h"
#include "result_image.h"
#include "resultfile/netcdf_read.h"
#include "resultfile/sections.h"
#include "resultfile/netcdf_write.h"
#include "resultfile/obstacles.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

struct Records {
    rf::ReaderState rs;
    rf::Grid g;
    rf::WindData w;
    rf::ModelFields m;
    rf::ObstacleList ob;
};

Records records() { return {rf::reader_state(), rf::grid(), rf::wind_data(), rf::model_fields(), rf::obstacles()}; }

template <typename T>
void expect_same_bits(std::span<const T> a, std::span<const T> b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(T)), 0) << what;
}

void expect_same_run(const Records& a, const Records& b, bool coefficients, const std::string& c) {
    EXPECT_EQ(platform::to_utf8(a.rs.TITEL), platform::to_utf8(b.rs.TITEL)) << c;
    EXPECT_EQ(a.rs.MODELL, b.rs.MODELL) << c;
    EXPECT_EQ(a.rs.MNAME, b.rs.MNAME) << c;
    EXPECT_EQ(a.rs.SVERS, b.rs.SVERS) << c;
    for (auto name : {&rf::ReaderState::INFILE, &rf::ReaderState::IGBFILE, &rf::ReaderState::ORODAT,
                      &rf::ReaderState::LANDAT, &rf::ReaderState::UVWDAT})
        EXPECT_EQ(a.rs.*name, b.rs.*name) << c;
    EXPECT_EQ(a.g.NX, b.g.NX) << c;
    EXPECT_EQ(a.g.NY, b.g.NY) << c;
    EXPECT_EQ(a.g.NZ, b.g.NZ) << c;
    for (auto v : {&rf::Grid::DX, &rf::Grid::DY, &rf::Grid::XMIN, &rf::Grid::XMAX, &rf::Grid::YMIN, &rf::Grid::YMAX})
        EXPECT_EQ(a.g.*v, b.g.*v) << c;
    for (auto v : {&rf::Grid::DXI, &rf::Grid::DYJ, &rf::Grid::DZK, &rf::Grid::XU, &rf::Grid::YV, &rf::Grid::ZW,
                   &rf::Grid::XL, &rf::Grid::YL, &rf::Grid::ZL})
        expect_same_bits<float>((a.g.*v).span(), (b.g.*v).span(), c + " grid");
    for (auto v : {&rf::WindData::WNord, &rf::WindData::DD, &rf::WindData::FF, &rf::WindData::ZA,
                   &rf::WindData::WEXP, &rf::WindData::D0, &rf::WindData::Z0, &rf::WindData::ALPHA})
        EXPECT_EQ(a.w.*v, b.w.*v) << c;
    EXPECT_EQ(a.w.TOPZU, b.w.TOPZU) << c;
    expect_same_bits<float>(a.w.U0.span(), b.w.U0.span(), c + " U0");
    expect_same_bits<float>(a.w.V0.span(), b.w.V0.span(), c + " V0");
    const auto fields = coefficients ? std::array{&rf::ModelFields::KX, &rf::ModelFields::KY, &rf::ModelFields::KZ}
                                     : std::array{&rf::ModelFields::U, &rf::ModelFields::V, &rf::ModelFields::W};
    for (auto f : fields) {
        EXPECT_EQ((a.m.*f).n3(), (b.m.*f).n3()) << c;
        expect_same_bits<float>((a.m.*f).span(), (b.m.*f).span(), c + " field");
    }
    EXPECT_EQ(a.ob.nb, b.ob.nb) << c;
    EXPECT_EQ(a.ob.no, b.ob.no) << c;
    EXPECT_EQ(a.ob.np, b.ob.np) << c;
    for (auto v : {&rf::ObstacleList::IGA, &rf::ObstacleList::IGE, &rf::ObstacleList::JGA, &rf::ObstacleList::JGE,
                   &rf::ObstacleList::KGA, &rf::ObstacleList::KGE, &rf::ObstacleList::HTYP})
        expect_same_bits<std::int16_t>((a.ob.*v).span(), (b.ob.*v).span(), c + " obstacles");
}

TEST(NetcdfRun, EveryFamilyAndVersionComesBackExactly) {
    int n = 0;
    for (const char* family : {"QEM", "TRZ"}) {
        for (float version : {2.1f, 2.0f, 1.7f, 1.6f}) {
            const std::string c = std::string(family) + " " + std::to_string(version);
            ScratchDir dir;
            ResultSpec spec;
            spec.family = family;
            spec.version = version;
            spec.title = "Pr\x81" "flauf mit Gel\x84nde";  // code page 850
            dir.write("run.ERG", result_bytes(spec));
            ObstacleSpec obstacles;
            obstacles.family = family;
            obstacles.version = version;
            if (spec.family == "QEM") obstacles.orographic = {{1, 3, 2, 2, 1, 1, 2}};
            obstacles.massive.push_back({3, 3, 1, 1, 2, 9, 1});  // above the model top
            dir.write("HAUS.IGB", obstacle_bytes(obstacles));
            const bool packed = spec.family == "QEM";
            dir.write("run.DIF", diffusion_bytes(3, 2, 2, packed ? 100.0f : 0.0f, packed ? 10.0f : 0.0f, packed));

            rf::reset_model();
            CapturedConsole console("j\nj\n");
            read_result_file(dir.file("run.ERG"));
            auto& m = rf::model_fields();
            rf::GET_DIF(dir.file("run.DIF"));
            m.KX.resize(4, 2, 2);
            rf::GET_KKK(m.KX.span(), 4, 2, 2);
            m.KY.resize(3, 3, 2);
            rf::GET_KKK(m.KY.span(), 3, 3, 2);
            m.KZ.resize(3, 2, 3);
            rf::GET_KKK(m.KZ.span(), 3, 2, 3);
            rf::GET_HAUS();
            const Records stored = records();

            rf::NetcdfExport options;
            options.coefficients = true;
            options.centred = true;
            options.deflate = n % 3 == 0 ? 0 : n % 3 == 1 ? 1 : 9;
            rf::write_netcdf_run(dir.file("run.nc"), options);
            // Both ways of reading: whole, and by section as the pictures ask.
            const bool by_level = n++ % 2 == 1;
            for (bool coefficients : {false, true}) {
                rf::reset_model();
                std::string mname;
                rf::GET_NC(dir.file("run.nc"), false, coefficients, by_level, mname);
                rf::read_field_levels(1, rf::grid().NZ);
                EXPECT_EQ(mname, stored.rs.MNAME) << c;
                expect_same_run(stored, records(), coefficients, c + (coefficients ? " K" : " UVW"));
            }
        }
    }
}

// A NetCDF file as another program writes it: a 3 x 2 x 2 grid of 10 m x 5 m
// cells and layers of 2 m and 3 m, u, v, w, their coordinates, nothing else.
struct Foreign {
    struct Var {
        nc_type type;
        std::vector<std::string> dims;
        std::vector<double> values;  // empty: defined, never written
        std::map<std::string, std::string> texts;
        std::map<std::string, double> numbers;
    };
    std::map<std::string, std::size_t> dims = {{"x", 3}, {"xu", 4}, {"y", 2}, {"yv", 3}, {"z", 2}, {"zw", 3}};
    std::map<std::string, Var> vars;

    Foreign() {
        auto ramp = [](std::size_t n, double from) {
            std::vector<double> v;
            for (std::size_t k = 0; k < n; ++k) v.push_back(from + static_cast<double>(k));
            return v;
        };
        vars["u"] = {NC_FLOAT, {"z", "y", "xu"}, ramp(16, 1.0), {}, {}};
        vars["v"] = {NC_FLOAT, {"z", "yv", "x"}, ramp(18, 100.0), {}, {}};
        vars["w"] = {NC_FLOAT, {"zw", "y", "x"}, ramp(18, 200.0), {}, {}};
        vars["xu"] = {NC_DOUBLE, {"xu"}, {100, 110, 120, 130}, {}, {}};
        vars["yv"] = {NC_DOUBLE, {"yv"}, {200, 205, 210}, {}, {}};
        vars["zw"] = {NC_DOUBLE, {"zw"}, {0, 2, 5}, {}, {}};
    }

    void write(const std::string& path) const {
        int id = -1;
        ASSERT_EQ(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id), NC_NOERR);
        std::map<std::string, int> dim_ids, var_ids;
        for (const auto& [name, length] : dims) ASSERT_EQ(nc_def_dim(id, name.c_str(), length, &dim_ids[name]), NC_NOERR);
        for (const auto& [name, v] : vars) {
            std::vector<int> ids;
            for (const auto& d : v.dims) ids.push_back(dim_ids.at(d));
            ASSERT_EQ(nc_def_var(id, name.c_str(), v.type, static_cast<int>(ids.size()), ids.data(), &var_ids[name]),
                      NC_NOERR);
            for (const auto& [att, text] : v.texts) nc_put_att_text(id, var_ids[name], att.c_str(), text.size(), text.c_str());
            // A missing value has the variable's type, scale and offset are reals.
            for (const auto& [att, number] : v.numbers)
                nc_put_att_double(id, var_ids[name], att.c_str(), att == "_FillValue" ? v.type : NC_DOUBLE, 1, &number);
        }
        ASSERT_EQ(nc_enddef(id), NC_NOERR);
        for (const auto& [name, v] : vars) {
            if (!v.values.empty() && v.type != NC_CHAR) {
                ASSERT_EQ(nc_put_var_double(id, var_ids[name], v.values.data()), NC_NOERR);
            }
        }
        ASSERT_EQ(nc_close(id), NC_NOERR);
    }
};

void read_foreign(const Foreign& file) {
    ScratchDir dir;
    file.write(dir.file("foreign.nc"));
    rf::reset_model();
    std::string mname;
    rf::GET_NC(dir.file("foreign.nc"), false, false, false, mname);
}

TEST(NetcdfRun, RefusesFilesThatLackOrBreakTheRun) {
    struct Case {
        const char* what;
        std::function<void(Foreign&)> change;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"no w", [](Foreign& f) { f.vars.erase("w"); }, "es fehlt, was ein Lauf mit Windfeld braucht: w(zw,y,x)"},
        {"no coordinates", [](Foreign& f) { f.vars.erase("xu"), f.vars.erase("zw"); },
         "braucht: die Koordinate xu oder x, die Koordinate zw oder die Schichtdicken dz"},
        {"u on the centres", [](Foreign& f) { f.vars["u"].dims = {"z", "y", "x"}, f.vars["u"].values.resize(12); },
         "u hat die Dimensionen (z, y, x), erwartet (z, y, xu)"},
        {"xu not one longer", [](Foreign& f) { f.dims["xu"] = 5, f.vars["u"].values.resize(20), f.vars["xu"].values.push_back(140); },
         "die Dimension xu (5) muss eine Fläche mehr haben als x (3)"},
        {"two times",
         [](Foreign& f) {
             f.dims["time"] = 2;
             f.vars["u"].dims.insert(f.vars["u"].dims.begin(), "time");
             f.vars["u"].values.resize(32);
         },
         "u hat 2 Werte in der Dimension time"},
        {"text instead of numbers", [](Foreign& f) { f.vars["w"].type = NC_CHAR; }, "w enthält keine Zahlen"},
        {"uneven faces", [](Foreign& f) { f.vars["xu"].values = {100, 110, 125, 130}; },
         "Koordinate xu ist nicht äquidistant (Zellweite 10.0 m): Wert 3 ist 125.0, erwartet 120.0"},
        {"layer of no thickness", [](Foreign& f) { f.vars["zw"].values = {0, 2, 2}; }, "Schichtdicke 2 ist 0.0 m"},
        {"layers beyond all heights",
         [](Foreign& f) { f.vars.erase("zw"), f.vars["dz"] = {NC_FLOAT, {"z"}, {3e38, 3e38}, {}, {}}; },
         "DZK(1)=3e+38 m ist keine brauchbare Zellbreite"},
        {"many cells claimed, none stored",
         [](Foreign& f) {
             f.dims = {{"x", 20000}, {"xu", 20001}, {"y", 20000}, {"yv", 20001}, {"z", 30}, {"zw", 31}};
             for (auto& [name, v] : f.vars) v.values.clear();
         },
         "die Dimensionen NX,NY,NZ = 20000 20000 30 brauchen 145604800000 Bytes; so viel kann eine Datei von"},
        {"too many cells", [](Foreign& f) { f.dims["x"] = 40000, f.dims["xu"] = 40001; for (auto& [n, v] : f.vars) v.values.clear(); },
         "ungültige Dimensionen NX,NY,NZ = 40000 2 2 (1 bis 32767 je Richtung)"},
    };
    for (const Case& c : cases) {
        Foreign f;
        c.change(f);
        CapturedConsole console;
        const std::string message = fatal_message([&] { read_foreign(f); });
        EXPECT_TRUE(contains(message, "GET_NC-F-Datei ")) << c.what << ": " << message;
        EXPECT_TRUE(contains(message, c.message)) << c.what << ": " << message;
    }
    // Files that the library cannot read; a classic header whose first
    // dimension claims a name of half a gigabyte is refused before it does.
    ScratchDir dir;
    dir.write("text.nc", "kein NetCDF\n");
    dir.write("name.nc", std::string("CDF\x01\0\0\0\0\0\0\0\x0a\0\0\0\x01\x20\0\0\0x\0\0\0", 24));
    CapturedConsole console;
    for (const auto& unreadable : {std::pair{"text.nc", "text.nc ist keine lesbare NetCDF-Datei: NetCDF: Unknown file format"},
                                   std::pair{"name.nc", "name.nc ist keine lesbare NetCDF-Datei: Name eines Eintrags "
                                                        "(Dimension) reicht über das Ende der Datei"}}) {
        const std::string text = fatal_message([&] {
            std::string mname;
            rf::GET_NC(dir.file(unreadable.first), false, false, false, mname);
        });
        EXPECT_TRUE(contains(text, unreadable.second)) << text;
    }
}

TEST(NetcdfRun, ReadsAFileFromElsewhere) {
    // A time axis of one value, the centres only, u packed as shorts with a
    // missing value, obstacles only as flags, no inflow.
    Foreign f;
    f.dims["time"] = 1;
    f.vars["u"] = {NC_SHORT, {"time", "z", "y", "xu"}, std::vector<double>(16, 40.0), {}, {{"scale_factor", 0.05}, {"add_offset", -1.0}, {"_FillValue", -999}}};
    f.vars["u"].values[5] = -999;
    f.vars.erase("xu");
    f.vars["x"] = {NC_DOUBLE, {"x"}, {105, 115, 125}, {}, {}};
    f.vars["obstacles"] = {NC_BYTE, {"z", "y", "x"}, {1, 1, 0, 1, 1, 3,  // level 1
                                                      1, 1, 0, 0, 0, 2}, {}, {}};  // level 2
    f.vars["obstacles"].values[2] = 7;  // no flag value: air
    CapturedConsole console;
    read_foreign(f);
    const rf::Grid& g = rf::grid();
    EXPECT_EQ(g.NX, 3);
    EXPECT_EQ(g.XMIN, 100.0f);
    EXPECT_EQ(g.DX, 10.0f);
    EXPECT_EQ(g.YMIN, 200.0f);
    EXPECT_EQ(g.DY, 5.0f);
    EXPECT_EQ(g.ZW(3), 5.0f);
    const auto& U = rf::model_fields().U;
    EXPECT_EQ(U(1, 1, 1), 1.0f);  // 40 * 0.05 - 1
    EXPECT_TRUE(std::isnan(U(2, 2, 1)));
    EXPECT_EQ(rf::model_fields().W(3, 2, 3), 217.0f);
    EXPECT_EQ(rf::reader_state().MODELL, rf::kUnknownFamily);
    // The buildings give a box of 2 x 2 cells on the ground and one of 2 x 1
    // above it; the orography and the porous cell a box each; in the order
    // of an obstacle list.
    const rf::ObstacleList& ob = rf::obstacles();
    ASSERT_EQ(ob.ngb, 4);
    EXPECT_EQ(ob.nb, 2);
    EXPECT_EQ(ob.no, 1);
    EXPECT_EQ(ob.np, 1);
    const std::int16_t expected[4][7] = {{1, 2, 1, 2, 1, 1, 1}, {1, 2, 1, 1, 2, 2, 1}, {3, 3, 2, 2, 2, 2, 2}, {3, 3, 2, 2, 1, 1, 3}};
    for (int n = 1; n <= 4; ++n) {
        const std::int16_t got[7] = {ob.IGA(n), ob.IGE(n), ob.JGA(n), ob.JGE(n), ob.KGA(n), ob.KGE(n), ob.HTYP(n)};
        EXPECT_TRUE(std::equal(got, got + 7, expected[n - 1])) << "obstacle " << n;
    }
    const std::string out = console.out();
    EXPECT_TRUE(contains(out, " GET_NC-W-der Winkel zwischen Nord und x-Achse (grid_north_angle) fehlt; 0 Grad angenommen"));
    EXPECT_TRUE(contains(out, " GET_NC-W-Anströmung ohne inflow_direction, inflow_speed, inflow_reference_height, "
                              "displacement_height, roughness_length, u0, v0; 0 angenommen"));
    EXPECT_TRUE(contains(out, " GET_NC-W-1 Zellen von obstacles mit unbekanntem Wert gelten als Luft"));
    // The missing value is checked like a value of a result file that is no number.
    EXPECT_TRUE(contains(out, " GET_NC-W-Feld u: 1 Wert nicht endlich (NaN oder unendlich), erster bei (i,j,k) = (2,2,1)"));
}

}  // namespace
