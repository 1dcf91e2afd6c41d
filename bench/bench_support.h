// What the benchmarks share: a clock, an empty style file for VELIN, and the
// grid of the large result file that the reading and plotting runs use.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

#include "resultfile/writer.h"
#include "velin/velin.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A style of 102 empty glyphs: INIPLO loads one, the benchmarks draw no text.
inline void write_empty_style(const std::string& path) {
    std::string bytes;
    auto put = [&](int v) {
        auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    };
    for (int g = 1; g <= 128; ++g) put(g <= 102 ? g : (g == 103 ? 103 : 0));
    for (int g = 1; g <= 103; ++g) put(g <= 102 ? 6000 : 0);
    std::ofstream(path, std::ios::binary) << bytes;
}

// A plot file with one graph of width x height mm showing 0..width and
// 0..height, without numbers, for the VELIN benchmarks.
inline void start_graph(const std::string& file, const char* device, const char* page, float width, float height,
                        float ystep) {
    velin::reset();
    velin::INIPLO(device, page);
    velin::PLFILE(file);
    velin::XNONUM();
    velin::YNONUM();
    velin::AREA2D(width, height);
    velin::GRAF(0, 50, width, 0, ystep, height);
}

constexpr int NX = 400, NY = 400, NZ = 40;

// A run of 2 m cells and 1.5 m layers (400 x 400 x 40 unless asked for
// another size), the wind from the west, with its fields sized for the caller
// to fill; its obstacle file is "bench.IGB".
inline resultfile::ResultFileImage large_run(int nx = NX, int ny = NY, int nz = NZ) {
    resultfile::ResultFileImage r;
    r.program = "QEM bench";
    r.title = "Benchmark";
    r.igbfile = "bench.dat";
    r.WNord = 90.0f;
    r.DD = 270.0f;
    r.NX = nx;
    r.NY = ny;
    r.NZ = nz;
    r.DX = r.DY = 2.0f;
    r.DZK.assign(static_cast<std::size_t>(nz), 1.5f);
    r.U0.assign(static_cast<std::size_t>(nz), 2.0f);
    r.V0.assign(static_cast<std::size_t>(nz), 1.0f);
    r.U.resize(std::size_t(nx + 1) * std::size_t(ny) * std::size_t(nz));
    r.V.resize(std::size_t(nx) * std::size_t(ny + 1) * std::size_t(nz));
    r.W.resize(std::size_t(nx) * std::size_t(ny) * std::size_t(nz + 1));
    return r;
}

// The obstacle file of such a run: two blocks.
inline resultfile::ObstacleFileImage large_obstacles(const resultfile::ResultFileImage& r) {
    resultfile::ObstacleFileImage o;
    o.program = r.program;
    o.NX = r.NX;
    o.NY = r.NY;
    o.NZ = r.NZ;
    o.DX = o.DY = 2.0f;
    o.DZK = r.DZK;
    o.massive = {{100, 120, 100, 130, 1, 10, 1}, {250, 280, 200, 240, 1, 20, 1}};
    return o;
}

}  // namespace bench
