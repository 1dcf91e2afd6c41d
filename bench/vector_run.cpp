// A complete vector run of mural on a 400 x 400 x 40 result file: level 5,
// every point drawn (160,000 arrows), from the start of the program to the
// closed plot file. Reports wall time and peak memory of the mural process.
//
// Usage: bench_vector_run [directory for the files]   (default: /tmp)
#include <chrono>
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

void generate(const std::string& dir) {
    resultfile::ResultFileImage r = bench::large_run();
    // A wind that turns across the domain, so that arrows differ.
    for (std::size_t n = 0; n < r.U.size(); ++n) r.U[n] = 1.0f + 0.5f * float((n * 7) % 11) / 11.0f;
    for (std::size_t n = 0; n < r.V.size(); ++n) r.V[n] = 0.5f - float((n * 5) % 13) / 13.0f;
    resultfile::write_result_file(dir + "/bench.ERG", r);

    resultfile::write_obstacle_file(dir + "/bench.IGB", bench::large_obstacles(r));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    generate(dir);
    const std::string answers = dir + "/bench_answers.txt";
    std::FILE* f = std::fopen(answers.c_str(), "w");
    std::fputs("V\nK05\n\n1\n", f);
    std::fclose(f);

    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int in = open(answers.c_str(), O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        execl(MURAL_EXECUTABLE, "mural", "bench", "/p=bench.plt", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "mural failed (status %d)\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return 1;
    }
    struct stat st {};
    stat((dir + "/bench.plt").c_str(), &st);
    std::printf("vector run 400 x 400 x 40, level 5, 160000 arrows\n");
    std::printf("wall time:   %.2f s (target under 2 s)\n", seconds);
    std::printf("peak memory: %.1f MB\n", usage.ru_maxrss * 1024.0 / 1e6);
    std::printf("plot file:   %.1f MB\n", double(st.st_size) / 1e6);
    for (const char* name : {"/bench.ERG", "/bench.IGB", "/bench.plt", "/bench_answers.txt"}) std::remove((dir + name).c_str());
    return 0;
}
