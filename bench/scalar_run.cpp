// Complete scalar runs of mural, from the start of the program to the closed
// plot file: the horizontal speed of a 600 x 600 level section as a colour
// raster, and of a 1200 x 1200 level section as labelled isolines. The wind
// is a smooth pattern of eddies, so both pictures are full of structure.
// Reports wall time and peak memory of each mural process.
//
// Usage: bench_scalar_run [directory for the files [keep]]   (default: /tmp)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench_support.h"
#include "resultfile/writer.h"

namespace {

constexpr int NZ = 3;

void generate(const std::string& dir, int n) {
    resultfile::ResultFileImage r;
    r.program = "QEM bench";
    r.title = "Benchmark";
    r.NX = r.NY = n;
    r.NZ = NZ;
    r.DX = r.DY = 2.0f;
    r.DZK.assign(NZ, 2.0f);
    r.U0.assign(NZ, 2.0f);
    r.V0.assign(NZ, 1.0f);
    r.igbfile = "bench.dat";
    r.WNord = 90.0f;
    r.DD = 270.0f;
    r.U.resize(std::size_t(n + 1) * n * NZ);
    r.V.resize(std::size_t(n) * (n + 1) * NZ);
    r.W.assign(std::size_t(n) * n * (NZ + 1), 0.0f);
    auto eddy = [n](int i, int j) {
        float x = 12.0f * float(i) / float(n), y = 12.0f * float(j) / float(n);
        return std::sin(x) * std::cos(0.8f * y) + 0.3f * std::sin(2.3f * x + 1.7f * y);
    };
    std::size_t m = 0;
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n + 1; ++i) r.U[m++] = 2.0f + 1.5f * eddy(i, j);
    m = 0;
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= n + 1; ++j)
            for (int i = 1; i <= n; ++i) r.V[m++] = 1.0f - 1.2f * eddy(j, i);
    resultfile::write_result_file(dir + "/bench.ERG", r);

    resultfile::ObstacleFileImage o;
    o.program = r.program;
    o.NX = o.NY = n;
    o.NZ = NZ;
    o.DX = o.DY = 2.0f;
    o.DZK = r.DZK;
    o.massive = {{10, 30, 10, 40, 1, 2, 1}, {100, 140, 200, 240, 1, 3, 1}};
    resultfile::write_obstacle_file(dir + "/bench.IGB", o);
}

void write(const std::string& path, const char* text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text, f);
    std::fclose(f);
}

// Runs mural in DIR with the answers; returns the wall time, or -1.
double run(const std::string& dir, const char* answers, long& peak_kb) {
    write(dir + "/bench_answers.txt", answers);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = open("bench_answers.txt", O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        execl(MURAL_EXECUTABLE, "mural", "bench", "/p=bench.plt", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    peak_kb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    write(dir + "/MURAL.RAS",
          "F\n'Horizontalwind'\n-\n0.5 9 'a'\n1.0 10 'b'\n1.5 11 'c'\n2.0 12 'd'\n2.5 13 'e'\n3.0 15 'f'\n"
          "3.5 17 'g'\n4.0 19 'h'\n4.5 20 'i'\n5.0 22 'j'\n99. 24 'k'\n---\n");
    write(dir + "/MURAL.ISO", "F\n0.5 1 1 1 1\n1.0 1 1 1 1\n1.5 1 1 1 1\n2.0 1 1 1 1\n2.5 1 1 1 1\n3.0 1 1 1 1\n"
                              "3.5 1 1 1 1\n4.0 1 1 1 1\n4.5 1 1 1 1\n5.0 1 1 1 1\n");
    struct Case {
        int n;
        const char* answers;
        const char* name;
        double goal;
    };
    int failures = 0;
    for (Case c : {Case{600, "F\nK02\n\n\n\n", "raster", 0.3}, Case{1200, "FI\nK02\n\n\n\n", "labelled isolines", 1.0}}) {
        generate(dir, c.n);
        long peak = 0;
        double seconds = run(dir, c.answers, peak);
        if (seconds < 0) {
            std::fprintf(stderr, "mural failed on the %s run\n", c.name);
            ++failures;
            continue;
        }
        struct stat st {};
        stat((dir + "/bench.plt").c_str(), &st);
        std::printf("%-18s %4d x %-4d: %.2f s (goal %.1f s), peak memory %.1f MB, plot file %.1f MB\n", c.name, c.n,
                    c.n, seconds, c.goal, peak * 1024.0 / 1e6, double(st.st_size) / 1e6);
    }
    // "keep" leaves the files of the last run for a look at the picture.
    if (!(argc > 2 && std::string(argv[2]) == "keep"))
        for (const char* name : {"/bench.ERG", "/bench.IGB", "/bench.plt", "/bench_answers.txt", "/MURAL.RAS", "/MURAL.ISO"})
            std::remove((dir + name).c_str());
    return failures == 0 ? 0 : 1;
}
