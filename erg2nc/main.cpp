// erg2nc RUN[.ERG] [OUT.nc] [--dif FILE] [--centred] [--deflate N]
//
// Reads a model run through the same readers as mural (result file, the
// obstacle file its header names, and the diffusion coefficients when asked
// for or when the run is named by its coefficient file, as mural takes it)
// and writes it as one CF-NetCDF file, by default RUN.nc beside the run.
// Nothing is written unless the whole run was read; the file appears under its
// name only when complete.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_write.h"
#include "resultfile/obstacles.h"

namespace {

constexpr char ROUTINE[] = "ERG2NC";

void print_usage() {
    auto& con = platform::console();
    con.line(" Aufruf:  erg2nc Lauf[.ERG] [Ausgabe.nc] [Optionen]");
    con.line("  Lauf.ERG\t\t - Ergebnisdatei; Lauf.DIF oder Lauf.DKM nimmt die Diffusionskoeffizienten mit");
    con.line("  Ausgabe.nc\t\t - NetCDF-Datei (ohne Angabe Lauf.nc neben dem Lauf)");
    con.line(" Optionen:");
    con.line("  --dif DATEI\t\t - Diffusionskoeffizienten KX, KY, KZ aus DATEI");
    con.line("  --centred\t\t - zusätzlich u, v, w und Horizontalgeschwindigkeit in den Zellmitten");
    con.line("  --deflate N\t\t - Kompression 0 (keine) bis 9, ohne Angabe 1");
    con.line("  --help, --version");
}

struct Command {
    std::string run, output, dif;
    bool centred = false;
    int deflate = 1;
};

// An option's value: glued with "=" or the next argument.
std::string option_value(const std::vector<std::string>& args, std::size_t& a, const std::string& name) {
    const std::string& arg = args[a];
    if (arg.size() > name.size() && arg[name.size()] == '=') return arg.substr(name.size() + 1);
    if (arg != name || a + 1 >= args.size()) platform::fatal(ROUTINE, "Option " + name + " ohne Wert");
    return args[++a];
}

bool is_option(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

Command parse(const std::vector<std::string>& args) {
    Command c;
    std::vector<std::string> names;
    for (std::size_t a = 0; a < args.size(); ++a) {
        const std::string& arg = args[a];
        if (is_option(arg, "--dif")) {
            c.dif = option_value(args, a, "--dif");
        } else if (arg == "--centred" || arg == "--centered") {
            c.centred = true;
        } else if (is_option(arg, "--deflate")) {
            const std::string value = option_value(args, a, "--deflate");
            if (value.size() != 1 || value[0] < '0' || value[0] > '9')
                platform::fatal(ROUTINE, "--deflate " + value + ": erlaubt sind 0 (keine Kompression) bis 9");
            c.deflate = value[0] - '0';
        } else if (arg.size() > 1 && arg[0] == '-') {
            platform::fatal(ROUTINE, "unbekannte Option " + arg + " (erg2nc --help zeigt die Optionen)");
        } else {
            names.push_back(arg);
        }
    }
    if (names.empty()) {
        print_usage();
        platform::fatal(ROUTINE, "keine Ergebnisdatei angegeben");
    }
    if (names.size() > 2) platform::fatal(ROUTINE, "mehr als eine Ergebnis- und eine Ausgabedatei angegeben");
    c.run = names[0];
    if (names.size() == 2) c.output = names[1];
    return c;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

// "2024-05-02T10:15:00Z erg2nc run1.ERG" for the history attribute.
std::string history_line(const std::vector<std::string>& args) {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = std::string(stamp) + " erg2nc";
    for (const std::string& arg : args) line += " " + arg;
    return line;
}

// The output may not replace a file of the run.
void refuse_input_as_output(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!input.empty() && std::filesystem::equivalent(output, input, ec))
            platform::fatal(ROUTINE, "Ausgabedatei " + output + " ist die Eingabedatei " + input +
                                         " selbst; sie bleibt unverändert");
    }
}

int run(const std::vector<std::string>& args) {
    auto& con = platform::console();
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            print_usage();
            return 0;
        }
        if (arg == "--version") {
            con.line(" ## ERG2NC (MURAL V" MURAL_VERSION ")");
            return 0;
        }
    }
    Command c = parse(args);
    namespace rf = resultfile;

    // The run is named as for mural: a name without extension gets ".ERG"; a
    // coefficient file (".DIF", ".DKM") brings the result file of its name.
    std::string result = c.run;
    if (!platform::has_extension(result)) result += ".ERG";
    const std::string ext = lower(platform::extension_of(result));
    if (ext == ".dif" || ext == ".dkm") {
        if (!c.dif.empty()) platform::fatal(ROUTINE, "der Lauf ist mit seiner Koeffizientendatei benannt und --dif " + c.dif);
        c.dif = result;
        result = platform::with_extension(result, ".ERG");
        // As mural: the result file of a ".DKM" file is looked for in the working directory.
        if (ext == ".dkm") result = std::string(platform::file_name_part(result));
    }
    if (c.output.empty()) c.output = platform::with_extension(c.run, ".nc");

    std::string mname;
    rf::GET_HEAD(result, false, mname);
    int NX = 0, NY = 0, NZ = 0, kGrid = 0;
    rf::GET_DIM(NX, NY, NZ, kGrid);
    rf::GET_GRID();
    rf::GET_ANS();
    rf::ModelFields& m = rf::model_fields();
    rf::read_face_fields(rf::GET_UVW, m.U, m.V, m.W);
    if (!c.dif.empty()) {
        rf::GET_DIF(c.dif);
        rf::read_face_fields(rf::GET_KKK, m.KX, m.KY, m.KZ);
    }
    rf::GET_HAUS();

    const rf::ReaderState& rs = rf::reader_state();
    refuse_input_as_output(c.output, {rs.result_name, rs.diffusion_name, rf::obstacles().file});
    rf::NetcdfExport options;
    options.deflate = c.deflate;
    options.coefficients = !c.dif.empty();
    options.centred = c.centred;
    options.history = history_line(args);
    options.result_file = rs.result_name;
    options.obstacle_file = rf::obstacles().file;
    options.coefficient_file = rs.diffusion_name;
    rf::write_netcdf_run(c.output, options);

    std::error_code ec;
    const auto bytes = std::filesystem::file_size(c.output, ec);
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MB", static_cast<double>(ec ? 0 : bytes) / 1.0e6);
    con.line(" ERG2NC-I-" + c.output + " geschrieben (" + size + "): u, v, w" +
             (options.coefficients ? ", KX, KY, KZ" : "") + (c.centred ? ", Zellmittel" : "") + ", " +
             std::to_string(rf::obstacles().ngb) + " Hindernisse");
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return platform::run_command(ROUTINE, argc, argv, run); }
