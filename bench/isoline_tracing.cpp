// Tracing of isolines: 30 levels on a 1200 x 1200 field (too wide for
// refinement) and on a 600 x 600 field with 2 sub-steps each way, every
// line handed to a sink that only counts its points. Reports the time per
// level and the rate in grid points x levels per second.
//   bench_isoline_tracing
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "contour/isolines.h"
#include "platform/console.h"

namespace {

struct Result {
    double seconds;
    long long points;  // points handed to the sink
    int lines;
};

// Noise: the worst case, lines in every cell and a node pool that runs short.
platform::Field2D<float> noise(int n) {
    platform::Field2D<float> z(n, n);
    unsigned state = 12345u;
    for (float& v : z.span()) {
        state = state * 1664525u + 1013904223u;
        v = 3.0f * static_cast<float>(state >> 8) / 16777216.0f - 1.5f;
    }
    return z;
}

// A smooth field with hills and valleys: many closed and open lines.
platform::Field2D<float> hills(int n) {
    platform::Field2D<float> z(n, n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            float x = 12.0f * static_cast<float>(i) / static_cast<float>(n);
            float y = 12.0f * static_cast<float>(j) / static_cast<float>(n);
            z(i, j) = std::sin(x) * std::cos(0.8f * y) + 0.3f * std::sin(2.3f * x + 1.7f * y) + 0.05f * x;
        }
    return z;
}

Result run(const platform::Field2D<float>& z, int sub, const std::vector<float>& levels) {
    Result r{0.0, 0, 0};
    contour::LineSink count = [&](std::span<float>, std::span<float>, int N, int) {
        r.points += N;
        ++r.lines;
    };
    auto start = bench::Clock::now();
    contour::trace_isolines(z, z.n1(), z.n2(), sub, sub, levels, static_cast<int>(levels.size()), true, count);
    r.seconds = bench::seconds_since(start);
    return r;
}

}  // namespace

int main() {
    std::vector<float> levels;
    for (int l = 0; l < 30; ++l) levels.push_back(-1.4f + 0.1f * static_cast<float>(l));
    struct Case {
        int n, sub;
        bool noisy;
    };
    for (Case c : {Case{1200, 1, false}, Case{600, 2, false}, Case{1200, 1, true}}) {
        auto z = c.noisy ? noise(c.n) : hills(c.n);
        Result best{1e30, 0, 0};
        for (int repeat = 0; repeat < 5; ++repeat) {
            Result r = run(z, c.sub, levels);
            if (r.seconds < best.seconds) best = r;
        }
        double fine = std::pow(static_cast<double>((c.n - 1) * c.sub + 1), 2.0);
        std::printf("%s %4d x %-4d sub-steps %d: %.3f s for 30 levels, %.2f ms per level, "
                    "%.0f million fine points x levels per second, %d lines, %.1f million line points per second\n",
                    c.noisy ? "noise" : "hills", c.n, c.n, c.sub, best.seconds, 1000.0 * best.seconds / 30.0, fine * 30.0 / best.seconds / 1e6,
                    best.lines, static_cast<double>(best.points) / best.seconds / 1e6);
    }
    std::printf("goal: more than 105 million grid points x levels per second (0.41 s for 30 levels on 1200 x 1200)\n");
    return 0;
}
