// A run is read through MURAL's own readers, with the console turned to
// string streams: the atlas then refuses exactly what mural would refuse in
// header, dimensions and grid, before any picture is drawn.
#include "atlas/runs.h"

#include <glob.h>

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <sstream>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/text.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_read.h"
#include "resultfile/obstacles.h"

namespace atlas {

namespace {

std::string with_default_extension(const std::string& run) {
    return platform::has_extension(run) ? run : run + ".ERG";
}

bool extension_is(const std::string& path, std::string_view ext) {
    std::string_view e = platform::extension_of(path);
    if (e.size() != ext.size()) return false;
    for (std::size_t k = 0; k < e.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(e[k])) != ext[k]) return false;
    return true;
}

// The console of MURAL's readers, turned to strings for the time of a probe.
// A question whether to go on with an older format version gets "j": the list
// names the run, so it is meant to be drawn.
class QuietConsole {
public:
    QuietConsole() : in_("j\nj\nj\n") { platform::console().attach(in_, out_, err_); }
    ~QuietConsole() { platform::console().attach_standard_streams(); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;
    std::string out() const { return out_.str(); }

private:
    std::istringstream in_;
    std::ostringstream out_, err_;
};

}  // namespace

bool is_pattern(const std::string& run) { return run.find_first_of("*?[") != std::string::npos; }

std::vector<std::string> expand_runs(const std::string& run) {
    const std::string name = with_default_extension(run);
    if (!is_pattern(run)) return {name};
    std::vector<std::string> matches;
    glob_t found{};
    if (::glob(name.c_str(), 0, nullptr, &found) == 0)
        for (std::size_t k = 0; k < found.gl_pathc; ++k) matches.emplace_back(found.gl_pathv[k]);
    ::globfree(&found);
    return matches;
}

std::optional<RunInfo> probe_run(const std::string& path, std::string& error) {
    RunInfo run;
    run.path = path;
    std::string_view file = platform::file_name_part(path);
    run.name = std::string(file.substr(0, file.find('.')));
    run.coefficients = extension_is(path, ".DIF") || extension_is(path, ".DKM");
    std::string result = path;
    if (run.coefficients) {
        if (!platform::find_file(path)) {
            error = "Diffusionskoeffizienten " + path + " nicht gefunden";
            return std::nullopt;
        }
        result = platform::with_extension(path, ".ERG");
    }
    std::optional<std::string> found = platform::find_file(result);
    if (!found) {
        error = "Lauf " + result + " nicht gefunden";
        return std::nullopt;
    }
    std::uint64_t size = 0;
    int fd = platform::open_regular_file(*found, size);
    if (fd < 0) {
        error = "Lauf " + result + " ist keine gewöhnliche Datei";
        return std::nullopt;
    }
    ::close(fd);

    QuietConsole quiet;
    try {
        namespace rf = resultfile;
        rf::reset_model();
        std::string model;
        // A NetCDF run holds its obstacles; its fields are not read here.
        const bool netcdf = !run.coefficients && rf::is_netcdf_file(*found);
        if (netcdf) {
            rf::GET_NC(*found, false, false, true, model);
        } else {
            rf::GET_HEAD(*found, false, model);
            int nx = 0, ny = 0, nz = 0, kind = 0;
            rf::GET_DIM(nx, ny, nz, kind);
            rf::GET_GRID();
        }
        const rf::ReaderState& rs = rf::reader_state();
        const rf::Grid& g = rf::grid();
        run.NX = g.NX;
        run.NY = g.NY;
        run.NZ = g.NZ;
        run.title = platform::to_utf8(platform::trimmed(rs.TITEL));
        for (int i = 1; i <= g.NX; ++i) run.x_centres.push_back(g.XL(i));
        for (int j = 1; j <= g.NY; ++j) run.y_centres.push_back(g.YL(j));
        for (int k = 1; k <= g.NZ; ++k) run.z_centres.push_back(g.ZL(k)), run.z_faces.push_back(g.ZW(k));
        run.files.push_back(*found);
        if (!netcdf) {
            rf::GET_HAUS();
            run.files.push_back(rf::obstacles().file);
        }
        run.building_file = platform::lookup_file(platform::resolve_stored_name(rs.IGBFILE, *found));
        if (run.coefficients) run.files.push_back(platform::lookup_file(path));
        const std::string said = quiet.out();
        for (std::size_t at = said.find("Weitermachen ?"); at != std::string::npos; at = said.find("Weitermachen ?", at + 1))
            ++run.version_questions;
        rf::reset_model();
    } catch (const platform::Fatal& stop) {
        resultfile::reset_model();
        error = stop.quiet() ? "Lauf " + result + " nicht lesbar" : stop.what();
        // The readers' messages begin with a blank.
        error.erase(0, error.find_first_not_of(' '));
        return std::nullopt;
    }
    return run;
}

}  // namespace atlas
