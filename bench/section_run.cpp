// What a picture of a large run costs: a 1000 x 1000 x 60 result file (about
// 720 MB) is generated once, then mural draws sections of it with a cold page
// cache (the file's pages are dropped before each run). For each picture:
// the bytes mural asked for (rchar of /proc/PID/io, read before the process is
// reaped), the file's pages that the run brought into memory (mincore), its
// processor time and its peak memory against the fields of its section plus
// its plot file plus 20 MB. Then the 400 x 400 x 40 run of 160,000 arrows,
// whose peak memory is to stay under 30 MB.
//
// Usage: bench_section_run [directory for the files [keep]]   (default: /tmp)
// With "keep" the 1000 x 1000 x 60 run stays there, for a look with a profiler.
// The directory must lie on a disk (not tmpfs) for the page counts.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "mural_run.h"
#include "resultfile/writer.h"

namespace {

// A smooth wind over the grid, turning with height, so that arrows differ.
void generate(const std::string& dir, int nx, int ny, int nz) {
    resultfile::ResultFileImage r = bench::large_run(nx, ny, nz);
    auto fill = [](std::vector<float>& f, int n1, int n2, int n3, float scale) {
        std::size_t m = 0;
        for (int k = 0; k < n3; ++k)
            for (int j = 0; j < n2; ++j)
                for (int i = 0; i < n1; ++i)
                    f[m++] = scale * (1.0f + 0.5f * std::sin(0.02f * float(i) + 0.05f * float(k)) * std::cos(0.03f * float(j)));
    };
    fill(r.U, nx + 1, ny, nz, 2.0f);
    fill(r.V, nx, ny + 1, nz, 1.0f);
    fill(r.W, nx, ny, nz + 1, 0.1f);
    resultfile::write_result_file(dir + "/bench.ERG", r);
    resultfile::write_obstacle_file(dir + "/bench.IGB", bench::large_obstacles(r));
}

std::uint64_t file_size(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// Drops the file's pages from the page cache; false when they stay (tmpfs).
void drop_pages(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

// Bytes of the file's pages in the page cache.
std::uint64_t resident_bytes(const std::string& path) {
    const std::uint64_t size = file_size(path);
    const int fd = open(path.c_str(), O_RDONLY);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return 0;
    const long page = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> in((size + static_cast<std::uint64_t>(page) - 1) / static_cast<std::uint64_t>(page));
    std::uint64_t pages = 0;
    if (mincore(map, size, in.data()) == 0)
        for (unsigned char c : in) pages += c & 1;
    munmap(map, size);
    return pages * static_cast<std::uint64_t>(page);
}

struct Cost {
    bool ok = false;
    double cpu = 0;            // s
    double peak_mb = 0;        // MB
    std::uint64_t rchar = 0;   // bytes asked for by read calls
};

// Runs mural in DIR with the answers; reads its /proc/PID/io before reaping it.
Cost run_mural(const std::string& dir, const std::string& answers) {
    bench::write_text(dir + "/bench_answers.txt", answers.c_str());
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int in = open("bench_answers.txt", O_RDONLY),
                  out = open("bench_mural.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        execl(MURAL_EXECUTABLE, "mural", "bench", "/p=bench.plt", static_cast<char*>(nullptr));
        _exit(127);
    }
    Cost c;
    siginfo_t info {};
    waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    for (std::string key; io >> key;) {
        std::uint64_t value = 0;
        io >> value;
        if (key == "rchar:") c.rchar = value;
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    c.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    c.peak_mb = double(usage.ru_maxrss) * 1024.0 / 1e6;
    return c;
}

struct Picture {
    const char* name;
    const char* answers;
    double section_mb;  // the fields of the section (MB)
};

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    constexpr int NX = 1000, NY = 1000, NZ = 60;
    std::printf("generating a %d x %d x %d run ...\n", NX, NY, NZ);
    generate(dir, NX, NY, NZ);
    // The raster's classes.
    std::ifstream classes(MURAL_EXAMPLES_DIR "/MURAL.RAS", std::ios::binary);
    std::ofstream(dir + "/MURAL.RAS", std::ios::binary) << classes.rdbuf();
    const std::string erg = dir + "/bench.ERG";
    const double size = double(file_size(erg));
    const double level = 4.0 * (NX + 1) * NY / 1e6;  // one level of U or V
    const double row = 4.0 * ((NX + 1) * NZ + 2.0 * NX * NZ + NX * (NZ + 1)) / 1e6;
    const double column = 4.0 * (2.0 * NZ + NY * NZ + (NY + 1) * NZ + NY * (NZ + 1)) / 1e6;
    const Picture pictures[] = {
        {"arrows, level 30, every 10th", "V\nK30\n20\n10\n0\n", 2 * level},
        {"arrows, row J=500, every 10th", "V\nJ500\n\n20\n10\n\n\n\n", row},
        {"arrows, column I=500, every 10th", "V\nI500\n\n20\n10\n\n\n\n", column},
        {"raster of speed, level 30", "F\nK30\n\n\n", 2 * level},
    };
    std::printf("result file: %.0f MB\n", size / 1e6);
    int failures = 0;
    for (const Picture& p : pictures) {
        drop_pages(erg);
        const double cold = double(resident_bytes(erg));
        const Cost c = run_mural(dir, p.answers);
        const double paged = double(resident_bytes(erg));
        const double plot_mb = double(file_size(dir + "/bench.plt")) / 1e6;
        if (!c.ok) {
            std::fprintf(stderr, "mural failed on %s (see bench_mural.log)\n", p.name);
            ++failures;
            continue;
        }
        std::printf("%-30s read %6.2f MB (%5.2f %% of the file), pages %6.2f MB (%5.2f %%%s), processor %.2f s "
                    "(goal 0.3), peak %.1f MB (goal %.1f: section %.1f + plot %.1f + 20)\n",
                    p.name, double(c.rchar) / 1e6, 100.0 * double(c.rchar) / size, (paged - cold) / 1e6,
                    100.0 * (paged - cold) / size, cold > 0.5 * size ? ", cache not dropped" : "", c.cpu, c.peak_mb,
                    p.section_mb + plot_mb + 20.0, p.section_mb, plot_mb);
    }
    if (argc > 2 && std::string(argv[2]) == "keep") return failures == 0 ? 0 : 1;
    for (const char* name : {"/bench.ERG", "/bench.IGB", "/bench.plt", "/bench_answers.txt"}) std::remove((dir + name).c_str());

    // The 400 x 400 x 40 run, every arrow drawn.
    generate(dir, 400, 400, 40);
    const Cost c = run_mural(dir, "V\nK05\n\n1\n0\n");
    std::printf("%-30s processor %.2f s, peak %.1f MB (goal 30), plot %.1f MB\n", "arrows 400 x 400 x 40, all",
                c.cpu, c.peak_mb, double(file_size(dir + "/bench.plt")) / 1e6);
    if (!c.ok) ++failures;
    for (const char* name : {"/bench.ERG", "/bench.IGB", "/bench.plt", "/bench_answers.txt", "/MURAL.RAS"}) std::remove((dir + name).c_str());
    return failures == 0 ? 0 : 1;
}
