// What the whole-run benchmarks share: a generated run with structure in
// its wind, and a timed run of the mural executable on it.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "resultfile/writer.h"

namespace bench {

constexpr int kEddyLayers = 3;

// A result file of n x n x 3 cells of 2 m with a smooth pattern of eddies
// over a westerly drift, and an obstacle file of two blocks.
inline void generate_eddy_run(const std::string& dir, int n) {
    resultfile::ResultFileImage r;
    r.program = "QEM bench";
    r.title = "Benchmark";
    r.NX = r.NY = n;
    r.NZ = kEddyLayers;
    r.DX = r.DY = 2.0f;
    r.DZK.assign(kEddyLayers, 2.0f);
    r.U0.assign(kEddyLayers, 2.0f);
    r.V0.assign(kEddyLayers, 1.0f);
    r.igbfile = "bench.dat";
    r.WNord = 90.0f;
    r.DD = 270.0f;
    r.U.resize(std::size_t(n + 1) * n * kEddyLayers);
    r.V.resize(std::size_t(n) * (n + 1) * kEddyLayers);
    r.W.assign(std::size_t(n) * n * (kEddyLayers + 1), 0.0f);
    auto eddy = [n](int i, int j) {
        float x = 12.0f * float(i) / float(n), y = 12.0f * float(j) / float(n);
        return std::sin(x) * std::cos(0.8f * y) + 0.3f * std::sin(2.3f * x + 1.7f * y);
    };
    std::size_t m = 0;
    for (int k = 1; k <= kEddyLayers; ++k)
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n + 1; ++i) r.U[m++] = 2.0f + 1.5f * eddy(i, j);
    m = 0;
    for (int k = 1; k <= kEddyLayers; ++k)
        for (int j = 1; j <= n + 1; ++j)
            for (int i = 1; i <= n; ++i) r.V[m++] = 1.0f - 1.2f * eddy(j, i);
    resultfile::write_result_file(dir + "/bench.ERG", r);

    resultfile::ObstacleFileImage o;
    o.program = r.program;
    o.NX = o.NY = n;
    o.NZ = kEddyLayers;
    o.DX = o.DY = 2.0f;
    o.DZK = r.DZK;
    o.massive = {{10, 30, 10, 40, 1, 2, 1}, {100, 140, 200, 240, 1, 3, 1}};
    resultfile::write_obstacle_file(dir + "/bench.IGB", o);
}

inline void write_text(const std::string& path, const char* text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text, f);
    std::fclose(f);
}

// Runs mural in DIR with the answers; returns the wall time, or -1. The
// processor time (user and system) of the run goes to cpu: on a shared
// machine it varies less than the wall time.
inline double run_mural(const char* executable, const std::string& dir, const char* answers, long& peak_kb,
                        double& cpu) {
    write_text(dir + "/bench_answers.txt", answers);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = open("bench_answers.txt", O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        execl(executable, "mural", "bench", "/p=bench.plt", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    peak_kb = usage.ru_maxrss;
    cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct RunCase {
    int n;                // cells of the section in x and y
    const char* answers;  // the dialogue
    const char* name;
    double goal;          // seconds
};

// Times each case on a freshly generated run and prints one line per case;
// with `keep` the files of the last run stay for a look at the picture.
inline int time_runs(const char* executable, const std::string& dir, std::initializer_list<RunCase> cases, bool keep,
                     std::initializer_list<const char*> extra_files = {}) {
    int failures = 0;
    for (const RunCase& c : cases) {
        generate_eddy_run(dir, c.n);
        long peak = 0;
        double cpu = 0.0;
        double seconds = run_mural(executable, dir, c.answers, peak, cpu);
        if (seconds < 0) {
            std::fprintf(stderr, "mural failed on the %s run\n", c.name);
            ++failures;
            continue;
        }
        struct stat st {};
        stat((dir + "/bench.plt").c_str(), &st);
        std::printf("%-18s %4d x %-4d: %.2f s (goal %.1f s), processor %.2f s, peak memory %.1f MB, plot file %.1f MB\n",
                    c.name, c.n, c.n, seconds, c.goal, cpu, peak * 1024.0 / 1e6, double(st.st_size) / 1e6);
    }
    if (!keep) {
        for (const char* name : {"/bench.ERG", "/bench.IGB", "/bench.plt", "/bench_answers.txt"})
            std::remove((dir + name).c_str());
        for (const char* name : extra_files) std::remove((dir + name).c_str());
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace bench
