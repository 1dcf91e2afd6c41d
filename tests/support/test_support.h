// Helpers shared by the test suites: little-endian byte images built by hand
// (independently of the program's own writer), scratch directories, captured
// console streams and running the mural executable.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/fatal.h"

namespace testing_support {

// Appends little-endian values with plain byte shifts.
class Bytes {
public:
    Bytes& i32(std::int32_t v) {
        auto u = static_cast<std::uint32_t>(v);
        for (int s = 0; s < 32; s += 8) data_ += static_cast<char>((u >> s) & 0xFF);
        return *this;
    }
    Bytes& i16(std::int16_t v) {
        auto u = static_cast<std::uint16_t>(v);
        data_ += static_cast<char>(u & 0xFF);
        data_ += static_cast<char>(u >> 8);
        return *this;
    }
    Bytes& f32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return i32(static_cast<std::int32_t>(u));
    }
    Bytes& f32s(std::initializer_list<float> vs) {
        for (float v : vs) f32(v);
        return *this;
    }
    Bytes& f32s(const std::vector<float>& vs) {
        for (float v : vs) f32(v);
        return *this;
    }
    Bytes& text(const std::string& t, std::size_t n) {
        std::string f = t.substr(0, n);
        f.resize(n, ' ');
        data_ += f;
        return *this;
    }
    std::size_t size() const { return data_.size(); }
    const std::string& str() const { return data_; }

private:
    std::string data_;
};

// A fresh directory below the system's temporary directory, removed at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

// Attaches string streams to the console for the lifetime of the object.
class CapturedConsole {
public:
    explicit CapturedConsole(const std::string& input = "");
    ~CapturedConsole();
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }

private:
    std::istringstream in_;
    std::ostringstream out_, err_;
};

// Runs `action` and returns the message of the platform::Fatal it throws;
// fails the test when it throws nothing.
std::string fatal_message(const std::function<void()>& action);

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs the mural executable in `dir` with the arguments and standard input;
// a run that hangs is stopped after a minute (status 124). `shell` runs
// before it in the same shell ("ulimit -f 64"); a `stdin_file` (in `dir`)
// takes the place of `input`.
RunResult run_mural(const std::filesystem::path& dir, const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& env = {}, const std::string& shell = "",
                    const std::string& stdin_file = "");
// The same for any program (a path, or a name found on PATH).
RunResult run_program(const std::string& program, const std::filesystem::path& dir,
                      const std::vector<std::string>& args, const std::string& input = "",
                      const std::vector<std::string>& env = {}, const std::string& shell = "",
                      const std::string& stdin_file = "");
// Runs mural with the answers through a pipe that stays open; once `prompt` is
// printed, calls `at_prompt` and sends `signal`. Status -1 when no prompt came.
RunResult interrupt_mural(const std::filesystem::path& dir, const std::vector<std::string>& args,
                          const std::string& answers, const std::string& prompt, int signal,
                          const std::function<void()>& at_prompt);

std::string read_file(const std::string& path);

bool contains(const std::string& text, const std::string& part);
// How often `part` occurs in `text`.
int count(const std::string& text, const std::string& part);
// Renders a plot with hp2xx when it is installed (true when it is not);
// false when the rendering fails.
bool renders(const std::string& plot, const std::string& png);

// A straight piece of what a plot file draws, in page millimetres (plotter
// units / 40.2): pen-down lines and polygon edges; a circle (CI) and a filled
// rectangle (RA) give the edges of their bounding boxes.
struct Stroke {
    double x0, y0, x1, y1;
    double width = 0.0;  // pen width (PW) in force, mm
};
std::vector<Stroke> plot_strokes(const std::string& hpgl);

}  // namespace testing_support
