// The preview of a large plot: 160,000 arrows (a 400 x 400 grid, each a shaft
// and a filled head) written with VELIN in HP-GL/2, then drawn into PNG
// (150 dpi), PDF and SVG, one after the other and all three at once. Then the plots that once took minutes or all the
// memory: 100 cross-hatched rectangles with their lines closer than the pen,
// and hatched, outlined polygons of 3000 and 10,000 crossing edges (what a
// background map read one column off gives). Reports the wall and processor
// time of each conversion (the processor time is the one to read on a busy
// machine); every PNG should take a few seconds at most.
//
// Usage: bench_plot_preview [directory for the files]   (default: /tmp)
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>

#include "bench_support.h"
#include "platform/console.h"
#include "preview/preview.h"
#include "velin/velin.h"

namespace {

void write_plot(const std::string& file) {
    bench::start_graph(file, "HPGL2", "DINA4Q", 250.0f, 180.0f, 30.0f);
    velin::HEIGHT(0.4f);
    constexpr int N = 400;
    const float dx = 250.0f / N, dy = 180.0f / N;
    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i) {
            float a = 0.3f * std::sin(0.05f * static_cast<float>(i)) + 0.2f * std::cos(0.07f * static_cast<float>(j));
            float x = (static_cast<float>(i) + 0.1f) * dx, y = (static_cast<float>(j) + 0.5f) * dy;
            velin::VECTOR(x, y, x + 0.8f * dx * std::cos(a), y + 0.8f * dx * std::sin(a), 1001);
        }
    velin::ENDPL(0);
}

// A polygon of random vertices over 240 x 165 mm, hatched and outlined.
std::string tangle(int vertices) {
    std::string plot = "IN;SP1;PW0.3;FT3,100,30;PU400,400;PM0;PD";
    unsigned seed = 1;
    for (int k = 0; k < vertices; ++k) {
        seed = seed * 1103515245u + 12345u;
        plot += (k ? "," : "") + std::to_string(400 + (seed >> 8) % 9600) + "," + std::to_string(400 + (seed >> 4) % 6600);
    }
    return plot + ";PM2;FP;EP;PG;";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::ostringstream quiet;
    std::istringstream none;
    platform::console().attach(none, quiet, quiet);
    const std::string style_dir = dir + "/bench_preview_style";
    std::filesystem::create_directories(style_dir);
    bench::write_empty_style(style_dir + "/SIMPLX.STY");
    setenv("VELIN_DIR", style_dir.c_str(), 1);

    const std::string plot = dir + "/bench_preview.plt";
    write_plot(plot);
    platform::console().attach_standard_streams();
    std::printf("plot of 160000 arrows: %.1f MB\n", double(std::filesystem::file_size(plot)) / 1e6);
    for (const char* ext : {"png", "pdf", "svg"}) {
        const std::string out = dir + "/bench_preview." + ext;
        auto start = bench::Clock::now();
        std::clock_t cpu = std::clock();
        preview::render_file(plot, out, {});
        double seconds = bench::seconds_since(start);
        double cpu_seconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
        std::printf("%-4s %6.2f s wall %6.2f s cpu %7.1f MB%s\n", ext, seconds, cpu_seconds,
                    double(std::filesystem::file_size(out)) / 1e6,
                    std::string(ext) == "png" ? " (target 0.4 s cpu)" : std::string(ext) == "pdf" ? " (target 0.8 s cpu)" : "");
    }

    {
        // The three at once, as "/g=png,pdf,svg" draws them: the wall time is that of the slowest.
        const std::string outs[] = {dir + "/bench_preview.png", dir + "/bench_preview.pdf", dir + "/bench_preview.svg"};
        auto start = bench::Clock::now();
        std::clock_t cpu = std::clock();
        preview::render_files(plot, outs, {});
        std::printf("png, pdf and svg at once: %6.2f s wall %6.2f s cpu (all threads)\n", bench::seconds_since(start),
                    double(std::clock() - cpu) / CLOCKS_PER_SEC);
    }

    std::string rectangles = "IN;SP1;PW0.5;FT4,5,45;";
    for (int k = 0; k < 100; ++k)
        rectangles += "PU" + std::to_string(400 + k % 10 * 800) + "," + std::to_string(400 + k / 10 * 600) + ";RA" +
                      std::to_string(1100 + k % 10 * 800) + "," + std::to_string(900 + k / 10 * 600) + ";";
    const std::pair<std::string, std::string> hard[] = {
        {"100 cross-hatched rectangles", rectangles + "PG;"},
        {"hatched tangle of 3000 edges", tangle(3000)},
        {"hatched tangle of 10000 edges", tangle(10000)},
    };
    for (const auto& [name, plot] : hard) {
        auto start = bench::Clock::now();
        std::clock_t cpu = std::clock();
        const std::string png = preview::render(plot, preview::Format::png, {});
        std::printf("%-30s png %6.2f s wall %6.2f s cpu (target a few seconds)\n", name.c_str(),
                    bench::seconds_since(start), double(std::clock() - cpu) / CLOCKS_PER_SEC);
    }
    return 0;
}
