// erg2nc and mural RUN.nc on a 400 x 400 x 40 run (77.6 MB):
//   export uncompressed against copying the result file (plainly, and as
//   MURAL writes files: flushed to the disk and renamed), the export with the
//   default compression (time and size), and the reading for a picture of one
//   level from the NetCDF files against reading the result file, in the
//   process and as whole runs of mural.
//
// Usage: bench_netcdf [directory for the files [--keep]]   (default: /tmp; --keep leaves the files)
// Times are the best of five, with the files in the page cache.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/console.h"
#include "platform/files.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/netcdf_read.h"
#include "resultfile/sections.h"
#include "resultfile/obstacles.h"
#include "resultfile/writer.h"

namespace {

namespace fs = std::filesystem;
using bench::NX;
using bench::NY;
using bench::NZ;

// A smooth wind over a log profile, with eddies: values whose low bits vary
// as a model's do, so that the compression is not flattered.
void generate(const std::string& dir) {
    resultfile::ResultFileImage r = bench::large_run();
    auto wind = [](int i, int j, int k, float phase) {
        const float x = 0.03f * float(i), y = 0.025f * float(j);
        return 2.0f * std::log(1.0f + 0.7f * float(k)) + 0.8f * std::sin(x + phase) * std::cos(y - phase) +
               0.2f * std::sin(3.1f * x + 2.3f * y);
    };
    std::size_t m = 0;
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX + 1; ++i) r.U[m++] = wind(i, j, k, 0.0f);
    m = 0;
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY + 1; ++j)
            for (int i = 1; i <= NX; ++i) r.V[m++] = 0.3f * wind(j, i, k, 1.0f) - 1.0f;
    m = 0;
    for (int k = 1; k <= NZ + 1; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX; ++i) r.W[m++] = k == 1 ? 0.0f : 0.05f * std::sin(0.1f * float(i * j + k));
    resultfile::write_result_file(dir + "/bench.ERG", r);

    resultfile::ObstacleFileImage o = bench::large_obstacles(r);
    o.porous = {{300, 310, 50, 60, 1, 4, 4}};
    resultfile::write_obstacle_file(dir + "/bench.IGB", o);
}

double best_of_five(const std::function<void()>& work) {
    double best = 1e30;
    for (int n = 0; n < 5; ++n) {
        const auto t0 = bench::Clock::now();
        work();
        best = std::min(best, bench::seconds_since(t0));
    }
    return best;
}

// Runs a program in `dir` (standard input from `input` when given), fatal unless it succeeds.
void run(const std::string& dir, std::vector<const char*> argv, const char* input = nullptr) {
    argv.push_back(nullptr);
    std::fflush(stdout);  // else the child's freopen writes the parent's buffer again
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(127);
        if (input && !freopen(input, "r", stdin)) _exit(127);
        execv(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
}

std::string file_bytes(const std::string& path) {
    std::string bytes(fs::file_size(path), '\0');
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::exit(1);
    std::fclose(f);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    generate(dir);
    const std::string erg = dir + "/bench.ERG";
    const double size = static_cast<double>(fs::file_size(erg));
    file_bytes(erg);  // into the page cache

    const double copy = best_of_five([&] {
        fs::copy_file(erg, dir + "/bench_copy.ERG", fs::copy_options::overwrite_existing);
    });
    const double safe_copy = best_of_five([&] {
        if (!platform::write_file_atomically(dir + "/bench_copy.ERG", file_bytes(erg))) std::exit(1);
    });
    const double plain =
        best_of_five([&] { run(dir, {ERG2NC_EXECUTABLE, "bench", "bench_plain.nc", "--deflate", "0"}); });
    const double packed = best_of_five([&] { run(dir, {ERG2NC_EXECUTABLE, "bench", "bench.nc"}); });
    std::printf("result file %.1f MB: copy (as cp) %.3f s; copy through memory, written as MURAL writes files "
                "(temporary, flushed to the disk, renamed) %.3f s\n",
                size / 1e6, copy, safe_copy);
    std::printf("erg2nc --deflate 0: %.3f s (%.1fx the copy as cp, %.1fx the copy as MURAL writes), %.1f MB\n", plain,
                plain / copy, plain / safe_copy, static_cast<double>(fs::file_size(dir + "/bench_plain.nc")) / 1e6);
    std::printf("erg2nc (default, deflate 1): %.3f s, %.1f MB\n", packed,
                static_cast<double>(fs::file_size(dir + "/bench.nc")) / 1e6);

    // Reading for a picture of level 5 as mural reads it: by section, the
    // level and the face above it, from the result file and the NetCDF files.
    std::istringstream in;
    std::ostringstream out;
    platform::console().attach(in, out, out);
    namespace rf = resultfile;
    auto from_result = [&] {
        rf::reset_model();
        std::string mname;
        rf::GET_HEAD(erg, false, mname);
        int nx, ny, nz, kg;
        rf::GET_DIM(nx, ny, nz, kg);
        rf::GET_GRID();
        rf::GET_ANS();
        rf::read_wind_by_section();
        rf::GET_HAUS();
        rf::read_field_levels(5, 5);
    };
    auto from_netcdf = [&](const std::string& file) {
        rf::reset_model();
        std::string mname;
        rf::GET_NC(file, false, false, true, mname);
        rf::read_field_levels(5, 5);
    };
    // In turns, so that a machine busy with other work burdens all three alike.
    double best[3] = {1e30, 1e30, 1e30};
    for (int round = 0; round < 9; ++round) {
        const std::function<void()> reads[3] = {from_result, [&] { from_netcdf(dir + "/bench.nc"); },
                                                [&] { from_netcdf(dir + "/bench_plain.nc"); }};
        for (int r = 0; r < 3; ++r) {
            const auto t0 = bench::Clock::now();
            reads[r]();
            best[r] = std::min(best[r], bench::seconds_since(t0));
        }
    }
    const double from_erg = best[0], from_packed = best[1], from_plain = best[2];
    platform::console().attach_standard_streams();
    std::printf("reading for a picture of one level: result file %.3f s, NetCDF %.3f s, NetCDF uncompressed %.3f s\n",
                from_erg, from_packed, from_plain);
    // The whole picture: mural drawing the speed of level 5 as a raster.
    fs::copy_file(MURAL_EXAMPLES_DIR "/MURAL.RAS", dir + "/MURAL.RAS", fs::copy_options::overwrite_existing);
    const std::string answers = dir + "/bench_answers.txt";
    if (std::FILE* f = std::fopen(answers.c_str(), "w")) {
        std::fputs("F\nK05\n\n\n\n", f);
        std::fclose(f);
    }
    double whole[3] = {1e30, 1e30, 1e30};
    for (int round = 0; round < 5; ++round) {
        const char* files[3] = {"bench", "bench.nc", "bench_plain.nc"};
        for (int r = 0; r < 3; ++r) {
            const auto t0 = bench::Clock::now();
            run(dir, {MURAL_EXECUTABLE, files[r], "/l:RO"}, answers.c_str());
            whole[r] = std::min(whole[r], bench::seconds_since(t0));
        }
    }
    std::printf("mural, raster of the speed at level 5: from the result file %.3f s, NetCDF %.3f s, NetCDF "
                "uncompressed %.3f s\n",
                whole[0], whole[1], whole[2]);
    if (argc > 2 && std::string(argv[2]) == "--keep") return 0;
    for (const char* name : {"bench.ERG", "bench.IGB", "bench_copy.ERG", "bench.nc", "bench_plain.nc", "MURAL.RAS",
                             "MURAL.PLT", "bench_answers.txt"})
        fs::remove(dir + "/" + name);
    return 0;
}
