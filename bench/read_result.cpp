// Reading a 400 x 400 x 40 result file (about 80 MB) through the readers,
// against a plain sequential read of the same bytes with a warm cache, and the
// peak memory of a process that reads it against the size of its fields.
//
// Usage: bench_read_result [directory for the file]   (default: /tmp)
// Each measurement runs in a child process of its own, so that the peak
// resident size of the reader is not mixed with the generator's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/console.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "bench_support.h"
#include "resultfile/writer.h"

namespace {

using bench::NX;
using bench::NY;
using bench::NZ;

void generate(const std::string& path) {
    resultfile::ResultFileImage r = bench::large_run();
    for (std::size_t n = 0; n < r.U.size(); ++n) r.U[n] = float(n % 977) * 0.01f;
    for (std::size_t n = 0; n < r.V.size(); ++n) r.V[n] = float(n % 613) * 0.01f;
    for (std::size_t n = 0; n < r.W.size(); ++n) r.W[n] = float(n % 311) * 0.001f;
    resultfile::write_result_file(path, r);
}

double plain_read(const std::string& path) {
    auto t0 = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    auto t1 = std::chrono::steady_clock::now();
    volatile char sink = bytes[bytes.size() / 2];
    (void)sink;
    return std::chrono::duration<double>(t1 - t0).count();
}

double reader_read(const std::string& path) {
    std::istringstream in;
    std::ostringstream out, err;
    platform::console().attach(in, out, err);
    namespace rf = resultfile;
    rf::reset_model();
    auto t0 = std::chrono::steady_clock::now();
    std::string mname;
    rf::GET_HEAD(path, false, mname);
    int nx, ny, nz, kg;
    rf::GET_DIM(nx, ny, nz, kg);
    rf::GET_GRID();
    rf::GET_ANS();
    auto& m = rf::model_fields();
    m.U.resize(nx + kg, ny, nz);
    rf::GET_UVW(m.U.span(), nx + kg, ny, nz);
    m.V.resize(nx, ny + kg, nz);
    rf::GET_UVW(m.V.span(), nx, ny + kg, nz);
    m.W.resize(nx, ny, nz + kg);
    rf::GET_UVW(m.W.span(), nx, ny, nz + kg);
    auto t1 = std::chrono::steady_clock::now();
    platform::console().attach_standard_streams();
    return std::chrono::duration<double>(t1 - t0).count();
}

// Runs this program in `mode` as a child; returns its peak resident size in
// kB and passes on the time it printed.
long run_child(const char* self, const char* mode, const std::string& path, double& seconds) {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl(self, self, mode, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buffer[64] = {};
    ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "child %s failed\n", mode);
        std::exit(1);
    }
    seconds = std::atof(buffer);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
        generate(argv[2]);
        std::printf("0\n");
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--plain") == 0) {
        std::printf("%.6f\n", plain_read(argv[2]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--reader") == 0) {
        std::printf("%.6f\n", reader_read(argv[2]));
        return 0;
    }
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::string path = dir + "/bench_read_result.ERG";
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;

    double s = 0;
    run_child(self, "--generate", path, s);
    run_child(self, "--plain", path, s);  // warms the cache
    const double fields_mb =
        4.0 * (double(NX + 1) * NY * NZ + double(NX) * (NY + 1) * NZ + double(NX) * NY * (NZ + 1)) / 1e6;
    double best_plain = 1e9, best_reader = 1e9;
    long plain_rss = 0, reader_rss = 0;
    for (int round = 0; round < 5; ++round) {
        plain_rss = run_child(self, "--plain", path, s);
        best_plain = std::min(best_plain, s);
        reader_rss = run_child(self, "--reader", path, s);
        best_reader = std::min(best_reader, s);
    }
    std::remove(path.c_str());
    std::printf("fields: %.1f MB\n", fields_mb);
    std::printf("plain sequential read: %.3f s (best of 5), peak %.1f MB\n", best_plain, plain_rss * 1024.0 / 1e6);
    std::printf("reader:                %.3f s (best of 5), peak %.1f MB\n", best_reader, reader_rss * 1024.0 / 1e6);
    std::printf("time reader / plain:   %.2f (target at most 1.5)\n", best_reader / best_plain);
    std::printf("peak / field size:     %.2f (target at most 1.2)\n", reader_rss * 1024.0 / 1e6 / fields_mb);
    return 0;
}
