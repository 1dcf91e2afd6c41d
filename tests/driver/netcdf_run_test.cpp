// The example run through erg2nc and back into mural, checked by readers that
// are not MURAL's (ncdump, xarray, GDAL), and erg2nc's refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class NetcdfRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(MURAL_EXAMPLES_DIR))
            if (entry.is_regular_file()) fs::copy_file(entry.path(), dir.path() / entry.path().filename());
    }
    RunResult erg2nc(const std::vector<std::string>& args) { return run_program(ERG2NC_EXECUTABLE, dir.path(), args); }
    // The plot of a mural run in `where`, empty when the run failed.
    std::string plot(const fs::path& where, const std::vector<std::string>& args, const std::string& answers) {
        fs::remove(where / "MURAL.PLT");
        const RunResult r = run_mural(where, args, answers);
        EXPECT_EQ(r.status, 0) << args[0] << "\n" << r.err;
        return read_file((where / "MURAL.PLT").string());
    }
    bool temporary_files_left() const {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().front() == '.') return true;
        return false;
    }
    ScratchDir dir;
};

TEST_F(NetcdfRun, MuralDrawsTheSamePlotFromTheNetcdfFile) {
    // Named by its coefficient file: the wind and the coefficients.
    const RunResult made = erg2nc({"run1.DIF"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(contains(made.out, " ERG2NC-I-run1.nc geschrieben")) << made.out;
    struct Picture {
        std::vector<std::string> options;
        const char* answers;
    };
    const std::vector<Picture> pictures = {
        {{"/l:RO"}, "V\nK03\n\n2\n3\n"},          {{"/l:RO"}, "S\nK03\n\n\n\n"},
        {{"/l:RO"}, "T\nK03\n30\n\n\n"},          {{"/l:RO"}, "FI\nK03\n\n\n\n"},
        {{"/l:UL"}, "W\nJ25\n\n\n\n"},            {{"/l:RO"}, "G\nK05\n\n\n\n"},
        {{"/l:RO"}, "D\nK03\n\n\n\n"},            {{"/l:RO", "/o"}, "V\nK03\n\n2\n3\n"},
        {{"/l:RO"}, "V\nI30\n\n\n\n\n\n"},        {{"/l:UR", "/m"}, "V\nM02\n\n2\n3\n"},
    };
    for (const Picture& p : pictures) {
        std::vector<std::string> erg = {"run1"}, nc = {"run1.nc"};
        erg.insert(erg.end(), p.options.begin(), p.options.end());
        nc.insert(nc.end(), p.options.begin(), p.options.end());
        const std::string from_result = plot(dir.path(), erg, p.answers);
        const std::string from_netcdf = plot(dir.path(), nc, p.answers);
        EXPECT_FALSE(from_result.empty()) << p.answers;
        EXPECT_TRUE(from_result == from_netcdf) << p.answers;
    }
    // The coefficients. The plot's title names the file that was given, so
    // the NetCDF file goes by the coefficient file's name here.
    const fs::path k = dir.path() / "k";
    fs::create_directory(k);
    fs::copy_file(dir.path() / "run1.nc", k / "run1.DIF");
    for (const char* name : {"MURAL.ISO", "MURAL.RAS", "LESDIG.DEF", "hintergrund.dig"})
        fs::copy_file(dir.path() / name, k / name);
    for (const char* answers : {"K\nK03\n\n\n\n", "KI\nJ25\n\n\n\n"}) {
        const std::string from_result = plot(dir.path(), {"run1.DIF", "/l:RO"}, answers);
        const std::string from_netcdf = plot(k, {"run1.DIF", "/l:RO", "/k"}, answers);
        EXPECT_FALSE(from_result.empty()) << answers;
        EXPECT_TRUE(from_result == from_netcdf) << answers;
    }
    EXPECT_TRUE(renders((k / "MURAL.PLT").string(), (k / "k.png").string()));
    // A file without coefficients has none to draw.
    ASSERT_EQ(erg2nc({"run1", "wind.nc"}).status, 0);
    const RunResult r = run_mural(dir.path(), {"wind.nc", "/k"}, "K\nK03\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "GET_NC-F-Datei wind.nc: es fehlt, was ein Lauf mit Diffusionskoeffizienten braucht: "
                                "KX(z,y,xu), KY(z,yv,x), KZ(zw,y,x)"))
        << r.err;
}

TEST_F(NetcdfRun, ReadersThatAreNotOursSeeTheRun) {
    const std::string python = "/usr/bin/python3";
    if (run_program(python, dir.path(), {"-c", "import xarray, netCDF4"}).status != 0 ||
        run_program("ncdump", dir.path(), {}).status == 127 ||
        run_program("gdalinfo", dir.path(), {"--version"}).status != 0)
        GTEST_SKIP() << "python3-xarray, python3-netcdf4, netcdf-bin or gdal-bin not installed (scripts/setup.sh)";
    ASSERT_EQ(erg2nc({"run1", "--dif", "run1.DIF", "--centred"}).status, 0);

    const RunResult header = run_program("ncdump", dir.path(), {"-h", "-s", "run1.nc"});
    ASSERT_EQ(header.status, 0) << header.err;
    for (const char* text :
         {"xu = 61 ;", "zw = 16 ;", "float u(z, y, xu) ;", "float v(z, yv, x) ;", "float w(zw, y, x) ;",
          "float KZ(zw, y, x) ;", "float wind_speed(z, y, x) ;", "byte obstacles(z, y, x) ;",
          "u:standard_name = \"x_wind\" ;", "w:standard_name = \"upward_air_velocity\" ;", "u:units = \"m s-1\" ;",
          "z:positive = \"up\" ;", "x:bounds = \"x_bnds\" ;", "obstacles:flag_meanings = \"air building orography porous\" ;",
          "grid:cf_role = \"grid_topology\" ;", ":Conventions = \"CF-1.10 SGRID-0.3\" ;",
          ":source = \"QEM model run, program \\\"QEM V3.2\\\", result file format 2.1\" ;", ":history = \"",
          ":result_file = \"run1.ERG\" ;", ":grid_north_angle = 90.f ;", "u:_ChunkSizes = 1, 50, 61 ;",
          "u:_DeflateLevel = 1 ;", "inflow_profile_exponent"})
        EXPECT_TRUE(contains(header.out, text)) << text;

    const std::string script = std::string(MURAL_TESTS_DIR) + "/netcdf_check.py";
    RunResult check = run_program(python, dir.path(), {script, "compare", "run1.ERG", "run1.IGB", "run1.DIF", "run1.nc"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;

    // GDAL sees the georeferenced grid of the cell centres, 5 m cells.
    const RunResult gdal = run_program("gdalinfo", dir.path(), {"NETCDF:run1.nc:wind_speed"});
    ASSERT_EQ(gdal.status, 0) << gdal.err;
    for (const char* text : {"Size is 60, 50", "Origin = (3500.000000000000000,5450.000000000000000)",
                             "Pixel Size = (5.000000000000000,-5.000000000000000)", "Band 15 "})
        EXPECT_TRUE(contains(gdal.out, text)) << text << "\n" << gdal.out;

    // A field changed in Python and written by xarray draws as the same change
    // made in the result file's bytes.
    check = run_program(python, dir.path(), {script, "change", "run1.ERG", "run1.nc", "changed"});
    ASSERT_EQ(check.status, 0) << check.out << check.err;
    const std::string answers = "V\nK03\n\n2\n3\n";
    const std::string changed = plot(dir.path(), {"changed", "/l:RO"}, answers);
    EXPECT_TRUE(changed == plot(dir.path(), {"changed.nc", "/l:RO"}, answers));
    EXPECT_FALSE(changed == plot(dir.path(), {"run1", "/l:RO"}, answers));
}

TEST_F(NetcdfRun, Erg2ncRefusesAndKeepsWhatIsThere) {
    const std::string run = read_file(dir.file("run1.ERG"));
    dir.write("kurz.ERG", run.substr(0, 2000));
    for (const char* name : {"kurz.nc", "voll.nc"}) dir.write(name, "alt");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::string shell_full = std::string("trap '' XFSZ; ulimit -f 40; exec ") + ERG2NC_EXECUTABLE + " run1 voll.nc";
    const std::vector<Case> cases = {
        {{"fehlt"}, "GET_HEAD-F-Ergebnisdatei existiert nicht! fehlt.ERG"},
        {{"kurz"}, "GQEM_DIM-F-Datei kurz.ERG ist zu kurz"},
        {{"run1", "fehlt/run1.nc"}, "ERG2NC-F-Datei fehlt/run1.nc kann nicht angelegt werden: No such file or directory"},
        {{"run1", "run1.ERG"}, "ERG2NC-F-Ausgabedatei run1.ERG ist die Eingabedatei run1.ERG selbst"},
        {{"run1", "--deflate", "12"}, "ERG2NC-F---deflate 12: erlaubt sind 0 (keine Kompression) bis 9"},
        {{"run1", "--zentriert"}, "ERG2NC-F-unbekannte Option --zentriert"},
        {{"run1.DIF", "--dif", "run1.DIF"}, "ERG2NC-F-der Lauf ist mit seiner Koeffizientendatei benannt"},
        // A full disk, as a file size limit.
        {{"sh", "-c", shell_full}, "ERG2NC-F-Datei voll.nc konnte nicht geschrieben werden: File too large"},
    };
    for (const Case& c : cases) {
        const bool shell = c.args[0] == "sh";
        const RunResult r = shell ? run_program("sh", dir.path(), {c.args[1], c.args[2]}) : erg2nc(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "fehlt.nc"));
    EXPECT_FALSE(fs::exists(dir.path() / "run1.nc"));
    EXPECT_EQ(read_file(dir.file("kurz.nc")), "alt");
    EXPECT_EQ(read_file(dir.file("voll.nc")), "alt");
    EXPECT_TRUE(read_file(dir.file("run1.ERG")) == run);
    EXPECT_FALSE(temporary_files_left());

    dir.write("text.nc", "keine NetCDF-Datei\n");
    const RunResult r = run_mural(dir.path(), {"text.nc"}, "V\nK03\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "GET_NC-F-Datei text.nc ist keine lesbare NetCDF-Datei")) << r.err;
}

}  // namespace
