// VELIN's writer: one million short PD segments through CURVE into a plot
// file, against a plain buffered write of the same bytes.
//   bench_velin_writer [directory]   (default: the system's temporary directory)
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/console.h"
#include "velin/velin.h"

namespace {

using bench::Clock;
using bench::seconds_since;
using bench::write_empty_style;

void start_plot(const std::string& file) { bench::start_graph(file, "HPGL2", "DINA4Q", 250, 180, 30); }

// Writes the bytes of `from` to `to` the plain way: a buffered stdio stream,
// flushed and synced like a committed plot file.
double plain_write(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto start = Clock::now();
    std::FILE* f = std::fopen(to.c_str(), "wb");
    for (std::size_t i = 0; i < bytes.size(); i += 512) {
        std::size_t n = std::min<std::size_t>(512, bytes.size() - i);
        std::fwrite(bytes.data() + i, 1, n, f);
    }
    std::fflush(f);
    ::fsync(::fileno(f));
    std::fclose(f);
    return seconds_since(start);
}

struct Result {
    double seconds;
    std::uintmax_t bytes;
};

Result one_polyline(const std::string& file, int segments) {
    std::vector<float> x(static_cast<std::size_t>(segments) + 1), y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        // Steps of a few tenths of a millimetre, back and forth over the area.
        x[i] = 10.0f + static_cast<float>(i % 2000) * 0.1f;
        y[i] = 20.0f + static_cast<float>((i / 2000) % 500) * 0.3f + static_cast<float>(i % 3) * 0.2f;
    }
    start_plot(file);
    auto start = Clock::now();
    velin::CURVE(x, y, static_cast<int>(x.size()), 0);
    velin::ENDGR(0);
    velin::DONEPL();
    return {seconds_since(start), std::filesystem::file_size(file)};
}

Result separate_curves(const std::string& file, int segments) {
    start_plot(file);
    float x[2], y[2];
    auto start = Clock::now();
    for (int i = 0; i < segments; ++i) {
        x[0] = 10.0f + static_cast<float>(i % 2000) * 0.1f;
        y[0] = 20.0f + static_cast<float>((i / 2000) % 500) * 0.3f;
        x[1] = x[0] + 0.5f;
        y[1] = y[0] + 0.2f;
        velin::CURVE(x, y, 2, 0);
    }
    velin::ENDGR(0);
    velin::DONEPL();
    return {seconds_since(start), std::filesystem::file_size(file)};
}

void report(const char* what, int segments, Result r, double plain) {
    double mb = static_cast<double>(r.bytes) / 1e6;
    std::printf("%-34s %9.0f segments/s %8.1f MB/s  (%.1f MB in %.3f s)\n", what, segments / r.seconds,
                mb / r.seconds, mb, r.seconds);
    std::printf("%-34s %9s            %8.1f MB/s  (same bytes in %.3f s)  ratio %.2f %s\n", "  plain buffered write", "",
                mb / plain, plain, r.seconds / plain, r.seconds / plain <= 3.0 ? "(within 3x)" : "(SLOWER than 3x)");
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    std::string velin_dir = dir + "/velin_bench_style";
    std::filesystem::create_directories(velin_dir);
    write_empty_style(velin_dir + "/SIMPLX.STY");
    ::setenv("VELIN_DIR", velin_dir.c_str(), 1);
    std::ostringstream sink;  // VELIN's progress lines are not part of the measurement
    std::istringstream none;
    platform::console().attach(none, sink, sink);

    constexpr int SEGMENTS = 1'000'000;
    std::string plot = dir + "/velin_bench.plt", copy = dir + "/velin_bench_plain.plt";
    Result a = one_polyline(plot, SEGMENTS);
    report("CURVE, one polyline of 1e6 segments", SEGMENTS, a, plain_write(plot, copy));
    Result b = separate_curves(plot, SEGMENTS);
    report("CURVE, 1e6 two-point curves", SEGMENTS, b, plain_write(plot, copy));
    std::filesystem::remove(plot);
    std::filesystem::remove(copy);
    std::filesystem::remove_all(velin_dir);
    return 0;
}
