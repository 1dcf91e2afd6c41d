// VELIN's areas: blanking of 100,000 pen-down segments against 500 active
// areas (and the same segments without areas for comparison), and the
// hatching and solid fill of a 1000-vertex polygon over 200 mm in HP-GL,
// where the library computes every stroke itself.
//   bench_velin_areas [directory]   (default: the system's temporary directory)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

struct Result {
    double seconds;
    long long vectors;
};

// Segments of about 4 mm in all directions over a 250 x 180 mm area; with
// `areas`, 500 labels of 6 x 3 mm (25 x 20 of them) lie in their way.
Result run(const std::string& file, int segments, bool areas) {
    bench::start_graph(file, "HPGL2", "DINA4Q", 250, 180, 30);
    velin::NOCHEK();
    if (areas)
        for (int i = 0; i < 25; ++i)
            for (int j = 0; j < 20; ++j)
                velin::BLREC(2.0f + 10.0f * static_cast<float>(i), 2.0f + 9.0f * static_cast<float>(j), 6, 3, 0);
    std::vector<float> x(static_cast<std::size_t>(segments) + 1), y(x.size());
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    x[0] = 125;
    y[0] = 90;
    for (std::size_t i = 1; i < x.size(); ++i) {
        x[i] = std::clamp(x[i - 1] + 8.0f * (next() - 0.5f), 0.0f, 250.0f);
        y[i] = std::clamp(y[i - 1] + 8.0f * (next() - 0.5f), 0.0f, 180.0f);
    }
    auto start = Clock::now();
    velin::PENUP(x[0], y[0]);
    for (std::size_t i = 1; i < x.size(); ++i) velin::PENDN(x[i], y[i]);
    double seconds = seconds_since(start);
    long long vectors = velin::plot_state().s.Nvec;
    velin::ENDGR(0);
    velin::DONEPL();
    return {seconds, vectors};
}

// A jagged star of 1000 vertices filling a 200 x 200 mm area.
struct Hatching {
    double hatch_seconds, cross_seconds, fill_seconds;
};

Hatching hatch(const std::string& file) {
    bench::start_graph(file, "HPGL", "DINA4H", 200, 200, 50);
    velin::NOCHEK();
    constexpr int N = 1000;
    std::vector<float> x(N), y(N);
    for (int i = 0; i < N; ++i) {
        const double a = 2.0 * 3.14159265358979 * i / N;
        const double r = i % 2 == 0 ? 99.0 : 60.0 + 30.0 * std::sin(7.0 * a);
        x[static_cast<std::size_t>(i)] = static_cast<float>(100.0 + r * std::cos(a));
        y[static_cast<std::size_t>(i)] = static_cast<float>(100.0 + r * std::sin(a));
    }
    const float dist[1] = {0.4f};
    Hatching h{};
    auto start = Clock::now();
    velin::SHADE(x, y, N, 30.0f, dist, 1);
    h.hatch_seconds = seconds_since(start);
    velin::SHDPAT(45111);
    start = Clock::now();
    velin::SHDCRV(x, y, N, x, y, 0);
    h.cross_seconds = seconds_since(start);
    velin::SETPEN(1, 0.1f, 0, 0, 0);
    velin::SELPEN(1);
    start = Clock::now();
    velin::FILPOL(x, y, N);
    h.fill_seconds = seconds_since(start);
    velin::ENDGR(0);
    velin::DONEPL();
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    std::string velin_dir = dir + "/velin_bench_style";
    std::filesystem::create_directories(velin_dir);
    write_empty_style(velin_dir + "/SIMPLX.STY");
    ::setenv("VELIN_DIR", velin_dir.c_str(), 1);
    std::ostringstream sink;
    std::istringstream none;
    platform::console().attach(none, sink, sink);

    constexpr int SEGMENTS = 100'000;
    std::string plot = dir + "/velin_bench_blanking.plt";
    Result plain = run(plot, SEGMENTS, false);
    Result blanked = run(plot, SEGMENTS, true);
    std::printf("PENDN, %d segments, no areas          %8.3f s  (%lld pen-down points)\n", SEGMENTS, plain.seconds,
                plain.vectors);
    std::printf("PENDN, %d segments, 500 active areas  %8.3f s  (%lld pen-down points, %.0f ns per segment and area)\n",
                SEGMENTS, blanked.seconds, blanked.vectors, blanked.seconds / SEGMENTS / 500 * 1e9);
    Hatching h = hatch(plot);
    std::printf("SHADE, 1000 vertices, 0.4 mm over 200 mm  %8.3f s\n", h.hatch_seconds);
    std::printf("SHDCRV, the same cross-hatched           %8.3f s\n", h.cross_seconds);
    std::printf("FILPOL, the same with a 0.1 mm pen        %8.3f s\n", h.fill_seconds);
    std::filesystem::remove(plot);
    std::filesystem::remove_all(velin_dir);
    return 0;
}
