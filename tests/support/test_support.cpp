#include "test_support.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (;;) {
        path_ = fs::temp_directory_path() / ("mural_test_" + std::to_string(rd()));
        if (fs::create_directory(path_)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void ScratchDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out << bytes;
}

CapturedConsole::CapturedConsole(const std::string& input) : in_(input) {
    platform::console().attach(in_, out_, err_);
}

CapturedConsole::~CapturedConsole() { platform::console().attach_standard_streams(); }

std::string fatal_message(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Fatal& f) {
        return f.what();
    }
    ADD_FAILURE() << "expected a fatal stop";
    return std::string();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<Stroke> plot_strokes(const std::string& hpgl) {
    constexpr double kUnitsPerMm = 40.2;
    std::vector<Stroke> strokes;
    double x = 0, y = 0, width = 0;
    auto box = [&](double x0, double y0, double x1, double y1) {
        strokes.push_back({x0, y0, x1, y0, width});
        strokes.push_back({x1, y0, x1, y1, width});
        strokes.push_back({x1, y1, x0, y1, width});
        strokes.push_back({x0, y1, x0, y0, width});
    };
    std::size_t i = 0;
    while (i + 1 < hpgl.size()) {
        if (!std::isupper(static_cast<unsigned char>(hpgl[i])) || !std::isupper(static_cast<unsigned char>(hpgl[i + 1]))) {
            ++i;
            continue;
        }
        const std::string op = hpgl.substr(i, 2);
        i += 2;
        const std::size_t end = hpgl.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ;\x1b", i);
        const std::string params = hpgl.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? hpgl.size() : end;
        std::vector<double> v;
        std::stringstream in(params);
        for (std::string item; std::getline(in, item, ',');)
            if (!item.empty()) v.push_back(std::atof(item.c_str()) / kUnitsPerMm);
        if (op == "PU" || op == "PA" || op == "PD") {
            for (std::size_t k = 0; k + 1 < v.size(); k += 2) {
                if (op == "PD") strokes.push_back({x, y, v[k], v[k + 1], width});
                x = v[k];
                y = v[k + 1];
            }
        } else if (op == "CI" && !v.empty()) {
            box(x - v[0], y - v[0], x + v[0], y + v[0]);
        } else if (op == "RA" && v.size() >= 2) {
            box(x, y, v[0], v[1]);
        } else if (op == "PW" && !v.empty()) {
            width = v[0] * kUnitsPerMm;
        }
    }
    return strokes;
}

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

}  // namespace

RunResult run_mural(const fs::path& dir, const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& env, const std::string& shell, const std::string& stdin_file) {
    return run_program(MURAL_EXECUTABLE, dir, args, input, env, shell, stdin_file);
}

RunResult run_program(const std::string& program, const fs::path& dir, const std::vector<std::string>& args,
                      const std::string& input, const std::vector<std::string>& env, const std::string& shell,
                      const std::string& stdin_file) {
    ScratchDir io;
    io.write("stdin", input);
    std::string command = "cd " + quote(dir.string()) + " && ";
    if (!shell.empty()) command += shell + " && ";
    command += "timeout -k 10 60 env";
    for (const auto& e : env) command += " " + quote(e);
    command += " " + quote(program);
    for (const auto& a : args) command += " " + quote(a);
    command += " <" + quote(stdin_file.empty() ? io.file("stdin") : stdin_file) + " >" + quote(io.file("stdout")) +
               " 2>" + quote(io.file("stderr"));
    int raw = std::system(command.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(io.file("stdout"));
    r.err = read_file(io.file("stderr"));
    return r;
}

RunResult interrupt_mural(const fs::path& dir, const std::vector<std::string>& args, const std::string& answers,
                          const std::string& prompt, int signal, const std::function<void()>& at_prompt) {
    ScratchDir io;
    // The shell hands its process on to mural (exec): the pid it writes is mural's.
    std::string command = "cd " + quote(dir.string()) + " && echo $$ >" + quote(io.file("pid")) + " && exec " +
                          quote(MURAL_EXECUTABLE);
    for (const auto& a : args) command += " " + quote(a);
    command += " >" + quote(io.file("stdout")) + " 2>" + quote(io.file("stderr"));
    std::FILE* in = ::popen(command.c_str(), "w");
    std::fputs(answers.c_str(), in);
    std::fflush(in);
    bool prompted = false;
    for (int k = 0; k < 6000 && !prompted; ++k, ::usleep(10000))
        prompted = read_file(io.file("stdout")).find(prompt) != std::string::npos;
    if (prompted) at_prompt();
    ::kill(std::stoi(read_file(io.file("pid"))), prompted ? signal : SIGKILL);
    const int raw = ::pclose(in);
    const int status = prompted && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, read_file(io.file("stdout")), read_file(io.file("stderr"))};
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

bool renders(const std::string& plot, const std::string& png) {
    if (std::system("command -v hp2xx >/dev/null 2>&1") != 0) return true;
    const std::string command = "hp2xx -q -m png -f '" + png + "' '" + plot + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(png);
}

}  // namespace testing_support
