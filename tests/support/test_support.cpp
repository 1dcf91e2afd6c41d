#include "test_support.h"

#include <fstream>
#include <gtest/gtest.h>
#include <csignal>
#include <fcntl.h>
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

RunResult run_program(const fs::path& dir, const std::string& program, const std::vector<std::string>& args,
                      const std::string& input, const std::vector<std::string>& env) {
    ScratchDir io;
    io.write("stdin", input);
    std::string command = "cd " + quote(dir.string()) + " && timeout -k 10 60 env";
    for (const auto& e : env) command += " " + quote(e);
    command += " " + quote(program);
    for (const auto& a : args) command += " " + quote(a);
    command += " <" + quote(io.file("stdin")) + " >" + quote(io.file("stdout")) + " 2>" + quote(io.file("stderr"));
    int raw = std::system(command.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(io.file("stdout"));
    r.err = read_file(io.file("stderr"));
    return r;
}

RunResult run_mural(const fs::path& dir, const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& env) {
    return run_program(dir, MURAL_EXECUTABLE, args, input, env);
}

RunResult interrupt_mural(const fs::path& dir, const std::vector<std::string>& args, const std::string& answers,
                          const std::string& prompt, int signal, const std::function<void()>& at_prompt) {
    ScratchDir io;
    const std::string out = io.file("stdout"), err = io.file("stderr");
    std::vector<std::string> words = {MURAL_EXECUTABLE};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int in[2];
    if (::pipe(in) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (::chdir(dir.c_str()) == 0) ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    RunResult r;
    if (::write(in[1], answers.data(), answers.size()) == static_cast<ssize_t>(answers.size())) {
        for (int k = 0; k < 6000 && read_file(out).find(prompt) == std::string::npos; ++k) ::usleep(10000);
    }
    const bool prompted = read_file(out).find(prompt) != std::string::npos;
    if (prompted) at_prompt();
    ::kill(pid, prompted ? signal : SIGKILL);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ::close(in[1]);
    r.status = prompted && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(out);
    r.err = read_file(err);
    return r;
}

}  // namespace testing_support
