// Plumbing shared by the fuzz targets. The readers take file names, so each
// input is written as a file into a scratch directory in /dev/shm (the working
// directory of the process), beside a small valid run: result, obstacle,
// diffusion-coefficient and building files of a 12 x 10 x 5 grid, the example's
// settings files. Every input starts from program start: the scratch directory
// is emptied and refilled, and every process-wide record is reset, so that an
// input gives the same run whatever ran before it.
//
// platform::Fatal is the program's clean refusal of bad input and is caught;
// anything else escapes and is reported as a crash.
#pragma once

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/startup.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "resultfile/model.h"
#include "resultfile/writer.h"
#include "velin/velin.h"

namespace fuzz {

namespace fs = std::filesystem;

// The scratch directory, and beside it VELIN's directory with copies of the
// shipped style and palette files (the style and palette targets replace one).
// Made on first use; the process works in the scratch directory.
inline const fs::path& scratch() {
    static const fs::path dir = [] {
        const fs::path base = fs::path("/dev/shm") / ("mural-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(base / "run");
        fs::copy(MURAL_SOURCE_VELIN_DIR, base / "velin", fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        ::setenv("VELIN_DIR", (base / "velin").c_str(), 1);
        fs::current_path(base / "run");
        std::atexit([] {
            std::error_code ec;
            fs::current_path("/", ec);
            fs::remove_all(fs::path("/dev/shm") / ("mural-fuzz-" + std::to_string(::getpid())), ec);
        });
        return base / "run";
    }();
    return dir;
}

inline fs::path velin_dir() { return scratch().parent_path() / "velin"; }

inline void put(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string bytes_of(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline std::string source_file_at(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A file of the source tree, e.g. "examples/LESDIG.DEF".
inline std::string source_file(const std::string& relative) {
    return source_file_at(fs::path(MURAL_SOURCE_DIR) / relative);
}

// The small run: a wind turning with height around a block, a porous hedge
// and an orographic step; "run1.dat" is its building file.
constexpr int NX = 12, NY = 10, NZ = 5;

inline resultfile::ResultFileImage small_run(float version = 2.1f, const std::string& program = "QEM V3.2") {
    resultfile::ResultFileImage r;
    r.version = version;
    r.program = program;
    r.title = "Fuzz: kleiner Lauf";
    r.infile = "RUN1.STE";
    r.igbfile = "C:\\MODELL\\RUN1.DAT";
    r.uvwdat = "RUN1.UVW";
    r.NX = NX, r.NY = NY, r.NZ = NZ;
    r.XMIN = 3500.0f, r.YMIN = 5200.0f, r.DX = 20.0f, r.DY = 20.0f;
    r.DZK = {2.0f, 3.0f, 5.0f, 10.0f, 20.0f};
    r.WNord = 90.0f, r.DD = 250.0f, r.FF = 4.0f, r.ZA = 10.0f, r.WEXP = 0.22f, r.Z0 = 0.3f;
    for (int k = 1; k <= NZ; ++k) {
        r.U0.push_back(1.0f + 0.5f * static_cast<float>(k));
        r.V0.push_back(0.3f * static_cast<float>(k));
    }
    r.ALPHA = 1.0f;
    auto wave = [](int i, int j, int k) { return std::sin(0.7f * static_cast<float>(i)) * std::cos(0.5f * static_cast<float>(j)) * 0.3f * static_cast<float>(k); };
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX + 1; ++i) r.U.push_back(2.0f + 0.4f * static_cast<float>(k) + wave(i, j, k));
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY + 1; ++j)
            for (int i = 1; i <= NX; ++i) r.V.push_back(0.5f + wave(j, i, k));
    for (int k = 1; k <= NZ + 1; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX; ++i) r.W.push_back(k == 1 || k == NZ + 1 ? 0.0f : 0.2f * wave(i, j, 1));
    return r;
}

inline resultfile::ObstacleFileImage small_obstacles(float version = 2.1f, const std::string& program = "QEM V3.2") {
    resultfile::ObstacleFileImage o;
    o.version = version;
    o.program = program;
    o.title = "Fuzz: Hindernisse";
    o.gebdat = "C:\\MODELL\\RUN1.DAT";
    o.NX = NX, o.NY = NY, o.NZ = NZ;
    o.X0 = 3500.0f, o.Y0 = 5200.0f, o.DX = 20.0f, o.DY = 20.0f;
    o.DZK = {2.0f, 3.0f, 5.0f, 10.0f, 20.0f};
    o.massive = {{4, 6, 3, 5, 1, 3, 1}, {8, 9, 7, 8, 2, 4, 1}};
    if (program.compare(0, 3, "TRZ") != 0) o.orographic = {{1, 12, 9, 10, 1, 1, 2}};
    o.porous = {{10, 11, 2, 2, 1, 2, 4}};
    return o;
}

inline resultfile::DiffusionFileImage small_diffusion(float FAKH = 100.0f, float FAKV = 100.0f) {
    resultfile::DiffusionFileImage d;
    d.run = "QEM V3.2 Fuzz";
    d.LX = NX, d.LY = NY, d.LZ = NZ;
    d.FAKH = FAKH, d.FAKV = FAKV;
    for (int n = 0; n < (NX + 1) * NY * NZ; ++n) d.KX.push_back(0.5f + 0.01f * static_cast<float>(n % 97));
    for (int n = 0; n < NX * (NY + 1) * NZ; ++n) d.KY.push_back(0.5f + 0.01f * static_cast<float>(n % 89));
    for (int n = 0; n < NX * NY * (NZ + 1); ++n) d.KZ.push_back(0.1f + 0.02f * static_cast<float>(n % 83));
    return d;
}

inline std::string building_file() {
    return "! Gebaeude\r\n! Lageplan\r\n"
           "C  0.0 10.0    3565.0  3615.0  3615.0  3565.0    5245.0  5245.0  5295.0  5295.0  0.0\r\n"
           "Q  0.0 25.0    3645.0  3675.0  3675.0  3645.0    5325.0  5325.0  5355.0  5355.0  0.0\r\n"
           "B  0.0  5.0    3700.0  3720.0  3720.0  3700.0    5225.0  5225.0  5235.0  5235.0  0.5\r\n";
}

// Back to program start: every record reset, output files discarded, the
// scratch directory emptied and the small run written into it.
inline void start() {
    scratch();
    platform::discard_temporary_files();
    driver::reset_run();
    platform::set_arguments(std::vector<std::string>{});
    for (const auto& entry : fs::directory_iterator(scratch())) fs::remove_all(entry.path());

    static const std::string result = resultfile::encode_result_file(small_run());
    static const std::string obstacles = resultfile::encode_obstacle_file(small_obstacles());
    static const std::string diffusion = resultfile::encode_diffusion_file(small_diffusion());
    put("run1.ERG", result);
    put("run1.IGB", obstacles);
    put("run1.DIF", diffusion);
    put("run1.dat", building_file());
    static const std::string iso = source_file("examples/MURAL.ISO");
    static const std::string ras = source_file("examples/MURAL.RAS");
    put("MURAL.ISO", iso);
    put("MURAL.RAS", ras);
}

// The answer to the readers' question whether to go on with a file of another
// format version than the current one (its first four bytes): yes.
inline std::string version_answer(std::string_view bytes) {
    if (bytes.size() < 4) return {};
    std::uint32_t u = 0;
    for (int k = 3; k >= 0; --k) u = u << 8 | static_cast<unsigned char>(bytes[static_cast<std::size_t>(k)]);
    return resultfile::same_version(std::bit_cast<float>(u), resultfile::kCurrentVersion) ? "" : "j\n";
}

// Whether the bytes of a result or obstacle file name a TRZ program.
inline bool is_trz(std::string_view bytes) { return bytes.size() >= 7 && bytes.substr(4, 3) == "TRZ"; }

// Runs mural in the scratch directory as `args` with the console answers;
// returns its exit status, 1 for a fatal stop. FUZZ_VERBOSE=1 shows the dialogue.
inline int run_mural(std::vector<std::string> args, const std::string& answers) {
    platform::set_arguments(std::move(args));
    std::istringstream in(answers);
    std::ostringstream out, err;
    platform::console().attach(in, out, err);
    int status = 1;
    try {
        status = driver::run_mural();
    } catch (const platform::Fatal& f) {
        err << f.what() << '\n';
    }
    platform::console().attach_standard_streams();
    platform::discard_temporary_files();
    velin::reset();
    if (const char* v = std::getenv("FUZZ_VERBOSE"); v && *v == '1')
        std::cerr << out.str() << "\n--- stderr:\n" << err.str() << "--- status " << status << '\n';
    return status;
}

// Whether a text could name an output file outside the scratch directory;
// targets whose input names a file that mural writes skip such inputs.
inline bool leaves_scratch(std::string_view text) {
    return text.find("..") != std::string_view::npos || text.find('/') != std::string_view::npos ||
           text.find('~') != std::string_view::npos;
}

}  // namespace fuzz
